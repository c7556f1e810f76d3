// What differs between the platforms the game builds for: graphics drivers, signals.
#include "Platform.h"

#include <allegro.h>

#include <csignal>

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

void PlatformInstallQuitSignals(void (*handler)(int))
{
    std::signal(SIGTERM, handler);
    std::signal(SIGINT, handler);
#ifdef SIGHUP
    std::signal(SIGHUP, handler);
#endif
}
