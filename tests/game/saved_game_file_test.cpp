// SPDX-License-Identifier: MIT
// Saved-game files: the exact bytes, loading back, refusing what is not a saved game, safe writing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>
#include <sys/stat.h>

#include "Board.h"
#include "SafeFile.h"
#include "scratch.h"
#include "SavedGameFile.h"
#include "temporary_names.h"

namespace {

int32_t LE32(const std::vector<unsigned char> &b, size_t at)
{
    return static_cast<int32_t>(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 |
                                uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24);
}

class SavedGameFile : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.empty());
        path_ = dir_ + "/game.svg";
        std::strcpy(kept_name_, current_game_name);
    }
    void TearDown() override
    {
        safe_file_fail_after = -1;
        std::strcpy(current_game_name, kept_name_);
    }

    // A game in progress: a T piece turned once, some locked cells, counters of a real game.
    static GameState InProgress()
    {
        Game = GameState{};
        Generate_Block(14);
        Game.block_x = 4;
        Game.block_y = 6;
        Game.next_element = 7;
        Game.map[0][19] = 1;
        Game.map[2][19] = 8;
        Game.map[9][18] = 5;
        Game.delay = 43;
        Game.score = 12345;
        Game.lines = 12;
        Game.total_lines = 62;
        Game.pieces = 88;
        Game.stage = 6;
        GameState g = Game;
        Game = GameState{};
        return g;
    }

    std::vector<unsigned char> Encoded(const GameState &g)
    {
        std::vector<unsigned char> bytes(SAVED_GAME_SIZE);
        EncodeSavedGame(g, bytes.data());
        return bytes;
    }
    // Loading must refuse the file and leave the target record exactly as it was.
    void ExpectRefused(const std::vector<unsigned char> &bytes, const char *what)
    {
        qvx_test::write_file(path_, bytes);
        GameState target;
        std::memset(&target, 0x5C, sizeof target);
        GameState before = target;
        EXPECT_EQ(ReadSavedGame(path_.c_str(), target), LoadResult::NotASavedGame) << what;
        EXPECT_EQ(std::memcmp(&target, &before, sizeof target), 0) << what;
    }
    void ExpectRefused(std::function<void(GameState &)> damage, const char *what)
    {
        GameState g = InProgress();
        damage(g);
        EXPECT_FALSE(IsValidGameState(g)) << what;
        ExpectRefused(Encoded(g), what);
    }

    qvx_test::TempDir scratch_;
    std::string dir_ = scratch_.path(), path_;
    char kept_name_[20];
};

TEST_F(SavedGameFile, FileIsTheRecordLittleEndianThenTheSignature)
{
    GameState g = InProgress();
    ASSERT_TRUE(WriteSavedGame(path_.c_str(), g));
    std::vector<unsigned char> b = qvx_test::read_file(path_);
    ASSERT_EQ(b.size(), 958u);
    EXPECT_EQ(LE32(b, 0 + 4 * (0 * 4 + 0)), 4) << "block[0][0] of id 14";
    EXPECT_EQ(LE32(b, 4 * (1 * 4 + 1)), 4) << "block[1][1]";
    EXPECT_EQ(LE32(b, 4 * (1 * 4 + 0)), 0) << "block[1][0]";
    EXPECT_EQ(LE32(b, 64), 7);
    EXPECT_EQ(LE32(b, 68), 14);
    EXPECT_EQ(LE32(b, 72 + 4 * (0 * 20 + 19)), 1);
    EXPECT_EQ(LE32(b, 72 + 4 * (2 * 20 + 19)), 8);
    EXPECT_EQ(LE32(b, 72 + 4 * (9 * 20 + 18)), 5);
    EXPECT_EQ(LE32(b, 872), 4);
    EXPECT_EQ(LE32(b, 876), 6);
    EXPECT_EQ(LE32(b, 880), 2);
    EXPECT_EQ(LE32(b, 884), 3);
    EXPECT_EQ(LE32(b, 888), 43);
    EXPECT_EQ(LE32(b, 892), 12345);
    EXPECT_EQ(LE32(b, 896), 12);
    EXPECT_EQ(LE32(b, 900), 62);
    EXPECT_EQ(LE32(b, 904), 88);
    EXPECT_EQ(LE32(b, 908), 6);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&b[912])),
              "Quorvex Vastrelon v2.0 (Windows Only Version)");
    EXPECT_EQ(b[957], 0);
    // On a little-endian machine the first 912 bytes are the record as held in memory.
    const uint16_t probe = 1;
    if (*reinterpret_cast<const unsigned char *>(&probe) == 1) {
        EXPECT_EQ(std::memcmp(b.data(), &g, sizeof g), 0);
    }
    EXPECT_EQ(TemporaryFilesIn(dir_), 0) << "no temporary file is left behind";
}

