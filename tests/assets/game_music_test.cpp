// SPDX-License-Identifier: MIT
// Plays the datafile's game module tick by tick through Allegro's mixer: its length, its loop and its levels.
#include <allegro.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

#include "manual_mixer.h"
#include "qvmod.h"

namespace {

constexpr int MOD_GAME = 24;
constexpr int kGameModuleVolume = 60;       // what the play loop sets
constexpr int kLoudestDigitalVolume = 255;  // above the options screen's highest setting
constexpr double kMinSecondsBeforeLoop = 90.0;
constexpr double kSecondsAfterLoop = 8.0;
constexpr double kLongestGap = 1.0;   // seconds of silence allowed anywhere
constexpr double kWindow = 0.05;      // seconds per level measurement
constexpr double kSilentRms = 0.001;  // -60 dBFS
constexpr double kHighestPeak =
    0.89;  // -1 dBFS: anything above sounds clipped with the effects on top
constexpr double kLowestPeak = 0.1;  // -20 dBFS: quieter would vanish under the effects
constexpr long kTickLimit =
    50L * 60 * 10;  // ten minutes at 50 ticks a second: the song must loop sooner

DATAFILE *data = nullptr;

// One tick as the song was at its end.
struct TickPos {
    int order, row, tick;
    long frame;  // output frame at which the tick's sound starts
};

struct Rendering {
    std::vector<TickPos> ticks;
    std::vector<int16_t> pcm;
    long loop_tick = -1;  // first tick after the jump back
};

Rendering *run = nullptr;

class GameMusic : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(manual_mixer::start(manual_mixer::kDefaultRate, 16), 0)
            << allegro_error;  // the game's voices
        ASSERT_EQ(install_mod(4), 1) << qvmod_error;
        data = load_datafile(QVX_DATAFILE);
        ASSERT_NE(data, nullptr) << "cannot load " << QVX_DATAFILE;
        set_volume(kLoudestDigitalVolume, -1);
        set_mod_manual_ticks(-1);
        set_mod_volume(kGameModuleVolume);

        run = new Rendering;
        manual_mixer::Output out(manual_mixer::kDefaultRate);
        play_mod(module(), TRUE);
        long after_loop_ticks = -1;
        for (long t = 0; t < kTickLimit; t++) {
            const long frame = out.frames();
            mod_interrupt();
            run->ticks.push_back({mi.order_pos, mi.row, mi.tick, frame});
            if (run->loop_tick < 0 && t > 0 && mi.order_pos < run->ticks[t - 1].order) {
                run->loop_tick = t;
                after_loop_ticks = static_cast<long>(kSecondsAfterLoop * 50);
            }
            out.after_tick(get_mod_timer_period());
            if (after_loop_ticks >= 0 && after_loop_ticks-- == 0) break;
        }
        stop_mod();
        run->pcm = std::move(out.pcm);
    }
    static void TearDownTestSuite()
    {
        delete run;
        run = nullptr;
        if (data) unload_datafile(data);
        data = nullptr;
        remove_mod();
        allegro_exit();
    }
    void SetUp() override
    {
        ASSERT_NE(data, nullptr);
        ASSERT_NE(run, nullptr);
    }

    static QVMOD *module() { return static_cast<QVMOD *>(data[MOD_GAME].dat); }
    static double seconds(long frame)
    {
        return static_cast<double>(frame) / manual_mixer::kDefaultRate;
    }

    // RMS of both channels over the windows of the output, full scale = 1.
    static std::vector<double> levels()
    {
        const long n = static_cast<long>(kWindow * manual_mixer::kDefaultRate) * 2;
        std::vector<double> out;
        for (size_t i = 0; i + n <= run->pcm.size(); i += n) {
            double sum = 0;
            for (long k = 0; k < n; k++)
                sum += static_cast<double>(run->pcm[i + k]) * run->pcm[i + k];
            out.push_back(std::sqrt(sum / n) / 32768.0);
        }
        return out;
    }
};

