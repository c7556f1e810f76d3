// SPDX-License-Identifier: MIT
// QVM modules: byte layout read and written, packed planes, limits refused or clipped, detection,
// information, load_mod, and the "QVM " datafile object.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "module_builder.h"
#include "qvm_writer.h"
#include "qvmod.h"
#include "scratch.h"

namespace {

using qvx_test::Bytes;
using qvx_test::TempFile;

void put8(Bytes &b, int v)
{
    b.push_back(static_cast<unsigned char>(v & 0xFF));
}
void put16(Bytes &b, int v)
{
    put8(b, v);
    put8(b, v >> 8);
}
void put32(Bytes &b, unsigned int v)
{
    put16(b, static_cast<int>(v & 0xFFFF));
    put16(b, static_cast<int>(v >> 16));
}
void append(Bytes &b, const Bytes &more)
{
    b.insert(b.end(), more.begin(), more.end());
}

// A QVM image described field by field, so each test can spoil one thing.
struct RawModule {
    std::string title = "Raw Module";
    int orders = 1, patterns = 1, channels = 1, instruments = 0, samples = 1;
    int speed = 6, bpm = 125, global_volume = 64, restart = 0, flags = 0;
    Bytes pans = {32};
    Bytes order_bytes = {0};
    Bytes instrument_blocks;
    Bytes sample_blocks;
    Bytes pattern_blocks;

