// The options screen's controls: their polling order, limits, toggles and side effects.
#include <gtest/gtest.h>

#include <array>
#include <iterator>

#include "OptionSettings.h"
#include "Quorvex.h"

namespace {

class OptionSettings : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = {sound_on, music_on, sound_volume, music_volume, start_level, start_blocks};
        sound_on = music_on = YES;
        sound_volume = music_volume = 200;
        start_level = start_blocks = 0;
    }
    void TearDown() override
    {
        sound_on = saved_[0];
        music_on = saved_[1];
        sound_volume = saved_[2];
        music_volume = saved_[3];
        start_level = saved_[4];
        start_blocks = saved_[5];
    }
    // Clicks the control n times; returns how many clicks changed something.
    static int Click(OptionControl c, int n)
    {
        int changed = 0;
        for (int i = 0; i < n; i++) {
            if (ApplyOption(c).value != VALUE_NONE) changed++;
        }
        return changed;
    }
    std::array<int, 6> saved_;
};

TEST_F(OptionSettings, PolledExitFirstThenTogglesThenIncreaseBeforeDecrease)
{
    const OptionControl expected[] = {
        OPT_EXIT,          OPT_SOUND_TOGGLE,    OPT_MUSIC_TOGGLE,      OPT_SOUND_VOLUME_UP,
        OPT_SOUND_VOLUME_DOWN, OPT_MUSIC_VOLUME_UP, OPT_MUSIC_VOLUME_DOWN, OPT_LEVEL_UP,
        OPT_LEVEL_DOWN,    OPT_BLOCKS_UP,       OPT_BLOCKS_DOWN,
    };
    ASSERT_EQ(std::size(OPTION_POLL_ORDER), std::size(expected));
    for (size_t i = 0; i < std::size(expected); i++) EXPECT_EQ(OPTION_POLL_ORDER[i], expected[i]) << i;
}

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
    EXPECT_TRUE(e.stop_midi);
    EXPECT_STREQ(MusicToggleLabel(), "Music Off");
    e = ApplyOption(OPT_MUSIC_TOGGLE);
    EXPECT_EQ(music_on, YES);
    EXPECT_FALSE(e.stop_midi) << "switching music on starts nothing";
    EXPECT_STREQ(MusicToggleLabel(), "Music On");
}

TEST_F(OptionSettings, OnlyExitLeaves)
{
    for (OptionControl c : OPTION_POLL_ORDER) {
        EXPECT_EQ(ApplyOption(c).leave, c == OPT_EXIT) << c;
    }
}

}  // namespace
