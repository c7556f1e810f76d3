// Renders the datafile's game module to a WAV file through the player and Allegro's software mixer, without a display.
#include <allegro.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "manual_mixer.h"
#include "qvmod.h"

namespace {

constexpr int kGameModule = 24;
constexpr int kGameModuleVolume = 60;   // the volume the game plays its music at

void put16(FILE *f, int v) { std::fputc(v & 0xFF, f); std::fputc((v >> 8) & 0xFF, f); }
void put32(FILE *f, long v) { put16(f, static_cast<int>(v & 0xFFFF)); put16(f, static_cast<int>((v >> 16) & 0xFFFF)); }

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s quorvex.dat out.wav [seconds [module volume]]\n", argv[0]);
    return 2;
  }
  const double seconds = argc > 3 ? std::atof(argv[3]) : 60.0;
  reserve_voices(16, 0);
  if (manual_mixer::start() != 0) {
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

  manual_mixer::Output out;
  const long total = static_cast<long>(seconds * manual_mixer::kRate);
  while (out.frames() < total) {
    mod_interrupt();
    out.after_tick(get_mod_timer_period());
  }
  const std::vector<int16_t> &pcm = out.pcm;
  stop_mod();

  FILE *f = std::fopen(argv[2], "wb");
  if (!f) return 1;
  const long bytes = static_cast<long>(pcm.size() * 2);
  std::fputs("RIFF", f); put32(f, 36 + bytes); std::fputs("WAVEfmt ", f);
  put32(f, 16); put16(f, 1); put16(f, 2); put32(f, manual_mixer::kRate); put32(f, manual_mixer::kRate * 4); put16(f, 4); put16(f, 16);
  std::fputs("data", f); put32(f, bytes);
  for (int16_t v : pcm) put16(f, v);
  std::fclose(f);
  unload_datafile(data);
  return 0;
}
