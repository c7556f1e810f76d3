// Test entry for playing loaded modules on a real digital driver (Xvfb and the null ALSA device).
#include <gtest/gtest.h>

#include <cstdio>

#include <allegro.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

bool start_allegro()
{
#if defined(__SANITIZE_ADDRESS__)
    // The sound driver modules keep a few bytes of their own until the process ends.
    __lsan::ScopedDisabler lsan_off;
#endif
    if (allegro_init() != 0 || install_timer() != 0) {
        std::printf("Allegro could not start\n");
        return false;
    }
    for (int voices : {64, 32, 16}) {
        reserve_voices(voices, -1);
        if (install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) == 0) return true;
    }
    std::printf("No digital sound driver: %s\n", allegro_error);
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!start_allegro()) return 1;
    return RUN_ALL_TESTS();
}
