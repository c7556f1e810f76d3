// Test entry for the player tests that need no display: Allegro without a system driver.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include <allegro.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    return RUN_ALL_TESTS();
}
