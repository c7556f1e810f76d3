// SPDX-License-Identifier: MIT
// Format detection and dispatch: detector answers, their order, Unreal packages, information records, errors.
#include <cstring>
#include <string>

#include "loader_support.h"
#include "qvm_writer.h"

namespace {

constexpr const char *kMissing = "/tmp/qvmod-loader-no-such-file.mod";

ModuleImage small_xm()
{
    XmSpec s;
    s.title = "xm title";
    s.patterns.resize(1);
    return write_xm(s);
}

ModuleImage small_s3m()
{
    S3mSpec s;
    s.title = "s3m title";
    s.orders = {0};
    s.patterns.resize(1);
    s.sample_list.resize(1);
    s.sample_list[0].data = {1, 2, 3, 4};
    return write_s3m(s);
}

ModuleImage small_mod(const std::string &signature = "M.K.", int samples = 31)
{
    ModSpec s;
    s.title = "mod title";
    s.samples = samples;
    s.signature = signature;
    s.patterns.resize(1);
    return write_mod(s);
}

ModuleImage it_image(const std::string &title)
{
    ModuleImage img = {'I', 'M', 'P', 'M'};
    for (size_t i = 0; i < 26; i++) img.push_back(i < title.size() ? title[i] : 0);
    img.resize(200, 0);
    return img;
}

// A record whose bytes show what the info query wrote.
QVMOD_INFO marked_info()
{
    QVMOD_INFO info;
    std::memset(&info, 'Z', sizeof info);
    return info;
}

}  // namespace

TEST(Detectors, AnswerForFilesThatCannotBeOpened)
{
    EXPECT_EQ(detect_qvm(kMissing), -1);
    EXPECT_EQ(detect_it(kMissing), 0);
    EXPECT_EQ(detect_xm(kMissing), 0);
    EXPECT_EQ(detect_s3m(kMissing), 0);
    EXPECT_EQ(detect_m31(kMissing), -1);
    EXPECT_EQ(detect_m15(kMissing), 0);
    EXPECT_EQ(detect_unreal_it(kMissing), 0);
    EXPECT_EQ(detect_unreal_xm(kMissing), 0);
    EXPECT_EQ(detect_unreal_s3m(kMissing), 0);
}

TEST(Detectors, AnswerNoForOtherFilesAndShortFiles)
{
    TempFile text(ModuleImage(2000, 'x'));
    EXPECT_EQ(detect_it(text.path()), -1);
    EXPECT_EQ(detect_xm(text.path()), -1);
    EXPECT_EQ(detect_s3m(text.path()), -1);
    EXPECT_EQ(detect_m31(text.path()), -1);
    EXPECT_EQ(detect_m15(text.path()), 0);
    EXPECT_EQ(detect_unreal_xm(text.path()), -1);

    TempFile short_xm(ModuleImage{'E', 'x', 't', 'e', 'n', 'd', 'e', 'd'});
    EXPECT_EQ(detect_xm(short_xm.path()), -1);
    TempFile short_it(ModuleImage{'I', 'M', 'P'});
    EXPECT_EQ(detect_it(short_it.path()), -1);
}

TEST(Detectors, RecogniseEachFormat)
{
    TempFile xm(small_xm()), s3m(small_s3m()), mod(small_mod()), it(it_image("it"));
    EXPECT_EQ(detect_xm(xm.path()), 1);
    EXPECT_EQ(detect_s3m(s3m.path()), 1);
    EXPECT_EQ(detect_m31(mod.path()), 1);
    EXPECT_EQ(detect_it(it.path()), 1);
}

TEST(Dispatch, XmIsTriedBeforeS3m)
{
    ModuleImage img = small_xm();
    std::memcpy(&img[44], "SCRM", 4);
    TempFile f(img);
    ASSERT_EQ(detect_s3m(f.path()), 1);
    ModuleHolder m(load_mod(f.path()));
    ASSERT_TRUE(m) << qvmod_error;
    EXPECT_EQ(m->flags & QVMOD_FLAG_NOTES, QVMOD_FLAG_NOTES);
    QVMOD_INFO info = marked_info();
    EXPECT_EQ(get_mod_info(f.path(), &info), 1);
    EXPECT_EQ(info.type, QVMOD_TYPE_XM);
}

TEST(Dispatch, QvmFilesStillLoad)
{
    ModuleHolder src(load_image(small_mod()));
    ASSERT_TRUE(src);
    TempFile f(qvm_write(src.get()));
    ModuleHolder m(load_mod(f.path()));
    ASSERT_TRUE(m) << qvmod_error;
    QVMOD_INFO info = marked_info();
    EXPECT_EQ(get_mod_info(f.path(), &info), 1);
    EXPECT_EQ(info.type, QVMOD_TYPE_QVM);
    EXPECT_STREQ(info.type_name, "QVM");
}

