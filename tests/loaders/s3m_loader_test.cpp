// SPDX-License-Identifier: MIT
// S3M reader: orders, channel numbering and pans, note and command conversion, samples, damaged files.
#include <cstring>

#include "loader_support.h"

namespace {

S3mSpec basic()
{
    S3mSpec s;
    s.orders = {0};
    s.patterns.resize(1);
    s.sample_list.resize(2);
    s.sample_list[0].data = {10, 20, 30, 40};
    s.sample_list[1].data = {1, 2};
    return s;
}

ModuleHolder load_spec(const S3mSpec &s)
{
    TempFile f(write_s3m(s));
    return ModuleHolder(load_s3m(f.path(), 0));
}

int pitch(int byte)
{
    convert_s3m_pitch(&byte);
    return byte;
}

std::pair<int, int> command(int c, int p)
{
    convert_s3m_command(&c, &p);
    return {c, p};
}

class FastLoading : public ::testing::Test {
protected:
    void TearDown() override { fast_loading = -1; }
};

}  // namespace

TEST(S3mHeader, TitleDefaultsAndVolumes)
{
    S3mSpec s = basic();
    s.title = "twenty-eight characters....";
    s.speed = 0;
    s.tempo = 0;
    s.global_volume = 48;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m) << qvmod_error;
    expect_start(m.get(), {"twenty-eight characters....", 0, 6, 125, 48});
    EXPECT_EQ(m->instrument_count, 0);
    s.speed = 3;
    s.tempo = 150;
    ModuleHolder n(load_spec(s));
    EXPECT_EQ(n->initial_speed, 3);
    EXPECT_EQ(n->initial_bpm, 150);
}

TEST(S3mOrders, MarkersAndEndsAreDropped)
{
    S3mSpec s = basic();
    s.orders = {0, 254, 1, 255, 2};
    s.patterns.resize(3);
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->order_count, 3);
    EXPECT_EQ(m->order_table[0], 0);
    EXPECT_EQ(m->order_table[1], 1);
    EXPECT_EQ(m->order_table[2], 2);
    EXPECT_EQ(m->pattern_count, 3);
}

TEST(S3mOrders, MoreThan256AreCutAndNoneMeansOne)
{
    S3mSpec s = basic();
    s.orders.assign(300, 0);
    s.orders[255] = 1;
    s.orders[256] = 7;  // beyond what the module holds
    s.patterns.resize(2);
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->order_count, 256);
    EXPECT_EQ(m->pattern_count, 2);

    s.orders = {255, 254};
    ModuleHolder e(load_spec(s));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->order_count, 1);
    EXPECT_EQ(e->order_table[0], 0);
    EXPECT_TRUE(keeps_player_promises(e.get()));
}

TEST(S3mOrders, PatternsBeyondTheStoredOnesAreEmpty)
{
    S3mSpec s = basic();
    s.orders = {0, 5};
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->pattern_count, 6);
    EXPECT_EQ(m->pattern_info[5].row_count, 64);
    EXPECT_TRUE(keeps_player_promises(m.get()));
}

TEST_F(FastLoading, UsedChannelsAreNumberedInSourceOrderWithPans)
{
    S3mSpec s = basic();
    s.channel_settings.fill(255);
    s.channel_settings[0] = 0;
    s.channel_settings[1] = 8;
    s.channel_settings[2] = 255;
    s.channel_settings[3] = 3;
    s.patterns[0].rows[0] = {{0, 0x40, 1}, {1, 0x41, 1}, {2, 0x42, 1}, {3, 0x43, 1}};
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    ASSERT_EQ(m->channel_count, 3);
    EXPECT_EQ(m->channel_pan[0], 64);
    EXPECT_EQ(m->channel_pan[1], 192);
    EXPECT_EQ(m->channel_pan[2], 64);
    EXPECT_EQ(cell(m.get(), 0, 0, 0).note, 8363);
    EXPECT_EQ(cell(m.get(), 0, 0, 1).note, pitch(0x41));
    EXPECT_EQ(cell(m.get(), 0, 0, 2).note, pitch(0x43));  // source channel 2 was dropped
}

