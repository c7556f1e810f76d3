// SPDX-License-Identifier: MIT
// ProTracker effects driven tick by tick: arpeggio, slides, tone portamento, vibrato, tremolo,
// volume slides, sample offset, speed and tempo, and the extended sub-commands.
#include <cstdlib>
#include <vector>

#include "effects_support.h"

namespace {

using namespace effects;
using ProTrackerEffects = PlayerTest;
using V = std::vector<int>;

TEST_F(ProTrackerEffects, ArpeggioSteps4And7SemitonesFromPeriod428)
{
    ModuleHolder m(period_module());
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_ARPEGGIO, 0x47);
    play_mod(m.get(), kTrue);
    // 1712 x 2^(-4/12) = 1358.8 and 1712 x 2^(-7/12) = 1142.6.
    EXPECT_EQ(temp_periods(0, 6), (V{1712, 1359, 1143, 1712, 1359, 1143}));
    EXPECT_EQ(ci[0].period, kPeriod428);
    ticks(1);  // next row, no command: back to the base note
    EXPECT_EQ(ci[0].temp_period, kPeriod428);
}

TEST_F(ProTrackerEffects, FinePortamentoRepeatsOnlyInItsOwnDirection)
{
    ModuleHolder m(period_module(2, 8, 2));
    put(m.get(), 0, 0, 1, kPitch428, 0, 0, 0);
    put(m.get(), 1, 0, 0, 0, 0, CMD_EXTENDED, 0x24);
    put(m.get(), 2, 0, 0, 0, 0, CMD_EXTENDED, 0x10);  // last slide went down: nothing
    put(m.get(), 3, 0, 0, 0, 0, CMD_EXTENDED, 0x20);  // repeats +16
    put(m.get(), 4, 0, 0, 0, 0, CMD_EXTENDED, 0x12);
    put(m.get(), 5, 0, 0, 0, 0, CMD_EXTENDED, 0x20);  // last went up: nothing
    put(m.get(), 6, 0, 0, 0, 0, CMD_EXTENDED, 0x10);  // repeats -8
    play_mod(m.get(), kTrue);
    V periods;
    for (int row = 0; row < 7; row++) {
        ticks(1);
        periods.push_back(ci[0].period);
        ticks(1);
        EXPECT_EQ(ci[0].period, periods.back()) << "once per row, row " << row;
    }
    EXPECT_EQ(periods, (V{1712, 1728, 1728, 1744, 1736, 1736, 1728}));
}

TEST_F(ProTrackerEffects, TonePortamentoSlidesWithMemoryAndStopsOnTheTarget)
{
    ModuleHolder m(period_module(2, 8, 3));
    put(m.get(), 0, 0, 1, kPitch428, 0, 0, 0);
    put(m.get(), 1, 0, 0, 4181, 0, CMD_TONE_PORTA, 0x10);  // target 14318184 / 4180 = 3425
    put(m.get(), 2, 0, 0, 0, 0, CMD_TONE_PORTA, 0x00);
    put(m.get(), 3, 0, 0, 0, 0, CMD_TONE_PORTA, 0xFF);
    play_mod(m.get(), kTrue);
    ticks(3);
    EXPECT_EQ(temp_periods(0, 3), (V{1712, 1776, 1840}));
    EXPECT_EQ(ci[0].porta_target, 3425);
    EXPECT_EQ(temp_periods(0, 3), (V{1840, 1904, 1968}));
    EXPECT_EQ(temp_periods(0, 3), (V{1968, 2988, 3425}));
    EXPECT_NEAR(freq(0), period_hz(3425), 2);
    EXPECT_EQ(playing_sample(0), &m->samples[0]);  // slid, never retriggered
}

