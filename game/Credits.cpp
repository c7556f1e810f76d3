// The scrolling credits screen.
#include "CreditsText.h"
#include "Quorvex.h"

const char *const CREDITS_LINES[CREDITS_LINE_COUNT] = {
    "Programming, Graphics, Level Design",
    "Music and Sounds  :  The Quorvex Team",
    " ",
    "Dedicated To",
    "Everyone Who Ever Stacked Blocks",
    " ",
    "For the late nights of one more game,",
    "for the rows that almost fitted,",
    "and for the long piece that came",
    "just when it was needed.",
    " ",
    "In memory of the home computers",
    "that taught us to play and to program.",
    " ",
    "Thanks to the Allegro developers",
    "and to the makers of the free patches.",
    " ",
    "Press ESC to continue",
};

namespace {

constexpr int LOGO_X = 126, LOGO_Y = 25;

void DrawBackground(BITMAP *target)
{
    blit(DataBitmap(PIC_CREDITS), target, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
    blit(DataBitmap(PIC_LOGO), target, 0, 0, LOGO_X, LOGO_Y, SCREEN_W, SCREEN_H);
}

}  // namespace

int NextCreditsY(int y, int screen_h)
{
    y--;
    if (y + CREDITS_HEIGHT < 0) y = screen_h;
    return y;
}

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
