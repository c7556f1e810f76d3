// SPDX-License-Identifier: MIT
// Allegro without a display: its software mixer run by the caller in step with hand-driven ticks, or its own sound drivers.
#ifndef QVMOD_MANUAL_MIXER_H
#define QVMOD_MANUAL_MIXER_H

#include <cstdint>
#include <vector>

namespace manual_mixer {

constexpr int kTimerClock = 1193181;  // Allegro timer units per second
constexpr int kDefaultRate = 44100;
constexpr int kMinRate = 8000;
constexpr int kMaxRate = 192000;
constexpr int kChunkFrames = 64;  // frames per mix: a tick's sound starts at most this early

// Allegro on its display-less system driver, with a digital driver (16-bit stereo at `rate` Hz,
// `voices` voices reserved) whose mixer runs only when Output asks. 0, or -1 with allegro_error.
int start(int rate, int voices);

// Allegro on its display-less system driver with its own digital sound drivers (ALSA and the
// others it loads as modules) and its timer and background threads, as its X11 system driver
// sets them up: the caller then installs the timer and the sound. 0, or -1 with allegro_error.
int start_with_sound_drivers();

// Mixes the voices' next kChunkFrames frames into out (interleaved left, right).
void mix_chunk(int16_t *out);

// The mixer's sound for the ticks run so far.
class Output {
public:
    explicit Output(int rate);
    // Mixes the sound of one tick that lasts `period` timer units, appended to pcm.
    void after_tick(int period);
    long frames() const { return mixed_; }  // mixed so far
    std::vector<int16_t> pcm;  // interleaved left, right; the caller may take and clear it

private:
    int rate_;
    std::vector<int16_t> chunk_;
    double owed_ = 0;  // frames still to mix for the ticks already run
    long mixed_ = 0;
};

}  // namespace manual_mixer

#endif
