// What differs between the platforms the game builds for: graphics drivers, signals, the loss of
// the display, the library's thread wake-ups.
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

#else

void PlatformOnDisplayLost(void (*)()) {}

#endif
