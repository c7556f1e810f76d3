// What differs between the platforms the game builds for: graphics drivers, replacing files, signals.
#ifndef QUORVEX_PLATFORM_H
#define QUORVEX_PLATFORM_H

#include <cstdio>

// The windowed graphics driver the game asks for; it accepts no other.
int PlatformWindowedDriver();

// The full-screen graphics driver, for --fullscreen.
int PlatformFullscreenDriver();

// Routes the requests to end the program that the platform sends as signals (termination,
// interrupt and, where it exists, hang-up) to `handler`, which may only set a flag.
void PlatformInstallQuitSignals(void (*handler)(int));

// Pushes a written stream's contents to the disk; false on failure.
bool PlatformFlushFile(std::FILE *f);

// Replaces target by source in one step (an existing target is overwritten); false on failure.
bool PlatformReplaceFile(const char *source, const char *target);

#endif
