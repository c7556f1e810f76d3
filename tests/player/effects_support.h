// Helpers for the effect tests: tiny period and note modules, cells, and the voice values to expect.
#ifndef QVMOD_TEST_EFFECTS_SUPPORT_H
#define QVMOD_TEST_EFFECTS_SUPPORT_H

#include <vector>

#include "player_fixture.h"

namespace effects {

constexpr int kPitch428 = 8363;      // pitch value of Amiga period 428 (period 1712)
constexpr int kPeriod428 = 1712;
constexpr int kLongSample = 200000;  // frames: seconds of sound, so a restart shows in the position

// Period module (MOD/S3M kind): samples are volume 64, c2spd 8363.
inline QVMOD *period_module(int channels = 2, int rows = 8, int speed = 6, int patterns = 1)
{
    ModuleShape s;
    s.channels = channels;
    s.rows = rows;
    s.speed = speed;
    s.patterns = patterns;
    s.orders = patterns;
    s.sample_frames = kLongSample;
    return build_module(s);
}

// Linear-table note module (XM kind) with one instrument playing sample 0 on every note.
// Note 49 (0-based 48) plays period 4608, 8363 Hz.
inline QVMOD *note_module(int channels = 2, int rows = 8, int speed = 6,
                          int flags = QVMOD_FLAG_NOTES | QVMOD_FLAG_LINEAR)
{
    ModuleShape s;
    s.channels = channels;
    s.rows = rows;
    s.speed = speed;
    s.flags = flags;
    s.instruments = 1;
    s.sample_frames = kLongSample;
    return build_module(s);
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

// Voice volume for a channel volume at full master, global, fade and envelope unless given.
inline int voice_volume(int volume, int global = 64, int fade = 32768, int env = 64, int master = 255)
{
    return (((volume * global * fade) >> 19) * (master * env)) >> 14;
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

} // namespace effects

#endif