TEST_F(ProTrackerEffects, TonePortamentoTargetEndsAtTheNextTriggeredNote)
{
    ModuleHolder m(period_module(2, 8, 3));
    put(m.get(), 0, 0, 1, kPitch428, 0, 0, 0);
    put(m.get(), 1, 0, 0, 4181, 0, CMD_TONE_PORTA, 0x10);
    put(m.get(), 2, 0, 1, kPitch428, 0, 0, 0);
    put(m.get(), 3, 0, 0, 0, 0, CMD_TONE_PORTA, 0x00);
    put(m.get(), 0, 1, 0, 4181, 0, CMD_TONE_PORTA, 0x10);  // channel 1 never played
    play_mod(m.get(), kTrue);
    ticks(9);
    EXPECT_EQ(ci[0].porta_target, 0);
    EXPECT_EQ(temp_periods(0, 3), (V{1712, 1712, 1712}));
    EXPECT_EQ(ci[0].porta_on, 0);
    EXPECT_EQ(ci[1].period, 0);
    EXPECT_EQ(ci[1].porta_target, 0);
}

TEST_F(ProTrackerEffects, TonePortamentoAtSpeedZeroJumpsDownButNeverUp)
{
    ModuleHolder m(period_module(2, 8, 3));
    put(m.get(), 0, 0, 1, kPitch428, 0, 0, 0);
    put(m.get(), 0, 1, 1, 16726, 0, 0, 0);                            // period 856
    put(m.get(), 1, 0, 0, 16726, 0, CMD_TONE_PORTA_VOLSLIDE, 0);      // target 856, below: jumps
    put(m.get(), 1, 1, 0, kPitch428, 0, CMD_TONE_PORTA_VOLSLIDE, 0);  // target 1712, above: stays
    play_mod(m.get(), kTrue);
    ticks(4);
    EXPECT_EQ(ci[0].temp_period, 1712);
    EXPECT_EQ(ci[1].temp_period, 856);
    ticks(1);
    EXPECT_EQ(ci[0].period, 856);
    EXPECT_EQ(ci[1].period, 856);
    ticks(1);
    EXPECT_EQ(ci[1].period, 856);
}

TEST_F(ProTrackerEffects, VibratoRampAndSquareWaveforms)
{
    ModuleHolder m(period_module());
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_EXTENDED, 0x41);
    put(m.get(), 0, 1, 1, kPitch428, 0, CMD_EXTENDED, 0x42);
    for (int ch = 0; ch < 2; ch++) {
        put(m.get(), 1, ch, 0, 0, 0, CMD_VIBRATO, 0x48);
        put(m.get(), 2, ch, 0, 0, 0, CMD_VIBRATO, 0x00);
    }
    play_mod(m.get(), kTrue);
    ticks(6);
    const auto [ramp, square] = both_channels(12, Field::Period);
    EXPECT_EQ(ramp, (V{1712, 1712, 1720, 1728, 1736, 1744, 1752, 1752, 1760, 1768, 1649, 1657}));
    EXPECT_EQ(square, (V{1775, 1775, 1775, 1775, 1775, 1775, 1775, 1775, 1775, 1775, 1649, 1649}));
}

TEST_F(ProTrackerEffects, VibratoRandomWaveformStaysWithinTheDepth)
{
    ModuleHolder m(period_module(2, 8, 32));
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_EXTENDED, 0x43);
    put(m.get(), 1, 0, 0, 0, 0, CMD_VIBRATO, 0x4F);
    // The C library's generator, which the game's pieces share, decides the wave.
    const unsigned seeds[] = {7, 7, 8};
    std::vector<int> runs[3];
    for (int i = 0; i < 3; i++) {
        std::srand(seeds[i]);
        play_mod(m.get(), kTrue);
        ticks(32);
        runs[i] = temp_periods(0, 32);
    }
    for (int p : runs[0]) {
        EXPECT_GE(p, 1712 - 119);  // 254 x 15 >> 5
        EXPECT_LE(p, 1712 + 119);
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_NE(runs[0], runs[2]);
}

