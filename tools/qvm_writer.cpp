// SPDX-License-Identifier: MIT
// QVM writer: the byte image of a QVMOD module as load_qvm reads it (little-endian, packed planes).
#include "qvm_writer.h"

#include <initializer_list>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr int kAmigaClock = 3579546;        // pitch value = kAmigaClock / Amiga period
constexpr int kMaxRunLength = 0x7F;         // cells covered by one control byte
constexpr unsigned char kRunValues = 0x80;  // control bit: values follow
constexpr int kMaxStoredPeriod = 0x7FFF;    // periods are signed words

class Out {
public:
    void byte(int v) { bytes_.push_back(static_cast<unsigned char>(v & 0xFF)); }
    void word(int v)
    {
        byte(v);
        byte(v >> 8);
    }
    void lng(long v)
    {
        word(static_cast<int>(v & 0xFFFF));
        word(static_cast<int>((v >> 16) & 0xFFFF));
    }
    void raw(const void *p, size_t n)
    {
        const unsigned char *b = static_cast<const unsigned char *>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    std::vector<unsigned char> take() { return std::move(bytes_); }

private:
    std::vector<unsigned char> bytes_;
};

enum class Width { Byte, Word };

// One plane: runs of empty cells as skip bytes, runs of set cells as literal runs.
template <typename Get>
void write_plane(Out &out, int cells, Width width, Get get)
{
    int i = 0;
    while (i < cells) {
        const bool empty = get(i) == 0;
        int n = 0;
        while (i + n < cells && n < kMaxRunLength && (get(i + n) == 0) == empty) n++;
        if (empty) {
            out.byte(n);
        } else {
            out.byte(kRunValues | n);
            for (int k = 0; k < n; k++) {
                if (width == Width::Byte)
                    out.byte(get(i + k));
                else
                    out.word(get(i + k));
            }
        }
        i += n;
    }
}

bool fits_byte(int v)
{
    return v >= 0 && v <= 0xFF;
}
bool fits_word(int v)
{
    return v >= 0 && v <= 0xFFFF;
}

std::string check_envelope(const char *what, int points, int sustain_start, int sustain_end,
                           int loop_start, int loop_end, const int *values, const int *positions)
{
    if (points < 0 || points > QVMOD_MAX_ENV_POINTS)
        return std::string(what) + " envelope has too many points";
    if (sustain_start != sustain_end)
        return std::string(what) + " envelope sustain must be a single point";
    // Indexes past the points (or a loop backwards) load and play safely, so any byte is written.
    if (!fits_byte(sustain_start) || !fits_byte(loop_start) || !fits_byte(loop_end))
        return std::string(what) + " envelope index does not fit a byte";
    for (int i = 0; i < QVMOD_MAX_ENV_POINTS; i++)
        if (values[i] < 0 || values[i] > 64 || !fits_word(positions[i]))
            return std::string(what) + " envelope point out of range";
    return {};
}

}  // namespace

int qvm_pitch_to_period(int pitch)
{
    if (pitch <= 0) return pitch;
    int p = kAmigaClock / pitch;
    if (p < 1) p = 1;
    // Prefer a period that loads back to exactly this pitch.
    for (int c : {p, p + 1, p - 1}) {
        if (c >= 1 && kAmigaClock / c == pitch) {
            p = c;
            break;
        }
    }
    return p > kMaxStoredPeriod ? kMaxStoredPeriod : p;
}

