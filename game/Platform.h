// What differs between the platforms the game builds for: graphics drivers, signals, path sizes
// (the file calls are in SafeFile.h).
#ifndef QUORVEX_PLATFORM_H
#define QUORVEX_PLATFORM_H

#include <climits>

// The longest path the platform's file calls take, in bytes with the final NUL.
#ifdef _WIN32
constexpr int PLATFORM_PATH_MAX = 260;  // MAX_PATH: the ANSI calls Allegro makes take no longer
#elif defined(PATH_MAX)
constexpr int PLATFORM_PATH_MAX = PATH_MAX;
#else
constexpr int PLATFORM_PATH_MAX = 4096;
#endif

// The windowed graphics driver the game asks for; it accepts no other.
int PlatformWindowedDriver();

// The full-screen graphics driver, for --fullscreen.
int PlatformFullscreenDriver();

// Routes the requests to end the program that the platform sends as signals (termination,
// interrupt and, where it exists, hang-up) to `handler`, which may only set a flag.
void PlatformInstallQuitSignals(void (*handler)(int));

#endif
