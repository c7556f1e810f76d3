// SPDX-License-Identifier: MIT
// Button geometry and labels.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Button.h"

namespace {

TEST(ButtonGeometry, InsideMeansStrictlyInsideTheFrame)
{
    // The title's EXIT button: 245,350 - 385,375.
    EXPECT_TRUE(PointInBox(246, 351, 245, 350, 385, 375));
    EXPECT_TRUE(PointInBox(384, 374, 245, 350, 385, 375));
    EXPECT_FALSE(PointInBox(245, 360, 245, 350, 385, 375)) << "left edge";
    EXPECT_FALSE(PointInBox(385, 360, 245, 350, 385, 375)) << "right edge";
    EXPECT_FALSE(PointInBox(300, 350, 245, 350, 385, 375)) << "top edge";
    EXPECT_FALSE(PointInBox(300, 375, 245, 350, 385, 375)) << "bottom edge";
    EXPECT_EQ(PointInBox(300, 360, 245, 350, 385, 375), -1) << "true is -1";
    EXPECT_EQ(PointInBox(0, 0, 245, 350, 385, 375), 0);
}

TEST(ButtonLabel, CopiedAndCutToTwentySevenCharacters)
{
    Button b("PLAY GAME", 245, 320, 385, 345, 48, 14, nullptr);
    EXPECT_STREQ(b.name, "PLAY GAME");
    EXPECT_EQ(b.pressed, 0);
    EXPECT_EQ(b.x2, 385);

    Button empty(nullptr, 0, 0, 10, 10, 15, 25, nullptr);
    EXPECT_STREQ(empty.name, "");

    std::string longer(40, 'L');
    b.ChangeName(longer.c_str());
    EXPECT_EQ(std::strlen(b.name), 27u);
    b.ChangeName("250");
    EXPECT_STREQ(b.name, "250");
}

}  // namespace
