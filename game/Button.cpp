// SPDX-License-Identifier: MIT
// The bevelled clickable button and the pointer's box tests.
#include "Button.h"

#include <cstring>

#include "Display.h"
#include "Events.h"
#include "GameData.h"
#include "Pacing.h"
#include "Quorvex.h"
#include "ScreenHelpers.h"
#include "Sound.h"

Button::Button(const char *label, int bx1, int by1, int bx2, int by2, int c1, int c2, BITMAP *pic)
    : x1(bx1), y1(by1), x2(bx2), y2(by2), col1(c1), col2(c2), picture(pic), name{}, pressed(0)
{
    ChangeName(label);
}

void Button::ChangeName(const char *label)
{
    // A longer label is cut rather than overrunning the field.
    if (label == nullptr) label = "";
    std::strncpy(name, label, NAME_SIZE - 1);
    name[NAME_SIZE - 1] = '\0';
}

void Button::DrawButton()
{
    show_mouse(nullptr);
    if (name[0] == '\0') {
        if (picture != nullptr) blit(picture, screen, 0, 0, x1, y1, x2 - x1, y2 - y1);
    } else {
        rectfill(screen, x1, y1, x2, y2, COL_BUTTON_FACE);
    }
    solid_mode();
    FONT *f = DataFont(FONT_TITLE);
    int ty = y1 + ((y2 - y1) - text_height(f)) / 2;
    int cx = x1 + (x2 - x1) / 2;
    if (pressed == 0) {
        DrawFrame(x1, y1, x2, y2, col2, col1);
        Dtextout_centre(screen, f, name, cx, ty, col2, col1);
    } else {
        DrawFrame(x1, y1, x2, y2, col1, col2);
        Dtextout_centre(screen, f, name, cx, ty, col1, col2);
    }
    show_mouse(screen);
}

void PlayClickSound()
{
    if (sound_on) PlaySoundA(SND_CLICK);
}

int Button::Clicked()
{
    if (!mouseinbox(x1, y1, x2, y2) || !(mouse_b & 1)) return 0;

    pressed = YES;
    DrawButton();
    PlayClickSound();
    // A quit request ends the press as a release outside the button.
    while (mouse_b & 1) {
        if (QuitRequested()) {
            pressed = 0;
            break;
        }
        bool inside = mouseinbox(x1, y1, x2, y2) != 0;
        if (inside && pressed == 0) {
            PlayClickSound();
            pressed = YES;
            DrawButton();
        } else if (!inside && pressed == YES) {
            pressed = 0;
            DrawButton();
        }
        WaitForTick();
    }
    int result = pressed;
    pressed = 0;
    DrawButton();
    return result;
}

int PointInBox(int x, int y, int x1, int y1, int x2, int y2)
{
    return (x1 < x && x < x2 && y1 < y && y < y2) ? YES : NO;
}

int mouseinbox(int x1, int y1, int x2, int y2)
{
    return PointInBox(GameMouseX(), GameMouseY(), x1, y1, x2, y2);
}
