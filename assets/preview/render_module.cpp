// SPDX-License-Identifier: MIT
// Renders the datafile's game module to a WAV file through the player and Allegro's software mixer, without a display.
#include <allegro.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "manual_mixer.h"
#include "module_render.h"
#include "qvmod.h"

namespace {

constexpr int kGameModule = 24;
constexpr int kGameModuleVolume = 60;  // the volume the game plays its music at
constexpr int kGameVoices = 16;        // the voices the game reserves

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s quorvex.dat out.wav [seconds [module volume]]\n", argv[0]);
        return 2;
    }
    const double seconds = argc > 3 ? std::atof(argv[3]) : 60.0;
    if (manual_mixer::start(manual_mixer::kDefaultRate, kGameVoices) != 0) {
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
    set_mod_volume(argc > 4 ? std::atoi(argv[4]) : kGameModuleVolume);
    std::string error;
    const long frames = static_cast<long>(seconds * manual_mixer::kDefaultRate);
    const bool ok = render_wav(static_cast<QVMOD *>(data[kGameModule].dat), true, frames,
                               manual_mixer::kDefaultRate, argv[2], error);
    unload_datafile(data);
    if (!ok) std::fprintf(stderr, "%s: %s\n", argv[2], error.c_str());
    return ok ? 0 : 1;
}
