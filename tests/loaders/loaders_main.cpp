// Test entry for the loader tests: Allegro without a system driver (files only).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include <allegro.h>

// Under AddressSanitizer any single allocation above this aborts the run: a loader that sizes a
// block from a count in a damaged file, rather than from the file's bytes, is caught here.
extern "C" const char *__asan_default_options()
{
    return "max_allocation_size_mb=32";
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    return RUN_ALL_TESTS();
}
