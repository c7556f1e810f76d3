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

TEST(CommandLineOptions, TheScaleIsTheLargestThatFitsTheDesktop)
{
    struct Case {
        int scale;
        bool given, fullscreen;
        int desktop_w, desktop_h;
        int shown;
        bool clamped;
    };
    // clang-format off
    const Case cases[] = {
        {3, true,  false, 0,    0,    3, false},  // the library cannot tell: as asked
        {3, true,  false, 1280, 1024, 2, true},   // 1920x1440 would not fit
        {2, true,  false, 1280, 1024, 2, false},  // 1280x960 fits exactly in width
        {3, true,  false, 1920, 1080, 2, true},
        {2, true,  false, 800,  600,  1, true},
        {1, false, false, 600,  400,  1, false},  // never below 1, and 1 was not asked for
        {1, false, true,  1024, 768,  1, false},  // full screen: the largest that fits...
        {1, false, true,  1280, 1024, 2, false},
        {1, false, true,  3840, 2160, 4, false},
        {1, false, true,  7680, 4320, 8, false},  // ...up to its own limit
        {1, false, true,  0,    0,    1, false},
        {1, true,  true,  1920, 1080, 1, false},  // a scale asked for is kept where it fits
        {4, true,  true,  1280, 1024, 2, true},
    };
    // clang-format on
    for (const Case &c : cases) {
        const DisplayScale d =
            ChooseScale(c.scale, c.given, c.fullscreen, c.desktop_w, c.desktop_h);
        EXPECT_EQ(d.scale, c.shown) << c.scale << (c.fullscreen ? " full screen on " : " on ")
                                    << c.desktop_w << "x" << c.desktop_h;
        EXPECT_EQ(d.clamped, c.clamped) << c.scale << " on " << c.desktop_w << "x" << c.desktop_h;
    }
}

}  // namespace
