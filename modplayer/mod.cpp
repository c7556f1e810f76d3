// Player interface: voice reservation (the rest of the player follows).
#include "qvmod.h"

static int voice_table[64];
static int voice_count = 0;

extern "C" int install_mod(int max_chn)
{
    if (max_chn < 1 || max_chn > 64 || voice_count > 0) return -1;
    for (int i = 0; i < max_chn; i++) voice_table[i] = -1;
    voice_count = max_chn;
    return max_chn;
}

extern "C" void remove_mod(void) { voice_count = 0; }
extern "C" int play_mod(QVMOD *, int) { return 0; }
extern "C" void stop_mod(void) {}
extern "C" void set_mod_volume(int) {}
