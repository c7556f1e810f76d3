// SPDX-License-Identifier: MIT
// Screen-free part of the options screen: its controls, their polling order and their effect.
#ifndef QUORVEX_OPTIONSETTINGS_H
#define QUORVEX_OPTIONSETTINGS_H

// The options screen's clickable controls (the four value displays are never polled).
enum OptionControl {
    OPT_EXIT,
    OPT_SOUND_TOGGLE,
    OPT_MUSIC_TOGGLE,
    OPT_SOUND_VOLUME_UP,
    OPT_SOUND_VOLUME_DOWN,
    OPT_MUSIC_VOLUME_UP,
    OPT_MUSIC_VOLUME_DOWN,
    OPT_LEVEL_UP,
    OPT_LEVEL_DOWN,
    OPT_BLOCKS_UP,
    OPT_BLOCKS_DOWN,
    OPTION_CONTROL_COUNT
};

// The value displays, one per stepped setting.
enum OptionValue {
    VALUE_NONE = -1,
    VALUE_SOUND_VOLUME,
    VALUE_MUSIC_VOLUME,
    VALUE_LEVEL,
    VALUE_BLOCKS
};

// Order in which one pass of the screen's loop asks the controls; the first click found acts.
// clang-format off
constexpr OptionControl OPTION_POLL_ORDER[OPTION_CONTROL_COUNT] = {
    OPT_EXIT,           OPT_SOUND_TOGGLE,      OPT_MUSIC_TOGGLE, OPT_SOUND_VOLUME_UP,
    OPT_SOUND_VOLUME_DOWN, OPT_MUSIC_VOLUME_UP, OPT_MUSIC_VOLUME_DOWN, OPT_LEVEL_UP,
    OPT_LEVEL_DOWN,     OPT_BLOCKS_UP,         OPT_BLOCKS_DOWN,
};
// clang-format on

// Limits and steps of the stepped settings.
constexpr int VOLUME_MAX = 250;
constexpr int VOLUME_STEP = 10;
constexpr int LEVEL_MAX = 20;
constexpr int BLOCKS_MAX = 10;

// What a click on a control did.
struct OptionEffect {
    bool leave = false;              // the exit button: the screen ends
    bool toggle_changed = false;     // a toggle's setting (and so its label) changed
    OptionValue value = VALUE_NONE;  // the display to relabel; VALUE_NONE when nothing changed
    bool set_volume = false;         // hand both volumes to the library and the module
    bool stop_music = false;         // music was switched off: stop the song and the module at once
};

// Applies a click on the control to the settings globals. A step at a limit changes nothing.
OptionEffect ApplyOption(OptionControl control);

// Current value of a stepped setting, and the toggles' labels for the current settings.
int OptionValueOf(OptionValue value);
const char *SoundToggleLabel();
const char *MusicToggleLabel();

#endif
