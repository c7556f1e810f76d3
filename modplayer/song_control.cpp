// Songs started, restarted, paused and stopped, track requests, and a module's end: the engine's work behind the interface and the tick.
#include "player_internal.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>

namespace {

bool g_paused_voice[QVMOD_MAX_CHANNELS];  // voices that were sounding when the pause began

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

void stop_song()
{
    if (!of) return;
    mi.busy = kTrue;
    set_song_playing(kFalse);
    mi.order_pos = 0;
    for (int i = 0; i < mi.voice_count; i++) {
        if (voice_table[i] < 0) continue;
        voice_stop(voice_table[i]);
        voice_set_volume(voice_table[i], 0);
    }
    of = nullptr;
    set_playing_copies(nullptr);
    std::fill(std::begin(g_paused_voice), std::end(g_paused_voice), false);
    mi.busy = kFalse;
}

void pause_song()
{
    mi.busy = kTrue;
    // Remember the sounding voices once: a second pause would find them all stopped.
    if (mi.paused != kTrue) {
        for (int i = 0; i < QVMOD_MAX_CHANNELS; i++)
            g_paused_voice[i] = i < mi.voice_count && voice_table[i] >= 0 &&
                                voice_get_position(voice_table[i]) >= 0;
    }
    set_song_paused(kTrue);
    for (int i = 0; i < mi.voice_count; i++)
        if (voice_table[i] >= 0) voice_stop(voice_table[i]);
    mi.busy = kFalse;
}

void resume_song()
{
    mi.busy = kTrue;
    const bool was_paused = mi.paused == kTrue;
    set_song_paused(kFalse);
    for (int i = 0; i < mi.voice_count; i++) {
        if (voice_table[i] >= 0 && was_paused && g_paused_voice[i]) voice_start(voice_table[i]);
        g_paused_voice[i] = false;
    }
    mi.busy = kFalse;
}

void request_track(int order)
{
    mi.request_row = 1;
    mi.request_order = order + 1;
    mi.busy = kFalse;
}

void start_song(QVMOD *module, int loop, const PingPongCopies *copies)
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
    std::fill(std::begin(g_paused_voice), std::end(g_paused_voice), false);
    mi.busy = kFalse;
    set_song_playing(kTrue);
    mi.loop = loop ? kTrue : kFalse;
    set_playing_copies(copies);
    of = module;
}

// The tick's restart: play_mod on the same module with the copies it already has.
void restart_mod(int loop)
{
    QVMOD *module = of;
    const PingPongCopies *copies = playing_copies();
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
        if (module == of) stop_song();
        // A stopped voice may still be mixing: every voice on the module's data lets go first.
        release_voices_on(module->samples, static_cast<size_t>(std::max(module->sample_count, 0)));
        if (copies) release_voices_on(copies->copies.data(), copies->copies.size());
        if (playing_copies() == copies.get()) set_playing_copies(nullptr);  // a song that ended
    }
    copies.reset();
    free_module(module);
}
