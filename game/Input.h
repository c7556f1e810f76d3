// SPDX-License-Identifier: MIT
// Presses as the screens read them, from the keyboard buffer and the pad together, and the
// navigation they mean on a screen of buttons.
#ifndef QUORVEX_INPUT_H
#define QUORVEX_INPUT_H

#include "Pad.h"

// One press: a key from the keyboard buffer (readkey's value: scancode x 256 + ASCII, with the
// shift keys' state when it was read) or, when `key` is 0, a press of the pad.
struct Press {
    int key = 0;
    bool shifted = false;
    PadPress pad = {PadDirection::None, 0};
};

// The next press: the keyboard buffer first, then the pad's queue. False when there is none.
bool NextPress(Press &press);
// A key waits in the buffer or the pad has a press queued.
bool PressWaiting();
// Drops the keys in the buffer and the pad's queued presses.
void ClearPresses();
// Whether the key or the pad button that made the press is still held (a pad direction never is).
bool PressHeld(const Press &press);

// Esc, or the pad's leave button, held: the screens' way back.
bool EscapeHeld();
// Enter (the main one), or the pad's select button, held: ends the game-over wait.
bool EnterHeld();

// What a press asks of a game: a key's bound action (or ACT_ESCAPE, ACT_CLEAR_WELL); the pad's
// directions move, lower and turn as the arrows do, its buttons turn, drop, pause and leave (as
// Esc does). ACT_NONE for anything else.
int ActionOfPress(const Press &press);

// What a press asks of a screen of buttons.
enum class Nav {
    None,
    Up,
    Down,
    Left,
    Right,
    Next,      // Tab
    Previous,  // Shift+Tab
    Activate   // Enter, Space or the pad's select button
};
Nav NavOf(const Press &press);

#endif
