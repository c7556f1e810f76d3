// SPDX-License-Identifier: MIT
// The play actions and the keys bound to them: defaults, names, rebinding and the play field's texts.
#ifndef QUORVEX_KEYBINDINGS_H
#define QUORVEX_KEYBINDINGS_H

#include <string>

// What the player does during a game. Each action has one key; no key serves two actions.
enum Action {
    ACT_LEFT,
    ACT_RIGHT,
    ACT_TURN,
    ACT_DOWN,
    ACT_DROP,
    ACT_PAUSE,
    ACT_CONTINUE,
    ACT_HELP,
    ACT_LEAVE,
    ACT_SCREENSHOT,
    ACT_SAVE,
    ACT_LOAD,
    ACTION_COUNT,
    // Keys that keep their meaning and cannot be bound: Esc leaves the game as it leaves every
    // screen; F11 clears the well at a price.
    ACT_ESCAPE = ACTION_COUNT,
    ACT_CLEAR_WELL,
    ACT_NONE = -1
};

// The scancode bound to each action.
extern int key_bindings[ACTION_COUNT];

// The action's name in quorvex.cfg ("left", "turn", ...) and on the Controls screen ("Left", ...).
const char *ActionConfigName(int action);
const char *ActionLabel(int action);
int DefaultKey(int action);
void SetDefaultKeys();

// What a key does in a game: its bound action, ACT_ESCAPE, ACT_CLEAR_WELL or ACT_NONE.
int ActionOfKey(int scancode);

// A key's name in quorvex.cfg (the library's KEY_ name without its prefix: "LEFT", "SPACE", "F1",
// "A") and as the screens show it ("Left Arrow", "Space Bar", "F1", "A"); empty for a key that
// cannot be bound (the shift keys and the like, which never reach the keyboard buffer).
std::string KeyConfigName(int scancode);
std::string KeyShownName(int scancode);
// The scancode of a key name in quorvex.cfg, in any case; 0 when there is none.
int KeyOfConfigName(const std::string &name);

enum class BindResult {
    Bound,     // the action now has the key
    Taken,     // another action has it: nothing changed
    Reserved,  // Esc or F11
    Unusable   // a key that cannot be bound
};
// Binds a key to an action unless another action has it; `other` receives that action.
BindResult BindKey(int action, int scancode, int *other = nullptr);

// Keys asked for by quorvex.cfg, one per action (0: none asked). Each usable key that no other
// entry asks for is bound; every other action gets its default key.
void TakeKeyEntries(const int (&wanted)[ACTION_COUNT]);

// The key text that the play field's legend (`legend`) and the help page show for an action, for
// ACT_ESCAPE ("ESC"), or for KEYS_MOVE: the left and right keys together, "Left & Right Arrows" on
// the legend and "Left & Right Arrow" on the help page when they are the arrows, else "A & D".
constexpr int KEYS_MOVE = -2;
std::string KeysText(int action, bool legend);

#endif
