// SPDX-License-Identifier: MIT
// Screen-free part of the options screen: the effect of each control on the settings.
#include "OptionSettings.h"

#include "Quorvex.h"
#include "Sound.h"

namespace {

// Steps up or down by step within 0..top; false when the value already stood at the limit.
bool StepUp(int &value, int step, int top)
{
    if (value >= top) return false;
    value = value + step > top ? top : value + step;
    return true;
}

bool StepDown(int &value, int step)
{
    if (value <= 0) return false;
    value = value - step < 0 ? 0 : value - step;
    return true;
}

OptionEffect Stepped(bool changed, OptionValue value, bool volume)
{
    OptionEffect e;
    if (changed) {
        e.value = value;
        e.set_volume = volume;
    }
    return e;
}

}  // namespace

OptionEffect ApplyOption(OptionControl control)
{
    OptionEffect e;
    switch (control) {
    case OPT_EXIT: e.leave = true; return e;
    case OPT_SOUND_TOGGLE:
        // Without a sound device both switches stay off.
        if (!sound_installed) return e;
        sound_on = sound_on == NO ? YES : NO;
        e.toggle_changed = true;
        return e;
    case OPT_MUSIC_TOGGLE:
        if (!sound_installed) return e;
        if (music_on == NO) {
            music_on = YES;
        } else {
            music_on = NO;
            e.stop_music = true;
        }
        e.toggle_changed = true;
        return e;
    case OPT_SOUND_VOLUME_UP:
        return Stepped(StepUp(sound_volume, VOLUME_STEP, VOLUME_MAX), VALUE_SOUND_VOLUME, true);
    case OPT_SOUND_VOLUME_DOWN:
        return Stepped(StepDown(sound_volume, VOLUME_STEP), VALUE_SOUND_VOLUME, true);
    case OPT_MUSIC_VOLUME_UP:
        return Stepped(StepUp(music_volume, VOLUME_STEP, VOLUME_MAX), VALUE_MUSIC_VOLUME, true);
    case OPT_MUSIC_VOLUME_DOWN:
        return Stepped(StepDown(music_volume, VOLUME_STEP), VALUE_MUSIC_VOLUME, true);
    case OPT_LEVEL_UP: return Stepped(StepUp(start_level, 1, LEVEL_MAX), VALUE_LEVEL, false);
    case OPT_LEVEL_DOWN: return Stepped(StepDown(start_level, 1), VALUE_LEVEL, false);
    case OPT_BLOCKS_UP: return Stepped(StepUp(start_blocks, 1, BLOCKS_MAX), VALUE_BLOCKS, false);
    case OPT_BLOCKS_DOWN: return Stepped(StepDown(start_blocks, 1), VALUE_BLOCKS, false);
    case OPTION_CONTROL_COUNT: break;
    }
    return e;
}

int OptionValueOf(OptionValue value)
{
    switch (value) {
    case VALUE_SOUND_VOLUME: return sound_volume;
    case VALUE_MUSIC_VOLUME: return music_volume;
    case VALUE_LEVEL: return start_level;
    case VALUE_BLOCKS: return start_blocks;
    case VALUE_NONE: break;
    }
    return 0;
}

const char *SoundToggleLabel()
{
    return sound_on ? "Sound On" : "Sound Off";
}

const char *MusicToggleLabel()
{
    return music_on ? "Music On" : "Music Off";
}
