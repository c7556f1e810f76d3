// SPDX-License-Identifier: MIT
// Helpers for the effect tests: tiny period and note modules, cells, and the voice values to expect.
#ifndef QVMOD_TEST_EFFECTS_SUPPORT_H
#define QVMOD_TEST_EFFECTS_SUPPORT_H

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "player_fixture.h"

namespace effects {

constexpr int kPitch428 = 8363;  // pitch value of Amiga period 428 (period 1712)
constexpr int kPeriod428 = 1712;
constexpr int kLongSample = 200000;  // frames: seconds of sound, so a restart shows in the position

// A module of long samples; orders play patterns 0, 1, ...; with QVMOD_FLAG_NOTES one instrument.
inline QVMOD *effects_module(int channels, int rows, int speed, int patterns, int flags)
{
    ModuleShape s{channels, rows, patterns, patterns};  // channels, rows, patterns, orders
    s.speed = speed;
    s.flags = flags;
    s.instruments = (flags & QVMOD_FLAG_NOTES) ? 1 : 0;
    s.sample_frames = kLongSample;
    return build_module(s);
}

// Period module (MOD/S3M kind): samples are volume 64, c2spd 8363.
inline QVMOD *period_module(int channels = 2, int rows = 8, int speed = 6, int patterns = 1)
{
    return effects_module(channels, rows, speed, patterns, 0);
}

// Linear-table note module (XM kind) with one instrument playing sample 0 on every note.
// Note 49 (0-based 48) plays period 4608, 8363 Hz.
inline QVMOD *note_module(int channels = 2, int rows = 8, int speed = 6,
                          int flags = QVMOD_FLAG_NOTES | QVMOD_FLAG_LINEAR)
{
    return effects_module(channels, rows, speed, 1, flags);
}

inline void put(QVMOD *m, int row, int ch, int sample, int note, int volume, int command, int param)
{
    cell(m, 0, row, ch) = NOTE_INFO{sample, note, volume, command, param};
}

// Voice frequency of a period-module period.
inline int period_hz(int period)
{
    return 14318184 / period;
}

// The ticks' values of one channel field, one entry per tick.
template <typename F>
std::vector<int> record(int n, F field)
{
    std::vector<int> out;
    for (int i = 0; i < n; i++) {
        mod_interrupt();
        out.push_back(field());
    }
    return out;
}

inline std::vector<int> temp_periods(int ch, int n)
{
    return record(n, [ch] { return ci[ch].temp_period; });
}

inline std::vector<int> temp_volumes(int ch, int n)
{
    return record(n, [ch] { return ci[ch].temp_volume; });
}

// A scripted run: cells in a two-channel, eight-row module, then channel 0's field read tick by
// tick in groups (usually one row each), and checks of what the run left.
struct Cell {
    int row, channel, sample, note, volume, command, param;
};
enum class Field { Period, Volume, Pan };
struct Script {
    const char *name;
    bool notes;  // an XM-kind note module, else a period module
    int speed;
    std::function<void(QVMOD *)> setup;  // sample values before the song starts
    std::vector<Cell> cells;
    Field field;
    int skip;  // ticks run before the first group is read
    std::vector<std::vector<int>> groups;
    std::function<void(QVMOD *)> after;
};

inline int tick_value(int ch, Field f)
{
    return f == Field::Period   ? ci[ch].temp_period
           : f == Field::Volume ? ci[ch].temp_volume
                                : ci[ch].temp_pan;
}

// Several readings over n ticks, one list each.
template <typename... F>
std::array<std::vector<int>, sizeof...(F)> record_all(int n, F... readings)
{
    std::array<std::vector<int>, sizeof...(F)> out;
    for (int i = 0; i < n; i++) {
        mod_interrupt();
        size_t k = 0;
        (out[k++].push_back(readings()), ...);
    }
    return out;
}

// The field of channels 0 and 1 over n ticks.
inline std::array<std::vector<int>, 2> both_channels(int n, Field f)
{
    return record_all(
        n, [f] { return tick_value(0, f); }, [f] { return tick_value(1, f); });
}

inline std::string script_name(const ::testing::TestParamInfo<Script> &info)
{
    return info.param.name;
}

class ScriptTest : public PlayerTest, public ::testing::WithParamInterface<Script> {
protected:
    void run_script()
    {
        const Script &s = GetParam();
        ModuleHolder m(s.notes ? note_module(2, 8, s.speed) : period_module(2, 8, s.speed));
        if (s.setup) s.setup(m.get());
        for (const Cell &c : s.cells)
            put(m.get(), c.row, c.channel, c.sample, c.note, c.volume, c.command, c.param);
        play_mod(m.get(), kTrue);
        ticks(s.skip);
        for (size_t g = 0; g < s.groups.size(); g++)
            EXPECT_EQ(record(static_cast<int>(s.groups[g].size()),
                             [&s] { return tick_value(0, s.field); }),
                      s.groups[g])
                << "group " << g;
        if (s.after) s.after(m.get());
    }
};

}  // namespace effects

#endif
