// SPDX-License-Identifier: MIT
// The high-score screens: qualification and insertion, name entry, the table.
#include <cstdio>

#include "Button.h"
#include "Display.h"
#include "Events.h"
#include "Focus.h"
#include "GameData.h"
#include "HighScoreFile.h"
#include "HighScoreTable.h"
#include "Input.h"
#include "Pacing.h"
#include "Quorvex.h"
#include "ScreenHelpers.h"
#include "Sound.h"

namespace {

// Name-entry box over the finished play screen, and its field.
constexpr int BOX_X1 = 100, BOX_Y1 = 150, BOX_X2 = 340, BOX_Y2 = 280;
constexpr int FIELD_X1 = 150, FIELD_Y1 = 200, FIELD_X2 = 290, FIELD_Y2 = 240;
constexpr int NAME_X = 155, NAME_Y = 212;
constexpr int HEADING_X = 210, HEADING_Y = 160;

// Table layout: rows 20 pixels apart from y 80, the columns' left edges.
constexpr int TABLE_HEAD_Y = 60;
constexpr int TABLE_ROW_Y = 80;
constexpr int TABLE_ROW_STEP = 20;

// Shown over the table while a reset waits for another copy of the game to finish writing it;
// the table is drawn again once the reset is written.
constexpr int WAIT_X1 = 150, WAIT_Y1 = 215, WAIT_X2 = 490, WAIT_Y2 = 255;

void ShowWaitingForTable()
{
    scare_mouse();
    rectfill(screen, WAIT_X1, WAIT_Y1, WAIT_X2, WAIT_Y2, COL_BLACK);
    rect(screen, WAIT_X1, WAIT_Y1, WAIT_X2, WAIT_Y2, COL_BORDER);
    FONT *f = DataFont(FONT_TABLE);
    textout_centre_ex(screen, f, "Waiting for another copy of the game...", (WAIT_X1 + WAIT_X2) / 2,
                      (WAIT_Y1 + WAIT_Y2 - text_height(f)) / 2, COL_WHITE, -1);
    unscare_mouse();
    PresentScreen();
}

// Keyboard shortcuts of the reset question's two answers.
constexpr int RESET_KEY_YES = 'y';
constexpr int RESET_KEY_NO = 'n';

void DrawTypedName()
{
    FONT *f = DataFont(FONT_TITLE);
    scare_mouse();
    textout_ex(screen, f, text, NAME_X, NAME_Y, COL_TEXT, -1);
    textout_ex(screen, f, "_", NAME_X + text_length(f, text), NAME_Y, COL_TEXT, -1);
    unscare_mouse();
}

// The question before a reset wipes the table: Yes by a click, Y or Enter; No by a click, N or Esc.
bool ConfirmReset()
{
    UseGameDialogColours();
    DialogScope dialog;
    return alert("Reset the high-score table?", nullptr, nullptr, "Yes", "No", RESET_KEY_YES,
                 RESET_KEY_NO) == 1;
}

}  // namespace

void GotHighScore()
{
    if (HighScorePlace(Game.score) < 0) return;
    if (sound_on) PlaySoundA(SND_HIGH_SCORE);
    int place = InsertHighScore(Game);
    GetHighScore();
    SetHighScoreName(HighScores[place], text);
    ViewHighScores();
}

