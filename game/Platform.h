// SPDX-License-Identifier: MIT
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

// Lets the library's window thread read the window's events without asking the window system for
// a round trip when there are none (a wake-up of the window system every 10 ms otherwise). Called
// once the graphics mode is set; nothing where the platform has no such cost.
void PlatformQuietWindowEvents();

// Keeps the sound system's own error lines off standard error (the game says itself when sound
// cannot start). Called after the library is installed and before the sound is.
void PlatformQuietSoundErrors();

// While one lives, the threads this thread starts are woken in batches: a sleep of theirs may last
// up to 9 ms longer than asked. The library's start-up starts its window thread, which looks for
// window events every millisecond but acts on them every 10 ms; woken in batches it acts as often
// and sleeps in between. Only where the platform has such a setting (Linux); elsewhere nothing.
class BatchedWakeups {
public:
    BatchedWakeups();
    ~BatchedWakeups();
    BatchedWakeups(const BatchedWakeups &) = delete;
    BatchedWakeups &operator=(const BatchedWakeups &) = delete;

private:
    long saved_;
};

// Routes the requests to end the program that the platform sends as signals (termination,
// interrupt and, where it exists, hang-up) to `handler`, which may only set a flag. A broken pipe
// (a sound output or a standard output whose reader has gone) is ignored where the platform has
// the signal: the failed write reports it, and the program goes on to its normal exit.
void PlatformInstallQuitSignals(void (*handler)(int));

// The exit status when the connection to the display is lost.
constexpr int STATUS_DISPLAY_LOST = 1;

// Where the display is a connection that can be lost (an X server going away with the desktop
// session, a remote display dropping): `last_words` runs on whichever thread finds the
// connection gone, and the process then ends at once with STATUS_DISPLAY_LOST, without the
// library's own shut-down (which would use the display). `last_words` must not use the display.
// Nothing where the platform's display cannot go away under the program.
void PlatformOnDisplayLost(void (*last_words)());

#endif
