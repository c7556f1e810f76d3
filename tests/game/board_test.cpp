// SPDX-License-Identifier: MIT
// The game record's well and piece arrays, the piece catalogue and the random pieces.
#include <gtest/gtest.h>

#include <set>
#include <vector>
#include <unistd.h>

#include "Board.h"
#include "Quorvex.h"

namespace {

using Cells = std::set<std::pair<int, int>>;

Cells BlockCells()
{
    Cells cells;
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++)
            if (Game.block[c][r] != 0) cells.insert({c, r});
    return cells;
}

// Turns a shape a quarter clockwise (rows grow downwards) and moves it back to the top-left.
Cells TurnClockwise(const Cells &in)
{
    Cells turned;
    int min_c = 99, min_r = 99;
    for (auto [c, r] : in) {
        int nc = -r, nr = c;
        min_c = std::min(min_c, nc);
        min_r = std::min(min_r, nr);
        turned.insert({nc, nr});
    }
    Cells anchored;
    for (auto [c, r] : turned) anchored.insert({c - min_c, r - min_r});
    return anchored;
}

TEST(GameRecord, MapAndBlockAreColumnMajor)
{
    GameState g{};
    g.map[2][5] = 9;
    g.block[1][3] = 4;
    const int32_t *map = &g.map[0][0];
    const int32_t *block = &g.block[0][0];
    EXPECT_EQ(map[2 * 20 + 5], 9);
    EXPECT_EQ(block[1 * 4 + 3], 4);
}

TEST(Catalogue, EveryValidIdHasFourCellsOfItsColourInsideItsBox)
{
    for (int k = 0; k < 4; k++) {
        for (int b = 1; b <= 8; b++) {
            int id = b + 10 * k;
            Generate_Block(id);
            Cells cells = BlockCells();
            ASSERT_EQ(cells.size(), 4u) << "id " << id;
            int max_c = 0, max_r = 0, min_c = 9, min_r = 9;
            for (auto [c, r] : cells) {
                EXPECT_EQ(Game.block[c][r], b) << "id " << id;
                max_c = std::max(max_c, c);
                max_r = std::max(max_r, r);
                min_c = std::min(min_c, c);
                min_r = std::min(min_r, r);
            }
            EXPECT_EQ(min_c, 0) << "every shape touches column 0, id " << id;
            EXPECT_EQ(min_r, 0) << "every shape touches row 0, id " << id;
            EXPECT_EQ(Game.block_w, max_c + 1) << "id " << id;
            EXPECT_EQ(Game.block_h, max_r + 1) << "id " << id;
            EXPECT_EQ(Game.element, id);
        }
    }
}

TEST(Catalogue, EachOrientationIsThePreviousTurnedClockwise)
{
    for (int b = 1; b <= 8; b++) {
        for (int k = 0; k < 4; k++) {
            Generate_Block(b + 10 * k);
            Cells before = BlockCells();
            Generate_Block(b + 10 * ((k + 1) % 4));
            EXPECT_EQ(BlockCells(), TurnClockwise(before)) << "shape " << b << " orientation " << k;
        }
    }
}

TEST(Catalogue, StraightPiecesAndSquares)
{
    Generate_Block(8);
    EXPECT_EQ(BlockCells(), (Cells{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    EXPECT_EQ(Game.block[3][0], 8);
    EXPECT_EQ(Game.block_w, 4);
    EXPECT_EQ(Game.block_h, 1);
    Generate_Block(18);
    EXPECT_EQ(Game.block_w, 1);
    EXPECT_EQ(Game.block_h, 4);
    for (int id : {3, 13, 23, 33}) {
        Generate_Block(id);
        EXPECT_EQ(BlockCells(), (Cells{{0, 0}, {1, 0}, {0, 1}, {1, 1}}));
    }
}

TEST(Catalogue, GenerateBlockLeavesThePositionAlone)
{
    Game.block_x = 6;
    Game.block_y = 11;
    Generate_Block(24);
    EXPECT_EQ(Game.block_x, 6);
    EXPECT_EQ(Game.block_y, 11);
}

TEST(Catalogue, ClearBlockEmptiesAllCells)
{
    Generate_Block(7);
    Clear_Block();
    EXPECT_TRUE(BlockCells().empty());
}

void GenerateWithOutputOnStderr(int id)
{
    dup2(2, 1);  // the death test reads stderr; the message goes to standard output
    Generate_Block(id);
}

TEST(CatalogueDeathTest, UnknownIdsEndTheProgramWithTheStoredText)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int id : {0, 9, 10, 19, 20, 29, 30, 39, 40, -1, 1000}) {
        EXPECT_EXIT(GenerateWithOutputOnStderr(id), testing::ExitedWithCode(1),
                    "Error: Unknown element to be generated,notify author\n%s\n")
            << "id " << id;
    }
}

TEST(RandomPieces, StaysInRange)
{
    srand(12345);
    std::set<int> seen;
    for (int i = 0; i < 2000; i++) {
        EXPECT_EQ(Random(1), 0);
        int v = Random(8);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 8);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 8u);
}

TEST(GameTimer, CountsTicks)
{
    game_time = 0;
    for (int i = 0; i < 5; i++) game_timer();
    EXPECT_EQ(game_time.load(), 5);
}

}  // namespace
