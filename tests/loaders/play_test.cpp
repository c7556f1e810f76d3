// SPDX-License-Identifier: MIT
// Loaded modules played tick by tick: whatever a file held, the player reads only what exists.
#include <algorithm>
#include <random>

#include "loader_support.h"

namespace {

constexpr int kTicks = 1500;

// Plays the module for a while, jumping about the order list as a listener would; true when
// the song moved from where it started.
bool play_for_a_while(QVMOD *m)
{
    remove_mod();
    EXPECT_EQ(install_mod(std::min(m->channel_count, digi_driver->voices)), 1) << qvmod_error;
    set_mod_manual_ticks(-1);
    play_mod(m, TRUE);
    int first = 0;
    bool moved = false;
    for (int t = 0; t < kTicks; t++) {
        mod_interrupt();
        hold_mod_player();
        const int position = mi.order_pos * 1000 + mi.row;
        release_mod_player();
        if (t == 0)
            first = position;
        else if (position != first && t < kTicks / 3)
            moved = true;  // before any jump asked for
        if (t == kTicks / 3) next_mod_track();
        if (t == kTicks / 2) goto_mod_track(m->order_count - 1);
    }
    stop_mod();
    set_mod_manual_ticks(0);
    return moved;
}

std::vector<ModuleImage> sources()
{
    return {write_mod(realistic_mod(31, 4, 4, 6000)), write_mod(realistic_mod(32, 3, 8, 6000)),
            write_s3m(realistic_s3m(33, 4, 12, 6000)), write_xm(realistic_xm(34, 4, 12, 6, 6000))};
}

}  // namespace

TEST(PlayLoaded, ModulesOfEveryFormat)
{
    for (const ModuleImage &img : sources()) {
        ModuleHolder m(load_image(img));
        ASSERT_TRUE(m) << qvmod_error;
        EXPECT_TRUE(keeps_player_promises(m.get(), qvx_test::Promises::Player));
        EXPECT_TRUE(play_for_a_while(m.get())) << "the song never left its first row";
    }
}

TEST(PlayLoaded, DamagedModulesThatStillLoad)
{
    std::mt19937 rng(99);
    int played = 0;
    for (const ModuleImage &src : sources()) {
        for (int round = 0; round < 12; round++) {
            ModuleImage img = src;
            if (round % 3 == 2) img.resize(img.size() / 2 + rng() % (img.size() / 2));
            for (int k = 0; k < 8; k++)
                img[rng() % std::min<size_t>(img.size(), 2000)] = static_cast<unsigned char>(rng());
            ModuleHolder m(load_image(img));
            if (!m) continue;
            EXPECT_TRUE(keeps_player_promises(m.get(), qvx_test::Promises::Player))
                << "round " << round;
            play_for_a_while(m.get());
            played++;
        }
    }
    EXPECT_GT(played, 10);
}