TEST_F(FastLoading, OffFindsOnlyChannelsThePatternsUse)
{
    S3mSpec s = basic();
    s.channel_settings.fill(255);
    for (int i = 0; i < 4; i++) s.channel_settings[i] = static_cast<unsigned char>(i);
    s.patterns[0].rows[3] = {{1, 0x40, 1}, {3, 0x40, 2}};
    fast_loading = 0;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    ASSERT_EQ(m->channel_count, 2);
    EXPECT_EQ(cell(m.get(), 0, 3, 0).sample, 1);
    EXPECT_EQ(cell(m.get(), 0, 3, 1).sample, 2);
    EXPECT_EQ(m->channel_pan[0], 64);
    EXPECT_EQ(m->channel_pan[1], 64);
}

TEST_F(FastLoading, NoUsedChannelStillGivesOneSilentChannel)
{
    S3mSpec s = basic();
    s.channel_settings.fill(255);
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->channel_count, 1);
    fast_loading = 0;
    s.channel_settings[0] = 0;
    ModuleHolder n(load_spec(s));
    ASSERT_TRUE(n);
    EXPECT_EQ(n->channel_count, 1);
    EXPECT_TRUE(keeps_player_promises(n.get()));
}

TEST(S3mPans, PanTableOverridesWhereItsBitIsSet)
{
    S3mSpec s = basic();
    s.channel_settings.fill(255);
    s.channel_settings[0] = 0;
    s.channel_settings[1] = 9;
    s.channel_settings[2] = 1;
    s.channel_settings[3] = 16;  // an AdLib channel: used, no pan set
    s.pan_table = true;
    s.pans[0] = 0x20 | 10;
    s.pans[1] = 3;  // bit 5 clear: keeps its default
    s.pans[2] = 0x20 | 15;
    s.pans[3] = 0x20 | 5;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    ASSERT_EQ(m->channel_count, 4);
    EXPECT_EQ(m->channel_pan[0], 170);
    EXPECT_EQ(m->channel_pan[1], 192);
    EXPECT_EQ(m->channel_pan[2], 255);
    EXPECT_EQ(m->channel_pan[3], 0);
}

TEST(S3mNotes, PitchConversion)
{
    EXPECT_EQ(pitch(0x40), 8363);
    EXPECT_EQ(pitch(0x31), 4430);
    EXPECT_EQ(pitch(0xFE), -1);
    EXPECT_EQ(pitch(0xFF), 0);
    EXPECT_EQ(pitch(0x4C), 0);
    EXPECT_EQ(pitch(0xD0), 0);
    EXPECT_EQ(pitch(0x00), 3579546 / 6848);
}

TEST(S3mNotes, CellsFromTheFile)
{
    S3mSpec s = basic();
    s.patterns[0].rows[0] = {{0, 0x40, 2, 64, 1, 5}, {1, 0xFE, 0}, {2, 0x31, 3, 0}};
    s.patterns[0].rows[63] = {{0, 0xFF, 0, 10}};
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    const NOTE_INFO &a = cell(m.get(), 0, 0, 0);
    EXPECT_EQ(a.note, 8363);
    EXPECT_EQ(a.sample, 2);
    EXPECT_EQ(a.volume, 80);
    EXPECT_EQ(a.command, CMD_S3M_SPEED);
    EXPECT_EQ(a.extcommand, 5);
    EXPECT_EQ(cell(m.get(), 0, 0, 1).note, -1);
    EXPECT_EQ(cell(m.get(), 0, 0, 2).sample, 0);  // instrument 3 of 2
    EXPECT_EQ(cell(m.get(), 0, 0, 2).note, 4430);
    EXPECT_EQ(cell(m.get(), 0, 63, 0).volume, 26);
    EXPECT_EQ(cell(m.get(), 0, 63, 0).note, 0);
    EXPECT_EQ(cell(m.get(), 0, 1, 0).volume, 0);
}

TEST(S3mCommands, LettersToInternalCodes)
{
    const std::pair<int, int> table[] = {{1, CMD_S3M_SPEED},
                                         {2, CMD_POSITION_JUMP},
                                         {3, CMD_PATTERN_BREAK},
                                         {4, CMD_S3M_VOLSLIDE},
                                         {5, CMD_S3M_PORTA_DOWN},
                                         {6, CMD_S3M_PORTA_UP},
                                         {7, CMD_TONE_PORTA},
                                         {8, CMD_VIBRATO},
                                         {9, CMD_TREMOR},
                                         {10, CMD_S3M_ARPEGGIO},
                                         {11, CMD_S3M_VIBRATO_VOLSLIDE},
                                         {12, CMD_S3M_TONE_PORTA_VOLSLIDE},
                                         {15, CMD_SAMPLE_OFFSET},
                                         {17, CMD_RETRIG_VOLSLIDE},
                                         {18, CMD_S3M_TREMOLO},
                                         {20, CMD_S3M_BPM},
                                         {21, CMD_FINE_VIBRATO},
                                         {22, CMD_SET_GLOBAL_VOLUME},
                                         {24, CMD_S3M_SET_PAN}};
    for (auto [letter, code] : table)
        EXPECT_EQ(command(letter, 0x37), std::make_pair(code, 0x37)) << letter;
    for (int letter : {0, 13, 14, 16, 23, 25, 26, 27, 200})
        EXPECT_EQ(command(letter, 0x37), std::make_pair(0, 0)) << letter;
}

