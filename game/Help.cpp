// SPDX-License-Identifier: MIT
// The help screen shown over the play field.
#include "Display.h"
#include "Events.h"
#include "GameData.h"
#include "Input.h"
#include "KeyBindings.h"
#include "Pacing.h"
#include "Quorvex.h"
#include "ScreenHelpers.h"

namespace {

// One row of the key table: the key bound to an action (or Esc, or the two move keys), and what
// it does.
struct HelpRow {
    int key;
    const char *action;
};

// clang-format off
constexpr HelpRow HELP_ROWS[] = {
    {KEYS_MOVE, ": Move The Piece Left & Right"},
    {ACT_TURN, ": Rotate Piece"},
    {ACT_DOWN, ": Lowers Piece"},
    {ACT_DROP, ": Drops Piece To The Bottom"},
    {ACT_HELP, ": Help (What You Are Looking At)"},
    {ACT_LEAVE, ": Start A New Game"},
    {ACT_SCREENSHOT, ": Screenshot In PCX Format"},
    {ACT_ESCAPE, ": Quit Game And/Or Menu"},
};
// clang-format on

constexpr int KEYS_X = 20;
constexpr int ACTION_X = 330;
constexpr int FIRST_ROW_Y = 130;
constexpr int ROW_STEP = 15;

void CopyScreen(BITMAP *from, BITMAP *to)
{
    scare_mouse();
    blit(from, to, 0, 0, 0, 0, GAME_W, GAME_H);
    unscare_mouse();
}

}  // namespace

void DrawHelpPage()
{
    DrawScreenBackground(PAT_SCREENS, COL_HELP_BORDER);
    textout_centre_ex(screen, DataFont(FONT_TEXT), "HELP", GAME_W / 2, 10, COL_WHITE, -1);
    textout_ex(screen, font, "Keys", 60, 100, COL_HEADING, -1);
    textout_ex(screen, font, "--------", 45, 115, COL_TEXT, -1);
    textout_ex(screen, font, "Action", ACTION_X, 100, COL_HEADING, -1);
    textout_ex(screen, font, "--------------------------------------", ACTION_X, 115, COL_TEXT, -1);
    int y = FIRST_ROW_Y;
    for (const HelpRow &row : HELP_ROWS) {
        textout_ex(screen, font, KeysText(row.key, false).c_str(), KEYS_X, y, COL_HELP_KEYS, -1);
        textout_ex(screen, font, row.action, ACTION_X, y, COL_HELP_KEYS, -1);
        y += ROW_STEP;
    }
    textout_centre_ex(screen, font, "Press ESC To Exit", GAME_W / 2, 450, COL_LEGEND_KEY, -1);
}

void Help()
{
    CopyScreen(screen, temp_buffer);

    scare_mouse();
    DrawHelpPage();
    unscare_mouse();

    // Esc (or the pad's leave button) already held when help opens ends it on release.
    while (!EscapeHeld() && !QuitRequested()) WaitForTick();
    while (EscapeHeld() && !QuitRequested()) WaitForTick();
    // Neither the Esc nor anything typed or pressed meanwhile may reach the play loop.
    ClearPresses();

    CopyScreen(temp_buffer, screen);
}
