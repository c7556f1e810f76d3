// SPDX-License-Identifier: MIT
// XM reader: header, orders, packed cells, commands, instruments and envelopes, samples, damaged files.
#include <cstring>

#include "loader_support.h"

namespace {

XmSampleSpec sample8(std::vector<int> frames)
{
    XmSampleSpec s;
    s.frames = std::move(frames);
    return s;
}

XmInstrument instrument(int samples)
{
    XmInstrument in;
    for (int i = 0; i < samples; i++) in.samples.push_back(sample8({0, 10, 20, 30}));
    return in;
}

XmSpec basic()
{
    XmSpec s;
    s.channels = 4;
    s.orders = {0};
    s.patterns.resize(1);
    s.instruments.push_back(instrument(1));
    return s;
}

ModuleHolder load_spec(const XmSpec &s)
{
    TempFile f(write_xm(s));
    return ModuleHolder(load_xm(f.path(), 0));
}

std::pair<int, int> command(int c, int p)
{
    convert_xm_command(&c, &p);
    return {c, p};
}

}  // namespace

TEST(XmHeader, FlagsDefaultsAndPans)
{
    XmSpec s = basic();
    s.title = "twenty characters xm";
    s.speed = 0;
    s.bpm = 0;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m) << qvmod_error;
    expect_start(m.get(), {"twenty characters xm", 5, 6, 125, 64});
    EXPECT_EQ(m->channel_count, 4);
    for (int i = 0; i < 64; i++) EXPECT_EQ(m->channel_pan[i], 0);
    s.linear = false;
    s.speed = 4;
    s.bpm = 140;
    ModuleHolder a(load_spec(s));
    EXPECT_EQ(a->flags, 3);
    EXPECT_EQ(a->initial_speed, 4);
    EXPECT_EQ(a->initial_bpm, 140);
}

TEST(XmOrders, MissingPatternsBecomeOneAppendedEmptyPattern)
{
    XmSpec s = basic();
    s.orders = {0, 1, 7, 9};
    s.patterns.resize(2);
    s.patterns[1].rows = 32;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->order_count, 4);
    EXPECT_EQ(m->order_table[0], 0);
    EXPECT_EQ(m->order_table[1], 1);
    EXPECT_EQ(m->order_table[2], 2);
    EXPECT_EQ(m->order_table[3], 2);
    EXPECT_EQ(m->pattern_count, 3);
    EXPECT_EQ(m->pattern_info[1].row_count, 32);
    EXPECT_EQ(m->pattern_info[2].row_count, 64);

    s.orders = {0, 1};
    ModuleHolder n(load_spec(s));
    EXPECT_EQ(n->pattern_count, 2);
}

TEST(XmOrders, SongLengthAndRestartAreKeptInRange)
{
    expect_orders(basic(), load_spec, {{0, -1, 1, -1}, {300, 400, 256, 0}, {5, 3, -1, 3}});
}

TEST(XmCells, PackedAndFullCells)
{
    XmSpec s = basic();
    s.instruments.push_back(instrument(1));
    s.patterns[0].raw = {0x83, 0x31, 0x02,              // note 49, instrument 2
                         0x61, 0x01, 0x40, 0x0E, 0x1F,  // a full cell: note 97 (key off)
                         0x81, 98,                      // note above 97
                         0x9F, 0x10, 0x01, 0x20, 0x0E, 0x53};
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    const NOTE_INFO &a = cell(m.get(), 0, 0, 0);
    EXPECT_EQ(a.note, 49);
    EXPECT_EQ(a.sample, 2);
    EXPECT_EQ(a.volume, 0);
    EXPECT_EQ(a.command, 0);
    EXPECT_EQ(a.extcommand, 0);
    const NOTE_INFO &b = cell(m.get(), 0, 0, 1);
    EXPECT_EQ(b.note, -2);
    EXPECT_EQ(b.sample, 1);
    EXPECT_EQ(b.volume, 0x40);
    EXPECT_EQ(b.command, CMD_EXTENDED);
    EXPECT_EQ(b.extcommand, 0x11F);
    EXPECT_EQ(cell(m.get(), 0, 0, 2).note, 0);
    const NOTE_INFO &d = cell(m.get(), 0, 0, 3);
    EXPECT_EQ(d.note, 16);
    EXPECT_EQ(d.volume, 0x20);
    EXPECT_EQ(d.command, 0);
    EXPECT_EQ(d.extcommand, 0);
    EXPECT_EQ(cell(m.get(), 0, 1, 0).note, 0);
}

