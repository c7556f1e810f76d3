// SPDX-License-Identifier: MIT
// Keys, pad and focus: what the play actions and the screens make of each press.
#include <gtest/gtest.h>

#include <allegro.h>

#include <vector>

#include "Focus.h"
#include "Input.h"
#include "KeyBindings.h"

namespace {

class Keys : public testing::Test {
protected:
    void SetUp() override { SetDefaultKeys(); }
    void TearDown() override { SetDefaultKeys(); }
};

TEST_F(Keys, DefaultsActAndShowAsThePlayFieldAlwaysDid)
{
    // clang-format off
    const std::pair<int, int> acts[] = {
        {KEY_LEFT, ACT_LEFT}, {KEY_RIGHT, ACT_RIGHT}, {KEY_UP, ACT_TURN}, {KEY_P, ACT_PAUSE},
        {KEY_DOWN, ACT_DOWN}, {KEY_SPACE, ACT_DROP}, {KEY_F2, ACT_LEAVE}, {KEY_ESC, ACT_ESCAPE},
        {KEY_F3, ACT_SCREENSHOT}, {KEY_F1, ACT_HELP}, {KEY_F5, ACT_SAVE}, {KEY_F6, ACT_LOAD},
        {KEY_F11, ACT_CLEAR_WELL}, {KEY_C, ACT_CONTINUE}, {KEY_X, ACT_NONE}, {KEY_ENTER, ACT_NONE}};
    // clang-format on
    for (auto [scancode, action] : acts) EXPECT_EQ(ActionOfKey(scancode), action) << scancode;
    EXPECT_EQ(KeysText(KEYS_MOVE, true), "Left & Right Arrows");
    EXPECT_EQ(KeysText(KEYS_MOVE, false), "Left & Right Arrow");
    const std::pair<int, const char *> shown[] = {{ACT_TURN, "Up Arrow"},  {ACT_DOWN, "Down Arrow"},
                                                  {ACT_DROP, "Space Bar"}, {ACT_LEAVE, "F2"},
                                                  {ACT_PAUSE, "P"},        {ACT_ESCAPE, "ESC"}};
    for (auto [action, text] : shown) EXPECT_EQ(KeysText(action, true), text);
}

TEST_F(Keys, RebindingRefusesKeysInUseEscAndF11)
{
    int other = ACT_NONE;
    EXPECT_EQ(BindKey(ACT_TURN, KEY_SPACE, &other), BindResult::Taken);
    EXPECT_EQ(other, ACT_DROP);
    EXPECT_EQ(BindKey(ACT_TURN, KEY_ESC), BindResult::Reserved);
    EXPECT_EQ(BindKey(ACT_TURN, KEY_F11), BindResult::Reserved);
    EXPECT_EQ(BindKey(ACT_TURN, KEY_LSHIFT), BindResult::Unusable);
    EXPECT_EQ(ActionOfKey(KEY_UP), ACT_TURN) << "nothing changed";
    EXPECT_EQ(BindKey(ACT_LEFT, KEY_A), BindResult::Bound);
    EXPECT_EQ(BindKey(ACT_RIGHT, KEY_0_PAD), BindResult::Bound);
    EXPECT_EQ(ActionOfKey(KEY_A), ACT_LEFT);
    EXPECT_EQ(ActionOfKey(KEY_LEFT), ACT_NONE);
    EXPECT_EQ(KeysText(KEYS_MOVE, true), "A & Pad 0");
}

TEST_F(Keys, EveryNameReadsBackAndFitsTheLegend)
{
    int named = 0;
    for (int scancode = 1; scancode < KEY_MAX; scancode++) {
        const std::string name = KeyConfigName(scancode);
        if (name.empty()) continue;
        named++;
        EXPECT_EQ(KeyOfConfigName(name), scancode) << name;
        EXPECT_LE(KeyShownName(scancode).size(), 12u) << name;
    }
    EXPECT_EQ(named, 26 + 10 + 10 + 12 + 32);
    EXPECT_EQ(KeyOfConfigName(""), 0);
}

TEST_F(Keys, CfgEntriesThatClashAllFallBackToTheirDefaults)
{
    int wanted[ACTION_COUNT] = {};
    wanted[ACT_LEFT] = KEY_RIGHT;  // free once right moves to D
    wanted[ACT_RIGHT] = KEY_D;
    wanted[ACT_TURN] = KEY_W;
    wanted[ACT_DOWN] = KEY_W;    // both ask for W: both keep their defaults
    wanted[ACT_DROP] = KEY_ESC;  // not to be bound
    wanted[ACT_PAUSE] = KEY_F2;  // leave keeps F2, so pause keeps P
    TakeKeyEntries(wanted);
    const int expected[ACTION_COUNT] = {KEY_RIGHT, KEY_D,  KEY_UP, KEY_DOWN, KEY_SPACE, KEY_P,
                                        KEY_C,     KEY_F1, KEY_F2, KEY_F3,   KEY_F5,    KEY_F6};
    for (int a = 0; a < ACTION_COUNT; a++) EXPECT_EQ(key_bindings[a], expected[a]) << a;
}

TEST_F(Keys, PadPressesActInTheGameAndOnTheScreens)
{
    // clang-format off
    const struct { PadDirection d; int button; int action; Nav nav; } presses[] = {
        {PadDirection::Left, 0, ACT_LEFT, Nav::Left},   {PadDirection::Up, 0, ACT_TURN, Nav::Up},
        {PadDirection::Down, 0, ACT_DOWN, Nav::Down},   {PadDirection::None, 1, ACT_TURN, Nav::Activate},
        {PadDirection::None, 2, ACT_DROP, Nav::None},   {PadDirection::None, 8, ACT_PAUSE, Nav::None},
        {PadDirection::None, 7, ACT_ESCAPE, Nav::None}, {PadDirection::None, 5, ACT_NONE, Nav::None}};
    // clang-format on
    for (const auto &p : presses) {
        Press press;
        press.pad = {p.d, p.button};
        EXPECT_EQ(ActionOfPress(press), p.action) << p.button;
        EXPECT_EQ(NavOf(press), p.nav) << p.button;
    }
}

TEST(Pad, DeadZoneAndRepeatAsAHeldArrowKey)
{
    EXPECT_EQ(DirectionOf(32, 0, 25), PadDirection::None) << "a quarter of 128 is inside";
    EXPECT_EQ(DirectionOf(33, 0, 25), PadDirection::Right);
    EXPECT_EQ(DirectionOf(-40, 60, 25), PadDirection::Down) << "the longer axis";
    EXPECT_EQ(DirectionOf(-60, 60, 25), PadDirection::Left) << "horizontal when equal";

    PadPresses presses;
    PadState state;
    PadPress out[4];
    state.x = -128;
    std::vector<unsigned> pressed_at;
    for (unsigned tick = 100; tick < 200; tick++)
        if (presses.Update(state, tick, out, 4) == 1) pressed_at.push_back(tick);
    // At once, after 660 ms, then every 40 ms.
    EXPECT_EQ(pressed_at,
              (std::vector<unsigned>{100, 166, 170, 174, 178, 182, 186, 190, 194, 198}));
    state.x = 0;
    state.buttons[1] = true;
    ASSERT_EQ(presses.Update(state, 200, out, 4), 1) << "a button presses as it goes down";
    EXPECT_EQ(out[0].button, 2);
    EXPECT_EQ(presses.Update(state, 201, out, 4), 0) << "and not again while held";
}

TEST(Focus, MovesThroughRowsColumnsAndTheTabOrder)
{
    // The options screen: two switches, four values, exit and Controls.
    std::vector<FocusItem> items;
    for (int i = 0; i < 8; i++)
        items.push_back({nullptr, nullptr, nullptr, 0, 0, 0, 0, i / 2, i % 2});
    // clang-format off
    const struct { int from; Nav nav; int to; } moves[] = {
        {0, Nav::Down, 2}, {3, Nav::Down, 5}, {7, Nav::Down, 1}, {0, Nav::Up, 6},
        {0, Nav::Right, 1}, {1, Nav::Right, 1}, {1, Nav::Left, 0}, {0, Nav::Left, 0},
        {6, Nav::Next, 7}, {7, Nav::Next, 0}, {0, Nav::Previous, 7}, {4, Nav::Activate, 4}};
    // clang-format on
    for (const auto &m : moves) EXPECT_EQ(FocusTarget(items, m.from, m.nav), m.to) << m.from;
    items.pop_back();  // a row of one: Up and Down find the nearest column
    EXPECT_EQ(FocusTarget(items, 5, Nav::Down), 6);
    EXPECT_EQ(FocusTarget(items, 6, Nav::Up), 4);
}

}  // namespace