TEST_F(SavedGameFile, LoadingRestoresTheIdenticalRecord)
{
    GameState g = InProgress();
    ASSERT_TRUE(WriteSavedGame(path_.c_str(), g));
    GameState loaded;
    std::memset(&loaded, 0x33, sizeof loaded);
    ASSERT_EQ(ReadSavedGame(path_.c_str(), loaded), LoadResult::Loaded);
    EXPECT_EQ(std::memcmp(&loaded, &g, sizeof g), 0);
}

TEST_F(SavedGameFile, PiecesAtTheEdgesOfTheWellAreValid)
{
    for (int id : {1,  2,  3,  4,  5,  6,  7,  8,  11, 12, 13, 14, 15, 16, 17, 18,
                   21, 22, 23, 24, 25, 26, 27, 28, 31, 32, 33, 34, 35, 36, 37, 38}) {
        GameState g = InProgress();
        std::memset(g.map, 0, sizeof g.map);  // nothing in the corners
        Game = g;
        Generate_Block(id);
        Game.block_x = MAP_W - Game.block_w;
        Game.block_y = MAP_H - Game.block_h;
        g = Game;
        EXPECT_TRUE(IsValidGameState(g)) << id;
        g.block_x = 0;
        g.block_y = 0;
        EXPECT_TRUE(IsValidGameState(g)) << id;
    }
    GameState g = InProgress();
    g.delay = 2;
    g.total_lines = 1989;
    g.stage = 198;
    EXPECT_TRUE(IsValidGameState(g)) << "the highest stage play can save";
    g.delay = 55;
    g.score = g.lines = g.pieces = g.total_lines = g.stage = 0;
    EXPECT_TRUE(IsValidGameState(g)) << "a fresh game";
}

TEST_F(SavedGameFile, ShortLongAndUnsignedFilesAreRefused)
{
    std::vector<unsigned char> good = Encoded(InProgress());
    ExpectRefused(std::vector<unsigned char>(), "empty file");
    ExpectRefused(std::vector<unsigned char>(good.begin(), good.begin() + 100), "100 bytes");
    ExpectRefused(std::vector<unsigned char>(good.begin(), good.begin() + 912), "record only");
    ExpectRefused(std::vector<unsigned char>(good.begin(), good.end() - 1), "no final NUL");
    std::vector<unsigned char> longer = good;
    longer.push_back(0);
    ExpectRefused(longer, "one byte more");
    std::vector<unsigned char> wrong = good;
    wrong[930] ^= 0x20;
    ExpectRefused(wrong, "another signature");
}

TEST_F(SavedGameFile, RandomFilesAreRefused)
{
    std::mt19937 gen(20261207);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 50; n++) {
        std::vector<unsigned char> b(SAVED_GAME_SIZE);
        for (auto &x : b) x = static_cast<unsigned char>(byte(gen));
        ExpectRefused(b, "random bytes");
        // Random record behind a genuine signature.
        std::memcpy(&b[GAME_STATE_SIZE], GAMESG, GAME_SIGNATURE_SIZE);
        ExpectRefused(b, "random record, real signature");
    }
}

