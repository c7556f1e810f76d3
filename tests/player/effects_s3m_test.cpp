// SPDX-License-Identifier: MIT
// S3M effects, the volume column and the note commands, driven tick by tick.
#include <initializer_list>
#include <vector>

#include "effects_support.h"

namespace {

using namespace effects;
using S3mEffects = PlayerTest;
using VolumeColumn = PlayerTest;
using V = std::vector<int>;

TEST_F(S3mEffects, VolumeSlideFineAndCoarseForms)
{
    ModuleHolder m(period_module(4, 8, 3));
    m->sample_info[0].volume = 40;
    const int params[4] = {0x0F, 0xF0, 0xFF, 0x23};
    for (int ch = 0; ch < 4; ch++)
        put(m.get(), 0, ch, 1, kPitch428, 0, CMD_S3M_VOLSLIDE, params[ch]);
    put(m.get(), 1, 2, 0, 0, 0, CMD_S3M_VOLSLIDE, 0x00);  // repeats the fine slide of DFF
    put(m.get(), 1, 3, 0, 0, 0, CMD_S3M_VOLSLIDE, 0xF2);
    put(m.get(), 2, 3, 0, 0, 0, CMD_S3M_VOLSLIDE, 0x00);
    play_mod(m.get(), kTrue);
    std::vector<V> vols(4);
    for (int t = 0; t < 9; t++) {
        ticks(1);
        for (int ch = 0; ch < 4; ch++) vols[ch].push_back(ci[ch].temp_volume);
    }
    EXPECT_EQ(V(vols[0].begin(), vols[0].begin() + 3), (V{40, 25, 10}));
    EXPECT_EQ(V(vols[1].begin(), vols[1].begin() + 3), (V{40, 55, 64}));
    EXPECT_EQ(vols[2], (V{25, 25, 25, 10, 10, 10, 10, 10, 10}));
    EXPECT_EQ(vols[3], (V{40, 40, 40, 38, 38, 38, 36, 36, 36}));
    EXPECT_EQ(vol(3), 143);
}

TEST_F(S3mEffects, TremorRhythmRunsOnAcrossRows)
{
    ModuleHolder m(period_module(2, 8, 6));
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_TREMOR, 0x11);
    put(m.get(), 1, 0, 0, 0, 0, CMD_TREMOR, 0x11);
    put(m.get(), 0, 1, 1, kPitch428, 0, CMD_TREMOR, 0x21);
    play_mod(m.get(), kTrue);
    const auto [on_off, i21, voice0] = record_all(
        12, [] { return ci[0].temp_volume; }, [] { return ci[1].temp_volume; },
        [] { return vol(0); });
    EXPECT_EQ(on_off, (V{64, 64, 64, 0, 0, 64, 64, 64, 0, 0, 64, 64}));
    EXPECT_EQ(voice0, (V{255, 255, 255, 0, 0, 255, 255, 255, 0, 0, 255, 255}));
    EXPECT_EQ(V(i21.begin(), i21.begin() + 6), (V{64, 64, 64, 64, 0, 0}));
    EXPECT_EQ(ci[0].volume, 64);
}

TEST_F(S3mEffects, RetriggerEveryThirdTickKeepsTheVolume)
{
    ModuleHolder m(period_module(2, 8, 7));
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_RETRIG_VOLSLIDE, 0x83);
    put(m.get(), 1, 0, 0, 0, 0, CMD_RETRIG_VOLSLIDE, 0x00);  // repeats the last values
    play_mod(m.get(), kTrue);
    ticks(1);
    for (int t = 1; t < 14; t++) {
        voice_set_position(voice(0), 150000);
        ticks(1);
        const bool restart = mi.tick != 0 && mi.tick % 3 == 0;
        if (restart)
            EXPECT_LT(voice_get_position(voice(0)), 100000) << "tick " << t;
        else
            EXPECT_GE(voice_get_position(voice(0)), 150000) << "tick " << t;
        EXPECT_EQ(ci[0].volume, 64);
    }
}

TEST_F(S3mEffects, RetriggerVolumeModes)
{
    const int expected[16] = {30, 29, 28, 26, 22, 14, 20, 15, 30, 31, 32, 34, 38, 46, 45, 60};
    for (int mode = 0; mode < 16; mode++) {
        ModuleHolder m(period_module(2, 8, 3));
        m->sample_info[0].volume = 30;
        put(m.get(), 0, 0, 1, kPitch428, 0, CMD_RETRIG_VOLSLIDE, (mode << 4) | 1);
        play_mod(m.get(), kTrue);
        ticks(2);
        EXPECT_EQ(ci[0].volume, expected[mode]) << "mode " << mode;
        EXPECT_EQ(ci[0].temp_volume, expected[mode]) << "mode " << mode;
    }
}