TEST(XmCells, InstrumentsBeyondTheCountClearTheNote)
{
    XmSpec s = basic();
    s.patterns[0].raw = {0x83, 0x31, 0x02, 0x83, 0x61, 98};
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(cell(m.get(), 0, 0, 0).note, 0);
    EXPECT_EQ(cell(m.get(), 0, 0, 0).sample, 0);
    EXPECT_EQ(cell(m.get(), 0, 0, 1).note, 0);
    EXPECT_EQ(cell(m.get(), 0, 0, 1).sample, 0);
}

TEST(XmCommands, EffectsToInternalCodes)
{
    EXPECT_EQ(command(0, 0x37), std::make_pair(CMD_ARPEGGIO, 0x37));
    EXPECT_EQ(command(0, 0), std::make_pair(CMD_ARPEGGIO, 0));
    const std::pair<int, int> table[] = {{1, CMD_XM_PORTA_UP},
                                         {2, CMD_XM_PORTA_DOWN},
                                         {3, CMD_TONE_PORTA},
                                         {4, CMD_VIBRATO},
                                         {5, CMD_XM_TONE_PORTA_VOLSLIDE},
                                         {6, CMD_XM_VIBRATO_VOLSLIDE},
                                         {7, CMD_TREMOLO},
                                         {8, CMD_SET_PAN},
                                         {9, CMD_SAMPLE_OFFSET},
                                         {10, CMD_XM_VOLSLIDE},
                                         {11, CMD_POSITION_JUMP},
                                         {12, CMD_SET_VOLUME},
                                         {13, CMD_PATTERN_BREAK},
                                         {15, CMD_PRO_SPEED_BPM},
                                         {16, CMD_SET_GLOBAL_VOLUME},
                                         {17, CMD_GLOBAL_VOLSLIDE},
                                         {20, CMD_KEY_OFF},
                                         {21, CMD_SET_ENVELOPE_POS},
                                         {25, CMD_XM_PANSLIDE},
                                         {27, CMD_RETRIG_VOLSLIDE},
                                         {29, CMD_TREMOR},
                                         {33, CMD_XM_EXTRA_FINE_PORTA}};
    for (auto [effect, code] : table)
        EXPECT_EQ(command(effect, 0x12), std::make_pair(code, 0x12)) << effect;
    for (int effect : {18, 19, 22, 23, 24, 26, 28, 30, 31, 32, 34, 35, 36, 255})
        EXPECT_EQ(command(effect, 0x12), std::make_pair(0, 0)) << effect;
}

TEST(XmCommands, ExtendedRewrites)
{
    EXPECT_EQ(command(14, 0x1F), std::make_pair(CMD_EXTENDED, 0x11F));
    EXPECT_EQ(command(14, 0x23), std::make_pair(CMD_EXTENDED, 0x123));
    EXPECT_EQ(command(14, 0xA4), std::make_pair(CMD_EXTENDED, 0x134));
    EXPECT_EQ(command(14, 0xB5), std::make_pair(CMD_EXTENDED, 0x145));
    for (int kept : {0x31, 0x42, 0x63, 0x74, 0x95, 0xC6, 0xD7, 0xE8})
        EXPECT_EQ(command(14, kept), std::make_pair(CMD_EXTENDED, kept)) << kept;
    for (int dropped : {0x01, 0x53, 0x88, 0xF1})
        EXPECT_EQ(command(14, dropped), std::make_pair(0, 0)) << dropped;
}

