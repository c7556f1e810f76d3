// SPDX-License-Identifier: MIT
// Songs started, restarted, paused and stopped, track requests, and a module's end: the engine's work behind the interface and the tick.
#include "player_internal.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>

namespace {

// Allegro's voice_stop is one unlocked store: the mixer may still be inside the voice, reading its
// sample. reallocate_voice releases the voice under the mixer's lock, so once it returns no mix
// reads the old data any more. Voices on any of the `count` records from `first` move to the
// empty sample.
void release_voices_on(const SAMPLE *first, size_t count)
{
    if (!first || count == 0 || !fake_sample) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(first);
    const auto end = begin + count * sizeof(SAMPLE);
    for (int v : voice_table) {
        if (v < 0) continue;
        const auto s = reinterpret_cast<std::uintptr_t>(voice_check(v));
        if (s >= begin && s < end) reallocate_voice(v, fake_sample);
    }
}

}  // namespace

void Engine::stop_song()
{
    if (!of) return;
    mi.busy = kTrue;
    set_song_playing(kFalse);
    mi.order_pos = 0;
    for (int i = 0; i < mi.voice_count; i++) {
        if (!voices_.has_voice(i)) continue;
        voices_.stop(i);
        voices_.set_volume(i, 0);
    }
    of = nullptr;
    if (shared_) set_playing_copies(nullptr);
    std::fill(std::begin(paused_voice_), std::end(paused_voice_), false);
    mi.busy = kFalse;
}

void Engine::pause_song()
{
    mi.busy = kTrue;
    // Remember the sounding voices once: a second pause would find them all stopped.
    if (mi.paused != kTrue) {
        for (int i = 0; i < QVMOD_MAX_CHANNELS; i++)
            paused_voice_[i] = i < mi.voice_count && voices_.has_voice(i) && voices_.sounding(i);
    }
    set_song_paused(kTrue);
    for (int i = 0; i < mi.voice_count; i++)
        if (voices_.has_voice(i)) voices_.stop(i);
    mi.busy = kFalse;
}

void Engine::resume_song()
{
    mi.busy = kTrue;
    const bool was_paused = mi.paused == kTrue;
    set_song_paused(kFalse);
    for (int i = 0; i < mi.voice_count; i++) {
        if (voices_.has_voice(i) && was_paused && paused_voice_[i]) voices_.start(i);
        paused_voice_[i] = false;
    }
    mi.busy = kFalse;
}

void Engine::reset_private_state()
{
    random_state_ = 1;
    std::fill(std::begin(paused_voice_), std::end(paused_voice_), false);
    std::fill(std::begin(wanted_frequency_), std::end(wanted_frequency_), 0);
    std::fill(std::begin(auto_vibrato_), std::end(auto_vibrato_), AutoVibrato{});
    std::fill(std::begin(tremor_silent_), std::end(tremor_silent_), false);
}

void Engine::request_track(int order)
{
    mi.request_row = 1;
    mi.request_order = order + 1;
    mi.busy = kFalse;
}

void Engine::start_song(QVMOD *module, int loop, const PingPongCopies *copies)
{
    mi.flags = module->flags;
    const bool note_module = (module->flags & QVMOD_FLAG_NOTES) != 0;
    for (int i = 0; i < QVMOD_MAX_CHANNELS; i++) {
        CHANNEL_STATE &c = ci[i];
        const int temp_pan = c.temp_pan;
        const int extra_up = c.xm_extra_fine_up_memory;
        const int extra_down = c.xm_extra_fine_down_memory;
        c = CHANNEL_STATE{};
        c.temp_pan = temp_pan;
        c.xm_extra_fine_up_memory = extra_up;
        c.xm_extra_fine_down_memory = extra_down;
        c.fade_volume = kFullFade;
        c.tremolo_shift = kTremoloShift;
        c.vibrato_shift = kVibratoShift;
        c.volume_env.value = kEnvVolumeDefault;
        c.pan_env.value = kEnvPanDefault;
        c.c2spd = note_module ? 0 : kDefaultC2spd;
        if (i < mi.voice_count) c.pan = module->channel_pan[i];
    }
    mi.tick = -1;
    mi.row = 0;
    mi.order_pos = 0;
    mi.pattern = module->order_table[0];
    mi.bpm = std::clamp(module->initial_bpm, kMinBpm, kMaxBpm);
    mi.speed = std::max(0, module->initial_speed);
    mi.global_volume = std::clamp(module->initial_global_volume, 0, kMaxGlobalVolume);
    mi.pending_row = mi.pending_order = mi.pattern_delay = 0;
    set_song_paused(kFalse);
    std::fill(std::begin(paused_voice_), std::end(paused_voice_), false);
    std::fill(std::begin(tremor_silent_), std::end(tremor_silent_), false);
    mi.busy = kFalse;
    set_song_playing(kTrue);
    mi.loop = loop ? kTrue : kFalse;
    if (shared_) set_playing_copies(copies);
    of = module;
}

// The tick's restart: play_mod on the same module with the copies it already has.
void Engine::restart_mod(int loop)
{
    QVMOD *module = of;
    const PingPongCopies *copies = shared_ ? playing_copies() : nullptr;
    stop_song();
    start_song(module, loop, copies);
}

extern "C" void destroy_mod(QVMOD *module)
{
    if (!module) return;
    std::unique_ptr<PingPongCopies> copies;
    {
        const auto store = lock_pingpong_store();
        copies = take_pingpong_copies(module);
        PlayerHold hold;
        if (module == of) shared_engine().stop_song();
        // A stopped voice may still be mixing: every voice on the module's data lets go first.
        release_voices_on(module->samples, static_cast<size_t>(std::max(module->sample_count, 0)));
        if (copies) release_voices_on(copies->copies.data(), copies->copies.size());
        if (playing_copies() == copies.get()) set_playing_copies(nullptr);  // a song that ended
    }
    copies.reset();
    free_module(module);
}
