// SPDX-License-Identifier: MIT
// Fixture for tests that play modules by hand on the player's reserved voices.
#ifndef QVMOD_TEST_PLAYER_FIXTURE_H
#define QVMOD_TEST_PLAYER_FIXTURE_H

#include <gtest/gtest.h>

#include <initializer_list>
#include <tuple>

#include "module_builder.h"
#include "player_internal.h"

class PlayerTest : public ::testing::Test {
protected:
    static constexpr int kVoices = 4;

    void SetUp() override
    {
        ASSERT_EQ(install_mod(kVoices), 1) << qvmod_error;
        set_mod_manual_ticks(kTrue);
        set_mod_volume(255);
        set_mod_speed(100);
        set_mod_pitch(100);
        enable_lasttrk_loop = kTrue;
        mi.request_row = mi.request_order = 0;
    }
    void TearDown() override
    {
        stop_mod();
        remove_mod();
        set_mod_manual_ticks(kFalse);
    }

    // Puts the cells (row, channel, cell) in pattern 0, starts the module looping and plays n ticks.
    static void play_cells(QVMOD *m, std::initializer_list<std::tuple<int, int, NOTE_INFO>> cells,
                           int n = 1)
    {
        for (const auto &[row, ch, c] : cells) cell(m, 0, row, ch) = c;
        play_mod(m, kTrue);
        ticks(n);
    }
    static void ticks(int n)
    {
        for (int i = 0; i < n; i++) mod_interrupt();
    }
    static int voice(int ch) { return voice_table[ch]; }
    // The frequency the engine meant for the channel; the voice may be handed a rate near it
    // (see voice_freq) that keeps the pitch right over the ticks on Allegro's mixer.
    static int freq(int ch) { return wanted_voice_frequency(ch); }
    static int voice_freq(int ch) { return voice_get_frequency(voice_table[ch]); }
    static int vol(int ch) { return voice_get_volume(voice_table[ch]); }
    static int pan(int ch) { return voice_get_pan(voice_table[ch]); }
    static bool sounding(int ch) { return voice_get_position(voice_table[ch]) >= 0; }
    static const SAMPLE *playing_sample(int ch) { return voice_check(voice_table[ch]); }
};

// Where the song is (order, row, tick in one number), read under the player's hold: it changes
// with every tick the timer runs.
inline long song_position()
{
    hold_mod_player();
    const long pos = (static_cast<long>(mi.order_pos) << 20) + (mi.row << 8) + (mi.tick & 0xFF);
    release_mod_player();
    return pos;
}

#endif