void GetHighScore()
{
    FONT *title = DataFont(FONT_TITLE);
    scare_mouse();
    DrawPatternBox(PAT_SCREENS, BOX_X1, BOX_Y1, BOX_X2, BOX_Y2, COL_BORDER);
    textout_centre_ex(screen, title, "You got high score", HEADING_X, HEADING_Y, COL_TEXT, -1);
    rectfill(screen, FIELD_X1, FIELD_Y1, FIELD_X2, FIELD_Y2, COL_BLACK);
    rect(screen, FIELD_X1, FIELD_Y1, FIELD_X2, FIELD_Y2, COL_BORDER);
    unscare_mouse();

    int length = 0;
    text[0] = '\0';
    ClearPresses();
    DrawTypedName();

    for (;;) {
        Press press;
        while (!NextPress(press)) {
            if (QuitRequested()) return;
            WaitForTick();
        }
        // The pad cannot type; its select button finishes the entry as Enter does.
        if (press.key == 0) {
            if (press.pad.button == pad_settings.select) return;
            continue;
        }
        int c = press.key & 0xFF;
        NameKey result =
            NameEntryKey(text, length, c, key[KEY_BACKSPACE] != 0, key[KEY_ENTER] != 0);
        if (result == NameKey::Finished) return;
        // The click sounds whether or not sound effects are switched on.
        if (result == NameKey::Appended) PlaySoundA(SND_KEY);
        if (result == NameKey::Erased) {
            PlaySoundA(SND_KEY);
            scare_mouse();
            rectfill(screen, FIELD_X1 + 1, FIELD_Y1 + 1, FIELD_X2 - 1, FIELD_Y2 - 1, COL_BLACK);
            unscare_mouse();
        }
        DrawTypedName();
    }
}

void ViewHighScores()
{
    Button exit("E x i t", 100, 420, 300, 450, COL_TEXT, COL_BUTTON_LIGHT, DataBitmap(PIC_BUTTON));
    Button reset("R e s e t", 340, 420, 540, 450, COL_TEXT, COL_BUTTON_LIGHT,
                 DataBitmap(PIC_BUTTON));
    DrawHighScores();
    exit.DrawButton();
    reset.DrawButton();
    FocusRing focus;
    focus.Add(&exit, 0, 0);
    focus.Add(&reset, 0, 1);
    while (!QuitRequested()) {
        Button *hit = exit.Clicked() ? &exit : nullptr;
        if (hit == nullptr && reset.Clicked()) hit = &reset;
        if (hit != nullptr) {
            focus.FollowClick(hit);
        } else {
            hit = focus.Handle();
        }
        if (hit == &exit) return;
        if (hit == &reset) {
            // Once confirmed, the defaults reach the file at once (a failed write is silent).
            if (ConfirmReset()) {
                SetDefaultHighScores();
                WriteHighScoreFile(HIGH_SCORE_FILE, ShowWaitingForTable);
            }
            // An Esc that answered the question does not leave the table as well.
            LatchEscape();
            DrawHighScores();
            exit.DrawButton();
            reset.DrawButton();
            focus.Repainted();
            continue;
        }
        if (EscapeDown()) return;
        WaitForTick();
    }
}

void DrawHighScores()
{
    show_mouse(nullptr);
    clear_bitmap(screen);
    DrawScreenBackground(PAT_SCREENS, COL_BORDER);
    DrawFooter();

    textout_centre_ex(screen, DataFont(FONT_TITLE), "H I G H   S C O R E S", GAME_W / 2, 20,
                      COL_TEXT, -1);
    FONT *f = DataFont(FONT_TABLE);
    textout_ex(screen, f, "Name", 150, TABLE_HEAD_Y, COL_TEXT, -1);
    textout_ex(screen, f, "Score", 380, TABLE_HEAD_Y, COL_TEXT, -1);
    textout_ex(screen, f, "Level", 450, TABLE_HEAD_Y, COL_TEXT, -1);
    textout_ex(screen, f, "Lines", 520, TABLE_HEAD_Y, COL_TEXT, -1);
    textout_ex(screen, f, "Pieces", 590, TABLE_HEAD_Y, COL_TEXT, -1);

    for (int i = 0; i < HIGH_SCORE_COUNT; i++) {
        int y = TABLE_ROW_Y + TABLE_ROW_STEP * i;
        const HighScoreRow row = FormatHighScoreRow(HighScores[i], i);
        const char *const columns[] = {row.name, row.score, row.level, row.lines, row.pieces};
        // Each column passes through the shared text buffer, as every label of the game does.
        for (int c = COLUMN_NAME; c <= COLUMN_PIECES; c++) {
            std::snprintf(text, sizeof text, "%s", columns[c]);
            const int x = HighScoreColumnX(static_cast<HighScoreColumn>(c), f, text);
            textout_ex(screen, f, text, x, y, COL_TEXT, -1);
        }
    }
    show_mouse(screen);
}
