// SPDX-License-Identifier: MIT
// The high-score table's file: defaults, reading whole or short files, and replacing it safely.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "HighScoreFile.h"
#include "HighScoreTable.h"
#include "SafeFile.h"
#include "ScreenHelpers.h"
#include "scratch.h"
#include "temporary_names.h"

namespace {

class HighScoreFile : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.empty());
        path_ = dir_ + "/quorvex.hsc";
    }
    void TearDown() override { safe_file_fail_after = -1; }
    qvx_test::TempDir scratch_;
    std::string dir_ = scratch_.path(), path_;
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
    EXPECT_EQ(TemporaryFilesIn(dir_), 0) << "no temporary file is left behind";
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
    bytes[0] = 100;  // entry 0 score
    bytes[32] = 50;  // entry 1 score
    bytes[64] = 25;  // entry 2 is cut short and does not count
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

TEST_F(HighScoreFile, FilesWithoutAWholeEntryGiveTheDefaults)
{
    for (size_t size : {0, 1, 31}) {
        qvx_test::write_file(path_, std::vector<unsigned char>(size, 7));
        std::memset(HighScores, 0, sizeof HighScores);
        ASSERT_TRUE(ReadHighScoreFile(path_.c_str()));
        for (const HighScoreEntry &e : HighScores) EXPECT_EQ(e.level, 1) << size;
    }
}

TEST_F(HighScoreFile, MissingFileCannotBeRead)
{
    EXPECT_FALSE(ReadHighScoreFile(path_.c_str()));
    EXPECT_EQ(FileExist(path_.c_str()), 0);
    EXPECT_EQ(FileExist(dir_.c_str()), 0) << "a directory is not a file";
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
    EXPECT_EQ(TemporaryFilesIn(dir_), 0) << "the partial file is removed";
}

TEST_F(HighScoreFile, FifosAreNeverReadAndReplacedBitsAndLinksAreKept)
{
    ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
    EXPECT_FALSE(ReadHighScoreFile(path_.c_str())) << "no wait for a writer";
    ASSERT_EQ(unlink(path_.c_str()), 0);

    // The player's own link is written through and stays a link; the old bits stay.
    const std::string real = dir_ + "/real.hsc";
    qvx_test::write_file(real, {1, 2, 3});
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.hsc", path_.c_str()), 0);
    SetDefaultHighScores();
    ASSERT_TRUE(WriteHighScoreFile(path_.c_str()));
    struct stat st;
    ASSERT_EQ(lstat(path_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(qvx_test::read_file(real).size(), HIGH_SCORE_FILE_SIZE);

    // Another user's link is replaced, never followed.
    if (geteuid() != 0) GTEST_SKIP() << "giving a link away needs root";
    ASSERT_EQ(lchown(path_.c_str(), 65534, 65534), 0);
    qvx_test::write_file(real, {1, 2, 3});
    EXPECT_FALSE(ReadHighScoreFile(path_.c_str()));
    ASSERT_TRUE(WriteHighScoreFile(path_.c_str()));
    EXPECT_EQ(qvx_test::read_file(real), (std::vector<unsigned char>{1, 2, 3}));
    ASSERT_EQ(lstat(path_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

}  // namespace
