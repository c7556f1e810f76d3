// SPDX-License-Identifier: MIT
// The main menu: start a game, options, high scores, credits, back to the title.
#include <initializer_list>
#include <iterator>

#include "Button.h"
#include "Display.h"
#include "Events.h"
#include "Focus.h"
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
bool RunSubScreen(void (*sub_screen)(), bool restore_palette, FocusRing &focus)
{
    StopSong();
    sub_screen();
    LatchEscape();
    // A key that ended the screen (or typed on it) does not act on the menu.
    ClearPresses();
    if (QuitRequested()) return false;
    DrawStartGameMenu();
    focus.Repainted();
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

    FocusRing focus;
    Button *in_order[] = {btn_start_game, btn_options, btn_high_scores, btn_credits, btn_prev_menu};
    for (int row = 0; row < static_cast<int>(std::size(in_order)); row++)
        focus.Add(in_order[row], row, 0);

    while (!QuitRequested()) {
        Button *hit = nullptr;
        for (Button *b :
             {btn_start_game, btn_prev_menu, btn_high_scores, btn_credits, btn_options}) {
            if (b->Clicked()) {
                hit = b;
                focus.FollowClick(b);
                break;
            }
        }
        if (hit == nullptr) hit = focus.Handle();
        bool go_on = true;
        if (hit == btn_start_game) {
            go_on = RunSubScreen(
                [] {
                    show_mouse(nullptr);
                    Play_Game();
                },
                false, focus);
        } else if (hit == btn_prev_menu) {
            break;
        } else if (hit == btn_high_scores) {
            go_on = RunSubScreen(ViewHighScores, false, focus);
        } else if (hit == btn_credits) {
            go_on = RunSubScreen(ViewCredits, true, focus);
        } else if (hit == btn_options) {
            go_on = RunSubScreen(Options, true, focus);
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
