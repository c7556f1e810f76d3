// Allegro without a display, whose software mixer is run by the caller: music rendered in step with hand-driven ticks.
#ifndef QVX_MANUAL_MIXER_H
#define QVX_MANUAL_MIXER_H

#include <allegro.h>
#include <allegro/internal/aintern.h>
#include <pthread.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace manual_mixer {

#define QVX_DIGI_MANUAL AL_ID('M', 'A', 'N', 'U')
constexpr int kRate = 44100;
constexpr int kMixFrames = 441;   // 10 ms per mix
constexpr int kTimerClock = 1193181;

inline DIGI_DRIVER &driver() {
  static DIGI_DRIVER d;
  return d;
}

inline void *mx_new() {
  pthread_mutexattr_t a;
  auto *m = static_cast<pthread_mutex_t *>(std::malloc(sizeof(pthread_mutex_t)));
  pthread_mutexattr_init(&a);
  pthread_mutexattr_settype(&a, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(m, &a);
  pthread_mutexattr_destroy(&a);
  return m;
}
inline void mx_del(void *m) { pthread_mutex_destroy(static_cast<pthread_mutex_t *>(m)); std::free(m); }
inline void mx_lock(void *m) { pthread_mutex_lock(static_cast<pthread_mutex_t *>(m)); }
inline void mx_unlock(void *m) { pthread_mutex_unlock(static_cast<pthread_mutex_t *>(m)); }
inline int md_detect(int) { return TRUE; }
inline int md_init(int, int v) {
  driver().voices = v;
  return _mixer_init(kMixFrames * 2, kRate, TRUE, TRUE, &driver().voices);
}
inline void md_exit(int) { _mixer_exit(); }

extern "C" TIMER_DRIVER timerdrv_unix_pthreads;

inline _DRIVER_INFO *digi_list() {
  static _DRIVER_INFO list[] = {{QVX_DIGI_MANUAL, &driver(), TRUE}, {0, nullptr, 0}};
  return list;
}
inline _DRIVER_INFO *timer_list() {
  static _DRIVER_INFO list[] = {{TIMERDRV_UNIX_PTHREADS, &timerdrv_unix_pthreads, TRUE}, {0, nullptr, 0}};
  return list;
}

// Allegro on its display-less system driver with the manual mixer as the only digital driver.
inline int start() {
  DIGI_DRIVER *d = &driver();
  d->id = QVX_DIGI_MANUAL;
  d->name = d->desc = d->ascii_name = "manual mixer";
  d->max_voices = MIXER_MAX_SFX;
  d->def_voices = MIXER_DEF_SFX;
  d->detect = md_detect;
  d->init = md_init;
  d->exit = md_exit;
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
  system_none.create_mutex = mx_new;
  system_none.destroy_mutex = mx_del;
  system_none.lock_mutex = mx_lock;
  system_none.unlock_mutex = mx_unlock;
  system_none.digi_drivers = digi_list;
  system_none.timer_drivers = timer_list;
  if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return -1;
  return install_sound(QVX_DIGI_MANUAL, MIDI_NONE, nullptr);
}

// Stereo 16-bit output of the mixer, made for the ticks run so far.
class Output {
 public:
  // Mixes the sound of one tick that lasted `period` timer units.
  void after_tick(int period) {
    owed_ += static_cast<double>(period) * kRate / kTimerClock;
    while (owed_ >= kMixFrames) {
      _mix_some_samples(reinterpret_cast<uintptr_t>(chunk_.data()), 0, TRUE);
      pcm.insert(pcm.end(), chunk_.begin(), chunk_.end());
      owed_ -= kMixFrames;
    }
  }
  long frames() const { return static_cast<long>(pcm.size() / 2); }
  std::vector<int16_t> pcm;   // interleaved left, right

 private:
  std::vector<int16_t> chunk_ = std::vector<int16_t>(kMixFrames * 2);
  double owed_ = 0;   // frames still to mix for the ticks already run
};

}  // namespace manual_mixer

#endif
