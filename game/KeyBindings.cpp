// SPDX-License-Identifier: MIT
// The play actions and the keys bound to them: defaults, names, rebinding and the play field's texts.
#include "KeyBindings.h"

#include <allegro.h>

#include <cctype>

int key_bindings[ACTION_COUNT];

namespace {

struct ActionInfo {
    const char *config;
    const char *label;
    int default_key;
};

// clang-format off
constexpr ActionInfo ACTIONS[ACTION_COUNT] = {
    {"left", "Left", KEY_LEFT},          {"right", "Right", KEY_RIGHT},
    {"turn", "Turn", KEY_UP},            {"down", "Down", KEY_DOWN},
    {"drop", "Drop", KEY_SPACE},         {"pause", "Pause", KEY_P},
    {"continue", "Continue", KEY_C},     {"help", "Help", KEY_F1},
    {"leave", "Leave", KEY_F2},          {"screenshot", "Screenshot", KEY_F3},
    {"save", "Save", KEY_F5},            {"load", "Load", KEY_F6},
};

struct KeyName {
    int scancode;
    const char *config;
    const char *shown;
};

// Every key that reaches the keyboard buffer but the letters, digits and function keys, which
// are named by their own character.
constexpr KeyName KEY_NAMES[] = {
    {KEY_ESC, "ESC", "ESC"},               {KEY_TILDE, "TILDE", "`"},
    {KEY_MINUS, "MINUS", "-"},             {KEY_EQUALS, "EQUALS", "="},
    {KEY_BACKSPACE, "BACKSPACE", "Backspace"}, {KEY_TAB, "TAB", "Tab"},
    {KEY_OPENBRACE, "OPENBRACE", "["},     {KEY_CLOSEBRACE, "CLOSEBRACE", "]"},
    {KEY_ENTER, "ENTER", "Enter"},         {KEY_COLON, "COLON", ";"},
    {KEY_QUOTE, "QUOTE", "'"},             {KEY_BACKSLASH, "BACKSLASH", "\\"},
    {KEY_COMMA, "COMMA", ","},             {KEY_STOP, "STOP", "."},
    {KEY_SLASH, "SLASH", "/"},             {KEY_SPACE, "SPACE", "Space Bar"},
    {KEY_INSERT, "INSERT", "Insert"},      {KEY_DEL, "DEL", "Delete"},
    {KEY_HOME, "HOME", "Home"},            {KEY_END, "END", "End"},
    {KEY_PGUP, "PGUP", "Page Up"},         {KEY_PGDN, "PGDN", "Page Down"},
    {KEY_LEFT, "LEFT", "Left Arrow"},      {KEY_RIGHT, "RIGHT", "Right Arrow"},
    {KEY_UP, "UP", "Up Arrow"},            {KEY_DOWN, "DOWN", "Down Arrow"},
    {KEY_SLASH_PAD, "SLASH_PAD", "Pad /"}, {KEY_ASTERISK, "ASTERISK", "Pad *"},
    {KEY_MINUS_PAD, "MINUS_PAD", "Pad -"}, {KEY_PLUS_PAD, "PLUS_PAD", "Pad +"},
    {KEY_DEL_PAD, "DEL_PAD", "Pad Del"},   {KEY_ENTER_PAD, "ENTER_PAD", "Pad Enter"},
};
// clang-format on

constexpr int FUNCTION_KEYS = 12;
constexpr char PAD_SUFFIX[] = "_PAD";

bool Reserved(int scancode)
{
    return scancode == KEY_ESC || scancode == KEY_F11;
}

bool ValidAction(int action)
{
    return action >= 0 && action < ACTION_COUNT;
}

const KeyName *Named(int scancode)
{
    for (const KeyName &k : KEY_NAMES)
        if (k.scancode == scancode) return &k;
    return nullptr;
}

// The name shared by the config and the screen for a letter, digit or function key.
std::string CharacterName(int scancode)
{
    if (scancode >= KEY_A && scancode <= KEY_Z) return std::string(1, 'A' + (scancode - KEY_A));
    if (scancode >= KEY_0 && scancode <= KEY_9) return std::string(1, '0' + (scancode - KEY_0));
    if (scancode >= KEY_0_PAD && scancode <= KEY_9_PAD)
        return std::string(1, '0' + (scancode - KEY_0_PAD));
    if (scancode >= KEY_F1 && scancode < KEY_F1 + FUNCTION_KEYS)
        return "F" + std::to_string(scancode - KEY_F1 + 1);
    return "";
}

bool KeypadDigit(int scancode)
{
    return scancode >= KEY_0_PAD && scancode <= KEY_9_PAD;
}

// The game starts with the default keys; quorvex.cfg may change them.
[[maybe_unused]] const bool defaults_bound = (SetDefaultKeys(), true);

}  // namespace