TEST(Dispatch, UnknownOrMissingFilesAreRefused)
{
    std::strcpy(qvmod_error, "");
    EXPECT_EQ(load_mod(kMissing), nullptr);
    EXPECT_STREQ(qvmod_error, "Unsupported MOD type or unable to open file");
    TempFile text(ModuleImage(2000, 'x'));
    EXPECT_EQ(load_mod(text.path()), nullptr);
    EXPECT_STREQ(qvmod_error, "Unsupported MOD type or unable to open file");
    QVMOD_INFO info;
    EXPECT_EQ(get_mod_info(text.path(), &info), -1);
    EXPECT_STREQ(qvmod_error, "Unsupported MOD type or unable to open file");
}

TEST(Dispatch, NamesWithHashLoadAlike)
{
    // A '#' in the name sends the file through Allegro's streams instead of one whole read.
    for (const ModuleImage &img :
         {small_xm(), small_s3m(), small_mod(), wrap_unreal(small_s3m(), 16)}) {
        TempFile plain(img), hashed(img, "#1");
        ModuleHolder a(load_mod(plain.path()));
        ModuleHolder b(load_mod(hashed.path()));
        ASSERT_TRUE(a && b) << qvmod_error;
        EXPECT_STREQ(a->name, b->name);
        EXPECT_EQ(a->pattern_count, b->pattern_count);
        ASSERT_EQ(a->sample_count, b->sample_count);
        for (int i = 0; i < a->sample_count; i++) EXPECT_EQ(a->samples[i].len, b->samples[i].len);
    }
}

TEST(Dispatch, NullInfoRecordLeavesTheErrorAlone)
{
    TempFile f(small_xm());
    std::strcpy(qvmod_error, "before");
    EXPECT_EQ(get_mod_info(f.path(), nullptr), -1);
    EXPECT_STREQ(qvmod_error, "before");
}

TEST(Dispatch, OpenErrorIsCutToFitTheMessageBuffer)
{
    const std::string dir = "/tmp/" + std::string(120, 'd') + "/";
    const std::string name = dir + "the-end-of-the-name.mod";
    EXPECT_EQ(load_m(name.c_str(), 31), nullptr);
    const std::string msg = qvmod_error;
    EXPECT_LT(msg.size(), static_cast<size_t>(QVMOD_ERROR_SIZE));
    EXPECT_EQ(msg.rfind("Unable to open ", 0), 0u) << msg;
    EXPECT_NE(msg.find("the-end-of-the-name.mod"), std::string::npos) << msg;

    EXPECT_EQ(load_xm("/tmp/short-missing.xm", 0), nullptr);
    EXPECT_STREQ(qvmod_error, "Unable to open /tmp/short-missing.xm");
    EXPECT_EQ(load_s3m("/tmp/short-missing.s3m", 0), nullptr);
    EXPECT_STREQ(qvmod_error, "Unable to open /tmp/short-missing.s3m");
}

TEST(ModuleInfo, CodesNamesAndTitleBytesAsStored)
{
    struct Case {
        ModuleImage image;
        int type;
        const char *name;
        size_t title_bytes;
        const char *title;
    };
    ModuleImage s3m = small_s3m();
    // clang-format off
    const Case cases[] = {
        {small_mod(), QVMOD_TYPE_MOD31, "MOD (31 Samples)", 20, "mod title"},
        {small_s3m(), QVMOD_TYPE_S3M, "S3M", 28, "s3m title"},
        {small_xm(), QVMOD_TYPE_XM, "XM", 20, "xm title"},
        {it_image("it title"), QVMOD_TYPE_IT, "IT", 26, "it title"},
        {wrap_unreal(small_s3m(), 16), QVMOD_TYPE_UMX_S3M, "Unreal S3M (UMX)", 28, "s3m title"},
        {wrap_unreal(small_xm(), 100), QVMOD_TYPE_UMX_XM, "Unreal XM (UMX)", 20, "xm title"},
        {wrap_unreal(it_image("it title"), 33), QVMOD_TYPE_UMX_IT, "Unreal IT (UMX)", 26, "it title"},
    };
    // clang-format on
    for (const Case &c : cases) {
        TempFile f(c.image);
        QVMOD_INFO info = marked_info();
        ASSERT_EQ(get_mod_info(f.path(), &info), 1) << c.name;
        EXPECT_EQ(info.type, c.type);
        EXPECT_STREQ(info.type_name, c.name);
        std::string expect(c.title);
        expect.resize(c.title_bytes, '\0');
        EXPECT_EQ(std::string(info.name, c.title_bytes), expect) << c.name;
        // No terminator added: the bytes after the title are untouched.
        for (size_t i = c.title_bytes; i < sizeof info.name; i++)
            EXPECT_EQ(info.name[i], 'Z') << c.name << " " << i;
    }
}

