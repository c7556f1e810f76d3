// SPDX-License-Identifier: MIT
// MOD reader: signatures, cells, samples and loops, pattern count, restart repair, truncated files.
#include "loader_support.h"

namespace {

ModSpec one_pattern(const std::string &signature = "M.K.", int channels = 4)
{
    ModSpec s;
    s.signature = signature;
    s.channels = channels;
    s.patterns.resize(1);
    return s;
}

ModuleHolder load_spec(const ModSpec &s)
{
    TempFile f(write_mod(s));
    return ModuleHolder(load_m(f.path(), s.samples));
}

}  // namespace

TEST(ModSignatures, GiveTheChannelCount)
{
    for (auto [sig, channels] : {std::pair<const char *, int>{"8CHN", 8},
                                 {"FLT4", 4},
                                 {"32CH", 32},
                                 {"M!K!", 4},
                                 {"1CHN", 1},
                                 {"64CH", 64},
                                 {"OKTA", 8},
                                 {"CD81", 8},
                                 {"16CN", 16},
                                 {"32CN", 32}}) {
        ModSpec s = one_pattern(sig, channels);
        TempFile f(write_mod(s));
        EXPECT_EQ(detect_m31(f.path()), 1) << sig;
        ModuleHolder m(load_mod(f.path()));
        ASSERT_TRUE(m) << sig << ": " << qvmod_error;
        EXPECT_EQ(m->channel_count, channels) << sig;
        EXPECT_TRUE(keeps_player_promises(m.get()));
    }
}

TEST(ModSignatures, UnknownOnesAndTheEndEntryAreNotSignatures)
{
    for (const char *sig : {"FLT8", "32FW", "65CH", "M.K"}) {
        TempFile f(write_mod(one_pattern(sig)));
        EXPECT_EQ(detect_m31(f.path()), -1) << sig;
        EXPECT_EQ(load_mod(f.path()), nullptr) << sig;
    }
    // Loaded directly, an unknown signature means 4 channels.
    ModuleHolder m(load_spec(one_pattern("FLT8")));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->channel_count, 4);
}

TEST(ModHeader, DefaultsPansTitleAndFlags)
{
    ModSpec s = one_pattern();
    s.title = "a title of twenty ch";
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    expect_start(m.get(), {"a title of twenty ch", 0, 6, 125, 64});
    EXPECT_EQ(m->sample_count, 31);
    const int pans[] = {0, 255, 255, 0, 0, 255, 255, 0};
    for (int i = 0; i < 8; i++) EXPECT_EQ(m->channel_pan[i], pans[i]) << i;
    EXPECT_EQ(m->channel_pan[63], 0);
}

TEST(ModCells, BitLayoutAndPitchValues)
{
    ModSpec s = one_pattern();
    s.patterns[0].resize(256);
    s.patterns[0][0] = {0x1F, 428, 0xC, 0x40};
    s.patterns[0][1] = {0, 0, 0, 0};
    s.patterns[0][5] = {3, 856, 0xE, 0xC3};
    s.patterns[0][255] = {0, 113, 0xF, 0x7D};
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    const NOTE_INFO &a = cell(m.get(), 0, 0, 0);
    EXPECT_EQ(a.sample, 31);
    EXPECT_EQ(a.note, 8363);
    EXPECT_EQ(a.command, CMD_SET_VOLUME);
    EXPECT_EQ(a.extcommand, 0x40);
    EXPECT_EQ(a.volume, 0);
    const NOTE_INFO &b = cell(m.get(), 0, 0, 1);
    EXPECT_EQ(b.note, 0);
    EXPECT_EQ(b.sample, 0);
    const NOTE_INFO &c = cell(m.get(), 0, 1, 1);
    EXPECT_EQ(c.sample, 3);
    EXPECT_EQ(c.note, 3579546 / 856);
    EXPECT_EQ(c.command, CMD_EXTENDED);
    EXPECT_EQ(c.extcommand, 0xC3);
    const NOTE_INFO &d = cell(m.get(), 0, 63, 3);
    EXPECT_EQ(d.note, 3579546 / 113);
    EXPECT_EQ(d.command, CMD_PRO_SPEED_BPM);
}