const char *ActionConfigName(int action)
{
    return ValidAction(action) ? ACTIONS[action].config : "";
}

const char *ActionLabel(int action)
{
    return ValidAction(action) ? ACTIONS[action].label : "";
}

int DefaultKey(int action)
{
    return ValidAction(action) ? ACTIONS[action].default_key : 0;
}

void SetDefaultKeys()
{
    for (int a = 0; a < ACTION_COUNT; a++) key_bindings[a] = ACTIONS[a].default_key;
}

int ActionOfKey(int scancode)
{
    if (scancode == KEY_ESC) return ACT_ESCAPE;
    if (scancode == KEY_F11) return ACT_CLEAR_WELL;
    for (int a = 0; a < ACTION_COUNT; a++)
        if (key_bindings[a] == scancode) return a;
    return ACT_NONE;
}

std::string KeyConfigName(int scancode)
{
    if (const KeyName *k = Named(scancode)) return k->config;
    const std::string name = CharacterName(scancode);
    return KeypadDigit(scancode) ? name + PAD_SUFFIX : name;
}

std::string KeyShownName(int scancode)
{
    if (const KeyName *k = Named(scancode)) return k->shown;
    const std::string name = CharacterName(scancode);
    return KeypadDigit(scancode) ? "Pad " + name : name;
}

int KeyOfConfigName(const std::string &name)
{
    std::string upper;
    for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (int scancode = 1; scancode < KEY_MAX; scancode++)
        if (!upper.empty() && KeyConfigName(scancode) == upper) return scancode;
    return 0;
}

BindResult BindKey(int action, int scancode, int *other)
{
    if (Reserved(scancode)) return BindResult::Reserved;
    if (!ValidAction(action) || KeyConfigName(scancode).empty()) return BindResult::Unusable;
    for (int a = 0; a < ACTION_COUNT; a++) {
        if (a != action && key_bindings[a] == scancode) {
            if (other != nullptr) *other = a;
            return BindResult::Taken;
        }
    }
    key_bindings[action] = scancode;
    return BindResult::Bound;
}

void TakeKeyEntries(const int (&wanted)[ACTION_COUNT])
{
    int chosen[ACTION_COUNT];
    for (int a = 0; a < ACTION_COUNT; a++) {
        const int k = wanted[a];
        const bool usable = k > 0 && !Reserved(k) && !KeyConfigName(k).empty();
        chosen[a] = usable ? k : ACTIONS[a].default_key;
    }
    // Entries that clash with another action's key all fall back to their defaults; that may make
    // a new clash with an entry that asked for such a default, so repeat until none is left. Each
    // round turns at least one entry back, and the defaults never clash.
    for (bool clash = true; clash;) {
        clash = false;
        bool back[ACTION_COUNT] = {};
        for (int a = 0; a < ACTION_COUNT; a++) {
            if (chosen[a] == ACTIONS[a].default_key) continue;
            for (int b = 0; b < ACTION_COUNT; b++)
                if (b != a && chosen[b] == chosen[a]) back[a] = clash = true;
        }
        for (int a = 0; a < ACTION_COUNT; a++)
            if (back[a]) chosen[a] = ACTIONS[a].default_key;
    }
    for (int a = 0; a < ACTION_COUNT; a++) key_bindings[a] = chosen[a];
}

std::string KeysText(int action, bool legend)
{
    if (action == ACT_ESCAPE) return KeyShownName(KEY_ESC);
    if (action != KEYS_MOVE) return ValidAction(action) ? KeyShownName(key_bindings[action]) : "";
    const int left = key_bindings[ACT_LEFT], right = key_bindings[ACT_RIGHT];
    if (left == KEY_LEFT && right == KEY_RIGHT)
        return legend ? "Left & Right Arrows" : "Left & Right Arrow";
    return KeyShownName(left) + " & " + KeyShownName(right);
}