std::string qvm_check(const QVMOD *m)
{
    if (!m) return "null module";
    if (m->channel_count < 1 || m->channel_count > QVMOD_MAX_CHANNELS)
        return "channel count out of range";
    if (m->order_count < 1 || m->order_count > QVMOD_MAX_ORDERS) return "order count out of range";
    if (m->pattern_count < 1 || !fits_word(m->pattern_count) || !m->pattern_info)
        return "no patterns";
    if (m->sample_count < 1 || !fits_word(m->sample_count) || !m->samples || !m->sample_info)
        return "no samples";
    if (!fits_word(m->instrument_count) || (m->instrument_count > 0 && !m->instrument_info))
        return "instrument count out of range";
    if (!fits_word(m->initial_speed) || !fits_word(m->initial_bpm) ||
        !fits_word(m->restart_order) || !fits_word(m->flags) || m->initial_global_volume < 0 ||
        m->initial_global_volume > 64)
        return "header value out of range";
    if (m->restart_order >= m->order_count) return "restart order beyond the order list";
    for (int i = 0; i < m->channel_count; i++)
        if (!fits_byte(m->channel_pan[i])) return "channel pan out of range";
    for (int i = 0; i < m->order_count; i++)
        if (m->order_table[i] < 0 || m->order_table[i] >= m->pattern_count ||
            m->order_table[i] > 0xFF)
            return "order names a missing pattern";
    for (int i = 0; i < m->instrument_count; i++) {
        const INSTRUMENT_INFO &in = m->instrument_info[i];
        for (int n = 0; n < QVMOD_NOTES_PER_INSTR; n++)
            if (!fits_byte(in.sample_number[n])) return "instrument sample map out of range";
        std::string e =
            check_envelope("volume", in.volume_env_points, in.volume_env_sustain_start,
                           in.volume_env_sustain_end, in.volume_env_loop_start,
                           in.volume_env_loop_end, in.volume_env_value, in.volume_env_pos);
        if (e.empty())
            e = check_envelope("pan", in.pan_env_points, in.pan_env_sustain_start,
                               in.pan_env_sustain_end, in.pan_env_loop_start, in.pan_env_loop_end,
                               in.pan_env_value, in.pan_env_pos);
        if (!e.empty()) return e;
        if (!fits_byte(in.volume_env_flags) || !fits_byte(in.pan_env_flags) ||
            !fits_word(in.volume_fadeout))
            return "instrument value out of range";
    }
    for (int i = 0; i < m->sample_count; i++) {
        const SAMPLE &s = m->samples[i];
        const SAMPLE_INFO &si = m->sample_info[i];
        if (s.len == 0) continue;
        if (s.stereo) return "stereo samples cannot be stored";
        if (s.bits != 8 && s.bits != 16) return "samples must have 8 or 16 bits";
        if (s.len > 0x7FFFFFFFul / 2 || !s.data) return "sample too long";
        if (s.loop_start > s.loop_end || s.loop_end > s.len)
            return "sample loop outside the sample";
        if (!fits_byte(si.vibrato_type) || !fits_byte(si.vibrato_sweep) ||
            !fits_byte(si.vibrato_depth) || !fits_byte(si.vibrato_rate) || !fits_byte(si.volume) ||
            !fits_byte(si.pan) || si.transpose < -128 || si.transpose > 127 ||
            !fits_word(si.c2spd) || !fits_byte(si.loop_type))
            return "sample value out of range";
    }
    const bool notes = (m->flags & QVMOD_FLAG_NOTES) != 0;
    const int named = notes ? m->instrument_count : m->sample_count;
    for (int p = 0; p < m->pattern_count; p++) {
        const PATTERN_INFO &pat = m->pattern_info[p];
        if (pat.row_count < 1 || !fits_word(pat.row_count) || !pat.notes) return "empty pattern";
        const long cells = static_cast<long>(pat.row_count) * m->channel_count;
        for (long c = 0; c < cells; c++) {
            const NOTE_INFO &n = pat.notes[c];
            if (n.sample < 0 || n.sample > named || n.sample > 0xFF)
                return "cell names a missing sample or instrument";
            if (notes ? (n.note < -128 || n.note > 127) : (n.note < -0x8000))
                return "cell note out of range";
            if (!fits_byte(n.volume) || !fits_byte(n.command) || !fits_word(n.extcommand))
                return "cell value out of range";
        }
    }
    return {};
}

