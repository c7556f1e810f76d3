// SPDX-License-Identifier: MIT
// The game's command line: the options it takes and what it refuses.
#include <gtest/gtest.h>

#include <array>

#include "CommandLine.h"
#include "Display.h"

namespace {

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
        EXPECT_EQ(line.scale_given, c.action == A::Play && c.scale > 1) << c.args[1];
        EXPECT_EQ(line.error.empty(), c.action != A::Refuse) << c.args[1];
    }
}

TEST(CommandLineOptions, TheScaleStaysBetweenOneAndTheFullScreensLimit)
{
    // The e2e suite sees a scale lowered to fit; here the bounds a desktop's size cannot pass.
    EXPECT_EQ(ChooseScale(3, true, false, 0, 0).scale, 3) << "an unknown desktop takes the scale";
    EXPECT_EQ(ChooseScale(2, true, false, 600, 400).scale, 1) << "never below 1";
    EXPECT_EQ(ChooseScale(1, false, true, 100000, 100000).scale, MAX_FULLSCREEN_SCALE);
}

}  // namespace
