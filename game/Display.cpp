// SPDX-License-Identifier: MIT
// The window the game's 640x480 picture is shown in: its size, presenting the picture, the pointer.
#include "Display.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <allegro/internal/aintern.h>

#include "DrawnLines.h"
#include "Events.h"
#include "Pacing.h"
#include "Platform.h"
#include "Quorvex.h"

int screen_scale = 1;

namespace {

BITMAP *window_screen = nullptr;  // the library's screen while the picture stands in for it
BITMAP *picture = nullptr;        // 640x480: what the game draws on, as `screen`
BITMAP *shown = nullptr;          // the picture as it was last presented
BITMAP *frame = nullptr;          // picture x scale: the stretched picture with the pointer on top
int origin_x = 0, origin_y = 0;   // where the frame stands in the window (centred on a full screen)
BITMAP *arrow = nullptr;          // the library's pointer, drawn scaled by the present step
BITMAP *no_pointer = nullptr;     // an empty sprite: the library's own pointer draws nothing
int arrow_focus_x = 0, arrow_focus_y = 0;
int shown_retrace = -1;  // retrace_count at the last present: at most one per retrace
bool shown_pointer = false;
int shown_mouse_x = -1, shown_mouse_y = -1;
bool exit_hook_registered = false;

// Brings `shown` up to the picture on the lines drawn on since the last call (every line, where
// drawing cannot be watched); true if any of them now differs from what was shown. Lines drawn
// over with what they held do not count.
bool TakePictureChanges()
{
    if (!TakeAnyLineDrawn()) return false;
    const std::size_t row =
        static_cast<std::size_t>(GAME_W) * BYTES_PER_PIXEL(bitmap_color_depth(picture));
    bool changed = false;
    for (int y = 0; y < GAME_H; y++) {
        if (!TakeLineDrawn(y) || std::memcmp(picture->line[y], shown->line[y], row) == 0) continue;
        std::memcpy(shown->line[y], picture->line[y], row);
        changed = true;
    }
    return changed;
}

// The picture enlarged into the frame: every pixel repeated `scale` times across, every row
// `scale` times down. Several times faster than the library's general stretch, which steps a
// fraction per pixel; at scale 2 and more this copy is most of a redrawn screen's cost.
void EnlargePicture(int scale)
{
    if (bitmap_color_depth(picture) != 8 || bitmap_color_depth(frame) != 8) {
        stretch_blit(picture, frame, 0, 0, GAME_W, GAME_H, 0, 0, frame->w, frame->h);
        return;
    }
    for (int y = 0; y < GAME_H; y++) {
        const unsigned char *in = picture->line[y];
        unsigned char *out = frame->line[y * scale];
        if (scale == 2) {
            for (int x = 0; x < GAME_W; x++) out[2 * x] = out[2 * x + 1] = in[x];
        } else {
            for (int x = 0; x < GAME_W; x++) std::memset(out + x * scale, in[x], scale);
        }
        for (int k = 1; k < scale; k++)
            std::memcpy(frame->line[y * scale + k], out, GAME_W * scale);
    }
}

void Present(bool force)
{
    if (picture == nullptr) return;
    if (!force && retrace_count == shown_retrace) return;
    shown_retrace = retrace_count;
    // The game shows its pointer on `screen` (the picture); the library draws it there invisibly.
    const bool pointer = _mouse_screen != nullptr;
    const int mx = mouse_x, my = mouse_y;
    const bool moved =
        pointer != shown_pointer || (pointer && (mx != shown_mouse_x || my != shown_mouse_y));
    const bool changed = TakePictureChanges();
    if (!force && !moved && !changed) return;

    EnlargePicture(screen_scale);
    if (pointer) {
        const int s = screen_scale;
        stretch_sprite(frame, arrow, mx - origin_x - arrow_focus_x * s,
                       my - origin_y - arrow_focus_y * s, arrow->w * s, arrow->h * s);
    }
    blit(frame, window_screen, 0, 0, origin_x, origin_y, frame->w, frame->h);
    shown_pointer = pointer;
    shown_mouse_x = mx;
    shown_mouse_y = my;
}

// The library's dialogs (the file selector and the alert box) draw on `screen` and poll the
// pointer through these hooks on every pass: they get the picture's coordinates, are presented as
// they run (a pass a tick of the game timer, so they do not spin), and a quit request closes them
// as Esc does.
int DialogMouseB()
{
    WaitForTick();
    if (QuitRequested() && !keypressed()) simulate_keypress((KEY_ESC << 8) | 27);
    return mouse_b;
}

void FreeBitmap(BITMAP *&b)
{
    if (b != nullptr) destroy_bitmap(b);
    b = nullptr;
}

// The stand-in picture and the bitmaps that show it; false if memory runs out.
bool MakePicture(int scale)
{
    picture = create_bitmap(GAME_W, GAME_H);
    shown = create_bitmap(GAME_W, GAME_H);
    frame = create_bitmap(GAME_W * scale, GAME_H * scale);
    no_pointer = create_bitmap(1, 1);
    arrow = mouse_sprite ? create_bitmap(mouse_sprite->w, mouse_sprite->h) : nullptr;
    if (!picture || !shown || !frame || !no_pointer || !arrow) return false;
    clear_bitmap(picture);
    clear_bitmap(shown);
    WatchDrawing(picture);
    clear_to_color(no_pointer, bitmap_mask_color(no_pointer));
    blit(mouse_sprite, arrow, 0, 0, 0, 0, arrow->w, arrow->h);
    arrow_focus_x = mouse_x_focus;
    arrow_focus_y = mouse_y_focus;
    return true;
}

}  // namespace

