// SPDX-License-Identifier: MIT
// Pitch tables and conversions: table values, the three note-to-period modes, frequencies, note grid.
#include <gtest/gtest.h>

#include <utility>

#include "player_internal.h"

namespace {

class Pitch : public ::testing::Test {
protected:
    void SetUp() override { saved_ = mi.flags; }
    void TearDown() override { mi.flags = saved_; }
    static void period_module() { mi.flags = 0; }
    static void linear_module() { mi.flags = QVMOD_FLAG_NOTES | QVMOD_FLAG_LINEAR; }
    static void amiga_module() { mi.flags = QVMOD_FLAG_NOTES | QVMOD_FLAG_AMIGA; }

private:
    int saved_ = 0;
};

TEST_F(Pitch, TablesHoldTheirDefiningValues)
{
    // One octave of linear periods as Hz, falling: 64 entries a semitone, 384 half an octave
    // (535232 / sqrt 2).
    const std::pair<int, int> lin[] = {{0, 535232},   {1, 534749},   {64, 505191}, {192, 450074},
                                       {384, 378466}, {576, 318250}, {767, 267857}};
    for (const auto &[i, hz] : lin) EXPECT_EQ(lintab[i], hz) << i;
    for (int i = 1; i < kLintabSize; i++) ASSERT_LT(lintab[i], lintab[i - 1]) << i;
    EXPECT_EQ(logtab[0], 29024);
    EXPECT_EQ(logtab[7], 27584);
    EXPECT_EQ(logtab[8 * 5 + 1], 21600);
    EXPECT_EQ(logtab[103], 13792);
    EXPECT_EQ(noteperiod[0], 6848);
    EXPECT_EQ(noteperiod[11], 3628);
    EXPECT_EQ(mod_finetune[0], 8363);
    EXPECT_EQ(mod_finetune[8], 7895);
    EXPECT_EQ(mod_finetune[15], 8280);
    // Half a sine wave at 255: sin 45 degrees at entry 8, the top at 16, symmetric about it.
    const std::pair<int, int> vib[] = {{0, 0}, {1, 24}, {8, 180}, {16, 255}, {31, 24}};
    for (const auto &[i, v] : vib) EXPECT_EQ(vib_table[i], v) << i;
    for (int i = 1; i < 16; i++) EXPECT_EQ(vib_table[16 + i], vib_table[16 - i]) << i;
}

TEST_F(Pitch, PeriodModuleNotes)
{
    period_module();
    EXPECT_EQ(note2period(8363, 8363), 1712);
    EXPECT_EQ(period2pitch(1712), 8363);
    // A c2spd of 0 plays at the 4242 Hz reference.
    EXPECT_EQ(period2pitch(note2period(8363, 0)), 4242);
    // A pitch too small for the division gives the longest period instead of dividing by zero.
    EXPECT_EQ(note2period(1, 1), 14318184);
    EXPECT_EQ(note2period(-5, 8363), 14318184);
    // Large pitch values and rates do not overflow.
    EXPECT_GT(note2period(3579546, 65535), 0);
}

TEST_F(Pitch, LinearNoteModule)
{
    linear_module();
    EXPECT_EQ(note2period(48, 128), 4608);
    EXPECT_EQ(period2pitch(4608), 8363);
    EXPECT_EQ(note2period(130, 128), note2period(118, 128));
    EXPECT_EQ(note2period(-3, 128), note2period(0, 128));
    EXPECT_EQ(note2period(0, 0), 7744);
    EXPECT_EQ(note2period(0, 255), 7744 - 127);
    // Finetunes outside 0..255 are held to it rather than pushing the period negative.
    EXPECT_EQ(note2period(118, 65535), note2period(118, 255));
    // Long periods never shift by 32 or more; negative ones read as 0.
    EXPECT_EQ(period2pitch(768 * 40), 0);
    EXPECT_EQ(period2pitch(-100), lintab[0]);
}

TEST_F(Pitch, AmigaNoteModule)
{
    amiga_module();
    EXPECT_EQ(note2period(0, 0), 29024);
    EXPECT_EQ(note2period(12, 0), 29024 >> 1);
    // An untuned sample (c2spd 128) plays the table's own entry; the low nibble of c2spd is the
    // way to the next finetune step, in sixteenths.
    EXPECT_EQ(note2period(0, 128), 27392);
    EXPECT_EQ(note2period(0, 136), 27392 - 96);
    EXPECT_EQ(note2period(0, 127), 27584 + (15 * (27392 - 27584)) / 16);
    // Semitone 11 at the top finetune leans on the entry after the table: the next C# at finetune 0.
    EXPECT_EQ(note2period(11, 255), 13792 + (15 * (27392 / 2 - 13792)) / 16);
    EXPECT_EQ(note2period(11, 65535), note2period(11, 255));
    EXPECT_EQ(period2pitch(1000), 14317456 / 1000);
    EXPECT_GT(period2pitch(0), 0);
}

TEST_F(Pitch, Interpolate)
{
    EXPECT_EQ(interpolate(5, 10, 10, 7, 9), 7);
    EXPECT_EQ(interpolate(5, 0, 10, 0, 64), 32);
    EXPECT_EQ(interpolate(3, 0, 10, 64, 0), 45);
}

TEST_F(Pitch, FindLowerPeriodOnThePeriodGrid)
{
    period_module();
    // 1712 is on the grid (6848 >> 2); four semitones up is 5424 >> 2.
    EXPECT_EQ(find_lower_period(1712, 4), 5424 >> 2);
    EXPECT_EQ(find_lower_period(1712, 7), 4560 >> 2);
    // With no offset a period on the grid gives the next grid note up.
    EXPECT_EQ(find_lower_period(1712, 0), 6464 >> 2);
    // Off the grid: the first grid note at or below the period.
    EXPECT_EQ(find_lower_period(1700, 0), 6464 >> 2);
}

TEST_F(Pitch, FindLowerPeriodEndsBeyondTheGrid)
{
    period_module();
    EXPECT_EQ(find_lower_period(0, 3), 0);
    EXPECT_EQ(find_lower_period(-500, 0), -500);
    EXPECT_LE(find_lower_period(3, 15), 7);
    linear_module();
    EXPECT_EQ(find_lower_period(100, 0), 100);
    EXPECT_EQ(find_lower_period(-1, 2), -1);
    amiga_module();
    EXPECT_EQ(find_lower_period(0, 0), 0);
}

TEST_F(Pitch, FindLowerPeriodOnTheNoteGrid)
{
    linear_module();
    // 4608 is note 49 of the c2spd-0 grid (7744 - 64 * 49).
    EXPECT_EQ(find_lower_period(4608, 3), note2period(52, 0));
    EXPECT_EQ(find_lower_period(4608, 0), note2period(50, 0));
    EXPECT_EQ(find_lower_period(4600, 0), note2period(50, 0));
}

}  // namespace
