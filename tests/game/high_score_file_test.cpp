// The high-score table's file: defaults, reading whole or short files, and replacing it safely.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "Quorvex.h"
#include "SafeFile.h"
#include "scratch.h"

namespace {

class HighScoreFile : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.path().empty());
        path_ = dir_.path() + "/quorvex.hsc";
    }
    void TearDown() override
    {
        safe_file_fail_after = -1;
    }
    qvx_test::TempDir dir_;
    std::string path_;
};

TEST_F(HighScoreFile, DefaultsAreFifteenChampionsAtLevelOne)
{
    std::memset(HighScores, 0x5A, sizeof HighScores);
    SetDefaultHighScores();
    for (const HighScoreEntry &e : HighScores) {
        EXPECT_EQ(e.score, 0);
        EXPECT_EQ(e.level, 1);
        EXPECT_EQ(e.lines, 0);
        EXPECT_EQ(e.pieces, 0);
        EXPECT_EQ(std::memcmp(e.name, "Quorvex Champion", 16), 0);
    }
}

TEST_F(HighScoreFile, WrittenDefaultsAre480LittleEndianBytes)
{
    SetDefaultHighScores();
    HighScores[0].score = 0x01020304;
    ASSERT_TRUE(WriteHighScoreFile(path_.c_str()));
    std::vector<unsigned char> bytes = qvx_test::read_file(path_);
    ASSERT_EQ(bytes.size(), 480u);
    EXPECT_EQ(bytes[0], 0x04);
    EXPECT_EQ(bytes[3], 0x01);
    EXPECT_EQ(bytes[32 + 4], 1);  // second entry's level
    EXPECT_EQ(std::memcmp(&bytes[32 * 14 + 16], "Quorvex Champion", 16), 0);
    struct stat st;
    EXPECT_NE(stat((path_ + ".tmp").c_str(), &st), 0) << "no temporary file is left behind";
}

TEST_F(HighScoreFile, ReadBackRestoresTheTable)
{
    SetDefaultHighScores();
    HighScores[3].score = 4242;
    HighScores[3].lines = 17;
    std::strcpy(HighScores[3].name, "TESTER");
    ASSERT_TRUE(WriteHighScoreFile(path_.c_str()));
    std::memset(HighScores, 0, sizeof HighScores);
    ASSERT_TRUE(ReadHighScoreFile(path_.c_str()));
    EXPECT_EQ(HighScores[3].score, 4242);
    EXPECT_EQ(HighScores[3].lines, 17);
    EXPECT_STREQ(HighScores[3].name, "TESTER");
    EXPECT_EQ(HighScores[14].level, 1);
}

TEST_F(HighScoreFile, ShortFileLeavesUncoveredEntriesZero)
{
    std::vector<unsigned char> bytes(32 * 2 + 20, 0);
    bytes[0] = 100;       // entry 0 score
    bytes[32] = 50;       // entry 1 score
    bytes[64] = 25;       // entry 2 is cut short and does not count
    std::memcpy(&bytes[16], "ANNA", 5);
    qvx_test::write_file(path_, bytes);
    SetDefaultHighScores();
    ASSERT_TRUE(ReadHighScoreFile(path_.c_str()));
    EXPECT_EQ(HighScores[0].score, 100);
    EXPECT_STREQ(HighScores[0].name, "ANNA");
    EXPECT_EQ(HighScores[1].score, 50);
    for (int i = 2; i < 15; i++) {
        EXPECT_EQ(HighScores[i].score, 0) << i;
        EXPECT_EQ(HighScores[i].level, 0) << i;
        EXPECT_EQ(HighScores[i].name[0], '\0') << i;
    }
}

TEST_F(HighScoreFile, EmptyFileGivesAnAllZeroTable)
{
    qvx_test::write_file(path_, {});
    SetDefaultHighScores();
    ASSERT_TRUE(ReadHighScoreFile(path_.c_str()));
    for (const HighScoreEntry &e : HighScores) EXPECT_EQ(e.level, 0);
}

TEST_F(HighScoreFile, MissingFileCannotBeRead)
{
    EXPECT_FALSE(ReadHighScoreFile(path_.c_str()));
    EXPECT_EQ(FileExist(path_.c_str()), 0);
    EXPECT_EQ(FileExist(dir_.path().c_str()), 0) << "a directory is not a file";
}

TEST_F(HighScoreFile, UnterminatedNamesAreReadWithinTheirSixteenBytes)
{
    std::vector<unsigned char> bytes(480, 'X');  // every name byte and the numbers are 'X'
    qvx_test::write_file(path_, bytes);
    ASSERT_TRUE(ReadHighScoreFile(path_.c_str()));
    char name[17];
    std::memset(name, '#', sizeof name);
    HighScoreName(HighScores[14], name);
    EXPECT_EQ(std::string(name), std::string(16, 'X'));
    HighScoreName(HighScores[0], name);
    EXPECT_EQ(std::strlen(name), 16u);
}

TEST_F(HighScoreFile, FailedWriteLeavesTheOldFileWhole)
{
    SetDefaultHighScores();
    ASSERT_TRUE(WriteHighScoreFile(path_.c_str()));
    std::vector<unsigned char> before = qvx_test::read_file(path_);

    HighScores[0].score = 999;
    safe_file_fail_after = 100;  // the disk fills up part-way through
    EXPECT_FALSE(WriteHighScoreFile(path_.c_str()));
    safe_file_fail_after = -1;
    EXPECT_EQ(qvx_test::read_file(path_), before);
    struct stat st;
    EXPECT_NE(stat((path_ + ".tmp").c_str(), &st), 0) << "the partial temporary file is removed";
}

TEST_F(HighScoreFile, UncreatableTemporaryFileLeavesTheOldFileWhole)
{
    SetDefaultHighScores();
    ASSERT_TRUE(WriteHighScoreFile(path_.c_str()));
    std::vector<unsigned char> before = qvx_test::read_file(path_);
    ASSERT_EQ(mkdir((path_ + ".tmp").c_str(), 0700), 0);  // the temporary name is taken
    HighScores[0].score = 999;
    EXPECT_FALSE(WriteHighScoreFile(path_.c_str()));
    EXPECT_EQ(qvx_test::read_file(path_), before);
}

}  // namespace
