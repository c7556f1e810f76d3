// SPDX-License-Identifier: MIT
// File input primitives: byte order, end of file, the re-opening seek, writers and the allocator.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "qvmod.h"
#include "scratch.h"

namespace {

using qvx_test::TempFile;

TEST(FileInput, ReadsBothByteOrders)
{
    TempFile file({0x34, 0x12, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x12, 0x34, 0x56, 0x78, 0xFF,
                   0xFF, 0xFF, 0xFF});
    PACKFILE *f = qvmod_fopen(file.path(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(qvmod_igetw(f), 0x1234);
    EXPECT_EQ(qvmod_mgetw(f), 0x3412);
    EXPECT_EQ(qvmod_igetl(f), 0x12345678);
    EXPECT_EQ(qvmod_mgetl(f), 0x12345678);
    EXPECT_EQ(qvmod_igetl(f), -1);
    EXPECT_EQ(qvmod_getc(f), EOF);
    EXPECT_EQ(qvmod_igetw(f), EOF);
    EXPECT_EQ(qvmod_mgetl(f), EOF);
    qvmod_fclose(f);
}

TEST(FileInput, WordWithOneByteLeftConsumesIt)
{
    TempFile file({0xAB});
    PACKFILE *f = qvmod_fopen(file.path(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(qvmod_igetw(f), EOF);
    EXPECT_EQ(qvmod_getc(f), EOF);
    qvmod_fclose(f);
}

TEST(FileInput, SeekReopensAndSkips)
{
    TempFile file({1, 2, 3, 4, 5});
    PACKFILE *f = qvmod_fopen(file.path(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(qvmod_skip(f, 3), 0);
    EXPECT_EQ(qvmod_getc(f), 4);
    qvmod_fseek(&f, file.path(), 0);
    EXPECT_EQ(qvmod_getc(f), 1);
    qvmod_fseek(&f, file.path(), 2);
    EXPECT_EQ(qvmod_getc(f), 3);
    qvmod_fclose(f);
}

TEST(FileInput, FailedReopenReadsAsEndOfFile)
{
    TempFile file({1, 2, 3});
    PACKFILE *f = qvmod_fopen(file.path(), "rb");
    ASSERT_NE(f, nullptr);
    qvmod_fseek(&f, "/nonexistent/qvmod/file", 0);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(qvmod_getc(f), EOF);
    EXPECT_EQ(qvmod_igetw(f), EOF);
    EXPECT_EQ(qvmod_mgetl(f), EOF);
    char buf[4];
    EXPECT_EQ(qvmod_fread(buf, 4, f), 0);
    EXPECT_NE(qvmod_skip(f, 1), 0);
    qvmod_fclose(f);
    EXPECT_EQ(qvmod_fopen("/nonexistent/qvmod/file", "rb"), nullptr);
}

// Plain names are read whole and served from memory; names with '#' (datafile objects) stay with
// Allegro's streams. Both must behave alike at the end of the file and on the re-opening seek.
class FileInputByName : public ::testing::TestWithParam<const char *> {};

TEST_P(FileInputByName, EndOfFileSkipsAndReopeningSeeks)
{
    TempFile file({1, 2, 3, 4, 5}, GetParam());
    TempFile other({9}, GetParam());
    PACKFILE *f = qvmod_fopen(file.path(), "rb");
    ASSERT_NE(f, nullptr);
    unsigned char buf[8] = {};
    EXPECT_EQ(qvmod_fread(buf, 8, f), 5);
    EXPECT_EQ(buf[4], 5);
    EXPECT_EQ(qvmod_fread(buf, 8, f), 0);
    EXPECT_EQ(qvmod_getc(f), EOF);
    qvmod_fseek(&f, file.path(), 0);
    EXPECT_EQ(qvmod_skip(f, 100), 0);
    EXPECT_EQ(qvmod_getc(f), EOF);
    qvmod_fseek(&f, file.path(), 4);
    EXPECT_EQ(qvmod_getc(f), 5);
    qvmod_fseek(&f, file.path(), 9);
    EXPECT_EQ(qvmod_getc(f), EOF);
    qvmod_fseek(&f, file.path(), 1);
    EXPECT_EQ(qvmod_mgetw(f), 0x0203);
    // Streams go forward only: a backward skip is refused and moves nothing.
    EXPECT_NE(qvmod_skip(f, -2), 0);
    EXPECT_EQ(qvmod_getc(f), 4);
    qvmod_fseek(&f, other.path(), 0);
    EXPECT_EQ(qvmod_getc(f), 9);
    qvmod_fclose(f);
}

INSTANTIATE_TEST_SUITE_P(PlainAndHash, FileInputByName, ::testing::Values("", "#1"));

TEST(FileInput, DirectoryReadsAsEmpty)
{
    // It opens, but claims a size no file has; nothing may be set aside for it.
    PACKFILE *f = qvmod_fopen("/tmp", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(qvmod_getc(f), EOF);
    qvmod_fclose(f);
}

TEST(FileInput, WritersAreLittleEndian)
{
    TempFile file({});
    PACKFILE *f = qvmod_fopen(file.path(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(qvmod_putc(0x1AB, f), 0xAB);
    EXPECT_EQ(qvmod_iputw(0x1234, f), 0x1234);
    EXPECT_EQ(qvmod_iputl(0x12345678, f), 0x12345678);
    const char tail[2] = {'o', 'k'};
    EXPECT_EQ(qvmod_fwrite(tail, 2, f), 2);
    qvmod_fclose(f);
    EXPECT_EQ(file.bytes(),
              (std::vector<unsigned char>{0xAB, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 'o', 'k'}));
}

TEST(FileInput, AllocatorZeroFillsAndAcceptsZero)
{
    void *empty = qvmod_calloc(0);
    EXPECT_NE(empty, nullptr);
    std::free(empty);
    unsigned char *p = static_cast<unsigned char *>(qvmod_calloc(64));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; i++) EXPECT_EQ(p[i], 0);
    std::free(p);
}

}  // namespace