TEST_F(ProTrackerEffects, VibratoPositionResetsOnANoteUnlessTheWaveformKeepsIt)
{
    ModuleHolder m(period_module());
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_EXTENDED, 0x44);  // sine, position kept
    put(m.get(), 0, 1, 1, kPitch428, 0, CMD_EXTENDED, 0x40);  // sine, position reset
    for (int ch = 0; ch < 2; ch++) {
        put(m.get(), 1, ch, 0, 0, 0, CMD_VIBRATO, 0x48);
        put(m.get(), 2, ch, 1, kPitch428, 0, CMD_VIBRATO, 0x00);
    }
    play_mod(m.get(), kTrue);
    ticks(13);
    EXPECT_EQ(ci[0].temp_period, 1770);  // position 80 carried over the new note
    EXPECT_EQ(ci[1].temp_period, 1712);
}

TEST_F(ProTrackerEffects, TremoloMovesOnlyTheTickVolume)
{
    ModuleHolder m(period_module());
    m->sample_info[0].volume = 32;
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_TREMOLO, 0x48);
    put(m.get(), 0, 1, 1, kPitch428, 0, CMD_S3M_TREMOLO, 0x48);
    play_mod(m.get(), kTrue);
    const auto [shift6, shift7, voice0] = record_all(
        6, [] { return ci[0].temp_volume; }, [] { return ci[1].temp_volume; },
        [] { return vol(0); });
    EXPECT_EQ(shift6, (V{32, 32, 44, 54, 61, 63}));
    EXPECT_EQ(voice0, (V{127, 127, 175, 215, 243, 251}));  // the tick volume x 4 x 255 / 256
    EXPECT_EQ(shift7, (V{32, 32, 38, 43, 46, 47}));
    EXPECT_EQ(ci[0].volume, 32);
}

TEST_F(ProTrackerEffects, TremoloWaveformSubCommand)
{
    ModuleHolder m(period_module(2, 8, 3));
    m->sample_info[0].volume = 32;
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_EXTENDED, 0x72);  // square
    put(m.get(), 0, 1, 1, kPitch428, 0, CMD_EXTENDED, 0x71);  // ramp
    for (int ch = 0; ch < 2; ch++) put(m.get(), 1, ch, 0, 0, 0, CMD_TREMOLO, 0x48);
    play_mod(m.get(), kTrue);
    ticks(3);
    const auto [square, ramp] = both_channels(3, Field::Volume);
    EXPECT_EQ(square, (V{63, 63, 63}));  // 32 + (255 x 8 >> 6)
    EXPECT_EQ(ramp, (V{32, 32, 36}));    // 32 + (32 x 8 >> 6) at position 16
}

TEST_F(ProTrackerEffects, SetPanAndSetVolume)
{
    ModuleHolder m(period_module(2, 8, 2));
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_SET_PAN, 0xC0);
    put(m.get(), 0, 1, 1, kPitch428, 0, CMD_SET_VOLUME, 0x50);
    put(m.get(), 1, 1, 0, 0, 0, CMD_SET_VOLUME, 0x20);
    play_mod(m.get(), kTrue);
    ticks(1);
    EXPECT_EQ(pan(0), 192);
    EXPECT_EQ(ci[1].volume, 64);  // 80 held to the top
    ticks(2);
    EXPECT_EQ(ci[1].volume, 32);
    EXPECT_EQ(vol(1), 127);
}

TEST_F(ProTrackerEffects, SampleOffsetWithMemoryOnlyWithANote)
{
    ModuleHolder m(period_module(2, 8, 2));
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_SAMPLE_OFFSET, 0x02);
    put(m.get(), 1, 0, 1, kPitch428, 0, CMD_SAMPLE_OFFSET, 0x00);
    put(m.get(), 2, 0, 0, 0, 0, CMD_SAMPLE_OFFSET, 0x10);
    play_mod(m.get(), kTrue);
    ticks(1);
    EXPECT_EQ(ci[0].sample_offset, 512);
    EXPECT_GE(voice_get_position(voice(0)), 512);
    EXPECT_LT(voice_get_position(voice(0)), 100000);
    ticks(1);
    voice_set_position(voice(0), 150000);
    ticks(1);  // restarted at the remembered offset, not at 0 and not left at 150000
    EXPECT_GE(voice_get_position(voice(0)), 512);
    EXPECT_LT(voice_get_position(voice(0)), 100000);
    ticks(1);
    voice_set_position(voice(0), 150000);
    ticks(1);  // no note, no sample: nothing
    EXPECT_GE(voice_get_position(voice(0)), 150000);
    EXPECT_EQ(ci[0].sample_offset, 512);
}