TEST_F(SavedGameFile, ValuesOutsideTheRecordsRangesAreRefused)
{
    ExpectRefused([](GameState &g) { g.element = 0; }, "element 0");
    ExpectRefused([](GameState &g) { g.element = 19; }, "element 19");
    ExpectRefused([](GameState &g) { g.element = 41; }, "element 41");
    ExpectRefused([](GameState &g) { g.element = 24; }, "element that does not match the cells");
    ExpectRefused([](GameState &g) { g.next_element = 0; }, "next 0");
    ExpectRefused([](GameState &g) { g.next_element = 11; }, "next with an orientation");
    ExpectRefused([](GameState &g) { g.map[5][5] = 9; }, "colour 9 in the well");
    ExpectRefused([](GameState &g) { g.map[0][0] = -1; }, "colour -1 in the well");
    ExpectRefused([](GameState &g) { g.block[3][3] = 4; }, "an extra cell in the piece");
    ExpectRefused([](GameState &g) { g.block[0][0] = 9; }, "colour 9 in the piece");
    ExpectRefused([](GameState &g) { g.block_w = 3; }, "wrong width");
    ExpectRefused([](GameState &g) { g.block_x = -1; }, "left of the well");
    ExpectRefused([](GameState &g) { g.block_x = 9; }, "a cell right of the well");
    ExpectRefused([](GameState &g) { g.block_y = -1; }, "above the well");
    ExpectRefused([](GameState &g) { g.block_y = 18; }, "a cell below the well");
    ExpectRefused([](GameState &g) { g.block_y = INT32_MIN; }, "far above the well");
    ExpectRefused([](GameState &g) { g.block_x = INT32_MAX; }, "far right of the well");
    ExpectRefused([](GameState &g) { g.score = -1; }, "negative score");
    ExpectRefused([](GameState &g) { g.lines = -1; }, "negative lines");
    ExpectRefused([](GameState &g) { g.total_lines = -10; }, "negative total lines");
    ExpectRefused([](GameState &g) { g.pieces = -1; }, "negative pieces");
    ExpectRefused([](GameState &g) { g.stage = -1; }, "negative stage");
    ExpectRefused([](GameState &g) { g.score = INT32_MAX; }, "score about to overflow");
    ExpectRefused([](GameState &g) { g.score = HIGH_SCORE_SHOWN_MAX + 1; }, "wider than the table");
    ExpectRefused([](GameState &g) { g.pieces = HIGH_SCORE_SHOWN_MAX + 1; }, "pieces too");
    ExpectRefused([](GameState &g) { g.map[g.block_x + 1][g.block_y + 1] = 2; }, "piece on a cell");
    ExpectRefused([](GameState &g) { g.total_lines = 1990; }, "past the stage limit");
    ExpectRefused([](GameState &g) { g.stage = 199; }, "stage past the limit");
    ExpectRefused([](GameState &g) { g.delay = 1; }, "delay below the floor");
    ExpectRefused([](GameState &g) { g.delay = 56; }, "delay above stage 0's");
}

TEST_F(SavedGameFile, CheckingLeavesTheRunningGameAlone)
{
    GameState running = InProgress();
    running.score = 777;
    GameState good = InProgress();
    GameState damaged = InProgress();
    damaged.element = 3;  // the cells are the T of id 14
    Game = running;
    EXPECT_FALSE(IsValidGameState(damaged));
    EXPECT_TRUE(IsValidGameState(good));
    EXPECT_EQ(std::memcmp(&Game, &running, sizeof Game), 0);
}

TEST_F(SavedGameFile, MissingFilesAndDirectoriesCannotBeOpened)
{
    const GameState expected = InProgress();
    GameState target = expected;
    EXPECT_EQ(ReadSavedGame((dir_ + "/none.svg").c_str(), target), LoadResult::CannotOpen);
    EXPECT_EQ(ReadSavedGame(dir_.c_str(), target), LoadResult::CannotOpen);
    EXPECT_EQ(std::memcmp(&target, &expected, sizeof target), 0);
}

TEST_F(SavedGameFile, AFailedWriteKeepsTheOldFileWhole)
{
    GameState old_game = InProgress();
    ASSERT_TRUE(WriteSavedGame(path_.c_str(), old_game));
    std::vector<unsigned char> before = qvx_test::read_file(path_);

    GameState new_game = InProgress();
    new_game.score = 99999;
    for (long cut : {0L, 1L, 500L, 957L}) {
        safe_file_fail_after = cut;
        EXPECT_FALSE(WriteSavedGame(path_.c_str(), new_game)) << cut;
        EXPECT_EQ(qvx_test::read_file(path_), before) << cut;
        EXPECT_EQ(TemporaryFilesIn(dir_), 0) << cut;
    }
    safe_file_fail_after = -1;
    EXPECT_FALSE(WriteSavedGame((dir_ + "/no/such/dir/x.svg").c_str(), new_game));
    ASSERT_TRUE(WriteSavedGame(path_.c_str(), new_game));
    EXPECT_EQ(LE32(qvx_test::read_file(path_), 892), 99999);
}

TEST_F(SavedGameFile, OnlyNamesThatFitAreRemembered)
{
    std::strcpy(current_game_name, "untitled.svg");
    EXPECT_TRUE(RememberGameName("/home/player/games/first.svg"));
    EXPECT_STREQ(current_game_name, "first.svg");
    EXPECT_TRUE(RememberGameName("/x/abcdefghijklmno.svg"));
    EXPECT_STREQ(current_game_name, "abcdefghijklmno.svg") << "19 characters fit";
    EXPECT_FALSE(RememberGameName("/x/abcdefghijklmnop.svg"));
    EXPECT_STREQ(current_game_name, "abcdefghijklmno.svg") << "20 do not; the previous name stays";
    EXPECT_TRUE(RememberGameName("plain.svg"));
    EXPECT_STREQ(current_game_name, "plain.svg");
}

}  // namespace