TEST(ModuleInfo, ModInfoChecksTheSampleCountFirst)
{
    QVMOD_INFO info = marked_info();
    EXPECT_EQ(get_m_info(kMissing, 20, &info), -1);
    EXPECT_STREQ(qvmod_error, "MOD must have 15 or 31 samples");
    EXPECT_EQ(get_m_info(kMissing, 15, &info), -1);
    EXPECT_EQ(info.type, QVMOD_TYPE_MOD15);
    EXPECT_STREQ(info.type_name, "MOD (15 Samples)");
    EXPECT_EQ(std::string(qvmod_error), std::string("Unable to open ") + kMissing);
}

// A module wrapped `at` bytes into a package: found there, and loaded with its title.
ModuleHolder LoadWrapped(const ModuleImage &module, int at, int (*detect)(const char *),
                         const char *title)
{
    TempFile f(wrap_unreal(module, at));
    EXPECT_EQ(detect(f.path()), at);
    ModuleHolder m(load_mod(f.path()));
    EXPECT_TRUE(m) << qvmod_error;
    if (m) {
        EXPECT_EQ(std::string(m->name), title);
    }
    return m;
}

TEST(Unreal, SignatureIsFoundUpToOffset503)
{
    LoadWrapped(small_xm(), 503, detect_unreal_xm, "xm title");

    TempFile at504(wrap_unreal(small_xm(), 504));
    EXPECT_EQ(detect_unreal_xm(at504.path()), -1);
    EXPECT_EQ(load_mod(at504.path()), nullptr);
}

TEST(Unreal, S3mStartsFortyFourBytesBeforeItsSignature)
{
    ModuleHolder m = LoadWrapped(small_s3m(), 16, detect_unreal_s3m, "s3m title");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->samples[0].len, 4u);
}

TEST(Unreal, S3mSignatureTooEarlyIsNoMatch)
{
    // "SCRM" before offset 44 gives a start below 0, which the dispatcher does not accept.
    ModuleImage img = wrap_unreal(ModuleImage(100, 0), 4);
    std::memcpy(&img[30], "SCRM", 4);
    TempFile f(img);
    EXPECT_EQ(detect_unreal_s3m(f.path()), -14);
    EXPECT_EQ(load_mod(f.path()), nullptr);
    EXPECT_STREQ(qvmod_error, "Unsupported MOD type or unable to open file");
    // At 44 the start would be 0: that file is a plain S3M to the detectors before it.
    std::memcpy(&img[30], "\0\0\0\0", 4);
    std::memcpy(&img[44], "SCRM", 4);
    TempFile g(img);
    EXPECT_EQ(detect_unreal_s3m(g.path()), 0);
    EXPECT_EQ(detect_s3m(g.path()), 1);
}

TEST(Unreal, NeedsThePackageTag)
{
    ModuleImage img = wrap_unreal(small_xm(), 40);
    img[0] = 0;
    TempFile f(img);
    EXPECT_EQ(detect_unreal_xm(f.path()), -1);
}

TEST(ItModules, AreDescribedButRefused)
{
    TempFile f(it_image("some song"));
    std::strcpy(qvmod_error, "");
    EXPECT_EQ(load_mod(f.path()), nullptr);
    EXPECT_STREQ(qvmod_error, "IT support is not completed yet. Wait a few more versions");
    QVMOD_INFO info = marked_info();
    EXPECT_EQ(get_mod_info(f.path(), &info), 1);
    EXPECT_EQ(info.type, QVMOD_TYPE_IT);

    TempFile umx(wrap_unreal(it_image("x"), 20));
    EXPECT_EQ(load_mod(umx.path()), nullptr);
    EXPECT_STREQ(qvmod_error, "IT support is not completed yet. Wait a few more versions");
}

TEST(FifteenSampleMods, LoadOnlyWhenSwitchedOnAndPlausible)
{
    TempFile f(small_mod("", 15));
    ASSERT_EQ(enable_m15, 0);
    EXPECT_EQ(detect_m15(f.path()), 1);
    EXPECT_EQ(load_mod(f.path()), nullptr);
    QVMOD_INFO info;
    EXPECT_EQ(get_mod_info(f.path(), &info), -1);

    enable_m15 = -1;
    ModuleHolder m(load_mod(f.path()));
    QVMOD_INFO info15 = marked_info();
    const int got = get_mod_info(f.path(), &info15);
    enable_m15 = 0;
    ASSERT_TRUE(m) << qvmod_error;
    EXPECT_EQ(m->sample_count, 15);
    EXPECT_EQ(m->channel_count, 4);
    EXPECT_EQ(got, 1);
    EXPECT_EQ(info15.type, QVMOD_TYPE_MOD15);

    ModSpec bad;
    bad.samples = 15;
    bad.patterns.resize(1);
    bad.sample_list.resize(3);
    bad.sample_list[2].finetune = 1;
    TempFile tuned(write_mod(bad));
    EXPECT_EQ(detect_m15(tuned.path()), 0);
    bad.sample_list[2].finetune = 0;
    bad.sample_list[2].volume = 65;
    TempFile loud(write_mod(bad));
    EXPECT_EQ(detect_m15(loud.path()), 0);
}
