// The options screen's controls: their limits, toggles and side effects.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "CommandLine.h"
#include "OptionSettings.h"
#include "Quorvex.h"
#include "SettingsFile.h"
#include "Sound.h"

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

// What the settings file's text gives, starting from the defaults each time.
struct SettingsCase {
    const char *text;
    std::array<int, 6> expected;  // sound, music, sound volume, music volume, level, blocks
};

TEST_F(OptionSettings, SettingsFileKeepsWhatIsValidAndIgnoresTheRest)
{
    constexpr std::array<int, 6> defaults = {YES, YES, 200, 200, 0, 0};
    // clang-format off
    const SettingsCase cases[] = {
        {"[quorvex]\nsound = off\nmusic=off\nsound_volume = 120\nmusic_volume = 0\nstart_level = 20\nstart_blocks = 10\n",
         {NO, NO, 120, 0, 20, 10}},
        {"", defaults},
        {"sound = off\n[other]\nmusic = off\n", defaults},                 // outside the section
        {"[quorvex]\nsound_volume = 255\nmusic_volume = 260\n", defaults},  // not a step, too loud
        {"[quorvex]\nstart_level = 21\nstart_blocks = -1\nsound = yes\n", defaults},
        {"[quorvex]\r\n; comment\r\nstart_level = 7\r\nstart_blocks = 0x3\r\n", {YES, YES, 200, 200, 7, 0}},
        {"\x89PNG\r\n\x1a\n[quorvex]\x00sound = off", defaults},
    };
    // clang-format on
    for (const SettingsCase &c : cases) {
        sound_on = music_on = YES;
        sound_volume = music_volume = 200;
        start_level = start_blocks = 0;
        ParseSettings(c.text, std::strlen(c.text));
        const std::array<int, 6> got = {sound_on,     music_on,    sound_volume,
                                        music_volume, start_level, start_blocks};
        EXPECT_EQ(got, c.expected) << c.text;
    }

    // What is written reads back the same.
    sound_on = NO;
    music_volume = 30;
    start_blocks = 4;
    const std::string text = FormatSettings();
    sound_on = YES;
    music_volume = 200;
    start_blocks = 0;
    ParseSettings(text.data(), text.size());
    EXPECT_EQ(sound_on, NO);
    EXPECT_EQ(music_volume, 30);
    EXPECT_EQ(start_blocks, 4);
}

TEST(CommandLineOptions, OptionsAreTakenAndAnythingElseIsRefused)
{
    struct Case {
        std::array<const char *, 4> args;
        CommandLine::Action action;
        bool nosound, fullscreen;
        int scale;
    };
    using A = CommandLine::Action;
    // clang-format off
    const Case cases[] = {
        {{"quorvex"}, A::Play, false, false, 1},
        {{"quorvex", "--nosound", "--scale", "3"}, A::Play, true, false, 3},
        {{"quorvex", "--scale=4", "--fullscreen"}, A::Play, false, true, 4},
        {{"quorvex", "--scale", "5"}, A::Refuse, false, false, 1},
        {{"quorvex", "--scale"}, A::Refuse, false, false, 1},
        {{"quorvex", "--scale=0"}, A::Refuse, false, false, 1},
        {{"quorvex", "--sound"}, A::Refuse, false, false, 1},
        {{"quorvex", "--nosound", "--help"}, A::Help, true, false, 1},
        {{"quorvex", "--version", "--bogus"}, A::Version, false, false, 1},
    };
    // clang-format on
    for (const Case &c : cases) {
        int argc = 0;
        while (argc < 4 && c.args[argc]) argc++;
        const CommandLine line = ParseCommandLine(argc, c.args.data());
        EXPECT_EQ(line.action, c.action) << c.args[1];
        EXPECT_EQ(line.nosound, c.nosound) << c.args[1];
        EXPECT_EQ(line.fullscreen, c.fullscreen) << c.args[1];
        EXPECT_EQ(line.scale, c.scale) << c.args[1];
        EXPECT_EQ(line.error.empty(), c.action != A::Refuse) << c.args[1];
    }
}

TEST_F(OptionSettings, OnlyExitLeaves)
{
    for (OptionControl c : OPTION_POLL_ORDER) {
        EXPECT_EQ(ApplyOption(c).leave, c == OPT_EXIT) << c;
    }
}

}  // namespace
