// The window the game's 640x480 picture is shown in: its size, presenting the picture, the pointer.
#ifndef QUORVEX_DISPLAY_H
#define QUORVEX_DISPLAY_H

#include <allegro.h>

constexpr int MIN_SCALE = 1;
constexpr int MAX_SCALE = 4;

// How the picture is shown: scale 1 draws straight into the window, as the game always did; at a
// larger scale the game draws into a 640x480 memory bitmap that stands in for `screen`, and each
// screen loop presents it stretched into a window `scale` times larger.
extern int screen_scale;  // 1..4

// Sets the graphics mode: windowed, or full screen when asked and the driver allows it (else a
// window, with a message on standard error). Returns the library's result: 0 on success.
int SetUpDisplay(int scale, bool fullscreen);

// Frees the stand-in picture and gives `screen` back to the library; before leaving graphics mode.
void ShutDownDisplay();

// Shows the picture in the window when it has changed (or the pointer has moved) since it was last
// shown; nothing at scale 1. Called at the screen loops' yield points and before every fade.
void PresentScreen();

// One pass of a waiting loop: present the picture, then give the processor away for `ms`.
void Yield(int ms);

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

// The pointer in the picture's coordinates (0..639, 0..479), at any scale.
int GameMouseX();
int GameMouseY();

#endif