TEST(S3mCommands, SpecialSubCommandsAreRewritten)
{
    EXPECT_EQ(command(19, 0xB3), std::make_pair(CMD_EXTENDED, 0x63));
    EXPECT_EQ(command(19, 0x91), std::make_pair(0, 0));
    EXPECT_EQ(command(19, 0x15), std::make_pair(CMD_EXTENDED, 0x35));
    EXPECT_EQ(command(19, 0x2F), std::make_pair(CMD_EXTENDED, 0x5F));
    EXPECT_EQ(command(19, 0x32), std::make_pair(CMD_EXTENDED, 0x42));
    EXPECT_EQ(command(19, 0x41), std::make_pair(CMD_EXTENDED, 0x71));
    EXPECT_EQ(command(19, 0xA4), std::make_pair(CMD_EXTENDED, 0x104));
    for (int kept : {0x85, 0xC2, 0xD3, 0xE4})
        EXPECT_EQ(command(19, kept), std::make_pair(CMD_EXTENDED, kept));
    for (int dropped : {0x01, 0x5F, 0x63, 0x7F, 0xF0})
        EXPECT_EQ(command(19, dropped), std::make_pair(0, 0));
}

TEST(S3mSamples, SignedUnsignedAndSixteenBitFrames)
{
    S3mSpec s = basic();
    s.sample_format = 1;
    s.sample_list[0].data = {0x00, 0x7F, 0x80, 0xFF};
    s.sample_list[1].sixteen_bit = true;
    s.sample_list[1].data = {0x34, 0x12, 0x00, 0x80};
    s.sample_list[1].c2spd = 0x12345;  // only the low 16 bits count
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    const unsigned char *a = static_cast<const unsigned char *>(m->samples[0].data);
    EXPECT_EQ(a[0], 0x80);
    EXPECT_EQ(a[1], 0xFF);
    EXPECT_EQ(a[2], 0x00);
    EXPECT_EQ(a[3], 0x7F);
    ASSERT_EQ(m->samples[1].len, 2u);
    EXPECT_EQ(m->samples[1].bits, 8);
    const unsigned char *b = static_cast<const unsigned char *>(m->samples[1].data);
    EXPECT_EQ(b[0], 0x92);
    EXPECT_EQ(b[1], 0x00);
    EXPECT_EQ(m->sample_info[1].c2spd, 0x2345);
    EXPECT_EQ(m->samples[1].freq, 0x2345);

    s.sample_format = 2;
    ModuleHolder u(load_spec(s));
    const unsigned char *c = static_cast<const unsigned char *>(u->samples[0].data);
    EXPECT_EQ(c[0], 0x00);
    EXPECT_EQ(c[3], 0xFF);
}

TEST(S3mSamples, LoopsVolumesTagsAndTypes)
{
    S3mSpec s = basic();
    s.sample_list.resize(5);
    s.sample_list[0].data = ModuleImage(100, 0x80);
    s.sample_list[0].loop = true;
    s.sample_list[0].loop_start = 10;
    s.sample_list[0].loop_end = 90;
    s.sample_list[0].volume = 80;
    s.sample_list[1].data = ModuleImage(100, 0x80);
    s.sample_list[1].loop = true;
    s.sample_list[1].loop_start = 10;
    s.sample_list[1].loop_end = 500;  // cut at the end
    s.sample_list[2].data = ModuleImage(100, 0x80);
    s.sample_list[2].loop = true;
    s.sample_list[2].loop_start = 60;
    s.sample_list[2].loop_end = 20;  // backwards: no loop
    s.sample_list[3].data = ModuleImage(100, 0x80);
    s.sample_list[3].tag = false;
    s.sample_list[3].loop = true;
    s.sample_list[4].type = 2;
    s.sample_list[4].data = ModuleImage(10, 1);
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->sample_info[0].loop_type, QVMOD_LOOP_FORWARD);
    EXPECT_EQ(m->samples[0].loop_start, 10u);
    EXPECT_EQ(m->samples[0].loop_end, 90u);
    EXPECT_EQ(m->sample_info[0].volume, 64);
    EXPECT_EQ(m->samples[1].loop_end, 100u);
    EXPECT_EQ(m->sample_info[2].loop_type, 0);
    EXPECT_EQ(m->samples[3].len, 0u);
    EXPECT_EQ(m->sample_info[3].length, 100);
    EXPECT_EQ(m->sample_info[3].loop_type, 0);
    EXPECT_EQ(m->samples[4].len, 0u);
    EXPECT_EQ(m->sample_info[4].length, 0);
    EXPECT_TRUE(keeps_player_promises(m.get()));
}

