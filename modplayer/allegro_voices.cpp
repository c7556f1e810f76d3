// SPDX-License-Identifier: MIT
// The shared engine's voices: Allegro voices from voice_table, with the rate correction Allegro's software mixer needs and ping-pong loops played from their forward copies.
#include "player_internal.h"

#include <allegro/internal/aintern.h>

#include <algorithm>

namespace {

// Allegro's software mixer steps through a sample by frequency x 256 / mixing rate, cut to a whole
// number, so every rate it plays is flat by up to a 256th of the mixing rate (172 Hz at 44.1 kHz):
// notes go out of tune each by its own amount and slides move in coarse steps. Where that mixer
// plays the voices, each channel hands it the rate whose step, added up tick after tick, stays
// within half a step of the wanted one; a note's start begins the sum afresh. A driver that sets
// a voice's rate itself gets the wanted rate as it is.
constexpr int kMixerStepBits = 8;
constexpr int kErrorBits = 16;  // fraction bits of the summed step error
constexpr long long kHalfStep = 1LL << (kErrorBits - 1);

constexpr int kCentre = 128;
constexpr int kFullSeparation = 100;

bool mixer_rounds_rates()
{
    return digi_driver && digi_driver->set_frequency == _mixer_set_frequency &&
           get_mixer_frequency() > 0;
}

class AllegroVoices final : public VoiceOutput {
public:
    bool has_voice(int ch) const override { return voice(ch) >= 0; }

    void assign(int ch, const QVMOD &m, int number) override
    {
        const int v = voice(ch);
        const SAMPLE *spl = &m.samples[number];
        // A loop that covers no frames is played once rather than handed to the mixer.
        const int loop = spl->loop_end > spl->loop_start ? m.sample_info[number].loop_type : 0;
        // A ping-pong loop plays as the forward loop of its unrolled copy (see pingpong_copy);
        // without a copy it loops forwards over the sample itself.
        if (loop & QVMOD_LOOP_BIDIR)
            if (const SAMPLE *copy = pingpong_copy(number)) spl = copy;
        reallocate_voice(v, spl);
        const bool looped = (loop & (QVMOD_LOOP_FORWARD | QVMOD_LOOP_BIDIR)) != 0;
        if (looped) voice_set_playmode(v, PLAYMODE_LOOP);
        loop_frames_[ch] = looped ? static_cast<int>(spl->loop_end - spl->loop_start) : 0;
        step_error_[ch] = 0;
    }

    void set_position(int ch, int frame) override { voice_set_position(voice(ch), frame); }

    void set_frequency(int ch, int hz) override
    {
        const long long limit = frequency_limit(ch);
        voice_set_frequency(voice(ch), rate_for(ch, std::min<long long>(hz, limit), limit));
    }

    void set_volume(int ch, int volume) override
    {
        voice_set_volume(voice(ch), muted[ch] ? 0 : volume);
    }
    void set_pan(int ch, int pan) override
    {
        voice_set_pan(voice(ch), kCentre + (pan - kCentre) * separation / kFullSeparation);
    }
    void start(int ch) override { voice_start(voice(ch)); }
    void stop(int ch) override { voice_stop(voice(ch)); }
    bool sounding(int ch) const override { return voice_get_position(voice(ch)) >= 0; }

    // Set by the interface while it holds the player.
    int separation = kFullSeparation;
    bool muted[QVMOD_MAX_CHANNELS] = {};

private:
    static int voice(int ch) { return voice_table[ch]; }

    // The mixer wraps a loop at most once per output frame, so a voice must not step further than
    // one loop length per frame.
    long long frequency_limit(int ch) const
    {
        if (loop_frames_[ch] <= 0) return kMaxVoiceFrequency;
        const int rate = get_mixer_frequency();
        if (rate <= 0) return kMaxVoiceFrequency;
        return std::min<long long>(kMaxVoiceFrequency,
                                   static_cast<long long>(loop_frames_[ch]) * rate);
    }

    int rate_for(int ch, long long hz, long long limit)
    {
        if (!mixer_rounds_rates()) return static_cast<int>(hz);
        const long long rate = get_mixer_frequency();
        const long long wanted = (hz << (kMixerStepBits + kErrorBits)) / rate;
        const long long most = (limit << kMixerStepBits) / rate;
        const long long sum = wanted + step_error_[ch];
        const long long step = std::clamp((sum + kHalfStep) >> kErrorBits, 0LL, most);
        step_error_[ch] = std::clamp(sum - (step << kErrorBits), -kHalfStep, kHalfStep);
        // The lowest rate the mixer turns into this step; a step of 0 still needs a rate above 0.
        const long long mixer_unit = 1LL << kMixerStepBits;
        return static_cast<int>(std::max(1LL, (step * rate + mixer_unit - 1) / mixer_unit));
    }

    int loop_frames_[QVMOD_MAX_CHANNELS] = {};       // frames in the loop each voice plays; 0: none
    long long step_error_[QVMOD_MAX_CHANNELS] = {};  // wanted minus played steps so far
};

AllegroVoices &the_voices()
{
    static AllegroVoices voices;
    return voices;
}

}  // namespace

VoiceOutput &allegro_voices()
{
    return the_voices();
}

extern "C" void set_mod_stereo(int percent)
{
    PlayerHold hold;
    the_voices().separation = std::clamp(percent, 0, kFullSeparation);
}

extern "C" void set_mod_channel_mute(int channel, int muted)
{
    if (channel < 0 || channel >= QVMOD_MAX_CHANNELS) return;
    PlayerHold hold;
    the_voices().muted[channel] = muted != 0;
}
