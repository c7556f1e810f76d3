// SPDX-License-Identifier: MIT
// Interface calls from the main thread racing the player's real timer, and modules freed while a
// thread mixes their voices: must stay clean under the address and thread sanitizers (no use
// after free, no data race, no deadlock).
#include <allegro.h>
#include <allegro/internal/aintern.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "player_fixture.h"

namespace {

constexpr int kStressVoices = 8;
constexpr int kOperations = 6000;
constexpr auto kProgressBound = std::chrono::seconds(20);

QVMOD *busy_module(int seed)
{
    ModuleShape s{8, 4, 3, 5, 3};  // channels, rows, patterns, orders, samples
    s.speed = 1 + seed % 2;
    s.bpm = 255;
    QVMOD *m = build_module(s);
    for (int i = 0; i < s.samples; i++) m->sample_info[i].loop_type = QVMOD_LOOP_FORWARD;
    for (int p = 0; p < s.patterns; p++)
        for (int r = 0; r < s.rows; r++)
            for (int c = 0; c < s.channels; c++)
                cell(m, p, r, c) =
                    NOTE_INFO{1 + (p + r + c) % s.samples, 4000 + 500 * ((r + c + seed) % 8),
                              (r == 2) ? 0x30 : 0, (c == 3 && r == 1) ? CMD_EXTENDED : 0,
                              (c == 3 && r == 1) ? 0xE1 : 0};
    return m;
}

bool wait_for_ticks()
{
    const long start = song_position();
    const auto deadline = std::chrono::steady_clock::now() + kProgressBound;
    while (std::chrono::steady_clock::now() < deadline) {
        if (song_position() != start) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

class Stress : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(install_mod(kStressVoices), 1) << qvmod_error;
        set_mod_manual_ticks(kFalse);
        set_mod_speed(400);
    }
    void TearDown() override { remove_mod(); }
};

TEST_F(Stress, InterfaceRacesTheTimer)
{
    QVMOD *a = busy_module(1);
    QVMOD *b = busy_module(2);
    play_mod(a, kTrue);
    ASSERT_TRUE(wait_for_ticks()) << "the timer never ticked";

    for (int i = 0; i < kOperations; i++) {
        switch (i % 17) {
        case 0: play_mod(a, kTrue); break;
        case 1: next_mod_track(); break;
        case 2: pause_mod(); break;
        case 3: resume_mod(); break;
        case 4: set_mod_volume(i % 300); break;
        case 5: set_mod_speed(100 + i % 300); break;
        case 6: play_mod(b, i % 2); break;
        case 7: prev_mod_track(); break;
        case 8:
            destroy_mod(b);
            b = busy_module(i);
            break;  // often the playing module
        case 9: toggle_pause_mode(); break;
        case 10: goto_mod_track(i % 7); break;
        case 11: set_mod_pitch(50 + i % 300); break;
        case 12: stop_mod(); break;
        case 13: play_mod(b, kTrue); break;
        case 14:
            (void)is_mod_playing();
            (void)is_mod_paused();
            (void)song_position();
            break;
        case 15:
            destroy_mod(a);
            a = busy_module(i + 1);
            break;
        case 16:
            toggle_pause_mode();
            play_mod(a, kTrue);
            break;
        }
        if (i % 8 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    set_mod_speed(400);
    play_mod(a, kTrue);
    EXPECT_TRUE(wait_for_ticks()) << "the song stopped moving";
    destroy_mod(a);
    destroy_mod(b);
    EXPECT_EQ(is_mod_playing(), 0);
}

TEST_F(Stress, HandDrivenTicksBesideTheTimer)
{
    QVMOD *a = busy_module(3);
    play_mod(a, kTrue);
    // A host ticking while the timer also ticks: the two never run a tick at once.
    std::thread host([] {
        for (int i = 0; i < 4000; i++) mod_interrupt();
    });
    for (int i = 0; i < 2000; i++) {
        if (i % 3 == 0) set_mod_volume(i % 256);
        if (i % 5 == 0) next_mod_track();
        if (i % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    host.join();
    destroy_mod(a);
    EXPECT_EQ(of, nullptr);
}

// ---------------------------------------------------------------- a mixing thread

// The driver's software mixer run by a thread of the test without pause and with long buffers,
// while the interface frees what the voices play. Each huge sample is unmapped when freed (the
// address sanitizer's quarantine is off for these tests), so a mix still reading it crashes.
constexpr int kMixFrames = 1 << 19;  // milliseconds inside each voice
constexpr int kDriverVoices = 16;    // what the test entry reserves for the real driver
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr unsigned long kHugeFrames = 1ul
                                      << 20;  // the sanitizers map every block past 128 KiB alone
#else
constexpr unsigned long kHugeFrames = 40ul << 20;  // past glibc's highest mmap threshold, 32 MiB
#endif

DIGI_DRIVER g_hand_mixed;
_DRIVER_INFO g_hand_mixed_list[] = {{AL_ID('H', 'M', 'I', 'X'), &g_hand_mixed, FALSE},
                                    {0, nullptr, 0}};

class MixingThread : public Stress {
protected:
    void SetUp() override
    {
        g_hand_mixed = *digi_driver;  // the real driver's voices, on the mixer of this test
        g_hand_mixed.id = g_hand_mixed_list[0].id;
        g_hand_mixed.detect = [](int input) { return input ? 0 : 1; };
        g_hand_mixed.init = [](int, int voices) {
            g_hand_mixed.voices = voices;
            return _mixer_init(kMixFrames * 2, 44100, TRUE, TRUE, &g_hand_mixed.voices);
        };
        g_hand_mixed.exit = [](int) { _mixer_exit(); };
        remove_sound();
        real_drivers_ =
            std::exchange(system_driver->digi_drivers, [] { return g_hand_mixed_list; });
        reserve_voices(kStressVoices, 0);
        ASSERT_EQ(install_sound(g_hand_mixed.id, MIDI_NONE, nullptr), 0) << allegro_error;
        Stress::SetUp();
        set_mod_manual_ticks(kTrue);
        set_mod_volume(255);  // a silent voice is not read
        set_mod_pitch(100);
        mi.request_row = mi.request_order = 0;  // nothing left over from an earlier test
        mixer_ = std::thread([this] {
            std::vector<short> out(kMixFrames * 2);
            for (; !stop_; mixes_++)
                _mix_some_samples(reinterpret_cast<uintptr_t>(out.data()), 0, TRUE);
        });
    }
    void TearDown() override
    {
        stop_ = true;
        if (mixer_.joinable()) mixer_.join();
        Stress::TearDown();
        remove_sound();
        system_driver->digi_drivers = real_drivers_;
        reserve_voices(kDriverVoices, -1);
        install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr);
    }

    // Two whole mixes from now: the mixer has been through every voice as it now is.
    bool mixed()
    {
        const long until = mixes_ + 2;
        const auto deadline = std::chrono::steady_clock::now() + kProgressBound;
        while (mixes_ < until && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        return mixes_ >= until;
    }

    std::atomic<bool> stop_{false};
    std::atomic<long> mixes_{0};
    std::thread mixer_;
    _DRIVER_INFO *(*real_drivers_)() = nullptr;
};

// Every channel plays one huge sample. Odd rounds loop it ping-pong in a one-row song at speed 1
// that ends, restarts and is asked for order 0 every few ticks; each round ends with stop_mod and
// destroy_mod at once.
TEST_F(MixingThread, ModulesFreedWhileTheirVoicesAreMixed)
{
    for (int round = 0; round < 12; round++) {
        ModuleShape s;
        s.channels = kStressVoices;
        s.rows = 1;
        s.samples = 1;
        s.speed = 1;
        ModuleHolder m(build_module(s));
        SAMPLE &spl = m->samples[0];
        spl.data = std::realloc(spl.data, kHugeFrames);
        std::memset(spl.data, 0x90, kHugeFrames);
        spl.len = spl.loop_end = kHugeFrames;
        spl.loop_start = round % 2 ? kHugeFrames - 1000 : 0;
        m->sample_info[0].loop_type = round % 2 ? QVMOD_LOOP_BIDIR : QVMOD_LOOP_FORWARD;
        for (int c = 0; c < s.channels; c++)
            cell(m.get(), 0, 0, c) = NOTE_INFO{1, 8363 + 4000 * c, 0x50, 0, 0};
        play_mod(m.get(), kTrue);
        for (int t = 0; t < (round % 2 ? 12 : 1); t++) {
            mod_interrupt();
            if (t % 4 == 3) goto_mod_track(0);
            ASSERT_TRUE(mixed()) << "the mixer stopped";
        }
        stop_mod();
        destroy_mod(m.release());
        for (int ch = 0; ch < kStressVoices; ch++) {
            const SAMPLE *left = voice_check(voice_table[ch]);
            EXPECT_TRUE(!left || left == fake_sample) << "a voice kept a freed sample";
        }
        ASSERT_TRUE(mixed()) << "the mixer stopped";  // before anything is mapped there again
    }
}

}  // namespace

// Render states share nothing: two threads rendering the same module at once each write exactly
// what one render alone writes.
TEST(RenderThreads, TwoRenderStatesAtOnceMatchOneAlone)
{
    ModuleShape shape;
    shape.channels = 4;
    shape.rows = 16;
    shape.sample_frames = 3000;
    ModuleHolder m(build_module(shape));
    fill_sine_sample(m.get(), 0, 90, 70, true);
    for (int row = 0; row < 16; row++)
        cell(m.get(), 0, row, row % 4) =
            NOTE_INFO{1, 6000 + 300 * row, 0, row % 2 ? CMD_VIBRATO : CMD_TREMOLO, 0x3F};
    for (int row = 0; row < 16; row += 4) cell(m.get(), 0, row, 3).extcommand = 0x33;
    const std::vector<short> alone = render_all(m.get(), 44100);
    ASSERT_FALSE(alone.empty());
    std::vector<short> first, second;
    std::thread a([&] { first = render_all(m.get(), 44100); });
    std::thread b([&] { second = render_all(m.get(), 44100); });
    a.join();
    b.join();
    EXPECT_EQ(first, alone);
    EXPECT_EQ(second, alone);
}
