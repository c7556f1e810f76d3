// SPDX-License-Identifier: MIT
// The window the game's 640x480 picture is shown in: its size, presenting the picture, the pointer.
#ifndef QUORVEX_DISPLAY_H
#define QUORVEX_DISPLAY_H

#include <allegro.h>

constexpr int MIN_SCALE = 1;
constexpr int MAX_SCALE = 4;             // the largest --scale
constexpr int MAX_FULLSCREEN_SCALE = 8;  // the largest a full screen picks by itself

// How the picture is shown: a 640x480 window at scale 1 is drawn straight into, as the game always
// did; otherwise the game draws into a 640x480 memory bitmap that stands in for `screen`, and each
// screen loop presents it `scale` times larger, centred in the window or the whole screen.
extern int screen_scale;  // 1..4

// The scale the picture is shown at on a desktop of desktop_w x desktop_h (0 x 0 when the library
// cannot tell): the largest whole scale that fits, up to the scale asked for, or for a full
// screen without --scale up to MAX_FULLSCREEN_SCALE; never below 1. An unknown desktop takes the
// scale asked for. `clamped` is set when a scale asked for did not fit.
struct DisplayScale {
    int scale;
    bool clamped;
};
DisplayScale ChooseScale(int scale, bool scale_given, bool fullscreen, int desktop_w,
                         int desktop_h);

// Sets the graphics mode: a window that fits the desktop, or the whole screen with the picture
// centred when asked and the driver allows it (else a window, with a message on standard error).
// A scale that does not fit is lowered, with a message on standard error. Returns the library's
// result: 0 on success.
int SetUpDisplay(int scale, bool scale_given, bool fullscreen);

// Frees the stand-in picture and gives `screen` back to the library; before leaving graphics mode.
void ShutDownDisplay();

// Shows the picture in the window when it has changed (or the pointer has moved) since it was last
// shown; nothing at scale 1. Called at the screen loops' yield points and before every fade.
void PresentScreen();

// fade_in and fade_out of the picture as it stands now.
void FadeIn(const RGB *pal, int speed);
void FadeOut(int speed);

// Held while one of the library's dialogs (the alert box, the file selector) runs: the library
// sizes and centres its dialogs by the window, so at a larger scale it is told the picture's size.
class DialogScope {
public:
    DialogScope();
    ~DialogScope();
    DialogScope(const DialogScope &) = delete;
    DialogScope &operator=(const DialogScope &) = delete;

private:
    int window_w_, window_h_;
};

// The pointer in the picture's coordinates (0..639, 0..479), at any scale and position.
int GameMouseX();
int GameMouseY();

#endif
