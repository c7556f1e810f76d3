// The scrolling credits screen.
#include "CreditsText.h"
#include "Quorvex.h"

namespace {

constexpr int LOGO_X = 126, LOGO_Y = 25;

void DrawBackground(BITMAP *target)
{
    blit(DataBitmap(PIC_CREDITS), target, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
    blit(DataBitmap(PIC_LOGO), target, 0, 0, LOGO_X, LOGO_Y, SCREEN_W, SCREEN_H);
}

}  // namespace

void ViewCredits()
{
    int y = SCREEN_H;
    PlaySong(MIDI_CREDITS);

    show_mouse(nullptr);
    fade_out(255);
    DrawBackground(screen);
    fade_in(DataPalette(PAL_GAME), 5);
    clear_keybuf();

    FONT *f = DataFont(FONT_TEXT);
    do {
        DrawBackground(temp_buffer);
        for (int i = 0; i < CREDITS_LINE_COUNT; i++) {
            textout_centre_ex(temp_buffer, f, CREDITS_LINES[i], SCREEN_W / 2,
                              y + CREDITS_LINE_STEP * i, COL_HEADING, -1);
        }
        // One pixel every two retraces.
        vsync();
        vsync();
        blit(temp_buffer, screen, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
        y = NextCreditsY(y, SCREEN_H);
    } while (!keypressed());

    stop_midi();
    fade_out(2);
    clear_bitmap(screen);
}