std::vector<unsigned char> qvm_write(const QVMOD *m)
{
    if (!qvm_check(m).empty()) return {};
    Out out;
    out.raw(QVM_SIGNATURE, QVM_SIGNATURE_SIZE);
    char title[29] = {0};
    std::memcpy(title, m->name, sizeof title - 1);
    out.raw(title, 28);
    out.byte(0);  // the title's 29th byte
    out.byte(0);  // unused
    out.word(m->order_count);
    out.word(m->pattern_count);
    out.word(m->channel_count);
    out.word(m->instrument_count);
    out.word(m->sample_count);
    out.word(m->initial_speed);
    out.word(m->initial_bpm);
    out.word(m->initial_global_volume);
    out.word(m->restart_order);
    out.word(m->flags);
    for (int i = 0; i < m->channel_count; i++) out.byte(m->channel_pan[i]);
    for (int i = 0; i < m->order_count; i++) out.byte(m->order_table[i]);

    for (int i = 0; i < m->instrument_count; i++) {
        const INSTRUMENT_INFO &in = m->instrument_info[i];
        for (int n = 0; n < QVMOD_NOTES_PER_INSTR; n++) out.byte(in.sample_number[n]);
        // Each envelope: its points as (position, value) words, then five bytes of settings.
        auto envelope = [&out](const auto &pos, const auto &value,
                               std::initializer_list<int> settings) {
            for (int k = 0; k < QVMOD_MAX_ENV_POINTS; k++) {
                out.word(pos[k]);
                out.word(value[k]);
            }
            for (int b : settings) out.byte(b);
        };
        envelope(in.volume_env_pos, in.volume_env_value,
                 {in.volume_env_points, in.volume_env_flags, in.volume_env_sustain_start,
                  in.volume_env_loop_start, in.volume_env_loop_end});
        envelope(in.pan_env_pos, in.pan_env_value,
                 {in.pan_env_points, in.pan_env_flags, in.pan_env_sustain_start,
                  in.pan_env_loop_start, in.pan_env_loop_end});
        out.word(in.volume_fadeout);
    }

    for (int i = 0; i < m->sample_count; i++) {
        const SAMPLE &s = m->samples[i];
        const SAMPLE_INFO &si = m->sample_info[i];
        out.lng(static_cast<long>(s.len));
        if (s.len == 0) continue;
        out.lng(static_cast<long>(s.loop_start));
        out.lng(static_cast<long>(s.loop_end));
        out.byte(si.vibrato_type);
        out.byte(si.vibrato_sweep);
        out.byte(si.vibrato_depth);
        out.byte(si.vibrato_rate);
        out.byte(si.volume);
        out.byte(si.pan);
        out.byte(si.transpose);
        out.word(si.c2spd);
        out.byte(s.bits);
        out.byte(si.loop_type);
        const unsigned char *frames = static_cast<const unsigned char *>(s.data);
        const size_t bytes = s.len * (s.bits / 8);
#ifdef ALLEGRO_BIG_ENDIAN
        // 16-bit frames are native in memory and little-endian in the file.
        if (s.bits == 16) {
            for (size_t k = 0; k + 1 < bytes; k += 2) {
                out.byte(frames[k + 1]);
                out.byte(frames[k]);
            }
            continue;
        }
#endif
        out.raw(frames, bytes);
    }

    const bool notes = (m->flags & QVMOD_FLAG_NOTES) != 0;
    for (int p = 0; p < m->pattern_count; p++) {
        const PATTERN_INFO &pat = m->pattern_info[p];
        const NOTE_INFO *c = pat.notes;
        const int cells = pat.row_count * m->channel_count;
        out.word(pat.row_count);
        if (notes)
            write_plane(out, cells, Width::Byte, [c](int i) { return c[i].note; });
        else
            write_plane(out, cells, Width::Word,
                        [c](int i) { return qvm_pitch_to_period(c[i].note); });
        write_plane(out, cells, Width::Byte, [c](int i) { return c[i].sample; });
        write_plane(out, cells, Width::Byte, [c](int i) { return c[i].volume; });
        write_plane(out, cells, Width::Byte, [c](int i) { return c[i].command; });
        write_plane(out, cells, Width::Word, [c](int i) { return c[i].extcommand; });
    }
    return out.take();
}

bool qvm_write_file(const QVMOD *m, const char *path)
{
    const std::vector<unsigned char> image = qvm_write(m);
    if (image.empty() || !path) return false;
    struct Closer {
        void operator()(std::FILE *f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> f(std::fopen(path, "wb"));
    if (!f) return false;
    if (std::fwrite(image.data(), 1, image.size(), f.get()) != image.size()) return false;
    return std::fclose(f.release()) == 0;
}
