// What differs between the platforms the game builds for: graphics drivers, signals, the library's
// thread wake-ups.
#include "Platform.h"

#include <allegro.h>

#include <csignal>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#ifdef ALLEGRO_WINDOWS
#include <winalleg.h>
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
}