TEST(XmInstruments, SampleNumbersRunAcrossInstruments)
{
    XmSpec s = basic();
    s.instruments = {instrument(3), instrument(2)};
    s.instruments[1].map[10] = 1;
    s.instruments[0].map[5] = 2;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->instrument_count, 2);
    EXPECT_EQ(m->sample_count, 6);
    EXPECT_EQ(m->instrument_info[1].sample_number[10], 4);
    EXPECT_EQ(m->instrument_info[1].sample_number[0], 3);
    EXPECT_EQ(m->instrument_info[0].sample_number[5], 2);
    EXPECT_EQ(m->instrument_info[0].sample_number[0], 0);
}

TEST(XmInstruments, NoSamplesMapEveryNoteToTheSilentSample)
{
    XmSpec s = basic();
    s.instruments = {instrument(1), instrument(0), instrument(2)};
    s.instruments[2].map[0] = 1;
    s.instruments[2].map[1] = 5;  // names a slot the instrument does not have
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    ASSERT_EQ(m->sample_count, 4);
    const int silent = m->sample_count - 1;
    for (int n = 0; n < 96; n++) EXPECT_EQ(m->instrument_info[1].sample_number[n], silent);
    EXPECT_EQ(m->instrument_info[2].sample_number[0], 2);
    EXPECT_EQ(m->instrument_info[2].sample_number[1], silent);
    const SAMPLE &quiet = m->samples[silent];
    EXPECT_EQ(quiet.len, 0u);
    EXPECT_EQ(quiet.bits, 8);
    EXPECT_EQ(quiet.freq, 1000);
    EXPECT_NE(quiet.data, nullptr);
    EXPECT_EQ(m->sample_info[silent].volume, 0);
    EXPECT_EQ(m->sample_info[silent].c2spd, 0);
}

TEST(XmInstruments, ShortHeadersAreEmptyInstruments)
{
    XmSpec s = basic();
    s.instruments = {instrument(1), instrument(1), instrument(1)};
    s.instruments[1].size = 29;  // below 30: the samples are not read
    ModuleImage img = write_xm(s);
    ModuleHolder m(load_image(img));
    ASSERT_TRUE(m) << qvmod_error;
    EXPECT_EQ(m->instrument_count, 3);
    EXPECT_TRUE(keeps_player_promises(m.get()));
}

TEST(XmInstruments, EnvelopeRepairs)
{
    XmSpec s = basic();
    XmEnvelope &v = s.instruments[0].volume_env;
    v.points = {{5, 64}, {20, 80}, {10, 30}};
    v.flags = 1 | 2 | 4;
    v.sustain = 7;
    v.loop_start = 2;
    v.loop_end = 1;
    XmEnvelope &p = s.instruments[0].pan_env;
    p.points.assign(12, {3, 40});
    p.count = 20;
    s.instruments[0].fadeout = 1234;
    s.instruments.push_back(instrument(1));
    s.instruments[1].volume_env.flags = 1;  // on, without points
    s.instruments[1].pan_env.flags = 1;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    const INSTRUMENT_INFO &a = m->instrument_info[0];
    EXPECT_EQ(a.volume_env_points, 3);
    EXPECT_EQ(a.volume_env_pos[0], 0);
    EXPECT_EQ(a.volume_env_pos[1], 20);
    EXPECT_EQ(a.volume_env_pos[2], 20);    // never backwards
    EXPECT_EQ(a.volume_env_value[1], 64);  // values stay 0..64
    EXPECT_EQ(a.volume_env_sustain_start, 2);
    EXPECT_EQ(a.volume_env_sustain_end, 2);
    EXPECT_EQ(a.volume_env_loop_start, 1);
    EXPECT_EQ(a.volume_env_loop_end, 1);
    EXPECT_EQ(a.volume_env_flags, 1 | 2);  // a backwards loop is switched off
    EXPECT_EQ(a.pan_env_points, 12);
    EXPECT_EQ(a.pan_env_pos[0], 0);
    EXPECT_EQ(a.volume_fadeout, 1234);
    const INSTRUMENT_INFO &b = m->instrument_info[1];
    EXPECT_EQ(b.volume_env_points, 1);
    EXPECT_EQ(b.volume_env_pos[0], 0);
    EXPECT_EQ(b.volume_env_value[0], 0);
    EXPECT_EQ(b.pan_env_points, 1);
    EXPECT_EQ(b.pan_env_value[0], 32);
    EXPECT_TRUE(keeps_player_promises(m.get()));
}

