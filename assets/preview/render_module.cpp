// Renders the datafile's game module to a WAV file through the player and Allegro's software mixer, without a display.
#include <allegro.h>
#include <allegro/internal/aintern.h>
#include <pthread.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "qvmod.h"

namespace {

#define DIGI_MANUAL AL_ID('M', 'A', 'N', 'U')
constexpr int kRate = 44100;
constexpr int kMixFrames = 441;   // 10 ms per mix
constexpr int kTimerClock = 1193181;
constexpr int kGameModule = 24;
constexpr int kGameModuleVolume = 60;   // the volume the game plays its music at

DIGI_DRIVER manual_digi;

void *mx_new() {
  pthread_mutexattr_t a;
  auto *m = static_cast<pthread_mutex_t *>(std::malloc(sizeof(pthread_mutex_t)));
  pthread_mutexattr_init(&a);
  pthread_mutexattr_settype(&a, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(m, &a);
  return m;
}
void mx_del(void *m) { pthread_mutex_destroy(static_cast<pthread_mutex_t *>(m)); std::free(m); }
void mx_lock(void *m) { pthread_mutex_lock(static_cast<pthread_mutex_t *>(m)); }
void mx_unlock(void *m) { pthread_mutex_unlock(static_cast<pthread_mutex_t *>(m)); }
int md_detect(int) { return TRUE; }
int md_init(int, int v) {
  manual_digi.voices = v;
  return _mixer_init(kMixFrames * 2, kRate, TRUE, TRUE, &manual_digi.voices);
}
void md_exit(int) { _mixer_exit(); }

extern "C" TIMER_DRIVER timerdrv_unix_pthreads;
_DRIVER_INFO digi_list[] = {{DIGI_MANUAL, &manual_digi, TRUE}, {0, nullptr, 0}};
_DRIVER_INFO timer_list[] = {{TIMERDRV_UNIX_PTHREADS, &timerdrv_unix_pthreads, TRUE}, {0, nullptr, 0}};
_DRIVER_INFO *get_digi_list() { return digi_list; }
_DRIVER_INFO *get_timer_list() { return timer_list; }

int start_without_display() {
  DIGI_DRIVER *d = &manual_digi;
  d->id = DIGI_MANUAL;
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
  system_none.digi_drivers = get_digi_list;
  system_none.timer_drivers = get_timer_list;
  return install_allegro(SYSTEM_NONE, &errno, atexit);
}

void put16(FILE *f, int v) { std::fputc(v & 0xFF, f); std::fputc((v >> 8) & 0xFF, f); }
void put32(FILE *f, long v) { put16(f, static_cast<int>(v & 0xFFFF)); put16(f, static_cast<int>((v >> 16) & 0xFFFF)); }

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s quorvex.dat out.wav [seconds [module volume]]\n", argv[0]);
    return 2;
  }
  const double seconds = argc > 3 ? std::atof(argv[3]) : 60.0;
  if (start_without_display() != 0) return 1;
  reserve_voices(16, 0);
  if (install_sound(DIGI_MANUAL, MIDI_NONE, nullptr) != 0) {
    std::fprintf(stderr, "sound: %s\n", allegro_error);
    return 1;
  }
  if (install_mod(4) < 0) {
    std::fprintf(stderr, "player: %s\n", qvmod_error);
    return 1;
  }
  DATAFILE *data = load_datafile(argv[1]);
  if (!data) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return 1;
  }
  set_mod_manual_ticks(-1);
  set_mod_volume(argc > 4 ? std::atoi(argv[4]) : kGameModuleVolume);
  play_mod(static_cast<QVMOD *>(data[kGameModule].dat), TRUE);

  std::vector<int16_t> pcm;
  std::vector<int16_t> chunk(kMixFrames * 2);   // signed: the last argument of the mix below
  double owed = 0;   // frames still to mix for the ticks already run
  const long total = static_cast<long>(seconds * kRate);
  while (static_cast<long>(pcm.size() / 2) < total) {
    mod_interrupt();
    owed += static_cast<double>(get_mod_timer_period()) * kRate / kTimerClock;
    while (owed >= kMixFrames) {
      _mix_some_samples(reinterpret_cast<uintptr_t>(chunk.data()), 0, TRUE);
      pcm.insert(pcm.end(), chunk.begin(), chunk.end());
      owed -= kMixFrames;
    }
  }
  stop_mod();

  FILE *f = std::fopen(argv[2], "wb");
  if (!f) return 1;
  const long bytes = static_cast<long>(pcm.size() * 2);
  std::fputs("RIFF", f); put32(f, 36 + bytes); std::fputs("WAVEfmt ", f);
  put32(f, 16); put16(f, 1); put16(f, 2); put32(f, kRate); put32(f, kRate * 4); put16(f, 4); put16(f, 16);
  std::fputs("data", f); put32(f, bytes);
  for (int16_t v : pcm) put16(f, v);
  std::fclose(f);
  unload_datafile(data);
  return 0;
}
