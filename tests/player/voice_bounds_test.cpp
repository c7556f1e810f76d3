// SPDX-License-Identifier: MIT
// Voices stay inside their samples on Allegro's real mixer: ping-pong loops, very high pitches,
// short loops played fast. Found by the fuzz harnesses; the mixer reads what the positions say.
#include <chrono>
#include <set>
#include <thread>

#include "player_fixture.h"

namespace {

using VoiceBounds = PlayerTest;

constexpr int kFrames = 64;
constexpr auto kListenBound = std::chrono::seconds(3);

// One channel playing sample 1 at the pitch value `note`; the sample loops over [start, end).
QVMOD *looping_module(int loop_type, int start, int end, int c2spd, int note)
{
    ModuleShape s;
    s.channels = 1;
    s.samples = 1;
    s.sample_frames = kFrames;
    s.rows = 64;
    s.speed = 31;
    QVMOD *m = build_module(s);
    m->samples[0].loop_start = start;
    m->samples[0].loop_end = end;
    m->sample_info[0].loop_start = start;
    m->sample_info[0].loop_end = end;
    m->sample_info[0].loop_type = loop_type;
    m->sample_info[0].c2spd = c2spd;
    cell(m, 0, 0, 0) = NOTE_INFO{1, note, 0, 0, 0};
    return m;
}

// Reads the voice's position while the mixer runs until `wanted` different positions were seen;
// false as soon as one lies outside the sample the voice plays.
bool positions_stay_inside(int ch, int wanted, int &seen)
{
    std::set<int> positions;
    const auto deadline = std::chrono::steady_clock::now() + kListenBound;
    while (static_cast<int>(positions.size()) < wanted &&
           std::chrono::steady_clock::now() < deadline) {
        const int pos = voice_get_position(voice_table[ch]);
        const SAMPLE *spl = voice_check(voice_table[ch]);
        if (pos < -1 || (spl && pos >= static_cast<int>(spl->len))) return false;
        if (pos >= 0) positions.insert(pos);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    seen = static_cast<int>(positions.size());
    return true;
}

}  // namespace

TEST_F(VoiceBounds, ShortPingPongLoopNeverLeavesTheSample)
{
    // Loop of 32 frames at about 30 kHz: several turns in every mixing buffer, where Allegro's
    // own ping-pong mode drifts outwards until it plays memory before the sample.
    ModuleHolder m(looping_module(QVMOD_LOOP_BIDIR, 16, 48, 30000, 8363));
    play_mod(m.get(), kTrue);
    ticks(1);
    ASSERT_GT(freq(0), 20000);
    const SAMPLE *spl = playing_sample(0);
    ASSERT_NE(spl, nullptr);
    EXPECT_LE(spl->loop_end, spl->len);
    int seen = 0;
    EXPECT_TRUE(positions_stay_inside(0, 24, seen));
    EXPECT_GE(seen, 24) << "the mixer never moved the voice";
}

TEST_F(VoiceBounds, PingPongLoopPlaysForwardsThenBackwards)
{
    ModuleHolder m(looping_module(QVMOD_LOOP_BIDIR, 16, 48, 8363, 8363));
    for (int i = 0; i < kFrames; i++)
        static_cast<unsigned char *>(m->samples[0].data)[i] = static_cast<unsigned char>(i);
    play_mod(m.get(), kTrue);
    ticks(1);
    const SAMPLE *spl = playing_sample(0);
    ASSERT_NE(spl, nullptr);
    // The frames the voice plays: up to the loop end, then back towards the loop start, round again.
    const auto *frames = static_cast<const unsigned char *>(spl->data);
    ASSERT_EQ(spl->loop_start, 16u);
    ASSERT_EQ(spl->loop_end, 48u + 30u);
    for (unsigned long i = 0; i < 48; i++) EXPECT_EQ(frames[i], i);
    for (unsigned long i = 48; i < spl->loop_end; i++) EXPECT_EQ(frames[i], 46 - (i - 48));
    // The module's own sample is left as it was.
    EXPECT_EQ(m->samples[0].len, static_cast<unsigned long>(kFrames));
    EXPECT_EQ(m->samples[0].loop_end, 48u);
}

TEST_F(VoiceBounds, HighestPitchStaysWithinTheMixersRange)
{
    // The shortest period at 400 % pitch asks for about 14 MHz.
    ModuleHolder m(looping_module(0, 0, 0, 8363, 3579546));
    set_mod_pitch(400);
    play_mod(m.get(), kTrue);
    ticks(1);
    EXPECT_GT(voice_freq(0), 0);
    EXPECT_LE(voice_freq(0), kMaxVoiceFrequency);
}

TEST_F(VoiceBounds, ShortLoopNeverStepsFurtherThanItsLength)
{
    ModuleHolder m(looping_module(QVMOD_LOOP_FORWARD, 10, 14, 8363, 3579546 / 8));
    play_mod(m.get(), kTrue);
    ticks(1);
    const int rate = get_mixer_frequency();
    ASSERT_GT(rate, 0);
    EXPECT_GT(voice_freq(0), 0);
    EXPECT_LE(voice_freq(0), 4 * rate);
    int seen = 0;
    EXPECT_TRUE(positions_stay_inside(0, 1, seen));
    EXPECT_EQ(seen, 1) << "the voice is not sounding";
}