TEST_F(S3mEffects, TempoCommandsSetAddAndSubtract)
{
    ModuleHolder m(period_module(2, 8, 1));
    put(m.get(), 0, 0, 0, 0, 0, CMD_S3M_BPM, 0x05);
    put(m.get(), 1, 0, 0, 0, 0, CMD_S3M_BPM, 0x15);
    put(m.get(), 2, 0, 0, 0, 0, CMD_S3M_BPM, 0x15);
    put(m.get(), 3, 0, 0, 0, 0, CMD_S3M_BPM, 0x40);
    put(m.get(), 4, 0, 0, 0, 0, CMD_S3M_BPM, 0x00);
    play_mod(m.get(), kTrue);
    EXPECT_EQ(record(5, [] { return mi.bpm; }), (V{130, 125, 120, 64, 64}));
    EXPECT_EQ(get_mod_timer_period(), 71590860 / (24 * 64));
}

TEST_F(S3mEffects, TempoSlowedDownRepeatedlyStopsAtAPlayableFloor)
{
    ModuleHolder m(period_module(2, 64, 1));
    m->initial_bpm = 40;
    for (int row = 0; row < 64; row++) put(m.get(), row, 0, 0, 0, 0, CMD_S3M_BPM, 0x1F);
    play_mod(m.get(), kTrue);
    for (int t = 0; t < 64; t++) {
        ticks(1);
        ASSERT_GE(mi.bpm, 32) << t;
        ASSERT_GT(get_mod_timer_period(), 0) << t;
    }
    EXPECT_EQ(mi.bpm, 32);
}

TEST_F(S3mEffects, SpeedAndGlobalVolume)
{
    ModuleHolder m(period_module(3, 8, 6));
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_SET_GLOBAL_VOLUME, 0x20);
    put(m.get(), 0, 1, 0, 0, 0, CMD_S3M_SPEED, 0x00);
    put(m.get(), 1, 0, 0, 0, 0, CMD_SET_GLOBAL_VOLUME, 0x50);
    put(m.get(), 1, 1, 0, 0, 0, CMD_S3M_SPEED, 0x02);
    play_mod(m.get(), kTrue);
    ticks(1);
    EXPECT_EQ(mi.speed, 6);
    EXPECT_EQ(mi.global_volume, 32);
    EXPECT_EQ(vol(0), 127);
    ticks(6);
    EXPECT_EQ(mi.speed, 2);
    EXPECT_EQ(mi.global_volume, 64);
    ticks(2);
    EXPECT_EQ(mi.row, 2);
}

TEST_F(S3mEffects, PanningCommand)
{
    ModuleHolder m(period_module(4, 8, 2));
    const int params[4] = {0x00, 0x40, 0x80, 0x81};
    for (int ch = 0; ch < 4; ch++)
        put(m.get(), 0, ch, 1, kPitch428, 0, CMD_S3M_SET_PAN, params[ch]);
    play_mod(m.get(), kTrue);
    ticks(1);
    EXPECT_EQ(ci[0].pan, 0);
    EXPECT_EQ(ci[1].pan, 127);
    EXPECT_EQ(ci[2].pan, 255);
    EXPECT_EQ(pan(2), 255);
    EXPECT_EQ(ci[3].pan, 192);  // the channel's own pan is left
}

TEST_F(S3mEffects, VibratoAndTonePortamentoWithVolumeSlide)
{
    ModuleHolder m(period_module(2, 8, 6));
    m->sample_info[0].volume = 40;
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_VIBRATO, 0x48);
    put(m.get(), 1, 0, 0, 0, 0, CMD_S3M_VIBRATO_VOLSLIDE, 0x0F);
    put(m.get(), 0, 1, 1, kPitch428, 0, 0, 0);
    put(m.get(), 1, 1, 0, 4181, 0, CMD_TONE_PORTA, 0x01);
    put(m.get(), 2, 1, 0, 0, 0, CMD_S3M_TONE_PORTA_VOLSLIDE, 0xF4);
    play_mod(m.get(), kTrue);
    ticks(6);
    EXPECT_EQ(temp_periods(0, 6), (V{1770, 1770, 1757, 1736, 1712, 1688}));
    EXPECT_EQ(ci[0].volume, 0);
    EXPECT_EQ(ci[1].period, 1712 + 20);
    EXPECT_EQ(temp_periods(1, 3), (V{1732, 1736, 1740}));
    EXPECT_EQ(ci[1].volume, 36);
}

