// SPDX-License-Identifier: MIT
// A test fixture that starts from the default settings and gives the globals back afterwards.
#ifndef QUORVEX_TEST_KEPT_SETTINGS_H
#define QUORVEX_TEST_KEPT_SETTINGS_H

#include <gtest/gtest.h>

#include <array>

#include "Quorvex.h"

class DefaultSettings : public testing::Test {
protected:
    // sound_on, music_on, sound_volume, music_volume, start_level, start_blocks
    using Values = std::array<int, 6>;
    static constexpr Values DEFAULTS = {YES, YES, 200, 200, 0, 0};

    void SetUp() override
    {
        saved_ = Current();
        Set(DEFAULTS);
    }
    void TearDown() override { Set(saved_); }

    static Values Current()
    {
        return {sound_on, music_on, sound_volume, music_volume, start_level, start_blocks};
    }
    static void Set(const Values &v)
    {
        sound_on = v[0];
        music_on = v[1];
        sound_volume = v[2];
        music_volume = v[3];
        start_level = v[4];
        start_blocks = v[5];
    }

private:
    Values saved_{};
};

#endif
