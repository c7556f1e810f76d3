// SPDX-License-Identifier: MIT
// Player interface: installation limits, clamps, null modules, pause and resume, track requests,
// sample lookup and destroying the playing module.
#include <cstring>
#include <vector>

#include "player_fixture.h"
#include "qvm_writer.h"
#include "scratch.h"

namespace {

using qvx_test::TempFile;

using Interface = PlayerTest;

QVMOD *looping_module(int orders = 3)
{
    ModuleShape s;
    s.orders = orders;
    s.patterns = orders;
    s.speed = 2;
    QVMOD *m = build_module(s);
    for (int i = 0; i < s.samples; i++) {
        m->sample_info[i].loop_type = QVMOD_LOOP_FORWARD;
    }
    return m;
}

TEST_F(Interface, InstallLimitsAndSecondInstall)
{
    remove_mod();
    EXPECT_EQ(mod_init, 0);
    EXPECT_EQ(install_mod(0), -1);
    EXPECT_EQ(install_mod(65), -1);
    EXPECT_EQ(mod_init, 0);
    for (int i = 0; i < QVMOD_MAX_CHANNELS; i++) EXPECT_EQ(voice_table[i], -1);
    ASSERT_EQ(install_mod(3), 1);
    EXPECT_EQ(mod_init, kTrue);
    EXPECT_EQ(mi.voice_count, 3);
    int before[QVMOD_MAX_CHANNELS];
    std::memcpy(before, voice_table, sizeof before);
    for (int i = 0; i < 3; i++) EXPECT_GE(voice_table[i], 0);
    EXPECT_EQ(voice_table[3], -1);
    EXPECT_EQ(install_mod(8), 1);
    EXPECT_EQ(mi.voice_count, 3);
    EXPECT_EQ(0, std::memcmp(before, voice_table, sizeof before));
    EXPECT_EQ(mi.speed_ratio, 100);
    EXPECT_EQ(mi.pitch_ratio, 100);
}

TEST_F(Interface, VolumeSpeedAndPitchAreClamped)
{
    set_mod_volume(300);
    EXPECT_EQ(get_mod_volume(), 255);
    set_mod_volume(-4);
    EXPECT_EQ(get_mod_volume(), 0);
    set_mod_speed(0);
    EXPECT_EQ(mi.speed_ratio, 1);
    set_mod_speed(1000);
    EXPECT_EQ(mi.speed_ratio, 400);
    set_mod_pitch(1000);
    EXPECT_EQ(mi.pitch_ratio, 400);
    set_mod_pitch(-1);
    EXPECT_EQ(mi.pitch_ratio, 1);
}

TEST_F(Interface, TimerPeriodStaysPositiveAndFinite)
{
    EXPECT_EQ(mod_timer_period(125, 100), 1193181 / 50);
    EXPECT_GT(mod_timer_period(0, 1), 0);
    EXPECT_GT(mod_timer_period(-50, -3), 0);
    EXPECT_EQ(mod_timer_period(0, 100), mod_timer_period(32, 100));
    EXPECT_EQ(mod_timer_period(100000, 100), mod_timer_period(255, 100));
    EXPECT_GT(mod_timer_period(255, 400), 1000);

    // A module's own tempo is held to 32..255 BPM when it starts: 71590860 / (24 x BPM) units.
    const struct {
        int initial_bpm, bpm, period;
    } starts[] = {{0, 32, 93217}, {9999, 255, 11697}};
    ModuleHolder m(looping_module());
    for (const auto &s : starts) {
        m->initial_bpm = s.initial_bpm;
        play_mod(m.get(), kTrue);
        EXPECT_EQ(mi.bpm, s.bpm);
        EXPECT_EQ(get_mod_timer_period(), s.period) << s.initial_bpm;
    }
}

TEST_F(Interface, PlayingNullKeepsTheSong)
{
    ModuleHolder m(looping_module());
    play_mod(m.get(), kTrue);
    ticks(3);
    play_mod(nullptr, kTrue);
    EXPECT_STREQ(qvmod_error, "Can't play a QVMOD pointer with null value");
    EXPECT_EQ(of, m.get());
    EXPECT_EQ(is_mod_playing(), kTrue);
    EXPECT_EQ(mi.tick, 0);
    EXPECT_EQ(mi.row, 1);
}

TEST_F(Interface, PauseStateRules)
{
    pause_mod();
    EXPECT_EQ(is_mod_paused(), 0);  // nothing plays
    ModuleHolder m(looping_module());
    play_mod(m.get(), kTrue);
    EXPECT_EQ(is_mod_paused(), 0);  // play_mod clears the pause
    ticks(1);
    pause_mod();
    EXPECT_EQ(is_mod_paused(), kTrue);
    const int row = mi.row, tick = mi.tick;
    ticks(10);
    EXPECT_EQ(mi.row, row);  // paused ticks do nothing
    EXPECT_EQ(mi.tick, tick);
    toggle_pause_mode();
    EXPECT_EQ(is_mod_paused(), 0);
    toggle_pause_mode();
    EXPECT_EQ(is_mod_paused(), kTrue);
    stop_mod();
    EXPECT_EQ(is_mod_paused(), 0);
}

TEST_F(Interface, ResumeRestartsExactlyTheVoicesThatWereSounding)
{
    ModuleHolder m(looping_module());
    play_cells(m.get(), {{0, 0, NOTE_INFO{1, 8363, 0, 0, 0}}, {0, 1, NOTE_INFO{2, 8363, 0, 0, 0}}});
    bool before[kVoices];
    for (int ch = 0; ch < kVoices; ch++) before[ch] = sounding(ch);
    EXPECT_TRUE(before[0]);
    EXPECT_TRUE(before[1]);
    pause_mod();
    for (int ch = 0; ch < kVoices; ch++) EXPECT_FALSE(sounding(ch)) << ch;
    pause_mod();  // a second pause must not forget what was sounding
    resume_mod();
    for (int ch = 0; ch < kVoices; ch++) EXPECT_EQ(sounding(ch), before[ch]) << ch;
    EXPECT_EQ(playing_sample(0), &m->samples[0]);
    EXPECT_EQ(playing_sample(1), &m->samples[1]);
    // Resuming again changes nothing.
    resume_mod();
    for (int ch = 0; ch < kVoices; ch++) EXPECT_EQ(sounding(ch), before[ch]) << ch;
}

TEST_F(Interface, TrackRequestBeforePlayStartsThere)
{
    ModuleHolder m(looping_module(6));
    goto_mod_track(5);
    play_mod(m.get(), kTrue);
    ticks(1);
    EXPECT_EQ(mi.order_pos, 5);
    EXPECT_EQ(mi.pattern, m->order_table[5]);
    EXPECT_EQ(mi.row, 0);
    EXPECT_EQ(mi.tick, 0);
}

TEST_F(Interface, TrackRequestsDuringPlay)
{
    ModuleHolder m(looping_module(4));
    cell(m.get(), 1, 0, 0) = NOTE_INFO{1, 8363, 0, 0, 0};
    play_mod(m.get(), kTrue);
    ticks(3);
    next_mod_track();
    ticks(1);
    EXPECT_EQ(mi.order_pos, 1);
    EXPECT_EQ(mi.row, 0);
    EXPECT_EQ(mi.tick, 0);
    EXPECT_EQ(ci[0].period, 1712);  // row 0 of the new position was read on that tick

    ticks(2);
    prev_mod_track();  // back to order 0: a full restart
    ci[2].volume = 33;
    ticks(1);
    EXPECT_EQ(mi.tick, -1);
    EXPECT_EQ(mi.order_pos, 0);
    EXPECT_EQ(ci[2].volume, 0);  // channel state was reset
    EXPECT_EQ(ci[0].period, 0);
    ticks(1);
    EXPECT_EQ(mi.row, 0);
    EXPECT_EQ(mi.tick, 0);

    goto_mod_track(200);  // beyond the order list: the song ends and loops
    ticks(1);
    EXPECT_EQ(is_mod_playing(), kTrue);
    EXPECT_EQ(mi.request_order, m->restart_order + 1);
}

TEST_F(Interface, GetSampleChecksItsArguments)
{
    ModuleHolder m(looping_module());
    EXPECT_EQ(get_qvmod_sample(nullptr, 0), nullptr);
    EXPECT_STREQ(qvmod_error, "QVMOD pointer passed in is a NULL value");
    EXPECT_EQ(get_qvmod_sample(m.get(), m->sample_count), nullptr);
    EXPECT_STREQ(qvmod_error, "Incorrect value of no sample found");
    EXPECT_EQ(get_qvmod_sample(m.get(), -1), nullptr);
    EXPECT_EQ(get_qvmod_sample(m.get(), 1), &m->samples[1]);
}

TEST_F(Interface, DestroyingThePlayingModuleStopsIt)
{
    QVMOD *m = looping_module();
    cell(m, 0, 0, 0) = NOTE_INFO{1, 8363, 0, 0, 0};
    play_mod(m, kTrue);
    ticks(1);
    EXPECT_TRUE(sounding(0));
    destroy_mod(m);
    EXPECT_EQ(of, nullptr);
    EXPECT_EQ(is_mod_playing(), 0);
    EXPECT_FALSE(sounding(0));
    ticks(5);  // nothing left to read
    EXPECT_EQ(is_mod_playing(), 0);
    destroy_mod(nullptr);
}

TEST_F(Interface, StopSilencesAndIdles)
{
    ModuleHolder m(looping_module());
    play_cells(m.get(), {{0, 0, NOTE_INFO{1, 8363, 0, 0, 0}}});
    stop_mod();
    EXPECT_EQ(is_mod_playing(), 0);
    EXPECT_EQ(of, nullptr);
    EXPECT_EQ(mi.order_pos, 0);
    EXPECT_FALSE(sounding(0));
    EXPECT_EQ(vol(0), 0);
    stop_mod();  // with nothing playing it does nothing
}

TEST_F(Interface, RemoveReleasesTheVoices)
{
    ModuleHolder m(looping_module());
    play_mod(m.get(), kTrue);
    ticks(1);
    remove_mod();
    EXPECT_EQ(mod_init, 0);
    EXPECT_EQ(of, nullptr);
    for (int i = 0; i < QVMOD_MAX_CHANNELS; i++) EXPECT_EQ(voice_table[i], -1);
    EXPECT_NE(fake_sample, nullptr);  // kept for the next installation
}

TEST_F(Interface, InstallRegistersTheDatafileType)
{
    // Nothing else in this program registers the type: install_mod (in SetUp) did.
    ModuleHolder m(looping_module());
    const std::vector<unsigned char> image = qvm_write(m.get());
    ASSERT_FALSE(image.empty()) << qvm_check(m.get());
    TempFile file({});
    ASSERT_TRUE(write_module_datafile(file.path(), image));

    DATAFILE *dat = load_datafile(file.path());
    ASSERT_NE(dat, nullptr);
    QVMOD *loaded = static_cast<QVMOD *>(dat[0].dat);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->order_count, m->order_count);
    play_mod(loaded, kTrue);
    ticks(1);
    unload_datafile(dat);  // destroys the playing module, which stops first
    EXPECT_EQ(of, nullptr);
    EXPECT_EQ(is_mod_playing(), 0);
}

}  // namespace
