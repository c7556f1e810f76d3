// SPDX-License-Identifier: MIT
// The scrolling credits screen.
#include "CreditsText.h"
#include "Display.h"
#include "Events.h"
#include "GameData.h"
#include "Input.h"
#include "Pacing.h"
#include "Quorvex.h"
#include "Sound.h"

namespace {

constexpr int LOGO_X = 126, LOGO_Y = 25;

void DrawBackground(BITMAP *target)
{
    blit(DataBitmap(PIC_CREDITS), target, 0, 0, 0, 0, GAME_W, GAME_H);
    blit(DataBitmap(PIC_LOGO), target, 0, 0, LOGO_X, LOGO_Y, GAME_W, GAME_H);
}

}  // namespace

void ViewCredits()
{
    int y = GAME_H;
    PlaySong(MIDI_CREDITS);

    show_mouse(nullptr);
    FadeOut(255);
    DrawBackground(screen);
    FadeIn(DataPalette(PAL_GAME), 5);
    ClearPresses();

    FONT *f = DataFont(FONT_TEXT);
    do {
        DrawBackground(temp_buffer);
        for (int i = 0; i < CREDITS_LINE_COUNT; i++) {
            textout_centre_ex(temp_buffer, f, CREDITS_LINES[i], GAME_W / 2,
                              y + CREDITS_LINE_STEP * i, COL_HEADING, -1);
        }
        // One pixel every two retraces.
        vsync();
        vsync();
        blit(temp_buffer, screen, 0, 0, 0, 0, GAME_W, GAME_H);
        PresentScreen();
        y = NextCreditsY(y, GAME_H);
        PollPad(TickCount());
    } while (!PressWaiting() && !QuitRequested());

    StopSong();
    FadeOut(2);
    clear_bitmap(screen);
}
