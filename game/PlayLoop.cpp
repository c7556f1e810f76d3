// SPDX-License-Identifier: MIT
// The play loop: one game from the empty well to game over, and its keys.
#include <cstdio>
#include <cstring>

#include "Board.h"
#include "Display.h"
#include "Events.h"
#include "GameData.h"
#include "Input.h"
#include "KeyBindings.h"
#include "Pacing.h"
#include "PlayField.h"
#include "Quorvex.h"
#include "Rules.h"
#include "ScreenHelpers.h"
#include "Sound.h"

namespace {

// The pause texts, drawn again on every pass of the pause.
char pausetxt[10];
char pausetxt2[30];
char pausetxt3[32];

enum class KeyResult { Continue, Leave };

void SetUpGame()
{
    Game.score = 0;
    Game.lines = 0;
    Game.pieces = 0;
    Game.total_lines = 1;  // any value below 10 makes the first spawn's stage 0
    end_game = 0;

    StopSong();
    Music();

    InitGameGraphics();
    ResetWell();
    DrawPreview();
    Draw_Map();

    Game.total_lines = 10 * start_level;
    Game.delay = FallDelay(Game.total_lines);

    FillStartingRows(start_blocks);

    // Keys typed, pad presses, and a focus lost on earlier screens must not act in the new game.
    ClearPresses();
    TakeFocusLost();
}

void DrawPauseTexts()
{
    FONT *f = DataFont(FONT_TEXT);
    OutlinedText(f, pausetxt, 100, 100, COL_PAUSE, false);
    OutlinedText(f, pausetxt2, 90, 150, COL_PAUSE, false);
    OutlinedText(f, pausetxt3, 75, 200, COL_PAUSE, false);
}

// The pause ends once the continue key, or the pad's pause button, is down.
bool ContinueHeld()
{
    return key[key_bindings[ACT_CONTINUE]] || PadButtonHeld(pad_settings.pause);
}

// Waits for a press during the pause and returns its action; the pause ends once the continue
// key is down. The texts stay on the screen as drawn. A quit request ends it at once.
int Pause()
{
    std::snprintf(pausetxt, sizeof pausetxt, "%s", "Paused");
    std::snprintf(pausetxt2, sizeof pausetxt2, "Press [%s]",
                  KeyShownName(key_bindings[ACT_CONTINUE]).c_str());
    std::snprintf(pausetxt3, sizeof pausetxt3, "%s", "to continue...");
    DrawPauseTexts();
    ClearPresses();
    Press press;
    while (!NextPress(press)) {
        if (QuitRequested()) return ACT_NONE;
        WaitForTick();
    }
    while (!ContinueHeld() && !QuitRequested()) WaitForTick();
    return ActionOfPress(press);
}

// Removes occupied cells, top row first, while the score pays 5 x total_lines for each.
void ClearWellAtAPrice()
{
    for (int r = 0; r < MAP_H; r++) {
        for (int c = 0; c < MAP_W; c++) {
            if (Game.map[c][r] == 0) continue;
            Game.score -= 5 * Game.total_lines;
            if (Game.score < 0) {
                Game.score = 0;
            } else {
                Game.map[c][r] = 0;
            }
        }
    }
}

void Lower()
{
    if (Can_Put()) {
        Draw_Map();
        Game.block_y += 1;
    }
    if (!Can_Put()) Game.block_y -= 1;
    ClearPresses();
}

void Drop()
{
    while (Can_Put()) {
        Draw_Map();
        Game.block_y += 1;
    }
    Game.block_y -= 1;
}

// The actions in the order the loop tests them: moves, turn, pause (whose press is tested from
// there on), lower, drop, leaving, then at most one of the rest.
KeyResult HandleAction(int action)
{
    if (action == ACT_LEFT) {
        Game.block_x -= 1;
        if (!Can_Put()) Game.block_x += 1;
    }
    if (action == ACT_RIGHT) {
        Game.block_x += 1;
        if (!Can_Put()) Game.block_x -= 1;
    }
    if (action == ACT_TURN) Rotate_Block();
    if (action == ACT_PAUSE) action = Pause();
    if (action == ACT_DOWN) Lower();
    if (action == ACT_DROP) Drop();
    if (action == ACT_LEAVE) return KeyResult::Leave;
    if (action == ACT_ESCAPE) return KeyResult::Leave;

    switch (action) {
    case ACT_SCREENSHOT: TakeScreenshot(DataPalette(PAL_GAME)); break;
    case ACT_HELP: Help(); break;
    case ACT_SAVE: SaveGame(); break;
    case ACT_LOAD: LoadGame(); break;
    case ACT_CLEAR_WELL: ClearWellAtAPrice(); break;
    default: break;
    }
    ClearPresses();
    return KeyResult::Continue;
}

void GameOver()
{
    OutlinedText(font, "G A M E", 135, 152, COL_TEXT, true);
    OutlinedText(font, "O V E R", 135, 202, COL_TEXT, true);
    OutlinedText(font, "Press <Enter> to", 70, 252, COL_TEXT, false);
    OutlinedText(font, "start over again", 70, 277, COL_TEXT, false);
    std::snprintf(text, sizeof text, "Score: %3d", Game.score);
    OutlinedText(font, text, 130, 302, COL_TEXT, true);

    ClearPresses();
    StopMusic();
    while (!EnterHeld()) {
        if (QuitRequested()) return;
        WaitForTick();
    }
    ClearPresses();
    GotHighScore();
}

}  // namespace

void Play_Game()
{
    SetUpGame();
    // The well as last drawn: a pass redraws it only when the game changed or a key acted (a
    // screen opened over the play field, or the pause texts, may cover it).
    GameState shown = Game;
    int shown_ghost = ghost_piece;
    bool stale = true;  // the starting rows are not drawn yet

    while (end_game != YES) {
        // Leaving by any route stops the game's module.
        if (QuitRequested()) {
            StopMusic();
            return;
        }
        // Any press is handled, one a pass, and drops the presses that came meanwhile.
        bool pressed = true;
        int action = ACT_PAUSE;  // the window lost the focus: pause exactly as P does
        Press press;
        if (!TakeFocusLost()) {
            pressed = NextPress(press);
            action = pressed ? ActionOfPress(press) : ACT_NONE;
        }
        if (pressed && HandleAction(action) == KeyResult::Leave) {
            StopMusic();
            return;
        }

        if (game_time > Game.delay) {
            Game.block_y += 1;
            if (!Can_Put()) {
                Game.block_y -= 1;
                Put_Block();
                Generate_New();
                DrawPreview();
            }
            game_time = 0;
        }

        if (!Can_Put()) {
            Put_Block();
            Generate_New();
            DrawPreview();
        }

        if (stale || pressed || ghost_piece != shown_ghost ||
            std::memcmp(&shown, &Game, sizeof Game) != 0) {
            Draw_Map();
            shown = Game;
            shown_ghost = ghost_piece;
            stale = false;
        }
        WaitForTick();
    }

    GameOver();
}
