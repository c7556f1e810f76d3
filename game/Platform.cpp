// SPDX-License-Identifier: MIT
// What differs between the platforms the game builds for: graphics drivers, the window's class,
// signals, the loss of the display, the window's events, the sound system's own messages, the
// library's thread wake-ups.
#include "Platform.h"

#include <allegro.h>

#include <csignal>
#include <cstdlib>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#ifdef ALLEGRO_WINDOWS
#include <winalleg.h>
#endif
#if defined(ALLEGRO_WITH_XWINDOWS) && defined(QVX_HAVE_XLIB)
#include <X11/Xlib.h>
#endif
#ifdef ALLEGRO_WITH_XWINDOWS
#include <xalleg.h>
#include <allegro/platform/aintunix.h>
#endif
#ifdef ALLEGRO_WITH_ALSADIGI
#include <dlfcn.h>
#endif

int PlatformWindowedDriver()
{
#ifdef ALLEGRO_WINDOWS
    return GFX_DIRECTX_WIN;
#else
    return GFX_AUTODETECT_WINDOWED;
#endif
}

int PlatformFullscreenDriver()
{
#ifdef ALLEGRO_WINDOWS
    return GFX_DIRECTX_ACCEL;
#else
    return GFX_AUTODETECT_FULLSCREEN;
#endif
}

#ifdef __linux__
namespace {
constexpr unsigned long BATCHED_SLACK_NS = 9000000;  // a wake-up may come 9 ms late
}  // namespace

BatchedWakeups::BatchedWakeups() : saved_(prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0))
{
    prctl(PR_SET_TIMERSLACK, BATCHED_SLACK_NS, 0, 0, 0);
}

BatchedWakeups::~BatchedWakeups()
{
    if (saved_ > 0) prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(saved_), 0, 0, 0);
}
#else
BatchedWakeups::BatchedWakeups() : saved_(0) {}

BatchedWakeups::~BatchedWakeups() {}
#endif

void PlatformInstallQuitSignals(void (*handler)(int))
{
    std::signal(SIGTERM, handler);
    std::signal(SIGINT, handler);
#ifdef SIGHUP
    std::signal(SIGHUP, handler);
#endif
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

#if defined(ALLEGRO_WITH_XWINDOWS) && defined(QVX_HAVE_XLIB)

namespace {

void (*display_lost_words)() = nullptr;

// Xlib calls this once the server has gone; returning would make Xlib end the process itself.
int OnDisplayConnectionLost(Display *)
{
    if (display_lost_words != nullptr) display_lost_words();
    std::_Exit(STATUS_DISPLAY_LOST);
}

}  // namespace

void PlatformOnDisplayLost(void (*last_words)())
{
    display_lost_words = last_words;
    XSetIOErrorHandler(OnDisplayConnectionLost);
}

namespace {

// The library's window thread reads the window's events every 10 ms, and each time first waits
// for the X server to answer a round trip, whether or not anything happened. This reads them the
// same way when the connection has some (or while the pointer is held for relative motion, which
// the library times in these passes); otherwise it only sends what is waiting to be drawn.
// Called by the library with its display lock held.
void ReadWindowEventsWhenAny()
{
    if (_xwin.display == nullptr) return;
    if (_xwin.mouse_warped || XEventsQueued(_xwin.display, QueuedAfterFlush) > 0)
        _xwin_private_handle_input();
}

}  // namespace

void PlatformQuietWindowEvents()
{
    // A graphics driver with its own event reader keeps it.
    if (_xwin_input_handler == nullptr) _xwin_input_handler = ReadWindowEventsWhenAny;
}

#else

void PlatformOnDisplayLost(void (*)()) {}

void PlatformQuietWindowEvents() {}

#endif
void PlatformSetWindowClass(const char *name, const char *window_class)
{
#ifdef ALLEGRO_WITH_XWINDOWS
    // Only kept until the library makes its windows, which then carry the names from the start.
    xwin_set_window_name(name, window_class);
#else
    (void)name;
    (void)window_class;
#endif
}

std::string PlatformNoDisplayReason()
{
#ifdef ALLEGRO_WITH_XWINDOWS
    const char *display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') return "DISPLAY is not set";
    return std::string("the display \"") + display + "\" (DISPLAY) cannot be opened";
#else
    return "";
#endif
}

#ifdef ALLEGRO_WITH_ALSADIGI
namespace {

// ALSA's error handler type; the lines it would print are dropped.
using AlsaErrorHandler = void (*)(const char *file, int line, const char *function, int err,
                                  const char *format, ...);
using AlsaSetErrorHandler = int (*)(AlsaErrorHandler);

void DropAlsaError(const char *, int, const char *, int, const char *, ...) {}

}  // namespace
#endif

void PlatformQuietSoundErrors()
{
#ifdef ALLEGRO_WITH_ALSADIGI
    // Allegro's ALSA drivers, loaded by the library, have brought ALSA in: it is reached without
    // loading anything, and where it is absent there is nothing to quieten.
    void *alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_NOLOAD);
    if (alsa == nullptr) return;
    auto set = reinterpret_cast<AlsaSetErrorHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (set != nullptr) set(DropAlsaError);
    dlclose(alsa);
#endif
}