DisplayScale ChooseScale(int scale, bool scale_given, bool fullscreen, int desktop_w, int desktop_h)
{
    scale = std::clamp(scale, MIN_SCALE, MAX_SCALE);
    if (desktop_w <= 0 || desktop_h <= 0) return {scale, false};
    const int wanted = fullscreen && !scale_given ? MAX_FULLSCREEN_SCALE : scale;
    int fits = wanted;
    while (fits > MIN_SCALE && (GAME_W * fits > desktop_w || GAME_H * fits > desktop_h)) fits--;
    return {fits, fits < scale};
}

int SetUpDisplay(int scale, bool scale_given, bool fullscreen)
{
    int desktop_w = 0, desktop_h = 0;
    if (get_desktop_resolution(&desktop_w, &desktop_h) != 0) desktop_w = desktop_h = 0;
    const DisplayScale chosen = ChooseScale(scale, scale_given, fullscreen, desktop_w, desktop_h);
    if (chosen.clamped) {
        std::fprintf(stderr,
                     "quorvex: --scale %d does not fit the %dx%d desktop; showing the game at "
                     "scale %d\n",
                     scale, desktop_w, desktop_h, chosen.scale);
    }
    screen_scale = chosen.scale;
    const int w = GAME_W * screen_scale;
    const int h = GAME_H * screen_scale;
    int result = -1;
    if (fullscreen) {
        // The screen keeps its own resolution when it is known; the picture is centred in it.
        const bool known = desktop_w > 0 && desktop_h > 0;
        result = set_gfx_mode(PlatformFullscreenDriver(), known ? desktop_w : w,
                              known ? desktop_h : h, 0, 0);
        if (result != 0) {
            std::fprintf(stderr, "quorvex: full screen is not available (%s); using a window\n",
                         allegro_error[0] ? allegro_error : "no driver");
        }
    }
    if (result != 0) {
        // Asked twice on purpose: the first request may be refused while the window system settles.
        set_gfx_mode(PlatformWindowedDriver(), w, h, 0, 0);
        result = set_gfx_mode(PlatformWindowedDriver(), w, h, 0, 0);
    }
    if (result != 0) return result;

    gui_mouse_x = GameMouseX;
    gui_mouse_y = GameMouseY;
    gui_mouse_b = DialogMouseB;
    origin_x = std::max(0, (SCREEN_W - w) / 2);
    origin_y = std::max(0, (SCREEN_H - h) / 2);
    if (screen_scale == 1 && origin_x == 0 && origin_y == 0) return 0;

    if (!MakePicture(screen_scale)) {
        ShutDownDisplay();
        std::snprintf(allegro_error, ALLEGRO_ERROR_SIZE, "Not enough memory for a %dx%d window", w,
                      h);
        return -1;
    }
    window_screen = screen;
    clear_bitmap(window_screen);  // the border around a centred picture
    screen = picture;
    set_mouse_sprite(no_pointer);
    if (!exit_hook_registered) {
        // Before the library leaves graphics mode at exit, it must get its own screen back.
        std::atexit(ShutDownDisplay);
        exit_hook_registered = true;
    }
    return 0;
}

void ShutDownDisplay()
{
    if (window_screen != nullptr) {
        show_mouse(nullptr);
        screen = window_screen;
        window_screen = nullptr;
        set_mouse_sprite(nullptr);
    }
    StopWatchingDrawing();
    FreeBitmap(picture);
    FreeBitmap(shown);
    FreeBitmap(frame);
    FreeBitmap(arrow);
    FreeBitmap(no_pointer);
    origin_x = origin_y = 0;
}

void PresentScreen()
{
    Present(false);
}

void FadeIn(const RGB *pal, int speed)
{
    Present(true);
    fade_in(pal, speed);
}

void FadeOut(int speed)
{
    Present(true);
    fade_out(speed);
}

DialogScope::DialogScope() : window_w_(0), window_h_(0)
{
    if (picture == nullptr || gfx_driver == nullptr) return;
    window_w_ = gfx_driver->w;
    window_h_ = gfx_driver->h;
    gfx_driver->w = GAME_W;
    gfx_driver->h = GAME_H;
}

DialogScope::~DialogScope()
{
    if (window_w_ == 0 || gfx_driver == nullptr) return;
    gfx_driver->w = window_w_;
    gfx_driver->h = window_h_;
}

int GameMouseX()
{
    return std::clamp((mouse_x - origin_x) / screen_scale, 0, GAME_W - 1);
}

int GameMouseY()
{
    return std::clamp((mouse_y - origin_y) / screen_scale, 0, GAME_H - 1);
}