TEST_F(S3mEffects, NoteCutKeepsTheVoiceRunningSilently)
{
    ModuleHolder m(period_module(2, 8, 2));
    put(m.get(), 0, 0, 1, kPitch428, 0, 0, 0);
    put(m.get(), 1, 0, 0, QVMOD_NOTE_CUT, 0, 0, 0);
    play_mod(m.get(), kTrue);
    ticks(3);
    EXPECT_EQ(ci[0].volume, 0);
    EXPECT_EQ(vol(0), 0);
    EXPECT_TRUE(sounding(0));
    EXPECT_EQ(ci[0].key_off, 0);
}

// ---------------------------------------------------------------- volume column

// Four channels start sample 1 (volume 40) at period 428 with these volume column bytes.
QVMOD *volume_column_module(int speed, std::initializer_list<int> column)
{
    QVMOD *m = period_module(4, 8, speed);
    m->sample_info[0].volume = 40;
    int ch = 0;
    for (int value : column) put(m, 0, ch++, 1, kPitch428, value, 0, 0);
    return m;
}

TEST_F(VolumeColumn, SetVolumeRangeAndTheGapAbove)
{
    ModuleHolder m(volume_column_module(2, {0x10, 0x30, 0x50, 0x55}));
    put(m.get(), 1, 0, 0, 0, 0x51, 0, 0);
    put(m.get(), 1, 1, 0, 0, 0x5F, 0, 0);
    play_mod(m.get(), kTrue);
    ticks(1);
    EXPECT_EQ(ci[0].volume, 0);
    EXPECT_EQ(ci[1].volume, 32);
    EXPECT_EQ(ci[2].volume, 64);
    EXPECT_EQ(ci[3].volume, 40);  // 0x55 does nothing
    EXPECT_EQ(vol(1), 127);
    ticks(2);
    EXPECT_EQ(ci[0].volume, 0);
    EXPECT_EQ(ci[1].volume, 32);
}

TEST_F(VolumeColumn, SlidesAndOnceChanges)
{
    ModuleHolder m(volume_column_module(3, {0x63, 0x72, 0x84, 0x95}));
    play_mod(m.get(), kTrue);
    const auto vols = record_all(
        3, [] { return ci[0].temp_volume; }, [] { return ci[1].temp_volume; },
        [] { return ci[2].temp_volume; }, [] { return ci[3].temp_volume; });
    EXPECT_EQ(vols[0], (V{40, 37, 34}));
    EXPECT_EQ(vols[1], (V{40, 42, 44}));
    EXPECT_EQ(vols[2], (V{36, 36, 36}));
    EXPECT_EQ(vols[3], (V{45, 45, 45}));
}

TEST_F(VolumeColumn, ChangesAreClampedBeforeTheCommand)
{
    ModuleHolder m(period_module(2, 8, 3));
    m->sample_info[0].volume = 60;
    m->sample_info[1].volume = 5;
    put(m.get(), 0, 0, 1, kPitch428, 0x9F, CMD_EXTENDED, 0xB4);  // 64 - 4, not 75 - 4
    put(m.get(), 0, 1, 2, kPitch428, 0x8F, CMD_EXTENDED, 0xA5);  // 0 + 5, not -10 + 5
    play_mod(m.get(), kTrue);
    ticks(1);
    EXPECT_EQ(ci[0].volume, 60);
    EXPECT_EQ(ci[1].volume, 5);
}

TEST_F(VolumeColumn, TheCommandColumnWinsOnTheSameField)
{
    ModuleHolder m(period_module(2, 8, 3));
    put(m.get(), 0, 0, 1, kPitch428, 0x30, CMD_SET_VOLUME, 0x10);
    put(m.get(), 0, 1, 1, kPitch428, 0x63, CMD_PRO_VOLSLIDE, 0x20);
    play_mod(m.get(), kTrue);
    ticks(1);
    EXPECT_EQ(ci[0].volume, 16);
    EXPECT_EQ(temp_volumes(1, 2), (V{64, 64}));  // +2 won over -3
    EXPECT_EQ(ci[1].volume_slide, 2);
}

TEST_F(VolumeColumn, VibratoSpeedAndDepth)
{
    ModuleHolder m(period_module(2, 8, 6));
    put(m.get(), 0, 0, 1, kPitch428, 0xA4, 0, 0);
    put(m.get(), 1, 0, 0, 0, 0xB8, 0, 0);
    play_mod(m.get(), kTrue);
    EXPECT_EQ(temp_periods(0, 6), (V{1712, 1712, 1712, 1712, 1712, 1712}));  // speed only
    EXPECT_EQ(ci[0].vibrato_speed, 16);
    EXPECT_EQ(ci[0].vibrato_on, 0);
    EXPECT_EQ(temp_periods(0, 6), (V{1712, 1712, 1736, 1757, 1770, 1775}));
}

