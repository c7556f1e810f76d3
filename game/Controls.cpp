// SPDX-License-Identifier: MIT
// The Controls screen: the key of each play action, rebinding them, the defaults, the ghost piece.
#include <cstdio>
#include <memory>
#include <string>

#include "Button.h"
#include "Display.h"
#include "Events.h"
#include "Focus.h"
#include "GameData.h"
#include "KeyBindings.h"
#include "Pacing.h"
#include "Quorvex.h"
#include "ScreenHelpers.h"
#include "Sound.h"

namespace {

constexpr int C1 = COL_TEXT, C2 = COL_BUTTON_LIGHT;
// The actions stand in two columns of six buttons.
constexpr int ACTION_ROWS = ACTION_COUNT / 2;
constexpr int ACTION_X[2] = {50, 330};
constexpr int ACTION_W = 260, ACTION_H = 26;
constexpr int ACTION_Y = 70, ACTION_STEP = 34;
// The line that tells what happens, between the actions and the buttons below them.
constexpr int MESSAGE_Y = 290, MESSAGE_Y1 = 284, MESSAGE_Y2 = 312;

std::string ActionButtonLabel(int action)
{
    return std::string(ActionLabel(action)) + ": " + KeyShownName(key_bindings[action]);
}

const char *GhostLabel()
{
    return ghost_piece ? "Ghost Piece On" : "Ghost Piece Off";
}

void ShowMessage(const std::string &message)
{
    scare_mouse();
    drawing_mode(DRAW_MODE_COPY_PATTERN, DataBitmap(PAT_SCREENS), 0, 0);
    rectfill(screen, 1, MESSAGE_Y1, GAME_W - 2, MESSAGE_Y2, COL_BLACK);
    solid_mode();
    textout_centre_ex(screen, DataFont(FONT_TEXT), message.c_str(), GAME_W / 2, MESSAGE_Y, COL_TEXT,
                      -1);
    unscare_mouse();
}

void PaintControlsScreen()
{
    show_mouse(nullptr);
    clear_bitmap(screen);
    DrawScreenBackground(PAT_SCREENS, COL_BORDER);
    textout_centre_ex(screen, DataFont(FONT_TITLE), "C O N T R O L S", GAME_W / 2, 20, COL_HEADING,
                      -1);
    DrawFooter();
}

// Waits for the key that the action is to get and binds it; says what came of it. Esc keeps the
// key the action had.
void Rebind(int action, Button &button)
{
    const std::string had = KeyShownName(key_bindings[action]);
    ShowMessage("Press the new key for " + std::string(ActionLabel(action)) + " (Esc keeps " + had +
                ")");
    button.pressed = YES;
    button.DrawButton();
    ClearPresses();
    int scancode = 0;
    while (scancode == 0 && !QuitRequested()) {
        WaitForTick();
        if (keypressed()) scancode = readkey() >> 8;
    }
    button.pressed = NO;
    if (QuitRequested()) return;
    int other = ACT_NONE;
    const std::string name = KeyShownName(scancode);
    switch (scancode == KEY_ESC ? BindResult::Reserved : BindKey(action, scancode, &other)) {
    case BindResult::Bound: ShowMessage(ActionButtonLabel(action)); break;
    case BindResult::Taken:
        ShowMessage(name + " is already used for " + ActionLabel(other) + ": " + had + " kept");
        break;
    case BindResult::Reserved:
        ShowMessage(scancode == KEY_ESC ? had + " kept"
                                        : name + " cannot be chosen: " + had + " kept");
        break;
    case BindResult::Unusable: ShowMessage("That key cannot be chosen: " + had + " kept"); break;
    }
    button.ChangeName(ActionButtonLabel(action).c_str());
    button.DrawButton();
    // The Esc that kept the key does not leave the screen.
    LatchEscape();
    ClearPresses();
}

}  // namespace

void ControlsScreen()
{
    FadeOut(10);
    BITMAP *face = DataBitmap(PIC_BUTTON);
    std::unique_ptr<Button> actions[ACTION_COUNT];
    FocusRing focus;
    for (int a = 0; a < ACTION_COUNT; a++) {
        const int column = a / ACTION_ROWS, row = a % ACTION_ROWS;
        const int x = ACTION_X[column], y = ACTION_Y + ACTION_STEP * row;
        actions[a] = std::make_unique<Button>(ActionButtonLabel(a).c_str(), x, y, x + ACTION_W,
                                              y + ACTION_H, C1, C2, face);
        focus.Add(actions[a].get(), row, column);
    }
    Button ghost(GhostLabel(), 80, 340, 290, 370, C1, C2, face);
    Button defaults("Defaults", 350, 340, 560, 370, C1, C2, face);
    Button exit("E x i t", 215, 400, 425, 430, C1, C2, face);
    focus.Add(&ghost, ACTION_ROWS, 0);
    focus.Add(&defaults, ACTION_ROWS, 1);
    focus.Add(&exit, ACTION_ROWS + 1, 0);

    PaintControlsScreen();
    show_mouse(screen);
    for (auto &b : actions) b->DrawButton();
    for (Button *b : {&ghost, &defaults, &exit}) b->DrawButton();
    ShowMessage("Choose an action, then press its new key");
    show_mouse(nullptr);
    FadeIn(DataPalette(PAL_GAME), 5);
    show_mouse(screen);
    LatchEscape();

    while (!QuitRequested()) {
        Button *hit = nullptr;
        for (auto &b : actions) {
            if (b->Clicked()) hit = b.get();
            if (hit != nullptr) break;
        }
        for (Button *b : {&ghost, &defaults, &exit}) {
            if (hit == nullptr && b->Clicked()) hit = b;
        }
        if (hit != nullptr) {
            focus.FollowClick(hit);
        } else {
            hit = focus.Handle();
        }
        if (hit == &exit || EscapeDown()) break;
        if (hit == &ghost) {
            ghost_piece = ghost_piece ? NO : YES;
            ghost.ChangeName(GhostLabel());
            ghost.DrawButton();
        } else if (hit == &defaults) {
            SetDefaultKeys();
            for (int a = 0; a < ACTION_COUNT; a++) {
                actions[a]->ChangeName(ActionButtonLabel(a).c_str());
                actions[a]->DrawButton();
            }
            ShowMessage("Every action has its default key again");
        }
        for (int a = 0; a < ACTION_COUNT; a++)
            if (hit == actions[a].get()) Rebind(a, *actions[a]);
        WaitForTick();
    }
    FadeOut(10);
}
