// SPDX-License-Identifier: MIT
// Tick engine driven by hand: row advance, pattern delay, end of song, note triggers, volume and pan;
// and on the real timer thread, which never calls the heap.
#include <allegro.h>
#include <allegro/internal/aintern.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "player_fixture.h"

namespace {

using Tick = PlayerTest;

QVMOD *period_module(int rows = 4, int orders = 1, int speed = 3)
{
    ModuleShape s;
    s.rows = rows;
    s.orders = orders;
    s.patterns = orders;
    s.speed = speed;
    QVMOD *m = build_module(s);
    m->sample_info[1].volume = 20;
    m->sample_info[1].c2spd = 16726;
    return m;
}

QVMOD *note_module(int flags = QVMOD_FLAG_NOTES | QVMOD_FLAG_LINEAR)
{
    ModuleShape s;
    s.flags = flags;
    s.instruments = 2;
    s.samples = 3;
    s.speed = 3;
    QVMOD *m = build_module(s);
    m->sample_info[0].pan = 40;
    m->sample_info[0].volume = 50;
    m->sample_info[1].volume = 30;
    m->sample_info[1].transpose = 12;
    for (int n = 0; n < 96; n++) m->instrument_info[1].sample_number[n] = 1;
    m->instrument_info[1].sample_number[10] = 200;  // out of range: plays the last sample
    return m;
}

TEST_F(Tick, RowsAdvanceEverySpeedTicks)
{
    ModuleHolder m(period_module(4, 1, 3));
    play_mod(m.get(), kTrue);
    EXPECT_EQ(mi.tick, -1);
    ticks(1);
    EXPECT_EQ(mi.row, 0);
    EXPECT_EQ(mi.tick, 0);
    ticks(2);
    EXPECT_EQ(mi.row, 0);
    EXPECT_EQ(mi.tick, 2);
    ticks(1);
    EXPECT_EQ(mi.row, 1);
    EXPECT_EQ(mi.tick, 0);
    ticks(3 * 2 + 2);
    EXPECT_EQ(mi.row, 3);
    EXPECT_EQ(mi.tick, 2);
}

TEST_F(Tick, SpeedZeroStartsARowEveryTick)
{
    ModuleHolder m(period_module(8, 1, 0));
    play_cells(m.get(), {{0, 0, NOTE_INFO{1, 8363, 0, 0, 0}}});
    EXPECT_EQ(mi.row, 1);        // row 0 is skipped
    EXPECT_EQ(ci[0].period, 0);  // so its note never plays
    ticks(1);
    EXPECT_EQ(mi.row, 2);
    EXPECT_EQ(mi.tick, 0);
}

TEST_F(Tick, PatternDelayTicksTouchNoVoice)
{
    ModuleHolder m(period_module(4, 1, 6));
    play_cells(m.get(), {{0, 0, NOTE_INFO{1, 8363, 0, CMD_EXTENDED, 0xE2}}}, 6);
    EXPECT_EQ(mi.pattern_delay, 12);
    voice_set_volume(voice(0), 7);
    voice_set_frequency(voice(0), 1234);
    for (int i = 0; i < 12; i++) {
        ticks(1);
        ASSERT_EQ(mi.row, 0) << i;
        ASSERT_EQ(vol(0), 7) << i;
        ASSERT_EQ(voice_freq(0), 1234) << i;
    }
    ticks(1);
    EXPECT_EQ(mi.row, 1);
    EXPECT_EQ(vol(0), 255);
    EXPECT_NEAR(freq(0), 8363, 1);
}

TEST_F(Tick, EndOfSongWithoutLoopStops)
{
    ModuleHolder m(period_module(2, 1, 1));
    cell(m.get(), 0, 0, 0) = NOTE_INFO{1, 8363, 0, 0, 0};
    m->sample_info[0].loop_type = QVMOD_LOOP_FORWARD;
    play_mod(m.get(), kFalse);
    ticks(2);
    EXPECT_TRUE(sounding(0));
    EXPECT_EQ(is_mod_playing(), kTrue);
    ticks(1);
    EXPECT_EQ(is_mod_playing(), 0);
    EXPECT_EQ(of, nullptr);
    EXPECT_FALSE(sounding(0));
}

TEST_F(Tick, EndOfSongWithLoopRestartsAtTheRestartOrder)
{
    ModuleHolder m(period_module(2, 3, 1));
    m->restart_order = 1;
    cell(m.get(), 1, 0, 0) = NOTE_INFO{1, 8363, 0, 0, 0};
    play_mod(m.get(), kTrue);
    ticks(6);  // orders 0, 1, 2, two rows each
    EXPECT_EQ(mi.order_pos, 2);
    EXPECT_EQ(mi.row, 1);
    ticks(1);  // falls off the end: restart requested
    EXPECT_EQ(is_mod_playing(), kTrue);
    EXPECT_EQ(mi.request_order, 2);
    ticks(1);
    EXPECT_EQ(mi.order_pos, 1);
    EXPECT_EQ(mi.row, 0);
    EXPECT_EQ(ci[0].period, 1712);
}

TEST_F(Tick, PeriodModuleNoteSetsPitchVolumeAndPan)
{
    ModuleHolder m(period_module());
    play_cells(m.get(), {{0, 0, NOTE_INFO{1, 8363, 0, 0, 0}}, {0, 1, NOTE_INFO{2, 8363, 0, 0, 0}}});
    EXPECT_EQ(ci[0].period, 1712);
    EXPECT_NEAR(freq(0), 8363, 1);
    EXPECT_EQ(vol(0), 255);  // full channel, global and master volume
    EXPECT_EQ(pan(0), 64);   // the channel's initial pan
    EXPECT_EQ(playing_sample(0), &m->samples[0]);
    EXPECT_TRUE(sounding(0));
    EXPECT_EQ(ci[1].volume, 20);
    EXPECT_EQ(ci[1].c2spd, 16726);
    EXPECT_NEAR(freq(1), 16726, 2);
    EXPECT_EQ(pan(1), 192);
    set_mod_pitch(200);
    ticks(1);
    EXPECT_NEAR(freq(0), 2 * 8363, 2);
}

TEST_F(Tick, SampleOnlyCellRestartsAtTheOldPitch)
{
    ModuleHolder m(period_module());
    play_cells(m.get(), {{0, 0, NOTE_INFO{1, 8363, 0, 0, 0}}, {1, 0, NOTE_INFO{2, 0, 0, 0, 0}}}, 3);
    ticks(1);
    EXPECT_EQ(ci[0].sample, 1);
    EXPECT_EQ(ci[0].volume, 20);
    EXPECT_EQ(ci[0].period, 1712);  // the old pitch
    EXPECT_EQ(playing_sample(0), &m->samples[1]);
    EXPECT_NEAR(freq(0), 8363, 1);
}

TEST_F(Tick, TonePortamentoCellOnlyResetsTheVolume)
{
    ModuleHolder m(period_module());
    cell(m.get(), 0, 0, 0) = NOTE_INFO{1, 8363, 0, 0, 0};
    cell(m.get(), 0, 1, 0) = NOTE_INFO{2, 4181, 0, CMD_TONE_PORTA, 0};
    cell(m.get(), 0, 2, 0) = NOTE_INFO{0, 0, 0, CMD_SET_VOLUME, 10};
    cell(m.get(), 0, 3, 0) = NOTE_INFO{2, 4181, 0xF0, 0, 0};  // volume-column portamento
    play_mod(m.get(), kTrue);
    ticks(4);
    EXPECT_EQ(ci[0].volume, 20);  // sample 2's volume
    EXPECT_EQ(ci[0].sample, 0);   // no trigger: same sample, same pitch
    EXPECT_EQ(ci[0].period, 1712);
    EXPECT_EQ(playing_sample(0), &m->samples[0]);
    ticks(3);
    EXPECT_EQ(ci[0].volume, 10);
    ticks(3);
    EXPECT_EQ(ci[0].volume, 20);
    EXPECT_EQ(ci[0].period, 1712);
}

TEST_F(Tick, NoteDelayKeepsTheOldSound)
{
    ModuleHolder m(period_module(4, 1, 6));
    play_cells(
        m.get(),
        {{0, 0, NOTE_INFO{1, 8363, 0, 0, 0}}, {1, 0, NOTE_INFO{1, 4181, 0, CMD_EXTENDED, 0xD3}}},
        6);
    ASSERT_NEAR(freq(0), 8363, 1);
    for (int t = 0; t < 3; t++) {
        ticks(1);
        EXPECT_NEAR(freq(0), 8363, 1) << "tick " << t;
    }
    ticks(1);
    EXPECT_NEAR(freq(0), 4181, 2);
}

TEST_F(Tick, NoteModuleTriggers)
{
    ModuleHolder m(note_module());
    cell(m.get(), 0, 0, 0) = NOTE_INFO{1, 49, 0, 0, 0};  // instrument 1, note 48: sample 0
    cell(m.get(), 0, 0, 1) = NOTE_INFO{2, 49, 0, 0, 0};  // instrument 2: sample 1, transpose 12
    cell(m.get(), 0, 0, 2) = NOTE_INFO{2, 11, 0, 0, 0};  // maps to 200: the last sample
    cell(m.get(), 0, 1, 0) = NOTE_INFO{0, 61, 0, 0, 0};  // note without instrument
    play_mod(m.get(), kTrue);
    EXPECT_EQ(ci[0].c2spd, 0);
    ticks(1);
    EXPECT_EQ(ci[0].period, 4608);
    EXPECT_NEAR(freq(0), 8363, 1);
    EXPECT_EQ(ci[0].volume, 50);
    EXPECT_EQ(pan(0), 40);
    EXPECT_EQ(ci[1].sample, 1);
    EXPECT_EQ(ci[1].period, 4608 - 12 * 64);
    EXPECT_NEAR(freq(1), 2 * 8363, 2);
    EXPECT_EQ(ci[2].sample, m->sample_count - 1);
    ci[0].volume = 17;
    ticks(3);
    EXPECT_EQ(ci[0].note, 60);
    EXPECT_EQ(ci[0].volume, 17);  // volume and pan stay without an instrument
    EXPECT_EQ(ci[0].period, 7744 - 64 * 60 - 64);
    EXPECT_NEAR(freq(0), 2 * 8363, 2);
}

TEST_F(Tick, NoteModuleInstrumentWithoutATriggerRestoresTheNote)
{
    ModuleHolder m(note_module());
    INSTRUMENT_INFO &in = m->instrument_info[0];
    in.volume_fadeout = 1000;
    in.volume_env_points = 2;
    in.volume_env_flags = QVMOD_ENV_ON;
    in.volume_env_pos[1] = 6;
    in.volume_env_value[0] = 64;
    // Channel 0: key off, then the instrument on a tone portamento; channel 1: volume and pan
    // changed, then the instrument alone.
    cell(m.get(), 0, 0, 0) = NOTE_INFO{1, 49, 0, 0, 0};
    cell(m.get(), 0, 1, 0) = NOTE_INFO{0, QVMOD_NOTE_KEY_OFF, 0, 0, 0};
    cell(m.get(), 0, 2, 0) = NOTE_INFO{1, 61, 0, CMD_TONE_PORTA, 8};
    cell(m.get(), 0, 0, 1) = NOTE_INFO{1, 49, 0, CMD_SET_VOLUME, 12};
    cell(m.get(), 0, 1, 1) = NOTE_INFO{0, 0, 0, CMD_SET_PAN, 200};
    cell(m.get(), 0, 2, 1) = NOTE_INFO{1, 0, 0, 0, 0};
    play_mod(m.get(), kTrue);
    ticks(6);
    ASSERT_EQ(ci[0].key_off, kTrue);
    ASSERT_LT(ci[0].fade_volume, 32768);
    ASSERT_LT(ci[0].volume_env.value, 64);
    ASSERT_EQ(ci[1].pan, 200);
    ticks(1);
    EXPECT_EQ(ci[0].key_off, 0);
    EXPECT_EQ(ci[0].fade_volume, 32768);
    EXPECT_EQ(ci[0].volume_env.value, 64);  // the envelope starts again
    EXPECT_EQ(ci[0].period, 4608);          // no trigger: the slide starts from the old note
    EXPECT_EQ(ci[0].porta_target, 3840);
    EXPECT_EQ(ci[1].volume, 50);
    EXPECT_EQ(ci[1].pan, 40);
    EXPECT_EQ(ci[1].period, 4608);
    EXPECT_EQ(ci[1].kick, 0);
    ticks(1);
    EXPECT_EQ(ci[0].period, 4608 - 32);
    EXPECT_GT(vol(0), 0);
}

// Allegro's mixer plays floor(rate x 256 / mixing rate) / 256 frames a frame: each tick's rate is
// chosen so that the played steps add up to the wanted ones within half a step.
TEST_F(Tick, VoiceRatesKeepThePitchOnAllegrosMixer)
{
    const long long mixing = get_mixer_frequency();
    ASSERT_GT(mixing, 0);
    ASSERT_EQ(digi_driver->set_frequency, _mixer_set_frequency);
    ModuleHolder m(period_module(4, 1, 20));
    cell(m.get(), 0, 0, 0) = NOTE_INFO{1, 8363, 0, 0, 0};
    cell(m.get(), 0, 1, 0) = NOTE_INFO{1, 4181, 0, 0, 0};
    play_mod(m.get(), kTrue);
    for (int wanted : {8363, 4181}) {
        long long played = 0;
        for (int t = 1; t <= 20; t++) {
            ticks(1);
            ASSERT_EQ(freq(0), wanted);
            const long long step = voice_freq(0) * 256LL / mixing;
            ASSERT_LE(std::llabs(step * mixing - wanted * 256LL), mixing) << "tick " << t;
            played += step;
            // The steps so far, against the wanted ones, in 1/mixing of a step.
            ASSERT_LE(std::llabs(played * mixing - t * wanted * 256LL), mixing / 2) << "tick " << t;
        }
    }
}

void exact_set_frequency(int voice, int frequency)
{
    _mixer_set_frequency(voice, frequency);
}

TEST_F(Tick, VoiceRatesAreExactOnADriverThatSetsThem)
{
    // A driver whose voices take a rate as it is (as hardware voices may) gets the wanted rate.
    struct Driver {
        void (*saved)(int, int) = digi_driver->set_frequency;
        Driver() { digi_driver->set_frequency = exact_set_frequency; }
        ~Driver() { digi_driver->set_frequency = saved; }
    } exact;
    ModuleHolder m(period_module(4, 1, 20));
    cell(m.get(), 0, 0, 0) = NOTE_INFO{1, 8363, 0, 0, 0};
    play_mod(m.get(), kTrue);
    for (int t = 0; t < 10; t++) {
        ticks(1);
        ASSERT_EQ(voice_freq(0), 8363) << "tick " << t;
    }
}

TEST_F(Tick, NoteCommandsCutAndReleaseNotes)
{
    ModuleHolder m(note_module());
    cell(m.get(), 0, 0, 0) = NOTE_INFO{1, 49, 0, 0, 0};
    cell(m.get(), 0, 0, 1) = NOTE_INFO{1, 49, 0, 0, 0};
    cell(m.get(), 0, 1, 0) = NOTE_INFO{0, -1, 0, 0, 0};
    cell(m.get(), 0, 1, 1) = NOTE_INFO{0, -2, 0, 0, 0};
    m->instrument_info[0].volume_fadeout = 1000;
    play_mod(m.get(), kTrue);
    ticks(4);
    EXPECT_EQ(ci[0].volume, 0);
    EXPECT_EQ(vol(0), 0);
    EXPECT_EQ(ci[1].key_off, kTrue);
    EXPECT_EQ(ci[1].volume, 0);  // no volume envelope: silent at once
    EXPECT_EQ(ci[1].fade_volume, 32768 - 1000);
}

TEST_F(Tick, MasterVolumeActsAtOnce)
{
    ModuleHolder m(period_module());
    play_cells(m.get(), {{0, 0, NOTE_INFO{1, 8363, 0, 0, 0}}});
    EXPECT_EQ(calc_volume(0), 255);
    EXPECT_EQ(vol(0), 255);
    set_mod_volume(0);
    EXPECT_EQ(vol(0), 0);
    set_mod_volume(128);
    EXPECT_EQ(vol(0), 128);
    EXPECT_EQ(calc_volume(0), 128);
}

TEST_F(Tick, PanFollowsThePanEnvelope)
{
    ci[0].temp_pan = 64;
    for (auto [env, want] : {std::pair{0, 0}, {32, 64}, {64, 128}}) {
        ci[0].pan_env.value = env;
        EXPECT_EQ(calc_pan(0), want) << env;
    }
    ci[0].temp_pan = 200;  // 56 from the right end
    ci[0].pan_env.value = 0;
    EXPECT_EQ(calc_pan(0), 144);
    ci[0].pan_env.value = 64;
    EXPECT_EQ(calc_pan(0), 255);
    ci[0].pan_env.value = 32;
}

TEST_F(Tick, BreakRowsBeyondThePatternStayInside)
{
    ModuleHolder m(period_module(4, 2, 1));
    play_mod(m.get(), kTrue);
    ticks(1);
    mi.pending_row = 50;  // as a pattern break far past the next pattern's end would leave it
    mi.pending_order = 2;
    ticks(1);
    EXPECT_EQ(mi.order_pos, 1);
    EXPECT_EQ(mi.row, 3);
}

// ---------------------------------------------------------------- the timer thread

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void *, size_t),
                                                         void (*)(const volatile void *));