TEST_F(VolumeColumn, TonePortamentoTargetsTheTransposedNote)
{
    ModuleHolder m(note_module(2, 8, 3));
    m->sample_info[0].transpose = 12;
    put(m.get(), 0, 0, 1, 49, 0, 0, 0);     // 48 + 12: period 7744 - 64 x 60 - 64 = 3840
    put(m.get(), 1, 0, 0, 37, 0xF1, 0, 0);  // target 36 + 12: 4608, at 64 per tick
    put(m.get(), 2, 0, 0, 0, 0xF0, 0, 0);
    play_mod(m.get(), kTrue);
    ticks(3);
    EXPECT_EQ(temp_periods(0, 3), (V{3840, 3904, 3968}));
    EXPECT_EQ(ci[0].porta_target, 4608);
    EXPECT_EQ(temp_periods(0, 3), (V{3968, 4032, 4096}));
    EXPECT_EQ(ci[0].note, 48);  // a target, not a trigger
}

using S3mScripts = ScriptTest;

// clang-format off
const Script kS3mScripts[] = {
    {"VolumeSlideWithTwoOrdinaryNibblesIsNotSwitchedOn", false, 3, nullptr,
     {{0, 0, 1, kPitch428, 0, CMD_S3M_VOLSLIDE, 0x0F}, {1, 0, 0, 0, 0, CMD_S3M_VOLSLIDE, 0x23}},
     Field::Volume, 4, {{34, 34}}, [](QVMOD *) { EXPECT_EQ(ci[0].s3m_volslide_on, 0); }},
    {"PortamentoSharesItsMemoryAcrossDirections", false, 3, nullptr,
     {{0, 0, 1, kPitch428, 0, CMD_S3M_PORTA_UP, 0x08}, {1, 0, 0, 0, 0, CMD_S3M_PORTA_DOWN, 0x00}},
     Field::Period, 0, {{1712, 1680, 1648}, {1648, 1680, 1712}}, nullptr},
    {"ArpeggioRemembersItsLastParameter", false, 3, nullptr,
     {{0, 0, 1, kPitch428, 0, CMD_S3M_ARPEGGIO, 0x47}, {1, 0, 0, 0, 0, CMD_S3M_ARPEGGIO, 0x00}},
     Field::Period, 0, {{1712, 1359, 1143}, {1712, 1359, 1143}}, nullptr},
    {"RetriggerDoublingIsClampedAtOutput", false, 6, [](QVMOD *m) { m->sample_info[0].volume = 10; },
     {{0, 0, 1, kPitch428, 0, CMD_RETRIG_VOLSLIDE, 0xF1}}, Field::Volume, 0, {{10, 20, 40, 64, 64}},
     [](QVMOD *) { EXPECT_EQ(voice_get_volume(voice_table[0]), 255); }},
    {"ExtraFineAndFinePortamentoActOnTheFirstTickOnly", false, 3, nullptr,
     {{0, 0, 1, kPitch428, 0, CMD_S3M_PORTA_DOWN, 0xE3}, {1, 0, 0, 0, 0, CMD_S3M_PORTA_UP, 0xF3},
      {2, 0, 0, 0, 0, CMD_S3M_PORTA_UP, 0x00}, {3, 0, 0, 0, 0, CMD_S3M_PORTA_DOWN, 0x00},
      {0, 1, 0, 0, 0, CMD_S3M_PORTA_DOWN, 0x10}},   // channel 1 never played: nothing
     Field::Period, 0, {{1715, 1715, 1715}, {1703, 1703, 1703}, {1691, 1691, 1691}, {1703, 1703, 1703}},
     [](QVMOD *) {
         EXPECT_EQ(ci[1].period, 0);
         EXPECT_EQ(ci[1].s3m_porta_amount, 0);
     }},
    // The volume column's pan and pan slides, with their memories.
    {"VolumeColumnPanAndPanSlidesWithMemories", false, 3, nullptr,
     {{0, 0, 1, kPitch428, 0xC8, 0, 0}, {1, 0, 0, 0, 0xD3, 0, 0}, {2, 0, 0, 0, 0xD0, 0, 0},
      {3, 0, 0, 0, 0xE2, 0, 0}, {4, 0, 0, 0, 0xE0, 0, 0}},
     Field::Pan, 0, {{136, 136, 136}, {136, 133, 130}, {130, 127, 124}, {124, 126, 128}, {128, 130, 132}},
     [](QVMOD *) { EXPECT_EQ(voice_get_pan(voice_table[0]), 132); }},
};
// clang-format on

TEST_P(S3mScripts, TicksAsScripted)
{
    run_script();
}
INSTANTIATE_TEST_SUITE_P(Effects, S3mScripts, ::testing::ValuesIn(kS3mScripts), script_name);

}  // namespace
