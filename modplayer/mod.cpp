// SPDX-License-Identifier: MIT
// Player interface: voices, start/stop/pause, volume/tempo/pitch and track skips.
#include "player_internal.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool g_atexit_registered = false;

}  // namespace

// ------------------------------------------------------------------ installation

extern "C" int install_mod(int voices)
{
    if (mod_init == kTrue) return 1;
    register_datafile_qvmod();
    if (voices < 1 || voices > QVMOD_MAX_CHANNELS) return -1;

    if (!fake_sample) {
        fake_sample = static_cast<SAMPLE *>(qvmod_calloc(sizeof(SAMPLE)));
        if (!fake_sample) {
            qvmod_set_error("Unable to setup initialization sample");
            return -1;
        }
        fake_sample->bits = 8;
        fake_sample->stereo = 0;
        fake_sample->freq = kFakeSampleFreq;
        fake_sample->priority = kSamplePriority;
        fake_sample->len = 0;
        fake_sample->loop_start = 0;
        fake_sample->loop_end = 0;
        fake_sample->param = -1;
        fake_sample->data = qvmod_calloc(0);
        if (!fake_sample->data) {
            qvmod_set_error("QVMOD : Not enough memory to setup initialization sample");
            std::free(fake_sample);
            fake_sample = nullptr;
            return -1;
        }
    }

    PlayerHold hold;
    bool failed = false;
    for (int i = 0; i < voices; i++) {
        voice_table[i] = allocate_voice(fake_sample);
        if (voice_table[i] < 0) {
            failed = true;
            continue;
        }
        ci[i].volume = 0;
        voice_set_volume(voice_table[i], 0);
        voice_start(voice_table[i]);
    }
    if (failed) {
        for (int i = 0; i < voices; i++) {
            if (voice_table[i] >= 0) deallocate_voice(voice_table[i]);
            voice_table[i] = -1;
        }
        qvmod_set_error("QVMOD : Unable to allocate enough voices");
        return -1;
    }

    mi.voice_count = voices;
    shared_engine().set_song_playing(kFalse);
    mi.speed_ratio = 100;
    mi.pitch_ratio = 100;
    mod_init = kTrue;
    if (!g_atexit_registered) {
        std::atexit(remove_mod);
        g_atexit_registered = true;
    }
    return 1;
}

extern "C" void remove_mod(void)
{
    {
        PlayerHold hold;
        shared_engine().stop_song();
    }
    // Outside the hold: removing the timer waits for a callback in progress.
    remove_mod_timer();
    PlayerHold hold;
    for (int i = 0; i < QVMOD_MAX_CHANNELS; i++) {
        if (voice_table[i] >= 0) deallocate_voice(voice_table[i]);
        voice_table[i] = -1;
    }
    mi.voice_count = 0;
    mod_init = kFalse;
}

// ------------------------------------------------------------------ playing

extern "C" void play_mod(QVMOD *module, int loop)
{
    if (!module) {
        qvmod_set_error("Can't play a QVMOD pointer with null value");
        return;
    }
    const auto store = lock_pingpong_store();
    const PingPongCopies *copies =
        pingpong_copies_for(module);  // before the hold: a song playing keeps its ticks
    PlayerHold hold;
    if (of) shared_engine().stop_song();
    shared_engine().start_song(module, loop, copies);
    update_mod_timer();
}

extern "C" void stop_mod(void)
{
    PlayerHold hold;
    shared_engine().stop_song();
}

extern "C" void pause_mod(void)
{
    PlayerHold hold;
    shared_engine().pause_song();
}

extern "C" void resume_mod(void)
{
    PlayerHold hold;
    shared_engine().resume_song();
}

extern "C" void toggle_pause_mode(void)
{
    PlayerHold hold;
    if (mi.playing == kTrue && mi.paused == kTrue)
        shared_engine().resume_song();
    else
        shared_engine().pause_song();
}

extern "C" int is_mod_playing(void)
{
    return qv_playing.load();
}

extern "C" int is_mod_paused(void)
{
    return qv_playing.load() == kTrue ? qv_paused.load() : kFalse;
}

extern "C" void set_mod_volume(int volume)
{
    PlayerHold hold;
    mod_volume = std::clamp(volume, 0, kMaxModVolume);
    for (int i = 0; i < mi.voice_count; i++)
        if (voice_table[i] >= 0) voice_set_volume(voice_table[i], calc_volume(i));
}

extern "C" int get_mod_volume(void)
{
    return mod_volume;
}

extern "C" void set_mod_speed(int percent)
{
    PlayerHold hold;
    mi.speed_ratio = std::clamp(percent, kMinRatio, kMaxRatio);
    if (of) update_mod_timer();
}

extern "C" void set_mod_pitch(int percent)
{
    PlayerHold hold;
    mi.pitch_ratio = std::clamp(percent, kMinRatio, kMaxRatio);
}

extern "C" void next_mod_track(void)
{
    PlayerHold hold;
    shared_engine().request_track(std::min(mi.order_pos + 1, QVMOD_MAX_ORDERS));
}

extern "C" void prev_mod_track(void)
{
    PlayerHold hold;
    shared_engine().request_track(std::max(mi.order_pos - 1, 0));
}

extern "C" void goto_mod_track(int position)
{
    PlayerHold hold;
    shared_engine().request_track(std::clamp(position, 0, QVMOD_MAX_ORDERS));
}
