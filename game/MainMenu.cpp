// The main menu: start a game, options, high scores, credits, back to the title.
#include "Button.h"
#include "Display.h"
#include "Events.h"
#include "GameData.h"
#include "Pacing.h"
#include "Quorvex.h"
#include "ScreenHelpers.h"
#include "Sound.h"

namespace {

// The menu's buttons, alive while the menu runs.
Button *btn_start_game = nullptr;
Button *btn_options = nullptr;
Button *btn_high_scores = nullptr;
Button *btn_credits = nullptr;
Button *btn_prev_menu = nullptr;

Button *MenuButton(const char *label, int y1)
{
    return new Button(label, 200, y1, 440, y1 + 30, COL_TEXT, COL_BUTTON_LIGHT,
                      DataBitmap(PIC_BUTTON));
}

// Runs one of the menu's screens after stopping any MIDI song, then redraws the menu (and gives
// back the palette a screen left faded); false when the program is to end instead. The screen
// may have returned because of an Esc that is still held: the menu waits for its release, so a
// long press never passes on through the title and ends the program.
bool RunSubScreen(void (*sub_screen)(), bool restore_palette)
{
    StopSong();
    sub_screen();
    LatchEscape();
    if (QuitRequested()) return false;
    DrawStartGameMenu();
    if (restore_palette) set_palette(DataPalette(PAL_GAME));
    return true;
}

}  // namespace

void DrawStartGameMenu()
{
    show_mouse(nullptr);
    DrawScreenBackground(PAT_MENU, COL_BORDER);
    DrawFooter();
    draw_sprite(screen, DataBitmap(PIC_LOGO), 135, 25);
    rect(screen, 135, 25, 524, 94, COL_LOGO_FRAME);
    show_mouse(screen);
    btn_start_game->DrawButton();
    btn_prev_menu->DrawButton();
    btn_high_scores->DrawButton();
    btn_credits->DrawButton();
    btn_options->DrawButton();
}

void StartGameMenu()
{
    btn_start_game = MenuButton("Start Game", 140);
    btn_options = MenuButton("Options", 180);
    btn_high_scores = MenuButton("View High Scores", 220);
    btn_credits = MenuButton("Credits", 260);
    btn_prev_menu = MenuButton("Previous Menu", 300);

    show_mouse(nullptr);
    FadeOut(10);
    DrawStartGameMenu();
    show_mouse(nullptr);
    FadeIn(DataPalette(PAL_GAME), 3);
    show_mouse(screen);

    while (!QuitRequested()) {
        bool go_on = true;
        if (btn_start_game->Clicked()) {
            go_on = RunSubScreen(
                [] {
                    show_mouse(nullptr);
                    Play_Game();
                },
                false);
        } else if (btn_prev_menu->Clicked()) {
            break;
        } else if (btn_high_scores->Clicked()) {
            go_on = RunSubScreen(ViewHighScores, false);
        } else if (btn_credits->Clicked()) {
            go_on = RunSubScreen(ViewCredits, true);
        } else if (btn_options->Clicked()) {
            go_on = RunSubScreen(Options, true);
        }
        if (!go_on || EscapeDown()) break;
        WaitForTick();
    }

    StopSong();
    Button **buttons[] = {&btn_start_game, &btn_options, &btn_high_scores, &btn_credits,
                          &btn_prev_menu};
    for (Button **b : buttons) {
        delete *b;
        *b = nullptr;
    }
}