TEST_F(GameMusic, PlaysEveryOrderPositionOnceForMoreThanNinetySecondsBeforeItLoops)
{
    ASSERT_GE(run->loop_tick, 0) << "the song never went back to an earlier position";
    const QVMOD *m = module();
    std::vector<int> heard;
    for (long t = 0; t < run->loop_tick; t++)
        if (heard.empty() || heard.back() != run->ticks[t].order)
            heard.push_back(run->ticks[t].order);
    std::vector<int> expected(m->order_count);
    for (int i = 0; i < m->order_count; i++) expected[i] = i;
    EXPECT_EQ(heard, expected) << "every position in turn, none skipped or repeated";
    EXPECT_GE(seconds(run->ticks[run->loop_tick].frame), kMinSecondsBeforeLoop);
    std::set<int> patterns(m->order_table, m->order_table + m->order_count);
    EXPECT_GE(patterns.size(), 6U) << "several patterns, not one repeated";
}

TEST_F(GameMusic, LoopsToTheRestartPositionWithoutLosingABeat)
{
    ASSERT_GE(run->loop_tick, 1);
    const QVMOD *m = module();
    const TickPos &at = run->ticks[run->loop_tick];
    EXPECT_EQ(at.order, m->restart_order);
    EXPECT_EQ(at.row, 0);
    EXPECT_EQ(at.tick, 0);
    // The last row before the loop lasted exactly one row's ticks: no tick lost to a restart.
    long last_row_start = run->loop_tick - 1;
    while (last_row_start > 0 && run->ticks[last_row_start].tick != 0) last_row_start--;
    EXPECT_EQ(run->ticks[last_row_start].order, m->order_count - 1);
    EXPECT_EQ(run->loop_tick - last_row_start, mi.speed);
    // The voices sound on through the loop point.
    const std::vector<double> rms = levels();
    const size_t w = static_cast<size_t>(seconds(at.frame) / kWindow);
    ASSERT_LT(w + 1, rms.size());
    EXPECT_GT(rms[w - 1], kSilentRms * 10);
    EXPECT_GT(rms[w], kSilentRms * 10);
    EXPECT_GT(rms[w + 1], kSilentRms * 10);
}

TEST_F(GameMusic, APlayerThatIgnoresTheLastJumpRestartsAtTheSamePosition)
{
    // With jumps on the last position ignored, the song ends and restarts at restart_order: the
    // same verse the jump goes to, so the music is the same either way.
    const int saved = enable_lasttrk_loop;
    enable_lasttrk_loop = 0;
    play_mod(module(), TRUE);
    int previous = 0, back_to = -1;
    for (long t = 0; t < kTickLimit && back_to < 0; t++) {
        mod_interrupt();
        if (mi.tick != 0)
            continue;  // only rows that play count: the restart passes through position 0 first
        if (mi.order_pos < previous) back_to = mi.order_pos;
        previous = mi.order_pos;
    }
    stop_mod();
    enable_lasttrk_loop = saved;
    EXPECT_EQ(back_to, module()->restart_order);
}

TEST_F(GameMusic, HasNoSilenceLongerThanASecond)
{
    const std::vector<double> rms = levels();
    ASSERT_GT(rms.size(), 100U);
    size_t run_length = 0, longest = 0, longest_end = 0;
    for (size_t i = 0; i < rms.size(); i++) {
        run_length = rms[i] < kSilentRms ? run_length + 1 : 0;
        if (run_length > longest) longest = run_length, longest_end = i;
    }
    EXPECT_LT(longest * kWindow, kLongestGap)
        << "silent up to " << (longest_end + 1) * kWindow << " s";
}

TEST_F(GameMusic, PeaksBelowClippingYetLoudEnough)
{
    int peak = 0;
    long at = 0;
    for (size_t i = 0; i < run->pcm.size(); i++)
        if (std::abs(run->pcm[i]) > peak)
            peak = std::abs(run->pcm[i]), at = static_cast<long>(i / 2);
    EXPECT_LT(peak / 32768.0, kHighestPeak) << "at " << seconds(at) << " s";
    EXPECT_GT(peak / 32768.0, kLowestPeak);
}

TEST_F(GameMusic, UsesArpeggioVibratoPortamentoAndVolumeSlides)
{
    const QVMOD *m = module();
    std::set<int> used;
    for (int p = 0; p < m->pattern_count; p++)
        for (int c = 0; c < m->pattern_info[p].row_count * m->channel_count; c++) {
            const NOTE_INFO &n = m->pattern_info[p].notes[c];
            if (n.command != CMD_ARPEGGIO || n.extcommand != 0) used.insert(n.command);
        }
    for (int cmd : {CMD_ARPEGGIO, CMD_VIBRATO, CMD_TONE_PORTA, CMD_PRO_VOLSLIDE})
        EXPECT_EQ(used.count(cmd), 1U) << cmd;
}

}  // namespace
