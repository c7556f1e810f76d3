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
#include <vector>

#include "player_fixture.h"

namespace {

constexpr int kStressVoices = 8;
constexpr int kOperations = 6000;
constexpr auto kProgressBound = std::chrono::seconds(20);

QVMOD *busy_module(int seed)
{
    ModuleShape s;
    s.channels = 8;
    s.rows = 4;
    s.patterns = 3;
    s.orders = 5;
    s.samples = 3;
    s.speed = 1 + seed % 2;
    s.bpm = 255;
    QVMOD *m = build_module(s);
    for (int i = 0; i < s.samples; i++) m->sample_info[i].loop_type = QVMOD_LOOP_FORWARD;
    for (int p = 0; p < s.patterns; p++)
        for (int r = 0; r < s.rows; r++)
            for (int c = 0; c < s.channels; c++)
                cell(m, p, r, c) = NOTE_INFO{1 + (p + r + c) % s.samples, 4000 + 500 * ((r + c + seed) % 8),
                                             (r == 2) ? 0x30 : 0, (c == 3 && r == 1) ? CMD_EXTENDED : 0,
                                             (c == 3 && r == 1) ? 0xE1 : 0};
    return m;
}

// Ticks counted by watching the song move, read under the player's hold.
long song_position()
{
    hold_mod_player();
    const long pos = (static_cast<long>(mi.order_pos) << 20) + (mi.row << 8) + (mi.tick & 0xFF);
    release_mod_player();
    return pos;
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
        case 8: destroy_mod(b); b = busy_module(i); break;   // often the playing module
        case 9: toggle_pause_mode(); break;
        case 10: goto_mod_track(i % 7); break;
        case 11: set_mod_pitch(50 + i % 300); break;
        case 12: stop_mod(); break;
        case 13: play_mod(b, kTrue); break;
        case 14: (void)is_mod_playing(); (void)is_mod_paused(); (void)song_position(); break;
        case 15: destroy_mod(a); a = busy_module(i + 1); break;
        case 16: toggle_pause_mode(); play_mod(a, kTrue); break;
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

// Allegro's software mixer as the digital driver, mixed by a thread of the test without pause (as
// a sound thread mixes, with long buffers), while the interface stops and frees what the voices
// play. Each huge sample is mapped on its own and unmapped when freed, so a mix that still reads
// it afterwards crashes rather than reading stale memory.
constexpr int kHandMixed = AL_ID('H', 'M', 'I', 'X');
constexpr int kMixFrames = 1 << 19;                // a few milliseconds inside each voice
constexpr int kMixRate = 44100;
constexpr int kDriverVoices = 16;                  // what the test entry reserves for the real driver
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers map every block past 128 KiB on its own (the address sanitizer's quarantine is
// off for these tests); a small one keeps their work before the unmapping short.
constexpr unsigned long kHugeFrames = 1ul << 20;
#else
constexpr unsigned long kHugeFrames = 40ul << 20;  // past glibc's highest mmap threshold, 32 MiB
#endif
constexpr int kRounds = 8;

DIGI_DRIVER g_hand_mixed;
_DRIVER_INFO g_hand_mixed_list[] = {{kHandMixed, &g_hand_mixed, FALSE}, {0, nullptr, 0}};
_DRIVER_INFO *hand_mixed_list() { return g_hand_mixed_list; }
int hand_mixed_detect(int input) { return !input; }
int hand_mixed_init(int, int voices)
{
    g_hand_mixed.voices = voices;
    return _mixer_init(kMixFrames * 2, kMixRate, TRUE, TRUE, &g_hand_mixed.voices);
}
void hand_mixed_exit(int) { _mixer_exit(); }

void set_up_hand_mixed()
{
    DIGI_DRIVER &d = g_hand_mixed;
    d.id = kHandMixed;
    d.name = d.desc = d.ascii_name = "hand-mixed";
    d.max_voices = MIXER_MAX_SFX;
    d.def_voices = MIXER_DEF_SFX;
    d.detect = hand_mixed_detect;
    d.init = hand_mixed_init;
    d.exit = hand_mixed_exit;
    d.init_voice = _mixer_init_voice;
    d.release_voice = _mixer_release_voice;
    d.start_voice = _mixer_start_voice;
    d.stop_voice = _mixer_stop_voice;
    d.loop_voice = _mixer_loop_voice;
    d.get_position = _mixer_get_position;
    d.set_position = _mixer_set_position;
    d.get_volume = _mixer_get_volume;
    d.set_volume = _mixer_set_volume;
    d.ramp_volume = _mixer_ramp_volume;
    d.stop_volume_ramp = _mixer_stop_volume_ramp;
    d.get_frequency = _mixer_get_frequency;
    d.set_frequency = _mixer_set_frequency;
    d.sweep_frequency = _mixer_sweep_frequency;
    d.stop_frequency_sweep = _mixer_stop_frequency_sweep;
    d.get_pan = _mixer_get_pan;
    d.set_pan = _mixer_set_pan;
    d.sweep_pan = _mixer_sweep_pan;
    d.stop_pan_sweep = _mixer_stop_pan_sweep;
}

class MixingThread : public ::testing::Test {
protected:
    void SetUp() override
    {
        set_up_hand_mixed();
        remove_sound();
        real_drivers_ = system_driver->digi_drivers;
        system_driver->digi_drivers = hand_mixed_list;
        reserve_voices(kStressVoices, 0);
        ASSERT_EQ(install_sound(kHandMixed, MIDI_NONE, nullptr), 0) << allegro_error;
        ASSERT_EQ(install_mod(kStressVoices), 1) << qvmod_error;
        set_mod_manual_ticks(kTrue);
        set_mod_volume(255);
        set_mod_pitch(100);
        mi.request_row = mi.request_order = 0;   // nothing left over from an earlier test
        mixer_ = std::thread([this] {
            std::vector<short> out(kMixFrames * 2);
            while (!stop_.load()) {
                _mix_some_samples(reinterpret_cast<uintptr_t>(out.data()), 0, TRUE);
                mixes_++;
            }
        });
    }
    void TearDown() override
    {
        remove_mod();
        set_mod_manual_ticks(kFalse);
        stop_ = true;
        if (mixer_.joinable()) mixer_.join();
        remove_sound();
        system_driver->digi_drivers = real_drivers_;
        reserve_voices(kDriverVoices, -1);
        install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr);
    }

    // Two whole mixes after the call: the mixer has been through every voice as it is now (and
    // through any it should have let go of).
    bool mixed()
    {
        const long start = mixes_.load();
        const auto deadline = std::chrono::steady_clock::now() + kProgressBound;
        while (mixes_.load() < start + 2) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::yield();
        }
        return true;
    }

    // Every channel plays one huge sample (forward loop, or ping-pong over its last frames).
    static QVMOD *huge_module(int loop_type, int rows)
    {
        ModuleShape s;
        s.channels = kStressVoices;
        s.rows = rows;
        s.samples = 1;
        s.speed = 1;
        s.sample_frames = 1;
        QVMOD *m = build_module(s);
        SAMPLE &spl = m->samples[0];
        std::free(spl.data);
        spl.data = std::malloc(kHugeFrames);
        std::memset(spl.data, 0x90, kHugeFrames);
        spl.len = spl.loop_end = kHugeFrames;
        spl.loop_start = loop_type == QVMOD_LOOP_BIDIR ? kHugeFrames - 1000 : 0;
        m->sample_info[0].loop_type = loop_type;
        for (int c = 0; c < s.channels; c++) cell(m, 0, 0, c) = NOTE_INFO{1, 8363 + 4000 * c, 64, 0, 0};
        return m;
    }

    // Voices still on some sample other than the player's empty one: dangling once the only
    // module is freed.
    static int voices_on_module()
    {
        int n = 0;
        for (int ch = 0; ch < kStressVoices; ch++) {
            const SAMPLE *s = voice_check(voice_table[ch]);
            if (s && s != fake_sample) n++;
        }
        return n;
    }

    std::atomic<long> mixes_{0};

private:
    std::atomic<bool> stop_{false};
    std::thread mixer_;
    _DRIVER_INFO *(*real_drivers_)() = nullptr;
};

TEST_F(MixingThread, StopThenDestroyAtOnce)
{
    for (int round = 0; round < kRounds; round++) {
        ModuleHolder m(huge_module(QVMOD_LOOP_FORWARD, 4));
        play_mod(m.get(), kTrue);
        mod_interrupt();
        ASSERT_TRUE(mixed()) << "the mixer stopped";
        ASSERT_GE(voice_get_position(voice_table[0]), 0) << "no voice sounding";
        stop_mod();
        destroy_mod(m.release());
        EXPECT_EQ(voices_on_module(), 0) << "a voice kept the freed module's sample";
        ASSERT_TRUE(mixed()) << "the mixer stopped";   // before anything can be mapped there again
    }
}

TEST_F(MixingThread, PingPongSongRestartsAndEnds)
{
    for (int round = 0; round < kRounds / 2; round++) {
        ModuleHolder m(huge_module(QVMOD_LOOP_BIDIR, 1));
        play_mod(m.get(), kTrue);
        // One row at speed 1: the song ends, restarts and is asked for order 0 every few ticks.
        for (int t = 0; t < 12; t++) {
            mod_interrupt();
            if (t % 4 == 3) goto_mod_track(0);
            ASSERT_TRUE(mixed()) << "the mixer stopped";
        }
        destroy_mod(m.release());
        EXPECT_EQ(voices_on_module(), 0) << "a voice kept the freed module's sample";
        ASSERT_TRUE(mixed()) << "the mixer stopped";
    }
}

} // namespace
