// Test entry for tests that play on a real digital driver: Allegro with timer and sound.
#include <gtest/gtest.h>

#include <cstdio>

#include <allegro.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

// The voice counts to reserve, tried in order until the driver accepts one.
#ifndef SOUND_TEST_VOICES
#define SOUND_TEST_VOICES 16
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
    for (int voices : {SOUND_TEST_VOICES}) {
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