    Bytes image() const
    {
        Bytes b(QVM_SIGNATURE, QVM_SIGNATURE + QVM_SIGNATURE_SIZE);
        std::string t = title;
        t.resize(28, '\0');
        b.insert(b.end(), t.begin(), t.end());
        put8(b, 'Z');  // 29th title byte
        put8(b, 0);
        for (int v : {orders, patterns, channels, instruments, samples, speed, bpm, global_volume,
                      restart, flags})
            put16(b, v);
        append(b, pans);
        append(b, order_bytes);
        append(b, instrument_blocks);
        append(b, sample_blocks);
        append(b, pattern_blocks);
        return b;
    }
};

Bytes empty_sample()
{
    Bytes b;
    put32(b, 0);
    return b;
}

Bytes sample_block(unsigned int len, int bits, unsigned int loop_start = 0,
                   unsigned int loop_end = 0, int loop_type = 0,
                   size_t data_bytes = static_cast<size_t>(-1))
{
    Bytes b;
    put32(b, len);
    put32(b, loop_start);
    put32(b, loop_end);
    for (int v : {1, 2, 3, 4}) put8(b, v);  // vibrato type, sweep, depth, rate
    put8(b, 40);                            // volume
    put8(b, 200);                           // pan
    put8(b, 0xFD);                          // transpose -3
    put16(b, 0x9000);                       // c2spd
    put8(b, bits);
    put8(b, loop_type);
    if (data_bytes == static_cast<size_t>(-1)) data_bytes = static_cast<size_t>(len) * bits / 8;
    for (size_t i = 0; i < data_bytes; i++) put8(b, static_cast<int>(i * 7));
    return b;
}

// One pattern of `rows` rows whose five planes are all empty (one skip run each).
Bytes empty_pattern(int rows, int channels)
{
    Bytes b;
    put16(b, rows);
    int cells = rows * channels;
    for (int plane = 0; plane < 5; plane++) {
        for (int left = cells; left > 0; left -= 127) put8(b, left > 127 ? 127 : left);
    }
    return b;
}

Bytes instrument_block(int vol_points = 2, int sustain = 0, int loop_start = 0, int loop_end = 1)
{
    Bytes b;
    for (int n = 0; n < 96; n++) put8(b, n % 2);
    for (int p = 0; p < 12; p++) {
        put16(b, p * 10);
        put16(b, 64 - p);
    }
    for (int v : {vol_points, 7, sustain, loop_start, loop_end}) put8(b, v);
    for (int p = 0; p < 12; p++) {
        put16(b, p * 5);
        put16(b, 32 + p);
    }
    for (int v : {3, 1, 2, 0, 2}) put8(b, v);
    put16(b, 0x1234);
    return b;
}

RawModule minimal()
{
    RawModule r;
    r.sample_blocks = sample_block(4, 8);
    r.pattern_blocks = empty_pattern(4, 1);
    return r;
}

// The module a QVM image reads as, through the stream reader.
ModuleHolder loaded(const Bytes &image)
{
    TempFile file(image);
    PACKFILE *f = qvmod_fopen(file.path(), "rb");
    ModuleHolder m(load_qvm(f));
    qvmod_fclose(f);
    return m;
}

std::string refusal(const Bytes &image)
{
    std::strcpy(qvmod_error, "");
    const ModuleHolder l = loaded(image);
    EXPECT_EQ(l.get(), nullptr);
    return qvmod_error;
}

// ---------------------------------------------------------------- reading

TEST(QvmRead, HeaderSamplesAndPlanesOfAPeriodModule)
{
    RawModule r;
    r.channels = 1;
    r.samples = 2;
    r.speed = 5;
    r.bpm = 140;
    r.global_volume = 48;
    r.pans = {77};
    r.sample_blocks = empty_sample();
    append(r.sample_blocks, sample_block(3, 16, 1, 2, 1));
    Bytes p;
    put16(p, 8);
    // note plane: periods 428, 856, 0 and 0xFFFF, then four empty cells
    put8(p, 0x84);
    put16(p, 428);
    put16(p, 856);
    put16(p, 0);
    put16(p, 0xFFFF);
    put8(p, 0x04);
    // sample plane: cell 0 names sample 2
    for (int v : {0x81, 2, 0x07}) put8(p, v);
    // volume plane: 05 00 80 83 0A 0B 0C — the 00 and 80 change nothing
    for (int v : {0x05, 0x00, 0x80, 0x83, 0x0A, 0x0B, 0x0C}) put8(p, v);
    // command plane empty; extcommand plane: words on cells 0 and 1
    put8(p, 0x08);
    put8(p, 0x82);
    put16(p, 0x14F);
    put16(p, 0xFF);
    put8(p, 0x06);
    r.pattern_blocks = p;

    const Bytes image = r.image();
    const ModuleHolder l = loaded(image);
    ASSERT_NE(l.get(), nullptr) << qvmod_error;
    QVMOD *m = l.get();
    EXPECT_STREQ(m->name, "Raw Module");
    EXPECT_EQ(m->name[28], 0);
    EXPECT_EQ(m->initial_speed, 5);
    EXPECT_EQ(m->initial_bpm, 140);
    EXPECT_EQ(m->initial_global_volume, 48);
    EXPECT_EQ(m->channel_pan[0], 77);

    // The empty sample took exactly 4 bytes: the next block read correctly.
    EXPECT_EQ(m->samples[0].len, 0u);
    EXPECT_NE(m->samples[0].data, nullptr);
    EXPECT_EQ(m->samples[0].freq, 1000);
    EXPECT_EQ(m->samples[0].priority, 192);
    EXPECT_EQ(m->samples[0].param, -1);
    const SAMPLE &s = m->samples[1];
    const SAMPLE_INFO &si = m->sample_info[1];
    EXPECT_EQ(s.bits, 16);
    EXPECT_EQ(s.stereo, 0);
    EXPECT_EQ(s.len, 3u);
    EXPECT_EQ(s.loop_start, 1u);
    EXPECT_EQ(s.loop_end, 2u);
    const unsigned char *d = static_cast<const unsigned char *>(s.data);
    for (int i = 0; i < 6; i++) EXPECT_EQ(d[i], (i * 7) & 0xFF);
    EXPECT_EQ(si.vibrato_type, 1);
    EXPECT_EQ(si.vibrato_rate, 4);
    EXPECT_EQ(si.volume, 40);
    EXPECT_EQ(si.pan, 200);
    EXPECT_EQ(si.transpose, -3);
    EXPECT_EQ(si.c2spd, 0x9000);
    EXPECT_EQ(si.loop_type, 1);
    EXPECT_EQ(si.length, 3);

    const NOTE_INFO *c = m->pattern_info[0].notes;
    EXPECT_EQ(m->pattern_info[0].row_count, 8);
    EXPECT_EQ(c[0].note, 8363);
    EXPECT_EQ(c[1].note, 4181);
    EXPECT_EQ(c[2].note, 0);
    EXPECT_EQ(c[3].note, -1);
    EXPECT_EQ(c[0].sample, 2);
    EXPECT_EQ(c[1].sample, 0);
    for (int i = 0; i < 5; i++) EXPECT_EQ(c[i].volume, 0) << i;
    EXPECT_EQ(c[5].volume, 10);
    EXPECT_EQ(c[6].volume, 11);
    EXPECT_EQ(c[7].volume, 12);
    EXPECT_EQ(c[0].extcommand, 0x14F);
    EXPECT_EQ(c[1].extcommand, 0xFF);
}

TEST(QvmRead, InstrumentsAndSignedNotesOfANoteModule)
{
    RawModule r = minimal();
    r.flags = QVMOD_FLAG_NOTES | QVMOD_FLAG_LINEAR;
    r.instruments = 1;
    r.instrument_blocks = instrument_block(4, 3, 1, 2);
    Bytes p;
    put16(p, 4);
    for (int v : {0x82, 0xFE, 0x31, 0x02, 0x81, 1, 0x03}) put8(p, v);
    for (int i = 0; i < 3; i++) put8(p, 0x04);
    r.pattern_blocks = p;
    const ModuleHolder l = loaded(r.image());
    ASSERT_NE(l.get(), nullptr) << qvmod_error;
    const INSTRUMENT_INFO &in = l->instrument_info[0];
    EXPECT_EQ(in.sample_number[1], 1);
    EXPECT_EQ(in.volume_env_pos[2], 20);
    EXPECT_EQ(in.volume_env_value[2], 62);
    EXPECT_EQ(in.volume_env_points, 4);
    EXPECT_EQ(in.volume_env_flags, 7);
    EXPECT_EQ(in.volume_env_sustain_start, 3);
    EXPECT_EQ(in.volume_env_sustain_end, 3);
    EXPECT_EQ(in.volume_env_loop_start, 1);
    EXPECT_EQ(in.volume_env_loop_end, 2);
    EXPECT_EQ(in.pan_env_pos[3], 15);
    EXPECT_EQ(in.pan_env_value[3], 35);
    EXPECT_EQ(in.pan_env_sustain_start, 2);
    EXPECT_EQ(in.pan_env_sustain_end, 2);
    EXPECT_EQ(in.volume_fadeout, 0x1234);
    EXPECT_EQ(l->pattern_info[0].notes[0].note, -2);
    EXPECT_EQ(l->pattern_info[0].notes[1].note, 49);
    EXPECT_EQ(l->pattern_info[0].notes[0].sample, 1);
}

TEST(QvmRead, OutOfRangeValuesAreClipped)
{
    RawModule r = minimal();
    r.global_volume = 200;
    r.restart = 5;
    r.flags = QVMOD_FLAG_NOTES;
    r.instruments = 1;
    Bytes in = instrument_block();
    in[98] = 100;  // first volume envelope value 100
    in[99] = 0;
    r.instrument_blocks = in;
    r.sample_blocks = sample_block(10, 8, 4, 50, 1);
    const ModuleHolder l = loaded(r.image());
    ASSERT_NE(l.get(), nullptr) << qvmod_error;
    EXPECT_EQ(l->initial_global_volume, 64);
    EXPECT_EQ(l->restart_order, 0);
    EXPECT_EQ(l->instrument_info[0].volume_env_value[0], 64);
    EXPECT_EQ(l->samples[0].loop_end, 10u);
    EXPECT_EQ(l->sample_info[0].loop_end, 10);
    EXPECT_EQ(l->sample_info[0].loop_type, 1);

    RawModule z = minimal();
    z.sample_blocks = sample_block(10, 8, 7, 3, 1);  // loop that covers no frames
    const ModuleHolder lz = loaded(z.image());
    ASSERT_NE(lz.get(), nullptr) << qvmod_error;
    EXPECT_EQ(lz->sample_info[0].loop_type, 0);
    EXPECT_LE(lz->samples[0].loop_start, lz->samples[0].loop_end);
}

// ---------------------------------------------------------------- refusals

TEST(QvmRefuse, CountsBeyondTheRecords)
{
    using Damage = void (*)(RawModule &);
    // clang-format off
    const Damage damages[] = {
        [](RawModule &r) {
            r.channels = 65;
            r.pans.assign(65, 0);
            r.pattern_blocks = empty_pattern(4, 65);
        },
        [](RawModule &r) { r.channels = 0; r.pans.clear(); },
        [](RawModule &r) { r.orders = 257; r.order_bytes.assign(257, 0); },
        [](RawModule &r) { r.orders = 0; r.order_bytes.clear(); },
        [](RawModule &r) { r.samples = 0; r.sample_blocks.clear(); },
    };
    // clang-format on
    for (size_t i = 0; i < std::size(damages); i++) {
        RawModule r = minimal();
        damages[i](r);
        EXPECT_NE(refusal(r.image()), "") << "damage " << i;
    }
}

// Sustain and loop bytes past the points, or a loop running backwards, load as read (the player
// keeps them inside the points); thirteen points do not fit the record.
TEST(QvmRefuse, EnvelopesWithTooManyPointsButNotStrayIndexes)
{
    for (Bytes in : {instrument_block(13, 0, 0, 1), instrument_block(4, 4, 0, 1),
                     instrument_block(4, 0, 2, 1), instrument_block(4, 0, 0, 4),
                     instrument_block(0, 12, 0, 0), instrument_block(2, 255, 200, 9)}) {
        RawModule r = minimal();
        r.flags = QVMOD_FLAG_NOTES;
        r.instruments = 1;
        r.instrument_blocks = in;
        if (in[144] > QVMOD_MAX_ENV_POINTS) {
            EXPECT_NE(refusal(r.image()), "");
            continue;
        }
        const ModuleHolder l = loaded(r.image());
        ASSERT_NE(l.get(), nullptr) << qvmod_error;
        const INSTRUMENT_INFO &got = l->instrument_info[0];
        EXPECT_EQ(got.volume_env_sustain_end, in[146]);
        EXPECT_EQ(got.volume_env_loop_start, in[147]);
        EXPECT_EQ(got.volume_env_loop_end, in[148]);
    }
}

TEST(QvmRefuse, OrdersAndCellsNamingMissingThings)
{
    RawModule r = minimal();
    r.order_bytes = {1};
    EXPECT_NE(refusal(r.image()), "");

    for (int flags : {0, QVMOD_FLAG_NOTES}) {
        r = minimal();
        r.flags = flags;
        Bytes p;
        put16(p, 4);
        for (int v : {0x04, 0x81, 2}) put8(p, v);
        put8(p, 0x03);  // sample/instrument 2 of 1 (or 0)
        for (int i = 0; i < 3; i++) put8(p, 0x04);
        r.pattern_blocks = p;
        EXPECT_NE(refusal(r.image()), "") << flags;
    }
}

TEST(QvmRefuse, EmptyPatternsAndRunsPastThePlane)
{
    RawModule r = minimal();
    r.pattern_blocks = empty_pattern(0, 1);
    EXPECT_NE(refusal(r.image()), "");
    r = minimal();
    Bytes p;
    put16(p, 4);
    put8(p, 0x05);  // five cells of four
    for (int i = 0; i < 4; i++) put8(p, 0x04);
    r.pattern_blocks = p;
    EXPECT_NE(refusal(r.image()), "");
}

TEST(QvmRefuse, SamplesThatCannotBeRead)
{
    RawModule r = minimal();
    r.sample_blocks = sample_block(4, 12);
    EXPECT_NE(refusal(r.image()), "");
    r.sample_blocks = sample_block(0x80000000u, 16, 0, 0, 0, 0);
    EXPECT_NE(refusal(r.image()), "");
    r.sample_blocks = sample_block(0x7FFFFFFFu, 16, 0, 0, 0, 0);  // size overflows 32 bits
    EXPECT_NE(refusal(r.image()), "");
    r.sample_blocks = sample_block(0x10000000u, 8, 0, 0, 0, 16);  // data far shorter than len
    EXPECT_NE(refusal(r.image()), "");
    r.sample_blocks = sample_block(1000, 16, 0, 0, 0, 1999);  // one byte short
    r.pattern_blocks.clear();
    EXPECT_NE(refusal(r.image()), "");
}

TEST(QvmRefuse, EveryTruncationFailsCleanly)
{
    RawModule r = minimal();
    r.flags = QVMOD_FLAG_NOTES;
    r.instruments = 1;
    r.instrument_blocks = instrument_block();
    r.samples = 2;
    r.sample_blocks = empty_sample();
    append(r.sample_blocks, sample_block(5, 16));
    Bytes p;
    put16(p, 4);
    put8(p, 0x84);
    for (int v : {1, 2, 3, 0xFF}) put8(p, v);
    for (int v : {0x82, 1, 1, 0x02}) put8(p, v);
    for (int i = 0; i < 3; i++) put8(p, 0x04);
    r.pattern_blocks = p;
    const Bytes full = r.image();
    {
        const ModuleHolder whole = loaded(full);
        ASSERT_NE(whole.get(), nullptr) << qvmod_error;
    }
    for (size_t n = 0; n < full.size(); n++) {
        const Bytes part(full.begin(), full.begin() + static_cast<long>(n));
        EXPECT_NE(refusal(part), "") << "cut at " << n;
    }
}

TEST(QvmRefuse, FileOfZeroControlBytesEnds)
{
    RawModule r = minimal();
    r.pattern_blocks.clear();
    put16(r.pattern_blocks, 4);
    r.pattern_blocks.resize(r.pattern_blocks.size() + 10000, 0x00);
    EXPECT_NE(refusal(r.image()), "");
}

// ---------------------------------------------------------------- writing

QVMOD *writer_module(int flags)
{
    ModuleShape s{2, 3, 2, 3, 3};  // channels, rows, patterns, orders, samples
    s.flags = flags;
    s.instruments = (flags & QVMOD_FLAG_NOTES) ? 1 : 0;
    s.sample_frames = 6;
    QVMOD *m = build_module(s);
    std::strcpy(m->name, "Writer Test");
    m->restart_order = 1;
    // sample 0 empty, sample 1 8-bit, sample 2 16-bit
    std::free(m->samples[0].data);
    m->samples[0] = SAMPLE{};
    m->samples[0].data = qvmod_calloc(0);
    m->sample_info[0] = SAMPLE_INFO{};
    m->samples[2].bits = 16;
    std::free(m->samples[2].data);
    m->samples[2].data = qvmod_calloc(12);
    for (int i = 0; i < 12; i++)
        static_cast<unsigned char *>(m->samples[2].data)[i] = static_cast<unsigned char>(i + 1);
    m->sample_info[2].transpose = -5;
    m->sample_info[2].loop_type = QVMOD_LOOP_FORWARD;
    if (s.instruments) {
        INSTRUMENT_INFO &in = m->instrument_info[0];
        for (int n = 0; n < 96; n++) in.sample_number[n] = n % 3;
        in.volume_env_points = 3;
        in.volume_env_flags = QVMOD_ENV_ON | QVMOD_ENV_SUSTAIN;
        in.volume_env_sustain_start = in.volume_env_sustain_end = 1;
        in.volume_env_loop_start = 0;
        in.volume_env_loop_end = 2;
        for (int k = 0; k < 3; k++) {
            in.volume_env_pos[k] = 4 * k;
            in.volume_env_value[k] = 60 - 10 * k;
        }
        in.pan_env_points = 1;
        in.pan_env_value[0] = 40;
        in.volume_fadeout = 300;
    }
    cell(m, 0, 0, 0) =
        NOTE_INFO{1, (flags & QVMOD_FLAG_NOTES) ? 49 : 8363, 0x40, CMD_SET_VOLUME, 32};
    cell(m, 0, 2, 1) = NOTE_INFO{0, (flags & QVMOD_FLAG_NOTES) ? -2 : -1, 0, CMD_EXTENDED, 0x14F};
    cell(m, 1, 1, 0) = NOTE_INFO{(flags & QVMOD_FLAG_NOTES) ? 1 : 3,
                                 (flags & QVMOD_FLAG_NOTES) ? 96 : 4181, 0, 0, 0};
    return m;
}

void expect_same_module(const QVMOD *a, const QVMOD *b)
{
    EXPECT_STREQ(a->name, b->name);
    EXPECT_EQ(a->order_count, b->order_count);
    EXPECT_EQ(a->pattern_count, b->pattern_count);
    EXPECT_EQ(a->channel_count, b->channel_count);
    EXPECT_EQ(a->instrument_count, b->instrument_count);
    EXPECT_EQ(a->sample_count, b->sample_count);
    EXPECT_EQ(a->flags, b->flags);
    EXPECT_EQ(a->initial_speed, b->initial_speed);
    EXPECT_EQ(a->initial_bpm, b->initial_bpm);
    EXPECT_EQ(a->restart_order, b->restart_order);
    EXPECT_EQ(0, std::memcmp(a->order_table, b->order_table, sizeof a->order_table));
    for (int i = 0; i < a->channel_count; i++) EXPECT_EQ(a->channel_pan[i], b->channel_pan[i]);
    for (int i = 0; i < a->instrument_count; i++)
        EXPECT_EQ(
            0, std::memcmp(&a->instrument_info[i], &b->instrument_info[i], sizeof(INSTRUMENT_INFO)))
            << i;
    for (int i = 0; i < a->sample_count; i++) {
        const SAMPLE &x = a->samples[i], &y = b->samples[i];
        EXPECT_EQ(x.len, y.len) << i;
        if (!x.len) continue;
        EXPECT_EQ(x.bits, y.bits);
        EXPECT_EQ(x.loop_start, y.loop_start);
        EXPECT_EQ(x.loop_end, y.loop_end);
        EXPECT_EQ(0, std::memcmp(x.data, y.data, x.len * x.bits / 8));
        EXPECT_EQ(0, std::memcmp(&a->sample_info[i], &b->sample_info[i], sizeof(SAMPLE_INFO))) << i;
    }
    for (int p = 0; p < a->pattern_count; p++) {
        ASSERT_EQ(a->pattern_info[p].row_count, b->pattern_info[p].row_count);
        const int cells = a->pattern_info[p].row_count * a->channel_count;
        for (int c = 0; c < cells; c++)
            EXPECT_EQ(0, std::memcmp(&a->pattern_info[p].notes[c], &b->pattern_info[p].notes[c],
                                     sizeof(NOTE_INFO)))
                << "pattern " << p << " cell " << c;
    }
}

TEST(QvmWrite, ByteLayout)
{
    ModuleHolder m(writer_module(QVMOD_FLAG_NOTES | QVMOD_FLAG_LINEAR));
    const Bytes img = qvm_write(m.get());
    ASSERT_FALSE(img.empty()) << qvm_check(m.get());
    EXPECT_EQ(0, std::memcmp(img.data(), QVM_SIGNATURE, 18));
    EXPECT_EQ(0, std::memcmp(img.data() + 18, "Writer Test", 11));
    auto w = [&](size_t at) { return img[at] | (img[at + 1] << 8); };
    EXPECT_EQ(w(48), 3);  // orders
    EXPECT_EQ(w(50), 2);  // patterns
    EXPECT_EQ(w(52), 2);  // channels
    EXPECT_EQ(w(54), 1);  // instruments
    EXPECT_EQ(w(56), 3);  // samples
    EXPECT_EQ(w(58), 6);
    EXPECT_EQ(w(60), 125);
    EXPECT_EQ(w(62), 64);
    EXPECT_EQ(w(64), 1);
    EXPECT_EQ(w(66), 5);
    EXPECT_EQ(img[68], 64);  // channel pans
    EXPECT_EQ(img[69], 192);
    EXPECT_EQ(img[70], 0);  // orders 0 1 0
    EXPECT_EQ(img[71], 1);
    const size_t ins = 73;
    EXPECT_EQ(img[ins + 2], 2);
    EXPECT_EQ(w(ins + 96 + 4), 4);  // volume point 1: position then value
    EXPECT_EQ(w(ins + 96 + 6), 50);
    EXPECT_EQ(img[ins + 144], 3);
    EXPECT_EQ(img[ins + 145], 3);
    EXPECT_EQ(img[ins + 146], 1);  // the one sustain byte
    EXPECT_EQ(img[ins + 147], 0);
    EXPECT_EQ(img[ins + 148], 2);
    EXPECT_EQ(w(ins + 149 + 2), 40);  // pan point 0 value
    EXPECT_EQ(img[ins + 197], 1);
    EXPECT_EQ(w(ins + 202), 300);
    const size_t smp = ins + 204;
    EXPECT_EQ(w(smp), 0);  // empty sample: 4 bytes
    EXPECT_EQ(w(smp + 2), 0);
    const size_t s1 = smp + 4;
    EXPECT_EQ(w(s1), 6);
    EXPECT_EQ(img[s1 + 21], 8);
    const size_t s2 = s1 + 23 + 6;
    EXPECT_EQ(w(s2), 6);
    EXPECT_EQ(img[s2 + 18], 0xFB);  // transpose -5
    EXPECT_EQ(img[s2 + 21], 16);
    EXPECT_EQ(img[s2 + 22], 1);
    EXPECT_EQ(img[s2 + 23], 1);  // data starts
    const size_t pat = s2 + 23 + 12;
    EXPECT_EQ(w(pat), 3);
    EXPECT_EQ(img[pat + 2], 0x81);  // note plane: one note byte, then skips
    EXPECT_EQ(img[pat + 3], 49);
}

TEST(QvmWrite, RoundTripsBothModuleKinds)
{
    for (int flags : {0, QVMOD_FLAG_NOTES | QVMOD_FLAG_AMIGA}) {
        ModuleHolder m(writer_module(flags));
        const Bytes img = qvm_write(m.get());
        ASSERT_FALSE(img.empty()) << qvm_check(m.get());
        const ModuleHolder back = loaded(img);
        ASSERT_NE(back.get(), nullptr) << qvmod_error;
        expect_same_module(m.get(), back.get());
    }
}

TEST(QvmWrite, PitchValuesBecomePeriods)
{
    EXPECT_EQ(qvm_pitch_to_period(8363), 428);
    EXPECT_EQ(qvm_pitch_to_period(4181), 856);
    EXPECT_EQ(qvm_pitch_to_period(0), 0);
    EXPECT_EQ(qvm_pitch_to_period(-1), -1);
    for (int p = 1; p < 0x7FFF; p += 37) EXPECT_EQ(qvm_pitch_to_period(3579546 / p) > 0, true);
}

TEST(QvmWrite, RefusesWhatTheLoaderWouldRefuse)
{
    ModuleHolder m(writer_module(0));
    m->channel_count = 65;
    EXPECT_TRUE(qvm_write(m.get()).empty());
    m->channel_count = 2;
    m->order_table[1] = 7;
    EXPECT_TRUE(qvm_write(m.get()).empty());
    m->order_table[1] = 1;
    cell(m.get(), 0, 1, 1).sample = 4;
    EXPECT_TRUE(qvm_write(m.get()).empty());
    cell(m.get(), 0, 1, 1).sample = 0;
    m->samples[1].stereo = 1;
    EXPECT_FALSE(qvm_check(m.get()).empty());
    m->samples[1].stereo = 0;
    EXPECT_TRUE(qvm_check(m.get()).empty());
    EXPECT_TRUE(qvm_write(nullptr).empty());
}

TEST(QvmWrite, WritesAFileThatLoadModReads)
{
    ModuleHolder m(writer_module(0));
    TempFile file({});
    ASSERT_TRUE(qvm_write_file(m.get(), file.path()));
    EXPECT_EQ(detect_qvm(file.path()), 1);
    QVMOD *back = load_mod(file.path());
    ASSERT_NE(back, nullptr) << qvmod_error;
    expect_same_module(m.get(), back);
    destroy_mod(back);
    EXPECT_FALSE(qvm_write_file(m.get(), "/nonexistent/dir/x.qvm"));
}

// ---------------------------------------------------------------- detection and information

TEST(QvmDetect, SignatureAndInformation)
{
    TempFile good(minimal().image());
    EXPECT_EQ(detect_qvm(good.path()), 1);
    Bytes bad = minimal().image();
    bad[17] = 'X';
    TempFile wrong(bad);
    EXPECT_EQ(detect_qvm(wrong.path()), -1);
    TempFile short_file(Bytes(QVM_SIGNATURE, QVM_SIGNATURE + 17));
    EXPECT_EQ(detect_qvm(short_file.path()), -1);
    EXPECT_EQ(detect_qvm("/nonexistent/qvmod.qvm"), -1);

    QVMOD_INFO info;
    std::memset(&info, 0, sizeof info);
    ASSERT_EQ(get_mod_info(good.path(), &info), 1);
    EXPECT_EQ(info.type, 6);
    EXPECT_STREQ(info.type_name, "QVM");
    EXPECT_EQ(0, std::memcmp(info.name, "Raw Module", 10));
    EXPECT_EQ(info.name[28], 'Z');  // the 29th title byte is part of the information

    std::strcpy(qvmod_error, "unchanged");
    EXPECT_EQ(get_mod_info(good.path(), nullptr), -1);
    EXPECT_STREQ(qvmod_error, "unchanged");
    EXPECT_EQ(get_mod_info(wrong.path(), &info), -1);
    EXPECT_STREQ(qvmod_error, "Unsupported MOD type or unable to open file");
    EXPECT_EQ(load_mod(wrong.path()), nullptr);
    EXPECT_STREQ(qvmod_error, "Unsupported MOD type or unable to open file");
}

// ---------------------------------------------------------------- datafile object

TEST(QvmDatafile, LoadsAndUnloadsThroughTheRegisteredType)
{
    register_datafile_qvmod();
    register_datafile_qvmod();
    const Bytes image = minimal().image();
    TempFile file({});
    ASSERT_TRUE(write_module_datafile(file.path(), image));

    DATAFILE *dat = load_datafile(file.path());
    ASSERT_NE(dat, nullptr);
    EXPECT_EQ(dat[0].type, QVMOD_DAT_ID);
    EXPECT_EQ(QVMOD_DAT_ID, DAT_ID('Q', 'V', 'M', ' '));
    const QVMOD *m = static_cast<const QVMOD *>(dat[0].dat);
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->name, "Raw Module");
    EXPECT_EQ(m->pattern_info[0].row_count, 4);
    unload_datafile(dat);  // the module goes with it (the leak checker watches)
}

}  // namespace
