// SPDX-License-Identifier: MIT
// Presses as the screens read them, from the keyboard buffer and the pad together, and the
// navigation they mean on a screen of buttons.
#include "Input.h"

#include <allegro.h>

#include "KeyBindings.h"

bool NextPress(Press &press)
{
    press = Press();
    if (keypressed()) {
        press.key = readkey();
        press.shifted = (key_shifts & KB_SHIFT_FLAG) != 0;
        return true;
    }
    return TakePadPress(press.pad);
}

bool PressWaiting()
{
    return keypressed() || PadPressQueued();
}

void ClearPresses()
{
    clear_keybuf();
    ClearPadPresses();
}

bool PressHeld(const Press &press)
{
    if (press.key != 0) {
        const int scancode = press.key >> 8;
        return scancode > 0 && scancode < KEY_MAX && key[scancode];
    }
    return PadButtonHeld(press.pad.button);
}

bool EscapeHeld()
{
    return key[KEY_ESC] || PadButtonHeld(pad_settings.leave);
}

bool EnterHeld()
{
    return key[KEY_ENTER] || PadButtonHeld(pad_settings.select);
}

Nav NavOf(const Press &press)
{
    if (press.key == 0) {
        switch (press.pad.direction) {
        case PadDirection::Left: return Nav::Left;
        case PadDirection::Right: return Nav::Right;
        case PadDirection::Up: return Nav::Up;
        case PadDirection::Down: return Nav::Down;
        case PadDirection::None: break;
        }
        return press.pad.button == pad_settings.select ? Nav::Activate : Nav::None;
    }
    switch (press.key >> 8) {
    case KEY_UP: return Nav::Up;
    case KEY_DOWN: return Nav::Down;
    case KEY_LEFT: return Nav::Left;
    case KEY_RIGHT: return Nav::Right;
    case KEY_TAB: return press.shifted ? Nav::Previous : Nav::Next;
    case KEY_ENTER:
    case KEY_ENTER_PAD:
    case KEY_SPACE: return Nav::Activate;
    default: return Nav::None;
    }
}

// What a press asks of the game: a key's bound action (or Esc, F11); the pad's directions move,
// lower and turn as the arrows do, its buttons turn, drop, pause and leave (as Esc does).
int ActionOfPress(const Press &press)
{
    if (press.key != 0) return ActionOfKey(press.key >> 8);
    switch (press.pad.direction) {
    case PadDirection::Left: return ACT_LEFT;
    case PadDirection::Right: return ACT_RIGHT;
    case PadDirection::Up: return ACT_TURN;
    case PadDirection::Down: return ACT_DOWN;
    case PadDirection::None: break;
    }
    const int b = press.pad.button;
    if (b == pad_settings.turn) return ACT_TURN;
    if (b == pad_settings.drop) return ACT_DROP;
    if (b == pad_settings.pause) return ACT_PAUSE;
    if (b == pad_settings.leave) return ACT_ESCAPE;
    return ACT_NONE;
}