TEST(S3mSamples, NoInstrumentsGiveOneEmptySample)
{
    S3mSpec s = basic();
    s.sample_list.clear();
    s.patterns[0].rows[0] = {{0, 0x40, 1}};
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->sample_count, 1);
    EXPECT_EQ(m->samples[0].len, 0u);
    EXPECT_TRUE(keeps_player_promises(m.get()));
}

TEST(S3mDamage, PatternDataEndingEarlyStopsAtTheEndOfTheFile)
{
    S3mSpec s = basic();
    S3mPattern &p = s.patterns[0];
    p.raw = {0x20, 0x40, 0x01, 0x00, 0x20, 0x31};  // one row, then an entry cut off
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m) << qvmod_error;
    EXPECT_EQ(cell(m.get(), 0, 0, 0).note, 8363);
    EXPECT_EQ(cell(m.get(), 0, 1, 0).sample, 0);
    EXPECT_TRUE(keeps_player_promises(m.get()));
}

TEST(S3mDamage, ParapointersPastTheEndGiveEmptyParts)
{
    S3mSpec s = basic();
    s.patterns[0].rows[0] = {{0, 0x40, 1}};
    ModuleImage img = write_s3m(s);
    // Instrument 1 and pattern 0 parapointers follow the single order byte at 96.
    const size_t para = 96 + 1;
    img[para + 0] = 0xFF;
    img[para + 1] = 0xFF;
    img[para + 4] = 0xFE;
    img[para + 5] = 0xFF;
    ModuleHolder m(load_image(img));
    ASSERT_TRUE(m) << qvmod_error;
    EXPECT_EQ(m->samples[0].len, 0u);
    EXPECT_EQ(cell(m.get(), 0, 0, 0).note, 0);
    EXPECT_TRUE(keeps_player_promises(m.get()));
}

TEST(S3mDamage, SampleDataCutShortKeepsWhatIsThere)
{
    S3mSpec s = basic();
    s.patterns.clear();
    s.orders = {0};
    s.sample_list.resize(1);
    s.sample_list[0].data = ModuleImage(200, 0x40);
    s.sample_list[0].loop = true;
    s.sample_list[0].loop_start = 50;
    s.sample_list[0].loop_end = 190;
    ModuleImage img = write_s3m(s);
    img.resize(img.size() - 120);
    ModuleHolder m(load_image(img));
    ASSERT_TRUE(m) << qvmod_error;
    EXPECT_EQ(m->samples[0].len, 80u);
    EXPECT_EQ(m->samples[0].loop_end, 80u);
    EXPECT_TRUE(keeps_player_promises(m.get()));

    ModuleImage header(img.begin(), img.begin() + 90);
    TempFile f(header);
    EXPECT_EQ(load_s3m(f.path(), 0), nullptr);
}

TEST(S3mEntryPoints, PackedFileHelpersDecodeOnePattern)
{
    // The pattern helpers read through a packed file and stop at its end.
    S3mSpec s = basic();
    s.patterns[0].rows[0] = {{0, 0x40, 1, 20}};
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    const ModuleImage bytes = {0x60, 0x40, 0x01, 20, 0x00, 0x21};
    TempFile f(bytes);
    PACKFILE *pf = pack_fopen(f.path(), "r");
    ASSERT_TRUE(pf);
    std::vector<NOTE_INFO> cells(64 * m->channel_count);
    EXPECT_EQ(S3M_load_pat(pf, m.get(), cells.data(), m->channel_count), -1);
    pack_fclose(pf);
    EXPECT_EQ(cells[0].note, 8363);
    EXPECT_EQ(cells[0].volume, 36);
}