TEST_F(ProTrackerEffects, SpeedUpTo32TempoAbove)
{
    ModuleHolder m(period_module(3, 8, 6));
    put(m.get(), 0, 0, 0, 0, 0, CMD_PRO_SPEED_BPM, 0x20);
    put(m.get(), 0, 1, 0, 0, 0, CMD_PRO_SPEED_BPM, 0x21);
    put(m.get(), 1, 0, 0, 0, 0, CMD_PRO_SPEED_BPM, 0x00);
    play_mod(m.get(), kTrue);
    ticks(1);
    EXPECT_EQ(mi.speed, 32);
    EXPECT_EQ(mi.bpm, 33);
    EXPECT_EQ(get_mod_timer_period(), 71590860 / (24 * 33));
    ticks(32);
    EXPECT_EQ(mi.row, 1);
    EXPECT_EQ(mi.speed, 32);
    EXPECT_EQ(mi.bpm, 33);
}

TEST_F(ProTrackerEffects, NoteDelayStartsOnItsTickOrNever)
{
    ModuleHolder m(period_module(2, 8, 6));
    put(m.get(), 0, 0, 1, kPitch428, 0, 0, 0);
    put(m.get(), 0, 1, 1, kPitch428, 0, 0, 0);
    put(m.get(), 1, 0, 2, 4181, 0, CMD_EXTENDED, 0xD3);
    put(m.get(), 1, 1, 2, 4181, 0, CMD_EXTENDED, 0xD6);
    play_mod(m.get(), kTrue);
    ticks(6);
    for (int t = 0; t < 6; t++) {
        ticks(1);
        EXPECT_EQ(playing_sample(0), t < 3 ? &m->samples[0] : &m->samples[1]) << "tick " << t;
        EXPECT_EQ(playing_sample(1), &m->samples[0]) << "tick " << t;
        EXPECT_NEAR(freq(1), 8363, 1) << "tick " << t;
    }
    ticks(1);  // the next row sends the new pitch but never starts the delayed sample
    EXPECT_EQ(playing_sample(1), &m->samples[0]);
}

TEST_F(ProTrackerEffects, NoteCutAtOnceOrOnItsTick)
{
    ModuleHolder m(period_module(2, 8, 4));
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_EXTENDED, 0xC0);
    put(m.get(), 0, 1, 1, kPitch428, 0, CMD_EXTENDED, 0xC2);
    play_mod(m.get(), kTrue);
    ticks(1);
    EXPECT_EQ(vol(0), 0);
    EXPECT_EQ(vol(1), 255);
    ticks(1);
    EXPECT_EQ(vol(1), 255);
    ticks(1);
    EXPECT_EQ(vol(1), 0);
    EXPECT_EQ(ci[1].volume, 0);
    EXPECT_TRUE(sounding(1));  // cut silences, the voice runs on
}

TEST_F(ProTrackerEffects, RetriggerRestartsEveryXTicksAfterTheFirst)
{
    ModuleHolder m(period_module(2, 8, 7));
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_EXTENDED, 0x93);
    play_mod(m.get(), kTrue);
    ticks(1);
    for (int t = 1; t < 7; t++) {
        voice_set_position(voice(0), 150000);
        ticks(1);
        if (t % 3 == 0)
            EXPECT_LT(voice_get_position(voice(0)), 100000) << "tick " << t;
        else
            EXPECT_GE(voice_get_position(voice(0)), 150000) << "tick " << t;
    }
}

