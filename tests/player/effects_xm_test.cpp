// SPDX-License-Identifier: MIT
// XM effects, key off, fade-out and the instrument envelopes, driven tick by tick.
#include <algorithm>
#include <cstdlib>
#include <array>
#include <tuple>
#include <vector>

#include "effects_support.h"

namespace {

using namespace effects;
using XmEffects = PlayerTest;
using Envelopes = PlayerTest;
using V = std::vector<int>;

constexpr int kNote48 = 49;  // cell note of 0-based note 48: period 4608 on the linear table
constexpr int kPeriod48 = 4608;

// The volume envelope of instrument 0 from (position, value) points.
// Instrument 0's volume envelope: its points, flags, and the sustain and loop point indexes.
void volume_envelope(QVMOD *m, std::initializer_list<std::pair<int, int>> points, int flags,
                     std::pair<int, int> sustain = {0, 0}, std::pair<int, int> loop = {0, 0})
{
    INSTRUMENT_INFO &in = m->instrument_info[0];
    std::tie(in.volume_env_sustain_start, in.volume_env_sustain_end) = sustain;
    std::tie(in.volume_env_loop_start, in.volume_env_loop_end) = loop;
    int i = 0;
    for (auto [pos, value] : points) {
        in.volume_env_pos[i] = pos;
        in.volume_env_value[i] = value;
        i++;
    }
    in.volume_env_points = i;
    in.volume_env_flags = flags;
}

std::vector<int> envelope_values(int ch, int n)
{
    return record(n, [ch] { return ci[ch].volume_env.value; });
}

// The falling line (0, 64) .. (10, 0), tick by tick.
constexpr std::array<int, 14> kFalling = {64, 58, 52, 45, 39, 32, 26, 20, 13, 7, 0, 0, 0, 0};

TEST_F(XmEffects, GlobalVolumeSlideH0FReachesZeroAndStays)
{
    ModuleHolder m(note_module(2, 8, 4));
    m->initial_global_volume = 10;
    put(m.get(), 0, 0, 1, kNote48, 0, CMD_GLOBAL_VOLSLIDE, 0x0F);
    play_mod(m.get(), kTrue);
    EXPECT_EQ(record(4, [] { return mi.global_volume; }), (V{10, 0, 0, 0}));
    EXPECT_EQ(vol(0), 0);
}

TEST_F(XmEffects, GlobalVolumeSlidesOfTwoChannelsAddUp)
{
    ModuleHolder m(note_module(2, 8, 3));
    m->initial_global_volume = 10;
    put(m.get(), 0, 0, 1, kNote48, 0, CMD_GLOBAL_VOLSLIDE, 0x10);
    put(m.get(), 0, 1, 1, kNote48, 0, CMD_GLOBAL_VOLSLIDE, 0x20);
    put(m.get(), 1, 0, 0, 0, 0, CMD_GLOBAL_VOLSLIDE, 0x00);  // ch 0 repeats, ch 1 stops
    play_mod(m.get(), kTrue);
    EXPECT_EQ(record(6, [] { return mi.global_volume; }), (V{10, 13, 16, 16, 17, 18}));
    EXPECT_EQ(vol(0), 71);
}

TEST_F(XmEffects, FinePortamentoAndFineVolumeKeepOwnMemories)
{
    ModuleHolder m(note_module(2, 8, 2));
    m->sample_info[0].volume = 40;
    put(m.get(), 0, 0, 1, kNote48, 0, CMD_EXTENDED, 0x113);
    put(m.get(), 1, 0, 0, 0, 0, CMD_EXTENDED, 0x124);
    put(m.get(), 2, 0, 0, 0, 0, CMD_EXTENDED, 0x110);  // the upward memory, not the last slide
    put(m.get(), 3, 0, 0, 0, 0, CMD_EXTENDED, 0x120);
    put(m.get(), 0, 1, 1, kNote48, 0, CMD_EXTENDED, 0x132);
    put(m.get(), 1, 1, 0, 0, 0, CMD_EXTENDED, 0x143);
    put(m.get(), 2, 1, 0, 0, 0, CMD_EXTENDED, 0x130);
    put(m.get(), 3, 1, 0, 0, 0, CMD_EXTENDED, 0x140);
    play_mod(m.get(), kTrue);
    const auto [periods, volumes] = record_all(
        8, [] { return ci[0].temp_period; }, [] { return ci[1].temp_volume; });
    EXPECT_EQ(periods, (V{4596, 4596, 4612, 4612, 4600, 4600, 4616, 4616}));
    EXPECT_EQ(volumes, (V{42, 42, 39, 39, 41, 41, 38, 38}));
}

TEST_F(XmEffects, TonePortamentoWithVolumeSlideAndVibratoWithVolumeSlide)
{
    ModuleHolder m(note_module(2, 8, 3));
    m->sample_info[0].volume = 40;
    m->sample_info[0].transpose = 12;
    put(m.get(), 0, 0, 1, kNote48, 0, 0, 0);  // 60: period 3840
    put(m.get(), 1, 0, 0, 37, 0, CMD_XM_TONE_PORTA_VOLSLIDE,
        0x02);  // target 4608 at the last speed: 0
    put(m.get(), 0, 1, 1, kNote48, 0, CMD_VIBRATO, 0x48);
    put(m.get(), 1, 1, 0, 0, 0, CMD_XM_VIBRATO_VOLSLIDE, 0x30);
    play_mod(m.get(), kTrue);
    ticks(3);
    const auto [periods0, periods1] = both_channels(3, Field::Period);
    EXPECT_EQ(ci[0].porta_target, 4608);
    EXPECT_EQ(periods0, (V{3840, 3840, 3840}));  // below the target at speed 0: stays
    EXPECT_EQ(ci[0].volume, 36);
    EXPECT_EQ(periods1, (V{3840 + 45, 3840 + 45, 3840 + 58}));  // vibrato position runs on
    EXPECT_EQ(ci[1].volume, 46);
}

TEST_F(XmEffects, InstrumentVibratoBendsThePitchAfterTheFirstTick)
{
    // Depth 8 a quarter turn a tick: a sine; the same with a sweep of 2, reaching the depth in two
    // ticks; a ramp down in pitch, starting halfway.
    struct Run {
        int type, sweep;
        V bends;
    };
    const Run runs[] = {
        {0, 0, {0, 8, 0, -8, 0, 8}}, {0, 2, {0, 4, 0, -8, 0, 8}}, {2, 0, {0, 4, -8, -4, 0, 4}}};
    for (const Run &r : runs) {
        ModuleHolder m(note_module(2, 8, 6));
        SAMPLE_INFO &si = m->sample_info[0];
        si.vibrato_type = r.type;
        si.vibrato_depth = 8;
        si.vibrato_rate = 64;
        si.vibrato_sweep = r.sweep;
        put(m.get(), 0, 0, 1, kNote48, 0, 0, 0);
        play_mod(m.get(), kTrue);
        V want;
        for (int bend : r.bends) want.push_back(period2pitch(kPeriod48 + bend));
        EXPECT_EQ(record(6, [] { return wanted_voice_frequency(0); }), want)
            << "type " << r.type << ", sweep " << r.sweep;
        EXPECT_EQ(ci[0].temp_period, kPeriod48);  // the channel's own period stays
        stop_mod();
    }
}

TEST_F(XmEffects, ATremorsSilenceLastsUntilTheVolumeIsSetAgain)
{
    // On 3 ticks, off 2: the silence of ticks 4 and 5 holds through the next row's first tick,
    // through a row without a volume command, until a volume slide.
    ModuleHolder m(note_module(2, 8, 6));
    put(m.get(), 0, 0, 1, kNote48, 0, CMD_TREMOR, 0x21);
    put(m.get(), 1, 0, 0, 0, 0, CMD_TREMOR, 0x21);
    put(m.get(), 3, 0, 0, 0, 0, CMD_XM_VOLSLIDE, 0x01);
    play_mod(m.get(), kTrue);
    const V expected = {64, 64, 64, 64, 0, 0, 0,  64, 64, 64, 0,  0,
                        0,  0,  0,  0,  0, 0, 64, 63, 62, 61, 60, 59};
    EXPECT_EQ(record(24, [] { return ci[0].temp_volume; }), expected);
}

TEST_F(XmEffects, KeyOffWithoutAVolumeEnvelopeSilencesAtOnce)
{
    ModuleHolder m(note_module(2, 8, 2));
    put(m.get(), 0, 0, 1, kNote48, 0, 0, 0);
    put(m.get(), 0, 1, 1, kNote48, 0, 0, 0);
    put(m.get(), 1, 0, 0, 0, 0, CMD_KEY_OFF, 0);
    put(m.get(), 1, 1, 0, QVMOD_NOTE_KEY_OFF, 0, 0, 0);
    play_mod(m.get(), kTrue);
    ticks(3);
    for (int ch = 0; ch < 2; ch++) {
        EXPECT_EQ(ci[ch].key_off, kTrue) << ch;
        EXPECT_EQ(ci[ch].volume, 0) << ch;
        EXPECT_EQ(vol(ch), 0) << ch;
    }
}

// ---------------------------------------------------------------- envelopes

TEST_F(Envelopes, FallingLineHoldsItsLastPoint)
{
    ModuleHolder m(note_module(2, 8, 6));
    volume_envelope(m.get(), {{0, 64}, {10, 0}}, QVMOD_ENV_ON);
    put(m.get(), 0, 0, 1, kNote48, 0, 0, 0);
    play_mod(m.get(), kTrue);
    V voice;
    const V values = record(14, [&voice] {
        voice.push_back(vol(0));
        return ci[0].volume_env.value;
    });
    EXPECT_EQ(values, V(kFalling.begin(), kFalling.end()));
    EXPECT_EQ(voice,
              (V{255, 231, 207, 179, 155, 127, 103, 79, 51, 27, 0, 0, 0, 0}));  // value x 255 / 64
}

TEST_F(Envelopes, SustainHoldsUntilKeyOff)
{
    ModuleHolder m(note_module(2, 8, 4));
    volume_envelope(m.get(), {{0, 64}, {10, 0}}, QVMOD_ENV_ON | QVMOD_ENV_SUSTAIN);
    put(m.get(), 0, 0, 1, kNote48, 0, 0, 0);
    put(m.get(), 2, 0, 0, 0, 0, CMD_KEY_OFF, 0);
    play_mod(m.get(), kTrue);
    EXPECT_EQ(envelope_values(0, 8), V(8, 64));
    EXPECT_EQ(envelope_values(0, 13), V(kFalling.begin(), kFalling.begin() + 13));
    EXPECT_EQ(ci[0].volume, 64);  // with a volume envelope, key off does not silence
}

TEST_F(Envelopes, SustainSectionRepeatsUntilKeyOffThenRunsOn)
{
    ModuleHolder m(note_module(2, 8, 6));
    volume_envelope(m.get(), {{0, 64}, {4, 32}, {8, 48}}, QVMOD_ENV_ON | QVMOD_ENV_SUSTAIN, {1, 2});
    put(m.get(), 0, 0, 1, kNote48, 0, 0, 0);
    put(m.get(), 2, 0, 0, 0, 0, CMD_KEY_OFF, 0);
    play_mod(m.get(), kTrue);
    EXPECT_EQ(envelope_values(0, 12), (V{64, 56, 48, 40, 32, 36, 40, 44, 32, 36, 40, 44}));
    EXPECT_EQ(envelope_values(0, 7), (V{32, 36, 40, 44, 48, 48, 48}));
}

TEST_F(Envelopes, LoopRepeatsBeforeAndAfterKeyOff)
{
    ModuleHolder m(note_module(2, 8, 6));
    volume_envelope(m.get(), {{0, 64}, {4, 32}, {8, 0}}, QVMOD_ENV_ON | QVMOD_ENV_LOOP, {0, 0},
                    {1, 2});
    put(m.get(), 0, 0, 1, kNote48, 0, 0, 0);
    put(m.get(), 2, 0, 0, QVMOD_NOTE_KEY_OFF, 0, 0, 0);
    play_mod(m.get(), kTrue);
    V expected = {64, 56, 48, 40, 32, 24, 16, 8};
    while (expected.size() < 30) expected.push_back(32 - 8 * ((expected.size() - 8) % 4));
    EXPECT_EQ(envelope_values(0, 30), expected);
    EXPECT_EQ(ci[0].key_off, kTrue);
}

TEST_F(Envelopes, SustainComesBeforeTheLoopUntilKeyOff)
{
    ModuleHolder m(note_module(2, 8, 6));
    volume_envelope(m.get(), {{0, 64}, {4, 32}, {8, 0}},
                    QVMOD_ENV_ON | QVMOD_ENV_SUSTAIN | QVMOD_ENV_LOOP, {1, 1}, {0, 2});
    put(m.get(), 0, 0, 1, kNote48, 0, 0, 0);
    put(m.get(), 1, 0, 0, 0, 0, CMD_KEY_OFF, 0);
    play_mod(m.get(), kTrue);
    EXPECT_EQ(envelope_values(0, 6), (V{64, 56, 48, 40, 32, 32}));
    EXPECT_EQ(envelope_values(0, 13), (V{32, 24, 16, 8, 64, 56, 48, 40, 32, 24, 16, 8, 64}));
}

TEST_F(Envelopes, SustainAtTheLoopsEndLoopsWhileHeldAndRunsOnWhenReleased)
{
    ModuleHolder m(note_module(2, 8, 6));
    volume_envelope(m.get(), {{0, 64}, {4, 32}, {8, 48}, {12, 0}},
                    QVMOD_ENV_ON | QVMOD_ENV_SUSTAIN | QVMOD_ENV_LOOP, {2, 2}, {1, 2});
    put(m.get(), 0, 0, 1, kNote48, 0, 0, 0);
    put(m.get(), 2, 0, 0, 0, 0, CMD_KEY_OFF, 0);
    play_mod(m.get(), kTrue);
    EXPECT_EQ(envelope_values(0, 12), (V{64, 56, 48, 40, 32, 36, 40, 44, 32, 36, 40, 44}));
    EXPECT_EQ(envelope_values(0, 10), (V{32, 36, 40, 44, 48, 36, 24, 12, 0, 0}));
}

TEST_F(Envelopes, OnePointHoldsFromTheFirstTick)
{
    ModuleHolder m(note_module(2, 8, 3));
    volume_envelope(m.get(), {{5, 20}}, QVMOD_ENV_ON);
    put(m.get(), 0, 0, 1, kNote48, 0, 0, 0);
    play_mod(m.get(), kTrue);
    EXPECT_EQ(envelope_values(0, 8), V(8, 20));
    EXPECT_EQ(vol(0), 79);
}

TEST_F(Envelopes, FadeOutAfterKeyOff)
{
    ModuleHolder m(note_module(3, 8, 2));
    m->instrument_count = 1;
    volume_envelope(m.get(), {{0, 64}}, QVMOD_ENV_ON);
    for (int ch = 0; ch < 3; ch++) {
        put(m.get(), 0, ch, 1, kNote48, 0, 0, 0);
        put(m.get(), 1, ch, 0, 0, 0, CMD_KEY_OFF, 0);
    }
    // One instrument per fade-out: 0 never fades, 32768 is silent on the next tick, 8192 in four.
    INSTRUMENT_INFO *more =
        static_cast<INSTRUMENT_INFO *>(qvmod_calloc(3 * sizeof(INSTRUMENT_INFO)));
    for (int i = 0; i < 3; i++) more[i] = m->instrument_info[0];
    more[1].volume_fadeout = 32768;
    more[2].volume_fadeout = 8192;
    std::free(m->instrument_info);
    m->instrument_info = more;
    m->instrument_count = 3;
    for (int ch = 0; ch < 3; ch++) cell(m.get(), 0, 0, ch).sample = ch + 1;
    play_mod(m.get(), kTrue);
    ticks(2);
    const auto [v0, v1, v2] = record_all(
        6, [] { return vol(0); }, [] { return vol(1); }, [] { return vol(2); });
    EXPECT_EQ(v0, V(6, 255));
    EXPECT_EQ(v1, (V{255, 0, 0, 0, 0, 0}));
    EXPECT_EQ(v2, (V{255, 191, 127, 63, 0, 0}));
    EXPECT_EQ(ci[2].fade_volume, 0);
}

TEST_F(Envelopes, PanEnvelopeBendsThePan)
{
    ModuleHolder m(note_module(2, 8, 3));
    INSTRUMENT_INFO &in = m->instrument_info[0];
    in.pan_env_points = 2;
    in.pan_env_flags = QVMOD_ENV_ON;
    in.pan_env_pos[1] = 2;
    in.pan_env_value[0] = 0;
    in.pan_env_value[1] = 64;
    put(m.get(), 0, 0, 1, kNote48, 0, 0, 0);
    play_mod(m.get(), kTrue);
    EXPECT_EQ(record(4, [] { return pan(0); }), (V{0, 128, 255, 255}));
    EXPECT_EQ(ci[0].pan, 128);
}

TEST_F(Envelopes, SetPositionL99LandsOnTheLastPoint)
{
    ModuleHolder m(note_module(2, 8, 3));
    volume_envelope(m.get(), {{0, 64}, {10, 48}, {20, 32}, {40, 16}}, QVMOD_ENV_ON);
    put(m.get(), 0, 0, 1, kNote48, 0, 0, 0);
    put(m.get(), 1, 0, 0, 0, 0, CMD_SET_ENVELOPE_POS, 0x99);
    put(m.get(), 0, 1, 1, kNote48, 0, 0, 0);
    put(m.get(), 1, 1, 0, 0, 0, CMD_SET_ENVELOPE_POS, 5);
    play_mod(m.get(), kTrue);
    ticks(3);
    const auto [last, five] = record_all(
        4, [] { return ci[0].volume_env.value; }, [] { return ci[1].volume_env.value; });
    EXPECT_EQ(last, V(4, 16));
    EXPECT_EQ(ci[0].volume_env.tick, 40);
    EXPECT_EQ(five, (V{56, 55, 53, 52}));
}

TEST_F(Envelopes, PointIndexesFromAFileStayInsideThePoints)
{
    ModuleHolder m(note_module(2, 32, 3));
    INSTRUMENT_INFO &in = m->instrument_info[0];
    for (int i = 0; i < QVMOD_MAX_ENV_POINTS; i++) {
        in.volume_env_pos[i] = 2 * i;
        in.volume_env_value[i] = 4 * i;
        in.pan_env_pos[i] = 12 - i;  // not ascending
        in.pan_env_value[i] = 5 * i;
    }
    in.volume_env_points = 40;
    in.volume_env_flags = QVMOD_ENV_ON | QVMOD_ENV_SUSTAIN | QVMOD_ENV_LOOP;
    in.volume_env_sustain_start = 30;
    in.volume_env_sustain_end = -3;
    in.volume_env_loop_start = 50;
    in.volume_env_loop_end = 60;
    in.pan_env_points = 12;
    in.pan_env_flags = QVMOD_ENV_ON | QVMOD_ENV_LOOP;
    in.pan_env_loop_start = 11;
    in.pan_env_loop_end = 3;
    put(m.get(), 0, 0, 1, kNote48, 0, 0, 0);
    put(m.get(), 3, 0, 0, 0, 0, CMD_KEY_OFF, 0);
    put(m.get(), 5, 0, 0, 0, 0, CMD_SET_ENVELOPE_POS, 0xFF);
    play_mod(m.get(), kTrue);
    for (int t = 0; t < 60; t++) {
        ticks(1);
        const ENVELOPE_STATE &v = ci[0].volume_env;
        const ENVELOPE_STATE &p = ci[0].pan_env;
        ASSERT_GE(v.index_a, 0);
        ASSERT_LT(v.index_a, QVMOD_MAX_ENV_POINTS);
        ASSERT_GE(v.index_b, 0);
        ASSERT_LT(v.index_b, QVMOD_MAX_ENV_POINTS);
        ASSERT_GE(p.index_b, 0);
        ASSERT_LT(p.index_b, QVMOD_MAX_ENV_POINTS);
        ASSERT_GE(v.value, 0);
        ASSERT_LE(v.value, 44);
        ASSERT_GE(p.value, 0);
        ASSERT_LE(p.value, 64);
    }
    EXPECT_EQ(ci[0].volume_env.points, QVMOD_MAX_ENV_POINTS);
}

using XmScripts = ScriptTest;

// clang-format off
const Script kXmScripts[] = {
    {"PortamentoUpStopsAtPeriod40", true, 3, nullptr,
     {{0, 0, 1, 96, 0, CMD_XM_PORTA_UP, 0xFF},   // 0-based 95: period 1600
      {1, 0, 0, 0, 0, CMD_XM_PORTA_UP, 0x00}},
     Field::Period, 0, {{1600, 580, 40}, {40, 40, 40}}, [](QVMOD *) { EXPECT_EQ(ci[0].period, 40); }},
    {"PortamentoUpAndDownKeepSeparateMemories", true, 3, nullptr,
     {{0, 0, 1, kNote48, 0, CMD_XM_PORTA_UP, 0x08},
      {1, 0, 0, 0, 0, CMD_XM_PORTA_DOWN, 0x00},   // nothing remembered downwards yet
      {2, 0, 0, 0, 0, CMD_XM_PORTA_DOWN, 0x04}, {3, 0, 0, 0, 0, CMD_XM_PORTA_UP, 0x00}},
     Field::Period, 0, {{4608, 4576, 4544}, {4544, 4544, 4544}, {4544, 4560, 4576}, {4576, 4544, 4512}}, nullptr},
    {"VolumeSlideWithMemory", true, 3, [](QVMOD *m) { m->sample_info[0].volume = 40; },
     {{0, 0, 1, kNote48, 0, CMD_XM_VOLSLIDE, 0x20}, {1, 0, 0, 0, 0, CMD_XM_VOLSLIDE, 0x00},
      {2, 0, 0, 0, 0, CMD_XM_VOLSLIDE, 0x03}, {3, 0, 0, 0, 0, CMD_XM_VOLSLIDE, 0x23}},
     Field::Volume, 0, {{40, 42, 44}, {44, 46, 48}, {48, 45, 42}, {42, 44, 46}}, nullptr},
    {"PanSlideWithMemoryClampedAtTheEdge", true, 3, [](QVMOD *m) { m->sample_info[0].pan = 250; },
     {{0, 0, 1, kNote48, 0, CMD_XM_PANSLIDE, 0x20}, {1, 0, 0, 0, 0, CMD_XM_PANSLIDE, 0x00},
      {2, 0, 0, 0, 0, CMD_XM_PANSLIDE, 0x05}},
     Field::Pan, 0, {{250, 252, 254}, {254, 255, 255}, {255, 250, 245}},
     [](QVMOD *) { EXPECT_EQ(voice_get_pan(voice_table[0]), 245); }},
    {"ExtraFinePortamentoKeepsAMemoryPerDirection", true, 2, nullptr,
     {{0, 0, 1, kNote48, 0, CMD_XM_EXTRA_FINE_PORTA, 0x13}, {1, 0, 0, 0, 0, CMD_XM_EXTRA_FINE_PORTA, 0x10},
      {2, 0, 0, 0, 0, CMD_XM_EXTRA_FINE_PORTA, 0x22}, {3, 0, 0, 0, 0, CMD_XM_EXTRA_FINE_PORTA, 0x20},
      {4, 0, 0, 0, 0, CMD_XM_EXTRA_FINE_PORTA, 0x10}, {5, 0, 0, 0, 0, CMD_XM_EXTRA_FINE_PORTA, 0x35}},
     Field::Period, 0, {{4605, 4605, 4602, 4602, 4604, 4604, 4606, 4606, 4603, 4603, 4603, 4603}}, nullptr},
};
// clang-format on

TEST_P(XmScripts, TicksAsScripted)
{
    run_script();
}
INSTANTIATE_TEST_SUITE_P(Effects, XmScripts, ::testing::ValuesIn(kXmScripts), script_name);

}  // namespace
