// SPDX-License-Identifier: MIT
// The settings kept in quorvex.cfg: what a file's text gives, and what is written reading back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "KeyBindings.h"
#include "Pad.h"
#include "SettingsFile.h"
#include "kept_settings.h"
#include "scratch.h"

namespace {

class SettingsFile : public DefaultSettings {};

TEST_F(SettingsFile, KeepsWhatIsValidAndIgnoresTheRest)
{
    struct Case {
        const char *text;
        Values expected;
    };
    // clang-format off
    const Case cases[] = {
        {"[quorvex]\nsound = off\nmusic=off\nsound_volume = 120\nmusic_volume = 0\nstart_level = 20\nstart_blocks = 10\n",
         {NO, NO, 120, 0, 20, 10}},
        {"", DEFAULTS},
        {"sound = off\n[other]\nmusic = off\n", DEFAULTS},                 // outside the section
        {"[quorvex]\nsound_volume = 255\nmusic_volume = 260\n", DEFAULTS},  // not a step, too loud
        {"[quorvex]\nstart_level = 21\nstart_blocks = -1\nsound = yes\n", DEFAULTS},
        {"[quorvex]\r\n; comment\r\nstart_level = 7\r\nstart_blocks = 0x3\r\n", {YES, YES, 200, 200, 7, 0}},
        {"\x89PNG\r\n\x1a\n[quorvex]\x00sound = off", DEFAULTS},
    };
    // clang-format on
    for (const Case &c : cases) {
        Set(DEFAULTS);
        ParseSettings(c.text, std::strlen(c.text));
        EXPECT_EQ(Current(), c.expected) << c.text;
    }
}

TEST_F(SettingsFile, WhatIsWrittenReadsBackTheSame)
{
    const Values chosen = {NO, YES, 200, 30, 0, 4};
    Set(chosen);
    const std::string contents = FormatSettings();
    Set(DEFAULTS);
    ParseSettings(contents.data(), contents.size());
    EXPECT_EQ(Current(), chosen) << contents;
}

TEST_F(SettingsFile, TheFirst64KBAreReadUpToTheirLastWholeLine)
{
    qvx_test::TempDir dir;
    const std::string path = dir.file("quorvex.cfg");
    for (size_t bound : {4096, 65536}) {
        // The byte after the first `bound` is the 5 of 15.
        const std::string s = "[quorvex]\n#" + std::string(bound - 27, 'x') +
                              "\nstart_level = 15\nstart_blocks = 5\n";
        ASSERT_TRUE(qvx_test::write_file(path, s.data(), s.size()));
        Set(DEFAULTS);
        ReadSettingsFile(path.c_str());
        EXPECT_EQ(start_level, bound < 65536 ? 15 : 0) << "never a cut value, " << bound;
        EXPECT_EQ(start_blocks, bound < 65536 ? 5 : 0) << "nothing after the cut, " << bound;
    }
}

TEST_F(SettingsFile, GhostPadAndKeysInTheirSectionsAndWrittenBack)
{
    const char text[] =
        "[quorvex]\nghost_piece = on\nleave = F9\n[joystick]\nturn = 3\ndrop = 33\ndead_zone = 90\n"
        "repeat_delay = 99\nrepeat_interval = 1000\n[keys]\ndrop = x\nturn = NOKEY\nleft = ESC\n";
    ParseSettings(text, std::strlen(text));
    EXPECT_EQ(ghost_piece, YES);
    EXPECT_EQ(pad_settings.turn, 3);
    EXPECT_EQ(pad_settings.drop, 2) << "no button 33";
    EXPECT_EQ(pad_settings.dead_zone, 90);
    EXPECT_EQ(pad_settings.repeat_delay, 660) << "shorter than 100 ms";
    EXPECT_EQ(pad_settings.repeat_interval, 1000);
    EXPECT_EQ(key_bindings[ACT_DROP], KEY_X);
    EXPECT_EQ(key_bindings[ACT_TURN], KEY_UP) << "unknown key name";
    EXPECT_EQ(key_bindings[ACT_LEFT], KEY_LEFT) << "Esc is not bound";
    EXPECT_EQ(key_bindings[ACT_LEAVE], KEY_F2) << "outside [keys]";

    const auto defaults = [] {
        ghost_piece = NO;
        pad_settings = PadSettings();
        SetDefaultKeys();
    };
    const std::string written = FormatSettings();
    defaults();
    ParseSettings(written.data(), written.size());
    EXPECT_EQ(ghost_piece, YES);
    EXPECT_EQ(pad_settings.turn, 3);
    EXPECT_EQ(key_bindings[ACT_DROP], KEY_X) << written;
    defaults();
}

}  // namespace