TEST_F(ProTrackerEffects, PanVolumeAndSwitchSubCommands)
{
    ModuleHolder m(period_module(4, 8, 2));
    put(m.get(), 0, 0, 1, kPitch428, 0, CMD_EXTENDED, 0x88);
    put(m.get(), 0, 1, 1, kPitch428, 0, CMD_EXTENDED, 0x100);  // stereo control 0
    put(m.get(), 0, 2, 1, kPitch428, 0, CMD_EXTENDED, 0x108);
    put(m.get(), 0, 3, 1, kPitch428, 0, CMD_EXTENDED, 0x10F);
    put(m.get(), 1, 0, 0, 0, 0, CMD_EXTENDED, 0xB4);
    put(m.get(), 1, 1, 0, 0, 0, CMD_EXTENDED, 0x31);
    put(m.get(), 1, 2, 0, 0, 0, CMD_EXTENDED, 0x57);
    put(m.get(), 2, 0, 0, 0, 0, CMD_EXTENDED, 0xA2);
    put(m.get(), 2, 1, 0, 0, 0, CMD_EXTENDED, 0x30);
    put(m.get(), 2, 2, 0, 0, 0, CMD_EXTENDED, 0x0F);  // sub-commands 0x0 and 0xF do nothing
    put(m.get(), 2, 3, 0, 0, 0, CMD_EXTENDED, 0xF5);
    play_mod(m.get(), kTrue);
    ticks(1);
    EXPECT_EQ(ci[0].pan, 136);
    EXPECT_EQ(pan(0), 136);
    EXPECT_EQ(ci[1].pan, 136);
    EXPECT_EQ(ci[2].pan, 0);
    EXPECT_EQ(ci[3].pan, 119);
    ticks(2);
    EXPECT_EQ(ci[0].volume, 60);
    EXPECT_EQ(ci[1].glissando, kTrue);
    EXPECT_EQ(ci[2].period, kPeriod428);  // finetune: nothing
    ticks(1);
    EXPECT_EQ(ci[0].volume, 60);  // once per row
    ticks(1);
    EXPECT_EQ(ci[0].volume, 62);
    EXPECT_EQ(ci[1].glissando, 0);
    for (int ch = 2; ch < 4; ch++) {
        EXPECT_EQ(ci[ch].period, kPeriod428) << ch;
        EXPECT_EQ(ci[ch].volume, 64) << ch;
    }
    EXPECT_EQ(ci[3].pan, 119);
}

using ProTrackerScripts = ScriptTest;