TEST(XmSamples, DeltaDecodingOfEightBitData)
{
    XmSpec s = basic();
    s.instruments[0].samples[0].raw = {0x05, 0x03, 0xFE};
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    const SAMPLE &a = m->samples[0];
    ASSERT_EQ(a.len, 3u);
    const unsigned char *d = static_cast<const unsigned char *>(a.data);
    EXPECT_EQ(d[0], 0x85);
    EXPECT_EQ(d[1], 0x88);
    EXPECT_EQ(d[2], 0x86);
}

TEST(XmSamples, SixteenBitDataBecomesEightBitFrames)
{
    XmSpec s = basic();
    XmSampleSpec &w = s.instruments[0].samples[0];
    w.sixteen_bit = true;
    w.frames = {0x1234, -0x100, 0x7FFF, -0x8000};
    w.loop_type = 1;
    w.loop_start = 2;
    w.loop_length = 4;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    const SAMPLE &a = m->samples[0];
    ASSERT_EQ(a.len, 4u);
    EXPECT_EQ(a.bits, 8);
    EXPECT_EQ(m->sample_info[0].length, 8);
    EXPECT_EQ(a.loop_start, 1u);
    EXPECT_EQ(a.loop_end, 3u);
    EXPECT_EQ(m->sample_info[0].loop_start, 2);
    EXPECT_EQ(m->sample_info[0].loop_end, 6);
    const unsigned char *d = static_cast<const unsigned char *>(a.data);
    EXPECT_EQ(d[0], 0x92);
    EXPECT_EQ(d[1], 0x7F);
    EXPECT_EQ(d[2], 0xFF);
    EXPECT_EQ(d[3], 0x00);
}

TEST(XmSamples, RecordsAndLoopRepair)
{
    XmSpec s = basic();
    s.instruments[0].samples = {sample8(std::vector<int>(100, 0)),
                                sample8(std::vector<int>(100, 0)),
                                sample8(std::vector<int>(100, 0))};
    XmSampleSpec &a = s.instruments[0].samples[0];
    a.loop_type = 2;
    a.loop_start = 40;
    a.loop_length = 200;
    a.volume = 50;
    a.finetune = -16;
    a.panning = 200;
    a.relative_note = -12;
    XmSampleSpec &b = s.instruments[0].samples[1];
    b.loop_type = 1;
    b.loop_start = 150;  // starts beyond the end
    b.loop_length = 10;
    XmSampleSpec &c = s.instruments[0].samples[2];
    c.loop_type = 1 | 4;
    c.loop_start = 10;
    c.loop_length = 0;  // covers nothing
    c.volume = 90;
    s.instruments[0].vibrato_type = 2;
    s.instruments[0].vibrato_sweep = 3;
    s.instruments[0].vibrato_depth = 4;
    s.instruments[0].vibrato_rate = 5;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    const SAMPLE_INFO &ia = m->sample_info[0];
    EXPECT_EQ(ia.loop_type, QVMOD_LOOP_BIDIR);
    EXPECT_EQ(m->samples[0].loop_start, 40u);
    EXPECT_EQ(m->samples[0].loop_end, 100u);
    EXPECT_EQ(ia.volume, 50);
    EXPECT_EQ(ia.c2spd, 112);
    EXPECT_EQ(ia.pan, 200);
    EXPECT_EQ(ia.transpose, -12);
    EXPECT_EQ(ia.vibrato_type, 2);
    EXPECT_EQ(ia.vibrato_sweep, 3);
    EXPECT_EQ(ia.vibrato_depth, 4);
    EXPECT_EQ(ia.vibrato_rate, 5);
    EXPECT_EQ(m->sample_info[1].loop_type, 0);
    EXPECT_EQ(m->sample_info[2].loop_type, 0);
    EXPECT_EQ(m->sample_info[2].volume, 64);
    EXPECT_EQ(m->samples[0].freq, 1000);
    EXPECT_EQ(m->samples[0].priority, 192);
    EXPECT_TRUE(keeps_player_promises(m.get()));
}

