// SPDX-License-Identifier: MIT
// The rules on the global record: fitting, turning, locking, removing rows, scoring, spawning.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "Board.h"
#include "Quorvex.h"
#include "Rules.h"

namespace {

class Rules : public testing::Test {
protected:
    void SetUp() override
    {
        std::memset(&Game, 0, sizeof Game);
        end_game = 0;
        sound_on = 0;
    }
    void Place(int element, int x, int y)
    {
        Generate_Block(element);
        Game.block_x = x;
        Game.block_y = y;
    }
    void FillRow(int row, int colour = 1)
    {
        for (int c = 0; c < MAP_W; c++) Game.map[c][row] = colour;
    }
    bool RowIs(int row, int colour)
    {
        for (int c = 0; c < MAP_W; c++)
            if (Game.map[c][row] != colour) return false;
        return true;
    }
};

TEST_F(Rules, FittingAtTheWallsAndTheFloor)
{
    Place(1, 3, 0);
    EXPECT_EQ(Can_Put(), -1);
    Place(7, 6, 0);
    EXPECT_EQ(Can_Put(), -1) << "columns 6..9";
    Place(7, 7, 0);
    EXPECT_EQ(Can_Put(), 0) << "column 10 is outside";
    Place(7, -1, 0);
    EXPECT_EQ(Can_Put(), 0);
    Place(17, 0, 16);
    EXPECT_EQ(Can_Put(), -1) << "rows 16..19";
    Place(17, 0, 17);
    EXPECT_EQ(Can_Put(), 0) << "row 20 is outside";
    Place(3, 4, 18);
    Game.map[5][19] = 2;
    EXPECT_EQ(Can_Put(), 0) << "an occupied cell";
}

TEST_F(Rules, LandingRowIsWhereADropStopsAndLeavesTheRecord)
{
    Place(7, 3, 0);  // the straight piece, lying in the box's top row
    Game.map[4][12] = 1;
    EXPECT_EQ(LandingRow(), 11);
    Game.map[4][12] = 0;
    EXPECT_EQ(LandingRow(), 19) << "on the floor";
    Game.map[4][0] = 1;
    EXPECT_EQ(LandingRow(), 0) << "a piece that does not fit stays";
    EXPECT_EQ(Game.block_y, 0);
}

TEST_F(Rules, CellsOutsideTheWellNeverFitNorAreWritten)
{
    Place(3, 4, -1);  // only a damaged saved game puts a piece above the well
    EXPECT_EQ(Can_Put(), 0);
    Place(3, 100000, 5);
    EXPECT_EQ(Can_Put(), 0);
    Place(3, 9, 19);  // only cell (9,19) is inside
    Put_Block();
    EXPECT_EQ(Game.map[9][19], 3);
    int occupied = 0;
    for (auto &column : Game.map)
        for (int v : column) occupied += v != 0;
    EXPECT_EQ(occupied, 1);
}

TEST_F(Rules, TurningIsClockwiseAndBlockedWithoutKicks)
{
    Place(1, 3, 0);
    Rotate_Block();
    EXPECT_EQ(Game.element, 11);
    Place(34, 3, 5);
    Rotate_Block();
    EXPECT_EQ(Game.element, 4) << "31..38 turn back to 1..8";

    Place(17, 7, 0);
    int before[4][4];
    std::memcpy(before, Game.block, sizeof before);
    Rotate_Block();
    EXPECT_EQ(Game.element, 17) << "id 27 would need columns 7..10";
    EXPECT_EQ(std::memcmp(before, Game.block, sizeof before), 0);
    EXPECT_EQ(Game.block_x, 7);

    Place(3, 8, 18);
    Rotate_Block();
    EXPECT_EQ(Game.element, 13) << "the square turns wherever it fits";
}

TEST_F(Rules, LockingWithoutRowsScoresThirty)
{
    Game.total_lines = 35;
    Place(3, 0, 18);
    Put_Block();
    EXPECT_EQ(Game.score, 30);
    EXPECT_EQ(Game.pieces, 1);
    EXPECT_EQ(Game.lines, 0);
    EXPECT_EQ(Game.delay, 55 - 2 * 3);
    EXPECT_EQ(Game.map[0][18], 3);
    EXPECT_EQ(Game.map[1][19], 3);
}

TEST_F(Rules, TwoSeparateFullRowsGoInOneLock)
{
    FillRow(19, 1);
    FillRow(17, 2);
    for (int c = 0; c < 9; c++) Game.map[c][18] = 4;  // row 18 has a gap at column 9
    Game.map[0][16] = 5;
    Game.map[3][15] = 6;
    Game.total_lines = 8;
    Clear_Block();  // an empty piece: the lock only runs the row scan
    Put_Block();
    EXPECT_EQ(Game.lines, 2);
    EXPECT_EQ(Game.total_lines, 10);
    EXPECT_EQ(Game.score, 250 + 25 - 25 + 30) << "two rows at stage 1 plus the piece";
    EXPECT_EQ(Game.delay, 53);
    EXPECT_EQ(Game.map[0][19], 4) << "the old row 18 ends up in row 19";
    EXPECT_EQ(Game.map[9][19], 0);
    EXPECT_EQ(Game.map[0][18], 5) << "rows above move down two";
    EXPECT_EQ(Game.map[3][17], 6);
}

TEST_F(Rules, ScoreTableAtSeveralStages)
{
    struct Case {
        int total_before, rows, points;
    } cases[] = {
        // points for the rows at the stage after the removal, plus 30 for the piece
        {0, 1, 130},
        {0, 4, 505},
        {50, 1, 130 + 25 * 5},
        {98, 3, 380 + 25 * 10},
        {200, 2, 255 + 25 * 20},
    };
    for (const Case &k : cases) {
        SetUp();
        Game.total_lines = k.total_before;
        for (int r = 0; r < k.rows; r++) FillRow(19 - r);
        Put_Block();  // the empty block writes nothing
        EXPECT_EQ(Game.score, k.points) << k.total_before << " + " << k.rows;
    }
}

TEST_F(Rules, DelayShrinksWithTheStageDownToTwo)
{
    for (auto [total, delay] :
         {std::pair{0, 55}, {100, 35}, {200, 15}, {260, 3}, {270, 2}, {1000, 2}}) {
        SetUp();
        Game.total_lines = total;
        Put_Block();
        EXPECT_EQ(Game.delay, delay) << total;
    }
}

TEST_F(Rules, FullTopRowStaysAndIsCopiedIntoRowOne)
{
    Game.map[4][0] = 7;
    FillRow(19);
    Put_Block();
    EXPECT_EQ(Game.lines, 1);
    EXPECT_EQ(Game.map[4][0], 7) << "row 0 keeps its contents";
    EXPECT_EQ(Game.map[4][1], 7) << "and they also stand in row 1";

    SetUp();
    FillRow(0, 3);
    Put_Block();
    EXPECT_TRUE(RowIs(0, 3)) << "a full row 0 is never removed";
    EXPECT_EQ(Game.lines, 0);
}

TEST_F(Rules, FullTopRowWithARemovalBelowEnds)
{
    FillRow(0, 3);
    FillRow(19, 1);
    Put_Block();  // must return
    EXPECT_TRUE(RowIs(0, 3));
    EXPECT_TRUE(RowIs(1, 3)) << "the copy of the top row stays in row 1";
    EXPECT_EQ(Game.lines, 2) << "row 19 and the copy of row 0 that reached row 1";
    EXPECT_EQ(Game.total_lines, 2);

    // A saved game may hold several full rows at the top: the lock still returns.
    SetUp();
    for (int r = 0; r < 4; r++) FillRow(r, 2);
    FillRow(19, 1);
    Put_Block();
    for (int r = 0; r < 4; r++) EXPECT_TRUE(RowIs(r, 2)) << r;
    EXPECT_EQ(Game.lines, 2) << "row 19, then one copy of the full rows above";
}

TEST_F(Rules, SpawnShowsTheAnnouncedPieceAndDrawsAnother)
{
    srand(7);
    Game.next_element = 5;
    Game.total_lines = 34;
    Generate_New();
    EXPECT_EQ(Game.element, 5);
    EXPECT_EQ(Game.block_x, 3);
    EXPECT_EQ(Game.block_y, 0);
    EXPECT_EQ(Game.stage, 3);
    EXPECT_GE(Game.next_element, 1);
    EXPECT_LE(Game.next_element, 8);
    EXPECT_EQ(end_game, 0);
}

TEST_F(Rules, SpawnIntoOccupiedCellsEndsTheGame)
{
    Game.next_element = 3;
    Game.map[4][1] = 1;
    Generate_New();
    EXPECT_EQ(end_game, -1);
    EXPECT_EQ(Game.block_x, 3) << "the piece stays in place";
}

TEST_F(Rules, StageLimitEndsTheGameOnAnEmptyWell)
{
    Game.next_element = 1;
    Game.total_lines = 1989;
    Generate_New();
    EXPECT_EQ(end_game, 0);
    Game.total_lines = 1990;
    Generate_New();
    EXPECT_EQ(end_game, -1);
}

}  // namespace

namespace {

TEST(StartingRows, FillTheBottomRowsAtRandomWithColourOne)
{
    std::memset(&Game, 0, sizeof Game);
    FillStartingRows(0);
    for (auto &column : Game.map)
        for (int v : column) EXPECT_EQ(v, 0);

    srand(99);
    FillStartingRows(10);
    int filled = 0;
    for (int c = 0; c < MAP_W; c++) {
        for (int r = 0; r < MAP_H; r++) {
            int v = Game.map[c][r];
            if (r < 10) {
                EXPECT_EQ(v, 0) << "rows above the starting rows stay empty";
            } else {
                EXPECT_TRUE(v == 0 || v == 1);
                filled += v;
            }
        }
    }
    EXPECT_GT(filled, 25);
    EXPECT_LT(filled, 75);
}

}  // namespace