// clang-format off
const Script kProTrackerScripts[] = {
    {"ArpeggioNeedsAParameterAndAPlayedNote", false, 6, nullptr,
     {{0, 0, 1, kPitch428, 0, CMD_ARPEGGIO, 0}, {0, 1, 0, 0, 0, CMD_ARPEGGIO, 0x47}},   // channel 1 never played
     Field::Period, 0, {{1712, 1712, 1712}},
     [](QVMOD *) {
         EXPECT_EQ(ci[1].arpeggio_on, 0);
         EXPECT_EQ(ci[1].period, 0);
     }},
    // Arpeggio steps by semitones from the period the note plays; a zero nibble plays that note.
    {"ArpeggioZeroNibblePlaysTheBaseNote", false, 3, nullptr, {{0, 0, 1, kPitch428, 0, CMD_ARPEGGIO, 0x07}},
     Field::Period, 0, {{1712, 1712, 1143}}, nullptr},
    {"ArpeggioOfATunedSampleKeepsItsTuning", false, 3, [](QVMOD *m) { m->sample_info[0].c2spd = 8100; },
     {{0, 0, 1, kPitch428, 0, CMD_ARPEGGIO, 0x47}}, Field::Period, 0, {{1767, 1402, 1179}}, nullptr},
    {"ArpeggioOnTheLinearTableSteps64UnitsASemitone", true, 3, nullptr, {{0, 0, 1, 49, 0, CMD_ARPEGGIO, 0x47}},
     Field::Period, 0, {{4608, 4352, 4160}}, nullptr},
    {"ArpeggioOnTheAmigaTableTakesTheTablesNotes", true, 3,
     [](QVMOD *m) {
         m->flags = QVMOD_FLAG_NOTES | QVMOD_FLAG_AMIGA;
         m->sample_info[0].c2spd = 136;  // half a table step up
     },
     {{0, 0, 1, 49, 0, CMD_ARPEGGIO, 0x47}}, Field::Period, 0, {{1706, 1353, 1137}}, nullptr},
    {"VibratoNeedsAPlayedNote", false, 6, nullptr, {{0, 0, 0, 0, 0, CMD_VIBRATO, 0x48}}, Field::Period, 3, {},
     [](QVMOD *) {
         EXPECT_EQ(ci[0].vibrato_on, 0);
         EXPECT_EQ(ci[0].vibrato_speed, 0);
     }},
    {"PortamentoMemoryIsSharedAcrossUpAndDown", false, 3, nullptr,
     {{0, 0, 1, kPitch428, 0, CMD_PRO_PORTA_UP, 0x01}, {1, 0, 0, 0, 0, CMD_PRO_PORTA_DOWN, 0x00},
      {2, 0, 0, 0, 0, CMD_PRO_PORTA_UP, 0x00}},
     Field::Period, 0, {{1712, 1708, 1704}, {1704, 1708, 1712}, {1712, 1708, 1704}},
     [](QVMOD *) { EXPECT_EQ(ci[0].period, 1704); }},
    {"TonePortamentoWithVolumeSlideKeepsSpeedAndTarget", false, 3, [](QVMOD *m) { m->sample_info[0].volume = 40; },
     {{0, 0, 1, kPitch428, 0, 0, 0}, {1, 0, 0, 4181, 0, CMD_TONE_PORTA, 0x10},
      {2, 0, 0, 0, 0, CMD_TONE_PORTA_VOLSLIDE, 0x02}},
     Field::Period, 6, {{1840, 1904, 1968}}, [](QVMOD *) { EXPECT_EQ(ci[0].volume, 36); }},
    {"FineVibratoHasAQuarterOfTheDepth", false, 6, nullptr, {{0, 0, 1, kPitch428, 0, CMD_FINE_VIBRATO, 0x48}},
     Field::Period, 0, {{1712, 1712, 1718, 1723, 1726, 1727}}, nullptr},
    {"VolumeSlideUpWinsAndHasNoMemory", false, 4, [](QVMOD *m) { m->sample_info[0].volume = 32; },
     {{0, 0, 1, kPitch428, 0, CMD_PRO_VOLSLIDE, 0x21}, {1, 0, 0, 0, 0, CMD_PRO_VOLSLIDE, 0x03},
      {2, 0, 0, 0, 0, CMD_PRO_VOLSLIDE, 0x00}},
     Field::Volume, 0, {{32, 34, 36, 38}, {38, 35, 32, 29}, {29, 29, 29, 29}},
     [](QVMOD *) { EXPECT_EQ(voice_get_volume(voice_table[0]), 115); }},
    {"VibratoWithVolumeSlideKeepsTheVibrato", false, 6, [](QVMOD *m) { m->sample_info[0].volume = 32; },
     {{0, 0, 1, kPitch428, 0, CMD_VIBRATO, 0x48}, {1, 0, 0, 0, 0, CMD_VIBRATO_VOLSLIDE, 0x20}},
     Field::Period, 6, {{1770, 1770, 1757, 1736, 1712, 1688}}, [](QVMOD *) { EXPECT_EQ(ci[0].volume, 42); }},
    {"VibratoSineAdvancesAfterEachTickAndWraps", false, 6, nullptr,
     {{0, 0, 1, kPitch428, 0, CMD_VIBRATO, 0x48}, {1, 0, 0, 0, 0, CMD_VIBRATO, 0x00}},
     Field::Period, 0, {{1712, 1712, 1736, 1757, 1770, 1775}, {1770, 1770, 1757, 1736, 1712, 1688}},
     [](QVMOD *) {
         EXPECT_EQ(ci[0].period, kPeriod428);
         EXPECT_NEAR(wanted_voice_frequency(0), period_hz(1688), 2);
     }},
};
// clang-format on

TEST_P(ProTrackerScripts, TicksAsScripted)
{
    run_script();
}
INSTANTIATE_TEST_SUITE_P(Effects, ProTrackerScripts, ::testing::ValuesIn(kProTrackerScripts),
                         script_name);

}  // namespace
