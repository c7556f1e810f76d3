// SPDX-License-Identifier: MIT
// The library's own voices (not installed): what the tick engine plays through when it renders, mixed in float with interpolation and volume ramps.
#ifndef QVMOD_MIXER_H
#define QVMOD_MIXER_H

#include "player_internal.h"

#include <cstdint>
#include <vector>

enum class Interpolation { Nearest, Linear, Cubic, Sinc };

class Mixer final : public VoiceOutput {
public:
    // `channels` voices at `rate` Hz; with `ramps`, volume changes, note starts and cuts glide
    // over a few milliseconds instead of jumping. The loops of `module`'s samples are copied out
    // once here, so that voices read across their seams without wrapping frame by frame.
    Mixer(int rate, int channels, bool ramps, const QVMOD *module = nullptr);

    bool has_voice(int ch) const override { return ch >= 0 && ch < channels_; }
    void assign(int ch, const QVMOD &m, int number) override;
    void set_position(int ch, int frame) override;
    void set_frequency(int ch, int hz) override;
    void set_volume(int ch, int volume) override;
    void set_pan(int ch, int pan) override;
    void start(int ch) override;
    void stop(int ch) override;
    bool sounding(int ch) const override;

    // The voices' next `frames` frames, interleaved left/right, written over `stereo`.
    void mix(float *stereo, int frames);
    // Every voice silent at once, as a new song starts.
    void reset();

    void set_interpolation(Interpolation mode) { interpolation_ = mode; }
    void set_separation(int percent);
    void set_audible(int ch, bool audible);

    // What a channel's voice was last told (for comparing the engine's decisions).
    struct Decisions {
        const void *data;  // the sample's frames
        int hz, volume, pan;
        bool playing;
    };
    Decisions decisions(int ch) const;

    // Frames a ramp lasts at this rate.
    int ramp_frames() const { return ramp_frames_; }

    // One voice, reading its sample at positions that only grow: a loop is a stretch played
    // again (a ping-pong loop unfolded, forwards then mirrored), and a position that reaches
    // wrap_at goes back by wrap_by. Below raw_end the sample's own frames are what plays; a copy
    // of the frames from copy_start to copy_end holds the loop's seam, or short loops repeated.
    struct Voice {
        const void *data = nullptr;
        int bits = 8;
        int64_t len = 0;  // frames
        int64_t loop_start = 0;
        int64_t loop_end = 0;
        int loop = 0;  // 0 none, QVMOD_LOOP_FORWARD or QVMOD_LOOP_BIDIR
        int64_t raw_end = 0;
        int64_t wrap_at = 0, wrap_by = 0;
        const void *copy = nullptr;
        int64_t copy_start = 0, copy_end = 0;
        int64_t pos = 0;   // frames in 32.32 fixed point
        int64_t step = 0;  // frames per output frame, 32.32
        bool active = false;
        bool fading = false;  // a cut note gliding to silence; it ends with its glide
        // With ramps, reads past an unlooped sample's end see its last frame, and the voice
        // that reaches the end (held) glides to silence on it instead of stopping at once.
        bool hold_end = false;
        bool held = false;
        int hz = 0;
        int volume = 0;
        int pan = 128;
        float gain[2] = {0, 0};    // left, right now
        float target[2] = {0, 0};  // where a ramp is going
        float delta[2] = {0, 0};   // per frame while ramp_left > 0
        int ramp_left = 0;
    };

private:
    void retarget(int ch, Voice &v, bool glide);
    void fade_out(int ch);

    // A sample's loop as its voices read it: the copy around its seam, in the sample's own
    // frame type, and where positions wrap.
    struct LoopCopy {
        std::vector<uint8_t> narrow;
        std::vector<uint16_t> wide;
        int64_t start = 0, end = 0;  // the positions the copy holds
        int64_t wrap_at = 0, wrap_by = 0;
    };
    void prepare(const QVMOD &m);

    int rate_;
    int channels_;
    bool ramps_;
    int ramp_frames_;
    int separation_ = 100;
    Interpolation interpolation_ = Interpolation::Linear;
    bool audible_[QVMOD_MAX_CHANNELS];
    // voices_[ch] plays channel ch; voices_[QVMOD_MAX_CHANNELS + ch] fades out the note it cut.
    Voice voices_[2 * QVMOD_MAX_CHANNELS];
    // Each voice's reads for a stretch of frames, before they are panned into the mix.
    static constexpr int kChunkFrames = 512;
    int32_t whole_[kChunkFrames];
    float mono_[kChunkFrames];
    const QVMOD *module_ = nullptr;  // whose samples loops_ holds
    std::vector<LoopCopy> loops_;    // by sample number
};

// A render state's engine run one tick without mixing, and what its voices were last told: the
// tests hold the render path's decisions beside the Allegro path's.
void render_tick(QVMOD_RENDER *r);
Mixer::Decisions render_decisions(const QVMOD_RENDER *r, int ch);

#endif
