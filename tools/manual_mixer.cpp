// SPDX-License-Identifier: MIT
// Allegro's display-less system driver made whole: mutexes, timer thread, and a digital driver that mixes only when asked or Allegro's own.
#include "manual_mixer.h"

#include <allegro.h>
#include <allegro/internal/aintern.h>
#include <allegro/platform/aintunix.h>
#include <pthread.h>

#include <cerrno>
#include <cstdlib>

namespace manual_mixer {

namespace {

#define QVMOD_DIGI_MANUAL AL_ID('M', 'A', 'N', 'U')
DIGI_DRIVER g_driver;
int g_rate = kDefaultRate;

// The mixer locks a mutex, which the display-less system driver does not provide.
void *mutex_new()
{
    pthread_mutexattr_t a;
    auto *m = static_cast<pthread_mutex_t *>(std::malloc(sizeof(pthread_mutex_t)));
    if (!m) return nullptr;
    pthread_mutexattr_init(&a);
    pthread_mutexattr_settype(&a, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(m, &a);
    pthread_mutexattr_destroy(&a);
    return m;
}
void mutex_delete(void *m)
{
    pthread_mutex_destroy(static_cast<pthread_mutex_t *>(m));
    std::free(m);
}
void mutex_lock(void *m)
{
    pthread_mutex_lock(static_cast<pthread_mutex_t *>(m));
}
void mutex_unlock(void *m)
{
    pthread_mutex_unlock(static_cast<pthread_mutex_t *>(m));
}

int digi_detect(int)
{
    return TRUE;
}
int digi_init(int, int voices)
{
    g_driver.voices = voices;
    return _mixer_init(kChunkFrames * 2, g_rate, TRUE, TRUE, &g_driver.voices);
}
void digi_exit(int)
{
    _mixer_exit();
}

_DRIVER_INFO *digi_list()
{
    static _DRIVER_INFO list[] = {{QVMOD_DIGI_MANUAL, &g_driver, TRUE}, {0, nullptr, 0}};
    return list;
}
_DRIVER_INFO *timer_list()
{
    static _DRIVER_INFO list[] = {{TIMERDRV_UNIX_PTHREADS, &timerdrv_unix_pthreads, TRUE},
                                  {0, nullptr, 0}};
    return list;
}

_DRIVER_INFO *sound_driver_list()
{
    return _unix_digi_driver_list;
}

// What the display-less system driver lacks for sound: mutexes (the mixer locks one) and a timer.
void complete_system_driver()
{
    system_none.create_mutex = mutex_new;
    system_none.destroy_mutex = mutex_delete;
    system_none.lock_mutex = mutex_lock;
    system_none.unlock_mutex = mutex_unlock;
    system_none.timer_drivers = timer_list;
}

void set_up_driver()
{
    DIGI_DRIVER *d = &g_driver;
    d->id = QVMOD_DIGI_MANUAL;
    d->name = d->desc = d->ascii_name = "manual mixer";
    d->max_voices = MIXER_MAX_SFX;
    d->def_voices = MIXER_DEF_SFX;
    d->detect = digi_detect;
    d->init = digi_init;
    d->exit = digi_exit;
    d->init_voice = _mixer_init_voice;
    d->release_voice = _mixer_release_voice;
    d->start_voice = _mixer_start_voice;
    d->stop_voice = _mixer_stop_voice;
    d->loop_voice = _mixer_loop_voice;
    d->get_position = _mixer_get_position;
    d->set_position = _mixer_set_position;
    d->get_volume = _mixer_get_volume;
    d->set_volume = _mixer_set_volume;
    d->ramp_volume = _mixer_ramp_volume;
    d->stop_volume_ramp = _mixer_stop_volume_ramp;
    d->get_frequency = _mixer_get_frequency;
    d->set_frequency = _mixer_set_frequency;
    d->sweep_frequency = _mixer_sweep_frequency;
    d->stop_frequency_sweep = _mixer_stop_frequency_sweep;
    d->get_pan = _mixer_get_pan;
    d->set_pan = _mixer_set_pan;
    d->sweep_pan = _mixer_sweep_pan;
    d->stop_pan_sweep = _mixer_stop_pan_sweep;
    d->set_echo = _mixer_set_echo;
    d->set_tremolo = _mixer_set_tremolo;
    d->set_vibrato = _mixer_set_vibrato;
    complete_system_driver();
    system_none.digi_drivers = digi_list;
}

}  // namespace

int start(int rate, int voices)
{
    g_rate = rate;
    set_up_driver();
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return -1;
    reserve_voices(voices, 0);
    return install_sound(QVMOD_DIGI_MANUAL, MIDI_NONE, nullptr);
}

int start_with_sound_drivers()
{
    complete_system_driver();
    system_none.digi_drivers = sound_driver_list;
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return -1;
    _unix_driver_lists_init();
    _unix_load_modules(SYSTEM_NONE);
    // The sound drivers feed the device from Allegro's background thread.
    _unix_bg_man = &_bg_man_pthreads;
    return _unix_bg_man->init() == 0 ? 0 : -1;
}

void mix_chunk(int16_t *out)
{
    _mix_some_samples(reinterpret_cast<uintptr_t>(out), 0, TRUE);
}

Output::Output(int rate) : rate_(rate), chunk_(kChunkFrames * 2) {}

void Output::after_tick(int period)
{
    owed_ += static_cast<double>(period) * rate_ / kTimerClock;
    while (owed_ >= kChunkFrames) {
        mix_chunk(chunk_.data());
        pcm.insert(pcm.end(), chunk_.begin(), chunk_.end());
        owed_ -= kChunkFrames;
        mixed_ += kChunkFrames;
    }
}

}  // namespace manual_mixer
