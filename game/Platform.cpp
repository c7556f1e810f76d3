// What differs between the platforms the game builds for: graphics drivers, replacing files, signals.
#include "Platform.h"

#include <allegro.h>

#include <csignal>
#include <cstdio>

#ifdef ALLEGRO_WINDOWS
#include <winalleg.h>
#include <io.h>
#else
#include <unistd.h>
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

bool PlatformFlushFile(std::FILE *f)
{
    if (std::fflush(f) != 0) return false;
#ifdef ALLEGRO_WINDOWS
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}

bool PlatformReplaceFile(const char *source, const char *target)
{
#ifdef ALLEGRO_WINDOWS
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(source, target) == 0;
#endif
}