TEST(ModCells, SampleNumbersBeyondTheCountAreDropped)
{
    ModSpec s = one_pattern();
    s.patterns[0].resize(4);
    s.patterns[0][0] = {255, 428, 0, 0};
    s.patterns[0][1] = {32, 428, 0, 0};
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(cell(m.get(), 0, 0, 0).sample, 0);
    EXPECT_EQ(cell(m.get(), 0, 0, 0).note, 8363);
    EXPECT_EQ(cell(m.get(), 0, 0, 1).sample, 0);

    s.samples = 15;
    s.patterns[0][1] = {16, 428, 0, 0};
    ModuleHolder m15(load_spec(s));
    ASSERT_TRUE(m15);
    EXPECT_EQ(cell(m15.get(), 0, 0, 1).sample, 0);
    EXPECT_TRUE(keeps_player_promises(m15.get()));
}

TEST(ModSamples, FinetuneVolumeAndSignedFrames)
{
    ModSpec s = one_pattern();
    s.sample_list.resize(4);
    s.sample_list[0].data = {0, 127, -128, -1};
    s.sample_list[0].finetune = 1;
    s.sample_list[0].volume = 40;
    s.sample_list[1].finetune = 15;
    s.sample_list[2].finetune = 8;
    s.sample_list[3].finetune = 0x1F;  // only the low nibble counts
    s.sample_list[3].volume = 99;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->sample_info[0].c2spd, 8413);
    EXPECT_EQ(m->sample_info[1].c2spd, 8280);
    EXPECT_EQ(m->sample_info[2].c2spd, 7895);
    EXPECT_EQ(m->sample_info[3].c2spd, 8280);
    EXPECT_EQ(m->sample_info[4].c2spd, 8363);
    EXPECT_EQ(m->sample_info[0].volume, 40);
    EXPECT_EQ(m->sample_info[3].volume, 64);
    const SAMPLE &a = m->samples[0];
    ASSERT_EQ(a.len, 4u);
    EXPECT_EQ(a.bits, 8);
    EXPECT_EQ(a.freq, 1000);
    EXPECT_EQ(a.priority, 192);
    EXPECT_EQ(a.param, static_cast<unsigned long>(-1));
    const unsigned char *d = static_cast<const unsigned char *>(a.data);
    EXPECT_EQ(d[0], 0x80);
    EXPECT_EQ(d[1], 0xFF);
    EXPECT_EQ(d[2], 0x00);
    EXPECT_EQ(d[3], 0x7F);
    EXPECT_EQ(m->sample_info[0].length, 4);
    EXPECT_EQ(m->sample_info[0].transpose, 0);
    EXPECT_EQ(m->sample_info[0].pan, 0);
}

TEST(ModSamples, OneWordLengthsAndLoopsMeanNothing)
{
    ModSpec s = one_pattern();
    s.sample_list.resize(3);
    s.sample_list[0].length_words = 1;  // an empty sample, though two bytes follow in the file
    s.sample_list[0].data = {5, 5};
    s.sample_list[1].data = std::vector<signed char>(16, 1);
    s.sample_list[1].repeat_start_words = 2;
    s.sample_list[1].repeat_length_words = 1;
    s.sample_list[2].data = std::vector<signed char>(32, 2);
    s.sample_list[2].repeat_start_words = 2;
    s.sample_list[2].repeat_length_words = 4;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->samples[0].len, 0u);
    EXPECT_EQ(m->sample_info[0].length, 0);

    // The sample data follow one another: sample 1 starts after sample 0's declared 0 bytes.
    const SAMPLE &b = m->samples[1];
    EXPECT_EQ(b.len, 16u);
    EXPECT_EQ(m->sample_info[1].loop_type, 0);
    EXPECT_EQ(b.loop_start, 0u);
    EXPECT_EQ(b.loop_end, 16u);

    const SAMPLE &c = m->samples[2];
    EXPECT_EQ(m->sample_info[2].loop_type, QVMOD_LOOP_FORWARD);
    EXPECT_EQ(c.loop_start, 4u);
    EXPECT_EQ(c.loop_end, 12u);
    EXPECT_EQ(m->sample_info[2].loop_start, 4);
    EXPECT_EQ(m->sample_info[2].loop_end, 8);  // the repeat length, in bytes
    EXPECT_TRUE(keeps_player_promises(m.get()));
}

TEST(ModSamples, LoopsReachingPastTheSampleAreCut)
{
    ModSpec s = one_pattern();
    s.sample_list.resize(2);
    s.sample_list[0].data = std::vector<signed char>(20, 1);
    s.sample_list[0].repeat_start_words = 4;
    s.sample_list[0].repeat_length_words = 100;
    s.sample_list[1].data = std::vector<signed char>(20, 1);
    s.sample_list[1].repeat_start_words = 50;  // starts beyond the end: no loop
    s.sample_list[1].repeat_length_words = 4;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->samples[0].loop_start, 8u);
    EXPECT_EQ(m->samples[0].loop_end, 20u);
    EXPECT_EQ(m->sample_info[0].loop_type, QVMOD_LOOP_FORWARD);
    EXPECT_EQ(m->sample_info[1].loop_type, 0);
    EXPECT_TRUE(keeps_player_promises(m.get()));
}

