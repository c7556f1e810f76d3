// SPDX-License-Identifier: MIT
// Requests from outside the screens: quitting by the close button or a signal, the focus, a held Esc.
#include "Events.h"

#include <allegro.h>

#include <atomic>

#include "Input.h"
#include "Platform.h"

namespace {

// Written by a signal handler, the window system's thread or the main thread.
std::atomic<bool> quit_requested{false};
std::atomic<bool> focus_lost{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

// The Esc that last made a screen return is still held; main thread only.
bool escape_latched = false;

void OnQuitSignal(int)
{
    RequestQuit();
}

void OnCloseButton()
{
    RequestQuit();
}

void OnFocusLost()
{
    focus_lost.store(true);
}

}  // namespace

bool QuitRequested()
{
    return quit_requested.load();
}

void RequestQuit()
{
    quit_requested.store(true);
}

void InstallQuitAndFocusHandlers()
{
    set_close_button_callback(OnCloseButton);
    PlatformInstallQuitSignals(OnQuitSignal);
    // The game keeps running in the background, so the switch callbacks are called.
    set_display_switch_mode(SWITCH_BACKGROUND);
    set_display_switch_callback(SWITCH_OUT, OnFocusLost);
}

bool TakeFocusLost()
{
    return focus_lost.exchange(false);
}

bool EscapeDown()
{
    if (!EscapeHeld()) {
        escape_latched = false;
        return false;
    }
    return !escape_latched;
}

void LatchEscape()
{
    escape_latched = EscapeHeld();
}
