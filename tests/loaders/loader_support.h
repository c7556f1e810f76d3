// SPDX-License-Identifier: MIT
// Shared pieces of the loader tests: the readers' promises, cut samples and song starts.
#ifndef QVMOD_LOADER_SUPPORT_H
#define QVMOD_LOADER_SUPPORT_H

#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "module_builder.h"
#include "module_promises.h"
#include "module_writers.h"
#include "qvmod.h"
#include "scratch.h"

using qvx_test::TempFile;

// As the MOD, S3M and XM readers must leave a module for the player.
inline ::testing::AssertionResult keeps_player_promises(
    const QVMOD *m, qvx_test::Promises level = qvx_test::Promises::Readers)
{
    const std::string broken = qvx_test::broken_promise(m, level);
    if (broken.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << broken;
}

// An image cut `cut` bytes short still loads: sample `index` keeps the `len` frames left, its loop
// ending with them.
inline void expect_cut_sample(const ModuleImage &full, size_t cut, int index, unsigned long len)
{
    ModuleHolder m(load_image(ModuleImage(full.begin(), full.end() - static_cast<long>(cut))));
    ASSERT_TRUE(m) << qvmod_error;
    EXPECT_EQ(m->samples[index].len, len);
    EXPECT_EQ(m->samples[index].loop_end, len);
    EXPECT_TRUE(keeps_player_promises(m.get()));
}

// How a loaded song starts: its name, flags, speed, tempo and global volume.
struct SongStart {
    std::string name;
    int flags, speed, bpm, global_volume;
};

inline void expect_start(const QVMOD *m, const SongStart &want)
{
    EXPECT_EQ(std::string(m->name), want.name);
    EXPECT_EQ(m->flags, want.flags);
    EXPECT_EQ(m->initial_speed, want.speed);
    EXPECT_EQ(m->initial_bpm, want.bpm);
    EXPECT_EQ(m->initial_global_volume, want.global_volume);
}

// A stored song length and restart (-1: as before), and the order count and restart order the
// reader makes of them (-1: not checked). Each case changes one module description in turn.
struct OrderCase {
    int song_length, restart, order_count, restart_order;
};

template <typename Description, typename Load>
void expect_orders(Description s, Load load, std::initializer_list<OrderCase> cases)
{
    for (const OrderCase &c : cases) {
        SCOPED_TRACE("song length " + std::to_string(c.song_length) + ", restart " +
                     std::to_string(c.restart));
        s.song_length = c.song_length;
        if (c.restart >= 0) s.restart = c.restart;
        ModuleHolder m(load(s));
        ASSERT_TRUE(m);
        if (c.order_count >= 0) {
            EXPECT_EQ(m->order_count, c.order_count);
        }
        if (c.restart_order >= 0) {
            EXPECT_EQ(m->restart_order, c.restart_order);
        }
        EXPECT_TRUE(keeps_player_promises(m.get()));
    }
}

#endif