TEST(XmSamples, AtMost255SamplesAreKept)
{
    XmSpec s = basic();
    s.instruments.clear();
    for (int i = 0; i < 17; i++) {
        s.instruments.push_back(instrument(16));
        for (int n = 0; n < 96; n++)
            s.instruments.back().map[static_cast<size_t>(n)] = static_cast<unsigned char>(n % 16);
    }
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m) << qvmod_error;
    EXPECT_EQ(m->sample_count, 256);
    const int silent = 255;
    EXPECT_EQ(m->instrument_info[15].sample_number[14], 254);
    EXPECT_EQ(m->instrument_info[15].sample_number[15], silent);
    EXPECT_EQ(m->instrument_info[16].sample_number[0], silent);
    EXPECT_TRUE(keeps_player_promises(m.get()));
}

TEST(XmDamage, LimitsAreRefusedWithAMessage)
{
    XmSpec s = basic();
    s.channels = 0;
    TempFile a(write_xm(s));
    EXPECT_EQ(load_xm(a.path(), 0), nullptr);
    EXPECT_STREQ(qvmod_error, "XM module must have 1 to 64 channels");
    s.channels = 65;
    TempFile b(write_xm(s));
    EXPECT_EQ(load_xm(b.path(), 0), nullptr);
    s.channels = 4;
    s.patterns[0].rows = 300;
    TempFile c(write_xm(s));
    EXPECT_EQ(load_xm(c.path(), 0), nullptr);
    EXPECT_STREQ(qvmod_error, "XM pattern has more than 256 rows");
    s.patterns[0].rows = 64;
    s.header_patterns = 257;
    TempFile d(write_xm(s));
    EXPECT_EQ(load_xm(d.path(), 0), nullptr);
}

TEST(XmDamage, EmptyPatternsClaimingHugeSizesAreRefused)
{
    // 256 empty patterns of 256 rows and 64 channels from a file of a few kilobytes.
    XmSpec s = basic();
    s.channels = 64;
    s.patterns.assign(256, XmPattern{});
    for (auto &p : s.patterns) p.rows = 256;
    TempFile f(write_xm(s));
    EXPECT_EQ(load_xm(f.path(), 0), nullptr);
    EXPECT_STREQ(qvmod_error, "XM patterns are larger than the file can hold");
}

TEST(XmDamage, ZeroRowPatternsGetSixtyFourRows)
{
    XmSpec s = basic();
    s.patterns[0].rows = 0;
    ModuleHolder m(load_spec(s));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->pattern_info[0].row_count, 64);
}

TEST(XmDamage, TruncatedFilesLoadWhatIsThere)
{
    XmSpec s = basic();
    s.instruments[0].samples[0] = sample8(std::vector<int>(300, 5));
    s.instruments[0].samples[0].loop_type = 1;
    s.instruments[0].samples[0].loop_start = 100;
    s.instruments[0].samples[0].loop_length = 150;
    const ModuleImage full = write_xm(s);
    expect_cut_sample(full, 100, 0, 200);
}

TEST(XmEntryPoints, LoadNoteReadsOneCellFromAPackedFile)
{
    ModuleHolder m(load_spec(basic()));
    ASSERT_TRUE(m);
    TempFile f(ModuleImage{0x83, 0x31, 0x01, 0x98});
    PACKFILE *pf = pack_fopen(f.path(), "r");
    ASSERT_TRUE(pf);
    NOTE_INFO a{}, b{};
    load_note(m.get(), pf, &a);
    load_note(m.get(), pf, &b);  // the mask promises bytes the file no longer has
    pack_fclose(pf);
    EXPECT_EQ(a.note, 49);
    EXPECT_EQ(a.sample, 1);
    EXPECT_EQ(b.note, 0);
    EXPECT_EQ(b.command, 0);
}
