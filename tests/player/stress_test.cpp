// Interface calls from the main thread racing the player's real timer: must stay clean under the
// address and thread sanitizers (no use after free, no data race, no deadlock).
#include <chrono>
#include <thread>

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

} // namespace
