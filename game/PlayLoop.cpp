// The play loop: one game from the empty well to game over, and its keys.
#include <cstdio>

#include "Board.h"
#include "Display.h"
#include "Events.h"
#include "GameData.h"
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

    // Keys typed, and a focus lost, on earlier screens must not act in the new game.
    clear_keybuf();
    TakeFocusLost();
}

void DrawPauseTexts()
{
    FONT *f = DataFont(FONT_TEXT);
    OutlinedText(f, pausetxt, 100, 100, COL_PAUSE, false);
    OutlinedText(f, pausetxt2, 90, 150, COL_PAUSE, false);
    OutlinedText(f, pausetxt3, 75, 200, COL_PAUSE, false);
}

// Waits for a key during the pause and returns it; the pause ends once C is down. A quit request
// ends it at once (with no key).
int Pause()
{
    std::snprintf(pausetxt, sizeof pausetxt, "%s", "Paused");
    std::snprintf(pausetxt2, sizeof pausetxt2, "%s", "Press [C]");
    std::snprintf(pausetxt3, sizeof pausetxt3, "%s", "to continue...");
    DrawPauseTexts();
    clear_keybuf();
    while (!keypressed()) {
        if (QuitRequested()) return 0;
        Yield(1);
    }
    int k = readkey();
    while (!key[KEY_C] && !QuitRequested()) {
        DrawPauseTexts();
        Yield(0);
    }
    return k;
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
    clear_keybuf();
}

void Drop()
{
    while (Can_Put()) {
        Draw_Map();
        Game.block_y += 1;
    }
    Game.block_y -= 1;
}

KeyResult HandleKey(int k)
{
    if ((k >> 8) == KEY_LEFT) {
        Game.block_x -= 1;
        if (!Can_Put()) Game.block_x += 1;
    }
    if ((k >> 8) == KEY_RIGHT) {
        Game.block_x += 1;
        if (!Can_Put()) Game.block_x -= 1;
    }
    if ((k >> 8) == KEY_UP) Rotate_Block();
    if ((k >> 8) == KEY_P) k = Pause();
    if ((k >> 8) == KEY_DOWN) Lower();
    if ((k >> 8) == KEY_SPACE) Drop();
    if ((k >> 8) == KEY_F2) return KeyResult::Leave;
    if ((k >> 8) == KEY_ESC) return KeyResult::Leave;

    switch (k >> 8) {
    case KEY_F3: TakeScreenshot(DataPalette(PAL_GAME)); break;
    case KEY_F1: Help(); break;
    case KEY_F5: SaveGame(); break;
    case KEY_F6: LoadGame(); break;
    case KEY_F11: ClearWellAtAPrice(); break;
    default: break;
    }
    clear_keybuf();
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

    clear_keybuf();
    StopMusic();
    while (!key[KEY_ENTER]) {
        if (QuitRequested()) return;
        Yield(1);
    }
    clear_keybuf();
    GotHighScore();
}

}  // namespace

void Play_Game()
{
    SetUpGame();

    while (end_game != YES) {
        // Leaving by any route stops the game's module.
        if (QuitRequested()) {
            StopMusic();
            return;
        }
        int k = 0;
        if (TakeFocusLost()) {
            k = KEY_P << 8;  // the window lost the focus: pause exactly as P does
        } else if (keypressed()) {
            k = readkey();
        }
        if (k != 0 && HandleKey(k) == KeyResult::Leave) {
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

        Draw_Map();
        Yield(0);
    }

    GameOver();
}