TEST(ModOrders, EveryOrderEntryCountsForThePatterns)
{
    ModSpec s = one_pattern();
    s.song_length = 3;
    s.orders = {};
    s.orders[0] = 1;
    s.orders[1] = 2;
    s.orders[2] = 0;
    s.orders[50] = 9;
    s.patterns.resize(10);
    s.patterns[9].resize(4);
    s.patterns[9][2] = {1, 428, 0, 0};
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->pattern_count, 10);
    EXPECT_EQ(m->order_count, 3);
    EXPECT_EQ(m->order_table[50], 9);
    EXPECT_EQ(cell(m.get(), 9, 0, 2).note, 8363);
    EXPECT_EQ(m->pattern_info[9].row_count, 64);

    int orders[3] = {0, 4, 2};
    EXPECT_EQ(get_mod_no_pat(orders, 3), 5);
    EXPECT_EQ(get_mod_no_pat(orders, 0), 1);
}

TEST(ModOrders, SongLengthAndRestartAreKeptInRange)
{
    expect_orders(
        one_pattern(), load_spec,
        {{0, -1, 1, -1}, {255, -1, 128, -1}, {40, 200, -1, 0}, {40, 40, -1, 40}, {40, 39, -1, 39}});
}

TEST(ModFiles, TruncatedFilesLoadWhatIsThere)
{
    ModSpec s = one_pattern();
    s.patterns.resize(2);
    s.orders[0] = 1;
    s.patterns[1].resize(4, ModCell{1, 428, 0, 0});
    s.sample_list.resize(2);
    s.sample_list[0].data = std::vector<signed char>(100, 3);
    s.sample_list[1].data = std::vector<signed char>(100, 3);
    s.sample_list[1].repeat_start_words = 10;
    s.sample_list[1].repeat_length_words = 40;
    const ModuleImage full = write_mod(s);

    expect_cut_sample(full, 50, 1, 50);

    // Pattern data cut short: the missing cells are empty, not a cell of all ones.
    ModuleImage in_patterns(full.begin(), full.begin() + 1084 + 1024 + 10);
    ModuleHolder p(load_image(in_patterns));
    ASSERT_TRUE(p) << qvmod_error;
    EXPECT_EQ(cell(p.get(), 1, 0, 1).sample, 1);
    EXPECT_EQ(cell(p.get(), 1, 0, 2).sample, 0);  // only half of it is there
    EXPECT_EQ(cell(p.get(), 1, 63, 3).command, 0);
    EXPECT_EQ(p->samples[0].len, 0u);
    EXPECT_TRUE(keeps_player_promises(p.get()));

    ModuleImage header_only(full.begin(), full.begin() + 1000);
    TempFile f(header_only);
    EXPECT_EQ(load_m(f.path(), 31), nullptr);
    EXPECT_NE(std::string(qvmod_error), "");
}

TEST(ModFiles, SampleCountMustBe15Or31)
{
    TempFile f(write_mod(one_pattern()));
    EXPECT_EQ(load_m(f.path(), 16), nullptr);
    EXPECT_STREQ(qvmod_error, "MOD must be 15 or 31 instruments");
}

TEST(ModFiles, FifteenSampleLayout)
{
    ModSpec s = one_pattern();
    s.samples = 15;
    s.patterns[0].resize(4);
    s.patterns[0][3] = {15, 428, 0xA, 0x0F};
    s.sample_list.resize(15);
    s.sample_list[14].data = {1, 2, 3, 4, 5, 6};
    s.orders[0] = 0;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m) << qvmod_error;
    EXPECT_EQ(m->sample_count, 15);
    EXPECT_EQ(m->channel_count, 4);
    const NOTE_INFO &n = cell(m.get(), 0, 0, 3);
    EXPECT_EQ(n.sample, 15);
    EXPECT_EQ(n.note, 8363);
    EXPECT_EQ(n.command, CMD_PRO_VOLSLIDE);
    EXPECT_EQ(n.extcommand, 0x0F);
    ASSERT_EQ(m->samples[14].len, 6u);
    EXPECT_EQ(static_cast<const unsigned char *>(m->samples[14].data)[5], 0x86);
}
