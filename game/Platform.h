// What differs between the platforms the game builds for: the graphics driver and replacing files.
#ifndef QUORVEX_PLATFORM_H
#define QUORVEX_PLATFORM_H

#include <cstdio>

// The windowed graphics driver the game asks for; it accepts no other.
int PlatformWindowedDriver();

// Pushes a written stream's contents to the disk; false on failure.
bool PlatformFlushFile(std::FILE *f);

// Replaces target by source in one step (an existing target is overwritten); false on failure.
bool PlatformReplaceFile(const char *source, const char *target);

#endif
