// SPDX-License-Identifier: MIT
// The options screen's controls: their limits, toggles and side effects.
#include <gtest/gtest.h>

#include "kept_settings.h"
#include "OptionSettings.h"
#include "Quorvex.h"
#include "Sound.h"

namespace {

class OptionSettings : public DefaultSettings {
protected:
    // Clicks the control n times; returns how many clicks changed something.
    static int Click(OptionControl c, int n)
    {
        int changed = 0;
        for (int i = 0; i < n; i++) {
            if (ApplyOption(c).value != VALUE_NONE) changed++;
        }
        return changed;
    }
};

TEST_F(OptionSettings, VolumesStepByTenWithinZeroAndTwoHundredFifty)
{
    EXPECT_EQ(Click(OPT_SOUND_VOLUME_UP, 7), 5);
    EXPECT_EQ(sound_volume, 250);
    OptionEffect at_top = ApplyOption(OPT_SOUND_VOLUME_UP);
    EXPECT_EQ(at_top.value, VALUE_NONE) << "a click at the limit changes nothing";
    EXPECT_FALSE(at_top.set_volume);

    EXPECT_EQ(Click(OPT_SOUND_VOLUME_DOWN, 30), 25);
    EXPECT_EQ(sound_volume, 0);
    EXPECT_EQ(music_volume, 200) << "the other volume is untouched";

    OptionEffect e = ApplyOption(OPT_MUSIC_VOLUME_DOWN);
    EXPECT_EQ(e.value, VALUE_MUSIC_VOLUME);
    EXPECT_TRUE(e.set_volume);
    EXPECT_EQ(OptionValueOf(VALUE_MUSIC_VOLUME), 190);
    EXPECT_EQ(Click(OPT_MUSIC_VOLUME_DOWN, 19), 19);
    EXPECT_EQ(music_volume, 0);
    EXPECT_EQ(Click(OPT_MUSIC_VOLUME_UP, 26), 25);
    EXPECT_EQ(music_volume, 250);
}

TEST_F(OptionSettings, LevelAndBlocksStepByOneWithoutTouchingTheVolume)
{
    EXPECT_EQ(Click(OPT_LEVEL_DOWN, 1), 0);
    EXPECT_EQ(Click(OPT_LEVEL_UP, 25), 20);
    EXPECT_EQ(start_level, 20);
    EXPECT_EQ(Click(OPT_BLOCKS_UP, 12), 10);
    EXPECT_EQ(start_blocks, 10);
    OptionEffect e = ApplyOption(OPT_BLOCKS_DOWN);
    EXPECT_EQ(e.value, VALUE_BLOCKS);
    EXPECT_FALSE(e.set_volume);
    EXPECT_EQ(OptionValueOf(VALUE_BLOCKS), 9);
    EXPECT_EQ(Click(OPT_BLOCKS_DOWN, 12), 9);
    EXPECT_EQ(Click(OPT_LEVEL_DOWN, 22), 20);
    EXPECT_EQ(start_level, 0);
}

TEST_F(OptionSettings, TogglesFlipTheirSettingAndMusicOffStopsTheSong)
{
    OptionEffect e = ApplyOption(OPT_SOUND_TOGGLE);
    EXPECT_TRUE(e.toggle_changed);
    EXPECT_EQ(sound_on, NO);
    EXPECT_STREQ(SoundToggleLabel(), "Sound Off");
    ApplyOption(OPT_SOUND_TOGGLE);
    EXPECT_EQ(sound_on, YES);
    EXPECT_STREQ(SoundToggleLabel(), "Sound On");

    e = ApplyOption(OPT_MUSIC_TOGGLE);
    EXPECT_EQ(music_on, NO);
    EXPECT_TRUE(e.stop_music);
    EXPECT_STREQ(MusicToggleLabel(), "Music Off");
    e = ApplyOption(OPT_MUSIC_TOGGLE);
    EXPECT_EQ(music_on, YES);
    EXPECT_FALSE(e.stop_music) << "switching music on starts nothing";
    EXPECT_STREQ(MusicToggleLabel(), "Music On");
}

TEST_F(OptionSettings, WithoutASoundDeviceBothSwitchesStayOff)
{
    sound_installed = NO;
    sound_on = music_on = NO;
    EXPECT_FALSE(ApplyOption(OPT_SOUND_TOGGLE).toggle_changed);
    EXPECT_FALSE(ApplyOption(OPT_MUSIC_TOGGLE).toggle_changed);
    sound_installed = YES;
    EXPECT_EQ(sound_on, NO);
    EXPECT_EQ(music_on, NO);
}

TEST_F(OptionSettings, OnlyExitLeaves)
{
    for (OptionControl c : OPTION_POLL_ORDER) {
        EXPECT_EQ(ApplyOption(c).leave, c == OPT_EXIT) << c;
    }
}

}  // namespace
