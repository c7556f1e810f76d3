// SPDX-License-Identifier: MIT
// Every interface function in random order against the real timer at its highest rate, for as
// long as QVX_STRESS_SECONDS says (3 s by default; hours by hand under ThreadSanitizer).
// QVX_STRESS_SEED repeats a run; the seed used is printed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "player_fixture.h"

namespace {

constexpr int kVoices = 8;
constexpr int kModules = 3;
constexpr double kDefaultSeconds = 3.0;

double run_seconds()
{
    const char *s = std::getenv("QVX_STRESS_SECONDS");
    const double v = s ? std::atof(s) : kDefaultSeconds;
    return v > 0 ? v : kDefaultSeconds;
}

unsigned run_seed()
{
    const char *s = std::getenv("QVX_STRESS_SEED");
    return s ? static_cast<unsigned>(std::strtoul(s, nullptr, 10)) : std::random_device{}();
}

// Busy modules: short rows at the top tempo, notes on every channel, looping samples (ping-pong
// on odd samples), tempo, jump and break commands, so the timer keeps changing what it reads.
QVMOD *busy_module(std::mt19937 &rng)
{
    ModuleShape s;
    s.channels = 1 + static_cast<int>(rng() % 12);
    s.rows = 1 + static_cast<int>(rng() % 6);
    s.patterns = 1 + static_cast<int>(rng() % 4);
    s.orders = 1 + static_cast<int>(rng() % 8);
    s.samples = 1 + static_cast<int>(rng() % 4);
    s.sample_frames = 16 + static_cast<int>(rng() % 400);
    s.speed = 1 + static_cast<int>(rng() % 2);
    s.bpm = 255;
    QVMOD *m = build_module(s);
    for (int i = 0; i < s.samples; i++) {
        m->sample_info[i].loop_type = (i % 2) ? QVMOD_LOOP_BIDIR : QVMOD_LOOP_FORWARD;
        m->samples[i].loop_start = static_cast<unsigned long>(s.sample_frames / 4);
        m->samples[i].loop_end = static_cast<unsigned long>(s.sample_frames / 2 + 1);
    }
    const int commands[] = {0,
                            CMD_VIBRATO,
                            CMD_TREMOLO,
                            CMD_S3M_BPM,
                            CMD_POSITION_JUMP,
                            CMD_PATTERN_BREAK,
                            CMD_PRO_PORTA_UP,
                            CMD_PRO_PORTA_DOWN,
                            CMD_SET_VOLUME,
                            CMD_EXTENDED};
    for (int p = 0; p < s.patterns; p++)
        for (int r = 0; r < s.rows; r++)
            for (int c = 0; c < s.channels; c++) {
                const int command = commands[rng() % (sizeof commands / sizeof commands[0])];
                int param = static_cast<int>(rng() % 256);
                if (command == CMD_S3M_BPM) param = 200 + static_cast<int>(rng() % 56);
                if (command == CMD_POSITION_JUMP) param = static_cast<int>(rng() % 8);
                cell(m, p, r, c) = NOTE_INFO{1 + static_cast<int>(rng() % s.samples),
                                             2000 + static_cast<int>(rng() % 60000),
                                             0x10 + static_cast<int>(rng() % 65), command, param};
            }
    return m;
}

}  // namespace

TEST(LongStress, EveryInterfaceFunctionInRandomOrderAgainstTheTimer)
{
    const unsigned seed = run_seed();
    const double seconds = run_seconds();
    std::printf("stress seed %u, %.0f s (QVX_STRESS_SEED, QVX_STRESS_SECONDS)\n", seed, seconds);
    std::mt19937 rng(seed);
    ASSERT_EQ(install_mod(kVoices), 1) << qvmod_error;
    set_mod_manual_ticks(kFalse);
    set_mod_speed(400);
    QVMOD *modules[kModules];
    for (QVMOD *&m : modules) m = busy_module(rng);

    // A second thread drives ticks by hand beside the timer for part of the time.
    std::atomic<bool> stop_host{false};
    std::thread host([&stop_host] {
        while (!stop_host.load()) {
            mod_interrupt();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });

    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    long calls = 0;
    while (std::chrono::steady_clock::now() < end) {
        QVMOD *&m = modules[rng() % kModules];
        switch (rng() % 24) {
        case 0: play_mod(m, static_cast<int>(rng() % 2)); break;
        case 1: stop_mod(); break;
        case 2:
            destroy_mod(m);
            m = busy_module(rng);
            break;  // often the playing module
        case 3: pause_mod(); break;
        case 4: resume_mod(); break;
        case 5: toggle_pause_mode(); break;
        case 6:
            (void)is_mod_playing();
            (void)is_mod_paused();
            break;
        case 7: set_mod_volume(static_cast<int>(rng() % 300) - 20); break;
        case 8: (void)get_mod_volume(); break;
        case 9: set_mod_speed(static_cast<int>(rng() % 450)); break;
        case 10: set_mod_pitch(static_cast<int>(rng() % 450)); break;
        case 11: next_mod_track(); break;
        case 12: prev_mod_track(); break;
        case 13: goto_mod_track(static_cast<int>(rng() % 12) - 2); break;
        case 14: (void)get_qvmod_sample(m, static_cast<int>(rng() % 6) - 1); break;
        case 15:
            hold_mod_player();
            (void)song_position();
            release_mod_player();
            break;
        case 16:
            (void)get_mod_timer_period();
            (void)get_mod_manual_ticks();
            break;
        case 17:
            set_mod_manual_ticks(kTrue);
            mod_interrupt();
            set_mod_manual_ticks(kFalse);
            break;
        case 18: mod_interrupt(); break;
        case 19: lock_mod(m); break;
        case 20:
            play_mod(m, kTrue);
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
            break;
        case 21: (void)song_position(); break;
        case 22:  // the whole player taken down and brought back while the timer runs
            remove_mod();
            ASSERT_EQ(install_mod(kVoices), 1) << qvmod_error;
            set_mod_manual_ticks(kFalse);
            break;
        case 23: std::this_thread::sleep_for(std::chrono::microseconds(rng() % 500)); break;
        }
        calls++;
    }
    stop_host.store(true);
    host.join();

    // Still alive: a fresh song moves under the timer alone.
    set_mod_speed(400);
    play_mod(modules[0], kTrue);
    const long start = song_position();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (song_position() == start && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_NE(song_position(), start) << "the song stopped moving";
    for (QVMOD *m : modules) destroy_mod(m);
    EXPECT_EQ(is_mod_playing(), 0);
    remove_mod();
    std::printf("%ld interface calls\n", calls);
}
