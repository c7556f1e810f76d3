// SPDX-License-Identifier: MIT
// The one GoogleTest entry of the unit tests, with Allegro brought up as the executable asks:
//   QVX_TEST_SOUND_VOICES=a,b,...  Allegro with its timer and a real digital driver, reserving the
//                                  first voice count the driver accepts;
//   QVX_TEST_NO_ALLEGRO            nothing (the tests start Allegro their own way);
//   neither                        Allegro without a system driver (files, bitmaps, datafiles).
//   QVX_TEST_ASAN_DEFAULTS="..."   AddressSanitizer defaults (ASAN_OPTIONS still wins).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <allegro.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#if defined(__SANITIZE_ADDRESS__) && defined(QVX_TEST_ASAN_DEFAULTS)
extern "C" __attribute__((used, visibility("default"))) const char *__asan_default_options()
{
    return QVX_TEST_ASAN_DEFAULTS;
}
#endif

namespace {

bool start_allegro()
{
#if defined(QVX_TEST_NO_ALLEGRO)
    return true;
#elif defined(QVX_TEST_SOUND_VOICES)
#if defined(__SANITIZE_ADDRESS__)
    // The sound driver modules keep a few bytes of their own until the process ends.
    __lsan::ScopedDisabler lsan_off;
#endif
    if (allegro_init() != 0 || install_timer() != 0) {
        std::printf("Allegro could not start\n");
        return false;
    }
    for (int voices : {QVX_TEST_SOUND_VOICES}) {
        reserve_voices(voices, -1);
        if (install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) == 0) return true;
    }
    std::printf("No digital sound driver: %s\n", allegro_error);
    return false;
#else
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return false;
    set_color_depth(8);  // the game's bitmaps are 8-bit and stay as stored
    set_color_conversion(COLORCONV_NONE);
    return true;
#endif
}

}  // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!start_allegro()) return 1;
    return RUN_ALL_TESTS();
}
