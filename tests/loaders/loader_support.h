// Shared pieces of the loader tests: temporary module files, owned modules and the player's promises.
#ifndef QVMOD_LOADER_SUPPORT_H
#define QVMOD_LOADER_SUPPORT_H

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "module_writers.h"
#include "qvmod.h"

class TempModule {
public:
    explicit TempModule(const ModuleImage &bytes, const char *suffix = "")
    {
        char name[] = "/tmp/qvmod-loader-XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        base_ = name;
        path_ = base_ + suffix;
        if (path_ != base_) std::remove(base_.c_str());
        std::ofstream out(path_, std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ~TempModule() { std::remove(path_.c_str()); }
    TempModule(const TempModule &) = delete;
    TempModule &operator=(const TempModule &) = delete;
    const char *path() const { return path_.c_str(); }
private:
    std::string base_;
    std::string path_;
};

struct ModDeleter {
    void operator()(QVMOD *m) const { destroy_mod(m); }
};
using ModPtr = std::unique_ptr<QVMOD, ModDeleter>;

inline ModPtr load_image(const ModuleImage &bytes)
{
    TempModule f(bytes);
    return ModPtr(load_mod(f.path()));
}

inline NOTE_INFO &cell_at(QVMOD *m, int pattern, int row, int channel)
{
    return *get_note(m, pattern, row, channel);
}

// What the player relies on, checked field by field.
inline ::testing::AssertionResult keeps_player_promises(const QVMOD *m)
{
    if (!m) return ::testing::AssertionFailure() << "no module";
    if (m->channel_count < 1 || m->channel_count > 64) return ::testing::AssertionFailure() << "channels " << m->channel_count;
    if (m->order_count < 1 || m->order_count > 256) return ::testing::AssertionFailure() << "orders " << m->order_count;
    if (m->sample_count < 1) return ::testing::AssertionFailure() << "no samples";
    if (m->pattern_count < 1) return ::testing::AssertionFailure() << "no patterns";
    for (int i = 0; i < m->order_count; i++)
        if (m->order_table[i] < 0 || m->order_table[i] >= m->pattern_count)
            return ::testing::AssertionFailure() << "order " << i << " names pattern " << m->order_table[i];
    const int named = (m->flags & QVMOD_FLAG_NOTES) ? m->instrument_count : m->sample_count;
    for (int p = 0; p < m->pattern_count; p++) {
        const PATTERN_INFO &pat = m->pattern_info[p];
        if (pat.row_count < 1 || !pat.notes) return ::testing::AssertionFailure() << "pattern " << p << " has no rows";
        for (int c = 0; c < pat.row_count * m->channel_count; c++)
            if (pat.notes[c].sample < 0 || pat.notes[c].sample > named)
                return ::testing::AssertionFailure() << "pattern " << p << " cell " << c << " names " << pat.notes[c].sample;
    }
    for (int i = 0; i < m->sample_count; i++) {
        const SAMPLE &s = m->samples[i];
        if (!s.data) return ::testing::AssertionFailure() << "sample " << i << " has no data block";
        if (s.loop_start > s.loop_end || s.loop_end > s.len)
            return ::testing::AssertionFailure() << "sample " << i << " loop " << s.loop_start << ".." << s.loop_end
                                                 << " of " << s.len;
        if (s.bits != 8 || s.stereo) return ::testing::AssertionFailure() << "sample " << i << " not 8-bit mono";
        const unsigned lt = static_cast<unsigned>(m->sample_info[i].loop_type);
        if (lt && s.loop_end == s.loop_start) return ::testing::AssertionFailure() << "sample " << i << " empty loop";
    }
    for (int i = 0; i < m->instrument_count; i++) {
        const INSTRUMENT_INFO &in = m->instrument_info[i];
        for (const int *pts : {&in.volume_env_points, &in.pan_env_points})
            if (*pts < 0 || *pts > 12) return ::testing::AssertionFailure() << "instrument " << i << " envelope points";
        const int vl = std::max(in.volume_env_points - 1, 0), pl = std::max(in.pan_env_points - 1, 0);
        if (in.volume_env_sustain_start > vl || in.volume_env_loop_start > in.volume_env_loop_end ||
            in.volume_env_loop_end > vl || in.pan_env_sustain_start > pl ||
            in.pan_env_loop_start > in.pan_env_loop_end || in.pan_env_loop_end > pl)
            return ::testing::AssertionFailure() << "instrument " << i << " envelope indexes";
    }
    return ::testing::AssertionSuccess();
}

#endif
