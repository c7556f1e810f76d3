// What differs between the platforms the game builds for: graphics drivers, the window's class,
// signals, the sound system's own messages, path sizes (the file calls are in SafeFile.h).
#ifndef QUORVEX_PLATFORM_H
#define QUORVEX_PLATFORM_H

#include <climits>
#include <string>

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

// Names the game's window (instance `name`, class `window_class`) where the window system knows
// such names, so that desktops match the running game to its menu entry. Called before the
// library is installed, so that its window is made with them.
void PlatformSetWindowClass(const char *name, const char *window_class);

// What the window system lacked when the library could not start, for the player: empty when the
// platform has nothing to add.
std::string PlatformNoDisplayReason();

// Keeps the sound system's own error lines off standard error (the game says itself when sound
// cannot start). Called after the library is installed and before the sound is.
void PlatformQuietSoundErrors();

// Routes the requests to end the program that the platform sends as signals (termination,
// interrupt and, where it exists, hang-up) to `handler`, which may only set a flag.
void PlatformInstallQuitSignals(void (*handler)(int));

#endif