#endif

// Allegro's timer thread, found by a probe that runs on it between the player's ticks and counts
// the song's new starts (its tick back at -1); the heap calls made on it.
std::atomic<std::thread::id> g_timer_thread;
std::atomic<long> g_restarts{0}, g_heap_calls{0};
int g_last_tick = 0;

void probe_song()
{
    g_timer_thread = std::this_thread::get_id();
    hold_mod_player();
    g_restarts += mi.tick == -1 && g_last_tick != -1;
    g_last_tick = mi.tick;
    release_mod_player();
}

void count_heap_call()
{
    if (std::this_thread::get_id() == g_timer_thread.load()) g_heap_calls++;
}

// Looping songs of one row at speed 1 with ping-pong samples, a tempo command, an envelope, and
// requests for order 0, on the real timer: no tick allocates or frees, whatever it restarts.
TEST_F(Tick, TimerThreadMakesNoHeapCall)
{
#if defined(__SANITIZE_ADDRESS__)
    static const int hooked = __sanitizer_install_malloc_and_free_hooks(
        [](const volatile void *, size_t) { count_heap_call(); },
        [](const volatile void *) { count_heap_call(); });
    ASSERT_NE(hooked, 0);
#else
    GTEST_SKIP() << "heap calls are counted by the address sanitizer's hooks";
#endif
    ModuleHolder period(period_module(1, 1, 1));
    ModuleHolder notes(note_module());
    notes->initial_speed = 1;
    notes->instrument_info[1].volume_env_flags = QVMOD_ENV_ON;
    notes->instrument_info[1].volume_env_points = 2;
    for (QVMOD *m : {period.get(), notes.get()}) {
        m->sample_info[1].loop_type = QVMOD_LOOP_BIDIR;
        m->samples[1].loop_start = 100;
        cell(m, 0, 0, 0) = NOTE_INFO{2, m == notes.get() ? 49 : 8363, 0x40, CMD_S3M_BPM, 200};
    }
    set_mod_manual_ticks(kFalse);
    set_mod_speed(400);
    install_int_ex(probe_song, BPS_TO_TIMER(2000));
    for (QVMOD *m : {period.get(), notes.get()}) {
        play_mod(m, kTrue);  // the copies are made here, on the caller's thread
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (g_timer_thread.load() == std::thread::id() &&
               std::chrono::steady_clock::now() < deadline) {}
        g_heap_calls = g_restarts = 0;
        for (int i = 0; g_restarts < 30 && std::chrono::steady_clock::now() < deadline; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (i % 8 == 0) goto_mod_track(0);
        }
        EXPECT_EQ(g_heap_calls, 0);
        EXPECT_GE(g_restarts, 30) << "the song did not start again often enough";
    }
    remove_int(probe_song);
}

}  // namespace
