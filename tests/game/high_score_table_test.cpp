// SPDX-License-Identifier: MIT
// High-score qualification and insertion, the name entry's keys and the table's rows.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>

#include "GameData.h"
#include "HighScoreTable.h"

namespace {

class HighScoreTable : public testing::Test {
protected:
    void SetUp() override { SetDefaultHighScores(); }

    // Scores 1500, 1400, ... 100 from the top, each entry tagged by its old rank.
    void FillDescending()
    {
        for (int i = 0; i < HIGH_SCORE_COUNT; i++) {
            HighScoreEntry &e = HighScores[i];
            e.score = (HIGH_SCORE_COUNT - i) * 100;
            e.level = i;
            e.lines = 1000 + i;
            e.pieces = 2000 + i;
            std::memset(e.name, 0, sizeof e.name);
            std::snprintf(e.name, sizeof e.name, "old%d", i);
        }
    }

    static GameState Result(int32_t score, int32_t total_lines = 57, int32_t lines = 7,
                            int32_t pieces = 99)
    {
        GameState g{};
        g.score = score;
        g.total_lines = total_lines;
        g.lines = lines;
        g.pieces = pieces;
        return g;
    }
};

TEST_F(HighScoreTable, MergingAnotherCopysTableKeepsTheBestOfBothOnce)
{
    // Both copies started from one table; the level column tells whose entry is whose.
    HighScoreEntry other[HIGH_SCORE_COUNT], mine[HIGH_SCORE_COUNT];
    FillDescending();
    InsertHighScore(Result(1450, 10));
    InsertHighScore(Result(1050, 20));
    std::memcpy(other, HighScores, sizeof other);
    FillDescending();
    InsertHighScore(Result(1050, 30));
    InsertHighScore(Result(950, 40));
    std::memcpy(mine, HighScores, sizeof mine);

    MergeHighScores(other);
    const int32_t scores[] = {1500, 1450, 1400, 1300, 1200, 1100, 1050, 1050,
                              1000, 950,  900,  800,  700,  600,  500};
    for (int i = 0; i < HIGH_SCORE_COUNT; i++) EXPECT_EQ(HighScores[i].score, scores[i]) << i;
    EXPECT_EQ(HighScores[1].level, 1);
    EXPECT_EQ(HighScores[6].level, 2) << "of equal scores, the other copy's stays above";
    EXPECT_EQ(HighScores[7].level, 3);
    EXPECT_EQ(HighScores[9].level, 4);

    // Tables holding the same entries (the 15 equal defaults too) merge into themselves.
    for (bool defaults : {false, true}) {
        if (defaults) SetDefaultHighScores();
        std::memcpy(mine, HighScores, sizeof mine);
        MergeHighScores(mine);
        EXPECT_EQ(std::memcmp(HighScores, mine, sizeof mine), 0);
    }
}

TEST_F(HighScoreTable, AnyScoreAboveZeroTopsTheDefaultTable)
{
    HighScoreEntry before[HIGH_SCORE_COUNT];
    std::memcpy(before, HighScores, sizeof before);
    before[3].score = 0;  // all defaults are equal; tag one to follow it down
    HighScores[3].level = 77;
    before[3].level = 77;

    EXPECT_EQ(InsertHighScore(Result(1)), 0);
    EXPECT_EQ(HighScores[0].score, 1);
    for (int i = 1; i < HIGH_SCORE_COUNT; i++) {
        EXPECT_EQ(std::memcmp(&HighScores[i], &before[i - 1], sizeof(HighScoreEntry)), 0) << i;
    }
}

TEST_F(HighScoreTable, StoresStageAndOneMoreLineAndPieceWithAnEmptyName)
{
    ASSERT_EQ(InsertHighScore(Result(4321, 57, 7, 99)), 0);
    const HighScoreEntry &e = HighScores[0];
    EXPECT_EQ(e.score, 4321);
    EXPECT_EQ(e.level, 5);
    EXPECT_EQ(e.lines, 8);
    EXPECT_EQ(e.pieces, 100);
    EXPECT_EQ(e.name[0], '\0');

    ASSERT_EQ(InsertHighScore(Result(INT32_MAX, 0, INT32_MAX, INT32_MAX)), 0);
    EXPECT_EQ(HighScores[0].lines, INT32_MAX) << "a counter at the top of the range stays put";
    EXPECT_EQ(HighScores[0].pieces, HIGH_SCORE_SHOWN_MAX) << "no wider than the table shows";
    EXPECT_EQ(HighScores[0].score, HIGH_SCORE_SHOWN_MAX);
}

TEST_F(HighScoreTable, EqualToTheLastDoesNotQualifyOneMoreReplacesIt)
{
    FillDescending();
    HighScoreEntry before[HIGH_SCORE_COUNT];
    std::memcpy(before, HighScores, sizeof before);

    EXPECT_EQ(HighScorePlace(100), -1);
    EXPECT_EQ(InsertHighScore(Result(100)), -1);
    EXPECT_EQ(InsertHighScore(Result(-5)), -1);
    EXPECT_EQ(std::memcmp(before, HighScores, sizeof before), 0) << "table unchanged";

    EXPECT_EQ(InsertHighScore(Result(101)), 14);
    EXPECT_EQ(HighScores[14].score, 101);
    EXPECT_EQ(std::memcmp(before, HighScores, 14 * sizeof(HighScoreEntry)), 0);
}

TEST_F(HighScoreTable, InsertionGoesBelowEqualScoresAndShiftsTheRestIntact)
{
    FillDescending();
    HighScores[4].score = HighScores[5].score = HighScores[6].score = 1050;  // old ranks 4..6 tie
    HighScores[3].score = 1200;
    HighScoreEntry before[HIGH_SCORE_COUNT];
    std::memcpy(before, HighScores, sizeof before);

    EXPECT_EQ(InsertHighScore(Result(1050)), 7);
    EXPECT_EQ(std::memcmp(before, HighScores, 7 * sizeof(HighScoreEntry)), 0);
    for (int i = 8; i < HIGH_SCORE_COUNT; i++) {
        EXPECT_EQ(std::memcmp(&HighScores[i], &before[i - 1], sizeof(HighScoreEntry)), 0) << i;
    }

    // Equal to the best: second place.
    EXPECT_EQ(InsertHighScore(Result(1500)), 1);
    EXPECT_STREQ(HighScores[0].name, "old0");
    // Above the best: first place.
    EXPECT_EQ(InsertHighScore(Result(1501)), 0);
}

TEST(NameEntry, AcceptsFourteenPrintableCharactersAndIgnoresTheFifteenth)
{
    char name[HIGH_SCORE_NAME_MAX + 1] = "";
    int length = 0;
    std::string typed = "ABCDEFGHIJKLMN";
    for (char c : typed) EXPECT_EQ(NameEntryKey(name, length, c, false, false), NameKey::Appended);
    EXPECT_EQ(length, 14);
    EXPECT_EQ(NameEntryKey(name, length, 'O', false, false), NameKey::Ignored);
    EXPECT_EQ(NameEntryKey(name, length, '~', false, false), NameKey::Ignored);
    EXPECT_STREQ(name, typed.c_str());

    EXPECT_EQ(NameEntryKey(name, length, 8, true, false), NameKey::Erased);
    EXPECT_STREQ(name, "ABCDEFGHIJKLM");
    EXPECT_EQ(NameEntryKey(name, length, ' ', false, false), NameKey::Appended);
    EXPECT_STREQ(name, "ABCDEFGHIJKLM ");
}

TEST(NameEntry, KeysOutsidePrintableAsciiAddNothing)
{
    char name[HIGH_SCORE_NAME_MAX + 1] = "";
    int length = 0;
    for (int c : {0, 9, 27, 31, 127, 128, 200, 255}) {
        EXPECT_EQ(NameEntryKey(name, length, c, false, false), NameKey::Ignored) << c;
    }
    EXPECT_EQ(length, 0);
    EXPECT_STREQ(name, "");
}

TEST(NameEntry, BackspaceAndEnterGoByKeyStateAfterPrintableCharacters)
{
    char name[HIGH_SCORE_NAME_MAX + 1] = "";
    int length = 0;
    EXPECT_EQ(NameEntryKey(name, length, 8, true, false), NameKey::Ignored)
        << "Backspace on an empty name does nothing";
    EXPECT_EQ(NameEntryKey(name, length, 'x', true, true), NameKey::Appended)
        << "a printable character is tested first";
    EXPECT_EQ(NameEntryKey(name, length, 8, false, false), NameKey::Ignored)
        << "the character 8 alone is not Backspace";
    EXPECT_EQ(NameEntryKey(name, length, 13, true, true), NameKey::Erased)
        << "Backspace before Enter";
    EXPECT_EQ(NameEntryKey(name, length, 13, true, true), NameKey::Finished)
        << "Enter on an empty name ends the entry";
    EXPECT_STREQ(name, "");
}

TEST(NameEntry, AnEmptyOrBlankNameIsStoredAsTheDefaultName)
{
    const std::string champion = DEFAULT_HIGH_SCORE_NAME;  // all 16 bytes
    const std::pair<const char *, std::string> cases[] = {
        {"", champion}, {"   ", champion}, {"TESTER", "TESTER" + std::string(10, '\0')}};
    for (const auto &[typed, stored] : cases) {
        HighScoreEntry e;
        std::memset(e.name, 'x', sizeof e.name);
        SetHighScoreName(e, typed);
        EXPECT_EQ(std::string(e.name, sizeof e.name), stored) << '"' << typed << '"';
    }
}

TEST_F(HighScoreTable, DefaultRowsRenderAsChampionsAtLevelOne)
{
    HighScoreRow first = FormatHighScoreRow(HighScores[0], 0);
    EXPECT_STREQ(first.name, " 1      Quorvex Champion");
    EXPECT_STREQ(first.score, "000000");
    EXPECT_STREQ(first.level, "001");
    EXPECT_STREQ(first.lines, "00000");
    EXPECT_STREQ(first.pieces, "0000");
    EXPECT_STREQ(FormatHighScoreRow(HighScores[14], 14).name, "15      Quorvex Champion");
}

TEST_F(HighScoreTable, RowsReadNamesWithinTheirFieldAndMaskUnprintableBytes)
{
    HighScoreEntry e{};
    e.score = 1234567;
    e.level = 12;
    e.lines = 345;
    e.pieces = 67890;
    EXPECT_STREQ(FormatHighScoreRow(e, 2).name, " 3      ");
    EXPECT_STREQ(FormatHighScoreRow(e, 2).score, "1234567");
    EXPECT_STREQ(FormatHighScoreRow(e, 2).pieces, "67890");

    // Followed in memory by the next entry's score, which must not be read as part of the name.
    HighScoreEntry pair[2] = {};
    std::memcpy(pair[0].name, "ABCDEFGHIJKLMNOP", 16);
    pair[1].score = 0x41414141;
    EXPECT_STREQ(FormatHighScoreRow(pair[0], 0).name, " 1      ABCDEFGHIJKLMNOP");

    std::memcpy(e.name, "A\x01\xff\tB", 6);
    EXPECT_STREQ(FormatHighScoreRow(e, 0).name, " 1      A???B");
}

TEST_F(HighScoreTable, TheWidestRowKeepsItsColumnsApartAndOnTheScreen)
{
    if (data == nullptr) data = load_datafile(QVX_DATAFILE);
    ASSERT_NE(data, nullptr) << QVX_DATAFILE;
    HighScoreEntry e{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, {}};
    std::memset(e.name, 'W', sizeof e.name);
    const HighScoreRow row = FormatHighScoreRow(e, 14);
    const char *const columns[] = {row.name, row.score, row.level, row.lines, row.pieces};
    int end = 0;
    for (int c = COLUMN_NAME; c <= COLUMN_PIECES; c++) {
        const int x =
            HighScoreColumnX(static_cast<HighScoreColumn>(c), DataFont(FONT_TABLE), columns[c]);
        EXPECT_GT(x, end) << columns[c];
        end = x + text_length(DataFont(FONT_TABLE), columns[c]);
    }
    EXPECT_LT(end, GAME_W - 1) << "inside the screen's border";
}

}  // namespace
