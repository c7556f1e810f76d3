// SPDX-License-Identifier: MIT
// Damaged and hostile files: truncations, random corruption and absurd header values, for every reader.
#include <cstring>
#include <functional>
#include <random>

#include "loader_support.h"

namespace {

using Loader = std::function<QVMOD *(const char *)>;

// A load either fails with a message or gives a module the player can play.
void expect_safe(const ModuleImage &img, const Loader &load, const std::string &what)
{
    TempFile f(img);
    std::strcpy(qvmod_error, "");
    ModuleHolder m(load(f.path()));
    if (m) {
        EXPECT_TRUE(keeps_player_promises(m.get())) << what;
    } else {
        EXPECT_STRNE(qvmod_error, "") << what;
    }
}

ModuleImage mod_image()
{
    return write_mod(realistic_mod(11, 3, 4, 3000));
}
ModuleImage s3m_image()
{
    return write_s3m(realistic_s3m(12, 3, 6, 3000));
}
ModuleImage xm_image()
{
    return write_xm(realistic_xm(13, 3, 6, 4, 3000));
}

const Loader kMod = [](const char *p) { return load_m(p, 31); };
const Loader kS3m = [](const char *p) { return load_s3m(p, 0); };
const Loader kXm = [](const char *p) { return load_xm(p, 0); };
const Loader kAny = [](const char *p) { return load_mod(p); };

void truncations(const ModuleImage &full, const Loader &load, const char *name)
{
    for (size_t len = 0; len < full.size(); len += (len < 2000 ? 13 : 211)) {
        const ModuleImage cut(full.begin(), full.begin() + static_cast<long>(len));
        expect_safe(cut, load, std::string(name) + " cut at " + std::to_string(len));
    }
}

void corruptions(const ModuleImage &full, const Loader &load, const char *name, unsigned seed)
{
    std::mt19937 rng(seed);
    for (int round = 0; round < 150; round++) {
        ModuleImage img = full;
        const int hits = 1 + static_cast<int>(rng() % 12);
        for (int k = 0; k < hits; k++) {
            // Headers are where damage does the most, so most hits land early.
            const size_t at =
                rng() % 2 ? rng() % std::min<size_t>(img.size(), 1200) : rng() % img.size();
            const unsigned choice = rng() % 3;
            img[at] = choice == 0 ? 0xFF : choice == 1 ? 0x00 : static_cast<unsigned char>(rng());
        }
        expect_safe(img, load, std::string(name) + " corruption round " + std::to_string(round));
    }
}

void put16le(ModuleImage &img, size_t at, int v)
{
    img[at] = static_cast<unsigned char>(v);
    img[at + 1] = static_cast<unsigned char>(v >> 8);
}

void put32le(ModuleImage &img, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++) img[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

TEST(DamagedFiles, TruncatedAnywhere)
{
    truncations(mod_image(), kMod, "MOD");
    truncations(s3m_image(), kS3m, "S3M");
    truncations(xm_image(), kXm, "XM");
    truncations(xm_image(), kAny, "XM by name");
}

TEST(DamagedFiles, RandomlyCorrupted)
{
    corruptions(mod_image(), kMod, "MOD", 1);
    corruptions(s3m_image(), kS3m, "S3M", 2);
    corruptions(xm_image(), kXm, "XM", 3);
    corruptions(wrap_unreal(s3m_image(), 100), kAny, "Unreal S3M", 4);
}

TEST(DamagedFiles, S3mCountsAtTheirLargest)
{
    for (size_t field : {32u, 34u, 36u}) {
        ModuleImage img = s3m_image();
        put16le(img, field, 0xFFFF);
        expect_safe(img, kS3m, "S3M count at " + std::to_string(field));
    }
    // Every sample claiming four billion frames at a data pointer inside the file.
    S3mSpec s;
    s.orders = {0};
    s.patterns.resize(1);
    s.sample_list.resize(3);
    for (auto &sm : s.sample_list) {
        sm.data = {1, 2, 3};
        sm.length = 0xFFFFFFFF;
        sm.loop = true;
        sm.loop_start = 0xFFFFFFF0;
        sm.loop_end = 0xFFFFFFFF;
        sm.sixteen_bit = true;
    }
    ModuleHolder m(load_image(write_s3m(s)));
    ASSERT_TRUE(m) << qvmod_error;
    EXPECT_LE(m->samples[0].len, 8u);
    EXPECT_TRUE(keeps_player_promises(m.get()));
}

TEST(DamagedFiles, XmHeaderValuesAtTheirLargest)
{
    struct Field {
        size_t at;
        int size;
        uint32_t value;
    };
    const Field fields[] = {{60, 4, 0xFFFFFFFF}, {60, 4, 0},      {64, 2, 0xFFFF},
                            {66, 2, 0xFFFF},     {68, 2, 64},     {70, 2, 256},
                            {72, 2, 0xFFFF},     {76, 2, 0xFFFF}, {78, 2, 0xFFFF}};
    for (const Field &f : fields) {
        ModuleImage img = xm_image();
        if (f.size == 2)
            put16le(img, f.at, static_cast<int>(f.value));
        else
            put32le(img, f.at, f.value);
        expect_safe(img, kXm, "XM header field at " + std::to_string(f.at));
    }
}

TEST(DamagedFiles, XmSampleAndInstrumentSizesAtTheirLargest)
{
    XmSpec s;
    s.orders = {0};
    s.patterns.resize(1);
    XmInstrument in;
    XmSampleSpec sm;
    sm.frames = {1, 2, 3, 4};
    sm.loop_type = 1;
    sm.loop_start = 0xFFFFFFF0;
    sm.loop_length = 0x20;
    in.samples = {sm, sm};
    in.volume_env.points = {{0, 64}};
    in.volume_env.count = 255;
    in.volume_env.sustain = 255;
    in.volume_env.loop_start = 200;
    in.volume_env.loop_end = 255;
    in.volume_env.flags = 0xFF;
    s.instruments = {in, in};
    ModuleImage img = write_xm(s);
    ModuleHolder m(load_image(img));
    ASSERT_TRUE(m) << qvmod_error;
    EXPECT_TRUE(keeps_player_promises(m.get()));

    // Sample lengths of four gigabytes and an instrument claiming 65535 samples.
    const size_t first_instrument = 60 + 276 + 9 + 0;
    ModuleImage big = img;
    put32le(big, first_instrument + 263, 0xFFFFFFFF);
    expect_safe(big, kXm, "XM sample length");
    ModuleImage many = img;
    put16le(many, first_instrument + 27, 0xFFFF);
    expect_safe(many, kXm, "XM sample count");
    ModuleImage huge_instrument = img;
    put32le(huge_instrument, first_instrument, 0xFFFFFFFF);
    expect_safe(huge_instrument, kXm, "XM instrument size");
}

TEST(DamagedFiles, ModPatternsNamedByEveryOrderButNotStored)
{
    ModSpec s;
    s.signature = "64CH";
    s.channels = 64;
    s.song_length = 128;
    s.orders.fill(255);
    ModuleHolder m(load_image(write_mod(s)));
    ASSERT_TRUE(m) << qvmod_error;
    EXPECT_EQ(m->pattern_count, 256);
    EXPECT_TRUE(keeps_player_promises(m.get()));
}
