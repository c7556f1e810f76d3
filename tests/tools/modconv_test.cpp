// SPDX-License-Identifier: MIT
// QVM conversion: every reader's modules survive writing and reloading; the comparison notices changes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "modconv_core.h"
#include "module_builder.h"
#include "module_writers.h"
#include "qvm_writer.h"
#include "scratch.h"

namespace {

using qvx_test::TempFile;

ModuleHolder through_qvm(QVMOD *m)
{
    prepare_for_qvm(m);
    const ModuleImage image = qvm_write(m);
    EXPECT_FALSE(image.empty()) << qvm_check(m);
    return load_image(image);
}

void expect_round_trip(const ModuleImage &source, const char *what)
{
    ModuleHolder a(load_image(source));
    ASSERT_TRUE(a) << what << ": " << qvmod_error;
    ModuleHolder b(through_qvm(a.get()));
    ASSERT_TRUE(b) << what << ": " << qvmod_error;
    EXPECT_EQ(compare_modules(a.get(), b.get()), "") << what;
}

}  // namespace

TEST(QvmConversion, ModulesOfEveryFormatSurvive)
{
    expect_round_trip(write_mod(realistic_mod(21, 5, 4, 8000)), "MOD");
    expect_round_trip(write_mod(realistic_mod(22, 3, 12, 4000)), "12-channel MOD");
    expect_round_trip(write_s3m(realistic_s3m(23, 5, 9, 8000)), "S3M");
    expect_round_trip(write_xm(realistic_xm(24, 5, 10, 7, 8000)), "XM");
    expect_round_trip(wrap_unreal(write_xm(realistic_xm(25, 2, 4, 2, 1000)), 64), "Unreal XM");
}

TEST(QvmConversion, RestartAtTheSongEndBecomesTheStart)
{
    ModSpec s;
    s.song_length = 3;
    s.restart = 3;
    s.patterns.resize(1);
    ModuleHolder a(load_image(write_mod(s)));
    ASSERT_TRUE(a);
    ModuleHolder b(through_qvm(a.get()));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->restart_order, 0);
}

TEST(QvmConversion, ComparisonSeesDifferences)
{
    ModuleHolder a(load_image(write_xm(realistic_xm(26, 2, 4, 2, 1000))));
    ModuleHolder b(load_image(write_xm(realistic_xm(26, 2, 4, 2, 1000))));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(compare_modules(a.get(), b.get()), "");
    cell(b.get(), 1, 5, 2).volume ^= 1;
    EXPECT_NE(compare_modules(a.get(), b.get()), "");
    cell(b.get(), 1, 5, 2).volume ^= 1;
    static_cast<unsigned char *>(b->samples[0].data)[0] ^= 1;
    EXPECT_NE(compare_modules(a.get(), b.get()), "");
}

TEST(QvmConversion, ConvertsFilesByName)
{
    TempFile in(write_s3m(realistic_s3m(27, 2, 4, 2000)));
    const std::string out = std::string(in.path()) + ".qvm";
    EXPECT_EQ(convert_to_qvm(in.path(), out.c_str()), "");
    QVMOD_INFO info{};
    EXPECT_EQ(get_mod_info(out.c_str(), &info), 1);
    EXPECT_EQ(info.type, QVMOD_TYPE_QVM);
    std::remove(out.c_str());
    EXPECT_EQ(convert_to_qvm("/tmp/qvmod-no-such-input.xm", out.c_str()),
              "Unsupported MOD type or unable to open file");
}
