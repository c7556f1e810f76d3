// SPDX-License-Identifier: MIT
// The credits' eighteen lines and the scroll that wraps once the block has left the top.
#include <gtest/gtest.h>

#include <cstring>

#include "CreditsText.h"

namespace {

TEST(CreditsText, EighteenLinesWithBlanksWhereTheBlockExpectsThem)
{
    EXPECT_EQ(CREDITS_HEIGHT, 360);
    EXPECT_STREQ(CREDITS_LINES[0], "Programming, Graphics, Level Design");
    EXPECT_EQ(std::strncmp(CREDITS_LINES[1], "Music and Sounds  :  ", 21), 0);
    EXPECT_GT(std::strlen(CREDITS_LINES[1]), 21u) << "followed by a name";
    for (int blank : {2, 5, 10, 13, 16}) EXPECT_STREQ(CREDITS_LINES[blank], " ") << blank;
    for (int i : {3, 4, 6, 7, 8, 9, 11, 12, 14, 15}) EXPECT_STRNE(CREDITS_LINES[i], " ") << i;
    EXPECT_STREQ(CREDITS_LINES[17], "Press ESC to continue");
}

TEST(CreditsText, BlockScrollsFrom480DownToMinus360ThenWraps)
{
    int y = 480;
    int frames = 0;
    int lowest = y;
    do {
        frames++;
        y = NextCreditsY(y, 480);
        if (y < lowest) lowest = y;
    } while (y != 480 && frames < 10000);
    EXPECT_EQ(frames, 841);
    EXPECT_EQ(lowest, -360);
}

}  // namespace
