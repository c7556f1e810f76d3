// SPDX-License-Identifier: MIT
// Song position commands over whole songs: position jump, pattern break, pattern loop, the
// order positions and rows they visit, and the song length measured without playing.
#include <array>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "effects_support.h"
#include "mixer.h"

namespace {

using namespace effects;
using SongPosition = PlayerTest;
using Visit = std::pair<int, int>;  // order position, row
using Visits = std::vector<Visit>;

// Orders 0 .. patterns-1 play patterns 0 .. patterns-1; speed 1, so every tick starts a row.
QVMOD *song(int patterns, int rows, int channels = 2)
{
    return period_module(channels, rows, 1, patterns);
}

void put_at(QVMOD *m, int pattern, int row, int ch, int command, int param)
{
    cell(m, pattern, row, ch) = NOTE_INFO{0, 0, 0, command, param};
}

// Plays until the song stops (or max rows) and lists the rows read.
Visits play_rows(int max_rows = 200)
{
    Visits out;
    for (int i = 0; i < max_rows && is_mod_playing(); i++) {
        mod_interrupt();
        if (of != nullptr && mi.tick == 0) out.emplace_back(mi.order_pos, mi.row);
    }
    return out;
}

TEST_F(SongPosition, LoopsBreaksAndACombinedJumpAcrossASong)
{
    ModuleHolder m(song(4, 8));
    m->pattern_info[3].row_count = 4;
    put_at(m.get(), 0, 2, 0, CMD_EXTENDED, 0x60);
    put_at(m.get(), 0, 3, 0, CMD_EXTENDED, 0x62);
    put_at(m.get(), 0, 5, 1, CMD_PATTERN_BREAK, 0x03);
    put_at(m.get(), 1, 4, 0, CMD_PATTERN_BREAK, 0x02);  // row from the break,
    put_at(m.get(), 1, 4, 1, CMD_POSITION_JUMP, 3);     // order from the jump
    play_mod(m.get(), kFalse);
    const Visits want = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 2}, {0, 3}, {0, 2},
                         {0, 3}, {0, 4}, {0, 5}, {1, 3}, {1, 4}, {3, 2}, {3, 3}};
    EXPECT_EQ(play_rows(), want);
    EXPECT_EQ(is_mod_playing(), 0);
}

TEST_F(SongPosition, PatternLoopE60E63PlaysRowsFourTimes)
{
    ModuleHolder m(song(1, 12));
    put_at(m.get(), 0, 4, 0, CMD_EXTENDED, 0x60);
    put_at(m.get(), 0, 8, 0, CMD_EXTENDED, 0x63);
    play_mod(m.get(), kFalse);
    Visits want = {{0, 0}, {0, 1}, {0, 2}, {0, 3}};
    for (int pass = 0; pass < 4; pass++)
        for (int row = 4; row <= 8; row++) want.emplace_back(0, row);
    for (int row = 9; row < 12; row++) want.emplace_back(0, row);
    EXPECT_EQ(play_rows(), want);
}

// A song of `patterns` patterns of `rows` rows with commands (pattern, row, channel, command,
// parameter), played without looping: the rows it visits within max_rows, and whether it ended.
struct SongScript {
    const char *name;
    int patterns, rows;
    std::vector<std::array<int, 5>> commands;
    bool last_order_jumps;  // enable_lasttrk_loop
    int max_rows;
    Visits visits;
    bool ends;
};

// clang-format off
const SongScript kSongScripts[] = {
    {"JumpBeforeBreakInTheSameRowCombinesAlike", 4, 8,
     {{0, 1, 0, CMD_POSITION_JUMP, 2}, {0, 1, 1, CMD_PATTERN_BREAK, 0x05},
      {2, 6, 0, CMD_POSITION_JUMP, 9}},   // past the end of a song that stops
     true, 200, {{0, 0}, {0, 1}, {2, 5}, {2, 6}}, true},
    {"ALaterLoopStartsAfterTheFinishedOne", 1, 6,
     {{0, 1, 0, CMD_EXTENDED, 0x61},
      {0, 3, 0, CMD_EXTENDED, 0x61}},   // no start mark: the row after the first loop
     true, 200, {{0, 0}, {0, 1}, {0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 2}, {0, 3}, {0, 4}, {0, 5}}, true},
    {"LoopsOfTwoChannelsCountSeparately", 1, 6,
     {{0, 1, 0, CMD_EXTENDED, 0x61},                                   // channel 0: row 1 twice (from row 0)
      {0, 3, 1, CMD_EXTENDED, 0x60}, {0, 4, 1, CMD_EXTENDED, 0x61}},   // channel 1: rows 3-4 twice
     true, 200, {{0, 0}, {0, 1}, {0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 3}, {0, 4}, {0, 5}}, true},
    {"BreakD64IntoA64RowPatternPlaysRow63", 3, 64,
     {{0, 0, 0, CMD_PATTERN_BREAK, 0x64}, {1, 63, 0, CMD_PATTERN_BREAK, 0x10}},
     true, 3, {{0, 0}, {1, 63}, {2, 10}}, false},
    {"JumpOnTheLastOrderIsIgnoredWhenLastTrackLoopingIsOff", 2, 2,
     {{1, 1, 0, CMD_POSITION_JUMP, 0}, {0, 1, 0, CMD_POSITION_JUMP, 1}},   // not on the last order: obeyed
     false, 200, {{0, 0}, {0, 1}, {1, 0}, {1, 1}}, true},
    {"JumpOnTheLastOrderIsObeyedWhenLastTrackLoopingIsOn", 2, 2, {{1, 1, 0, CMD_POSITION_JUMP, 0}},
     true, 6, {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 0}, {0, 1}}, false},
};
// clang-format on

class SongScripts : public PlayerTest, public ::testing::WithParamInterface<SongScript> {};

TEST_P(SongScripts, VisitsTheScriptedRows)
{
    const SongScript &s = GetParam();
    ModuleHolder m(song(s.patterns, s.rows));
    for (const auto &[pattern, row, ch, command, param] : s.commands)
        put_at(m.get(), pattern, row, ch, command, param);
    enable_lasttrk_loop = s.last_order_jumps ? kTrue : kFalse;
    play_mod(m.get(), kFalse);
    EXPECT_EQ(play_rows(s.max_rows), s.visits);
    EXPECT_EQ(is_mod_playing() == 0, s.ends);
}
INSTANTIATE_TEST_SUITE_P(Effects, SongScripts, ::testing::ValuesIn(kSongScripts),
                         [](const ::testing::TestParamInfo<SongScript> &info) {
                             return std::string(info.param.name);
                         });

TEST_F(SongPosition, BreaksFarBeyondThePatternStayInside)
{
    ModuleHolder m(song(4, 8));
    m->pattern_info[2].row_count = 4;
    put_at(m.get(), 0, 0, 0, CMD_PATTERN_BREAK, 0x99);
    put_at(m.get(), 1, 7, 0, CMD_PATTERN_BREAK, 0xFF);
    put_at(m.get(), 2, 3, 0, CMD_PATTERN_BREAK, 0x05);
    play_mod(m.get(), kFalse);
    EXPECT_EQ(play_rows(3), (Visits{{0, 0}, {1, 7}, {2, 3}}));
    EXPECT_EQ(play_rows(1), (Visits{{3, 5}}));
}

TEST_F(SongPosition, LoopingSongWrapsJumpsAndBreaksPastTheEndToTheFirstOrder)
{
    ModuleHolder m(song(3, 4));
    m->restart_order = 1;
    put_at(m.get(), 0, 1, 0, CMD_POSITION_JUMP, 7);
    put_at(m.get(), 0, 2, 0, CMD_PATTERN_BREAK, 0x02);
    play_mod(m.get(), kTrue);
    // Order 0 row 1 jumps past the end: order 0 again, row 0.
    EXPECT_EQ(play_rows(3), (Visits{{0, 0}, {0, 1}, {0, 0}}));
    cell(m.get(), 0, 1, 0) = NOTE_INFO{};
    put_at(m.get(), 2, 3, 0, CMD_PATTERN_BREAK, 0x02);  // break on the last order: order 0, row 2
    EXPECT_EQ(play_rows(8),
              (Visits{{0, 1}, {0, 2}, {1, 2}, {1, 3}, {2, 0}, {2, 1}, {2, 2}, {2, 3}}));
    EXPECT_EQ(play_rows(1), (Visits{{0, 2}}));
}

TEST_F(SongPosition, PatternDelayHoldsTheRow)
{
    ModuleHolder m(song(1, 4));
    m->initial_speed = 2;
    put_at(m.get(), 0, 1, 0, CMD_EXTENDED, 0xE2);
    play_mod(m.get(), kFalse);
    std::vector<int> rows;
    for (int i = 0; i < 12; i++) {
        ticks(1);
        rows.push_back(mi.row);
    }
    EXPECT_EQ(rows, (std::vector<int>{0, 0, 1, 1, 1, 1, 1, 1, 2, 2, 3, 3}));
}

// ---------------------------------------------------------------- song length

constexpr long long kTimerHz = 1193181;
long long ms_of(long long units)
{
    return (units * 1000 + kTimerHz / 2) / kTimerHz;
}
long long tick_units(int bpm)
{
    return 71590860 / (24 * bpm);
}

// Milliseconds the tick engine plays a song that stops, counted tick by tick.
long long played_ms(QVMOD *m)
{
    play_mod(m, kFalse);
    long long units = 0;
    for (int i = 0; i < 100000 && is_mod_playing(); i++) {
        mod_interrupt();
        if (is_mod_playing()) units += get_mod_timer_period();
    }
    return ms_of(units);
}

using SongLength = PlayerTest;

TEST_F(SongLength, MatchesTheTickEngineThroughTempoDelaysLoopsAndBreaks)
{
    struct Case {
        int pattern, row, ch, command, param;
    };
    const std::vector<std::vector<Case>> songs = {
        {{0, 0, 0, CMD_PRO_SPEED_BPM, 3},
         {0, 2, 1, CMD_PRO_SPEED_BPM, 0x8C},
         {1, 1, 0, CMD_S3M_BPM, 0x15},
         {1, 2, 0, CMD_S3M_SPEED, 9},
         {2, 3, 1, CMD_S3M_BPM, 0x05}},
        {{0, 1, 0, CMD_EXTENDED, 0xE2},
         {0, 1, 1, CMD_PRO_SPEED_BPM, 4},
         {1, 5, 0, CMD_EXTENDED, 0xEF}},
        {{0, 2, 0, CMD_EXTENDED, 0x60},
         {0, 5, 0, CMD_EXTENDED, 0x63},
         {0, 3, 1, CMD_PRO_SPEED_BPM, 0x40},
         {1, 0, 1, CMD_EXTENDED, 0x61},
         {1, 6, 1, CMD_PATTERN_BREAK, 0x04},
         {2, 7, 0, CMD_EXTENDED, 0x62}},
        {{0, 3, 0, CMD_POSITION_JUMP, 2},
         {0, 3, 1, CMD_PATTERN_BREAK, 0x05},
         {2, 7, 1, CMD_POSITION_JUMP, 9}},
    };
    for (size_t i = 0; i < songs.size(); i++) {
        ModuleHolder m(song(3, 8));
        for (const Case &c : songs[i]) put_at(m.get(), c.pattern, c.row, c.ch, c.command, c.param);
        const int length = get_mod_length(m.get());
        EXPECT_EQ(length, played_ms(m.get())) << "song " << i;
        EXPECT_EQ(get_mod_length_loops(m.get(), 0), length) << "song " << i;
    }
    ModuleHolder quick(song(2, 4));  // speed 0: a row every tick, row 0 skipped
    quick->initial_speed = 0;
    EXPECT_EQ(get_mod_length(quick.get()), played_ms(quick.get()));
}

TEST_F(SongLength, EndsAtTheFirstReturnAndRepeatsThePartThatLoops)
{
    ModuleHolder m(song(3, 8));  // speed 1 at 125 BPM: a row per tick
    put_at(m.get(), 2, 3, 0, CMD_POSITION_JUMP, 1);
    put_at(m.get(), 1, 2, 0, CMD_EXTENDED, 0x60);
    put_at(m.get(), 1, 4, 0, CMD_EXTENDED, 0x61);  // rows 2-4 again: a loop, not a return
    const long long intro = 8 * tick_units(125);
    const long long part = (8 + 3 + 4) * tick_units(125);
    EXPECT_EQ(get_mod_length(m.get()), ms_of(intro + part));
    EXPECT_EQ(get_mod_length_loops(m.get(), 2), ms_of(intro + 3 * part));

    // A song that ends restarts at its restart position after the tick that found the end.
    ModuleHolder ends(song(3, 8));
    ends->restart_order = 1;
    EXPECT_EQ(get_mod_length(ends.get()), ms_of(24 * tick_units(125)));
    EXPECT_EQ(get_mod_length_loops(ends.get(), 1), ms_of((24 + 1 + 16) * tick_units(125)));

    enable_lasttrk_loop = kFalse;  // the jump on the last order is ignored: the song ends
    ModuleHolder last(song(2, 4));
    put_at(last.get(), 1, 3, 0, CMD_POSITION_JUMP, 0);
    EXPECT_EQ(get_mod_length(last.get()), ms_of(8 * tick_units(125)));
}

TEST_F(SongLength, LeavesThePlayingSongAlone)
{
    ModuleHolder playing(song(2, 8));
    ModuleHolder other(song(3, 8));
    put_at(other.get(), 0, 1, 0, CMD_PRO_SPEED_BPM, 0x50);
    play_mod(playing.get(), kFalse);
    ticks(5);
    SONG_STATE before_mi = mi;
    std::vector<CHANNEL_STATE> before_ci(ci, ci + QVMOD_MAX_CHANNELS);
    EXPECT_GT(get_mod_length(other.get()), 0);
    EXPECT_EQ(std::memcmp(&before_mi, &mi, sizeof mi), 0);
    EXPECT_EQ(std::memcmp(before_ci.data(), ci, sizeof ci), 0);
    EXPECT_EQ(of, playing.get());

    EXPECT_EQ(get_mod_length(nullptr), -1);
    EXPECT_STREQ(qvmod_error, "Can't measure a QVMOD pointer with null value");
}

}  // namespace

// ---------------------------------------------------------------- the two voice paths

using VoicePaths = PlayerTest;

// The same song through Allegro's voices and through a render state's own: tick for tick, every
// channel is given the same rate, volume, pan and sample, and sounds or not alike.
TEST_F(VoicePaths, BothPathsAreGivenTheSameDecisions)
{
    struct Song {
        int flags;
        std::vector<std::tuple<int, int, NOTE_INFO>> cells;  // row, channel, cell
    };
    const int notes = QVMOD_FLAG_NOTES | QVMOD_FLAG_LINEAR;
    const Song songs[] = {
        {0,
         {{0, 0, {1, kPitch428, 0, CMD_VIBRATO, 0x46}},
          {0, 1, {2, kPitch428 * 2, 0, CMD_ARPEGGIO, 0x37}},
          {1, 0, {0, 0, 0, CMD_PRO_VOLSLIDE, 0x04}},
          {2, 1, {0, kPitch428, 0, CMD_TONE_PORTA, 0x20}},
          {3, 0, {0, 0, 0, CMD_TREMOLO, 0x68}},
          {4, 1, {1, kPitch428, 0, CMD_EXTENDED, 0xC3}},
          {5, 0, {2, kPitch428 * 3 / 2, 0, CMD_SET_PAN, 0x30}},
          {6, 1, {1, kPitch428, 0, CMD_EXTENDED, 0x92}}}},
        {notes,
         {{0, 0, {1, 49, 0, CMD_XM_VOLSLIDE, 0x02}},
          {0, 1, {1, 61, 0x20, CMD_XM_PANSLIDE, 0x30}},
          {2, 0, {0, 0, 0, CMD_XM_PORTA_UP, 0x08}},
          {3, 1, {0, QVMOD_NOTE_KEY_OFF, 0, 0, 0}},
          {4, 0, {1, 52, 0xB4, CMD_VIBRATO, 0x38}},
          {6, 1, {1, 37, 0, CMD_XM_TONE_PORTA_VOLSLIDE, 0x10}}}},
    };
    for (const Song &song : songs) {
        ModuleHolder m(effects_module(2, 8, 6, 1, song.flags));
        if (song.flags) {
            INSTRUMENT_INFO &in = m->instrument_info[0];
            in.volume_env_flags = QVMOD_ENV_ON | QVMOD_ENV_SUSTAIN;
            in.volume_env_points = 3;
            in.volume_env_sustain_start = in.volume_env_sustain_end = 1;
            const int pos[] = {0, 5, 20}, value[] = {64, 40, 0};
            std::copy(pos, pos + 3, in.volume_env_pos);
            std::copy(value, value + 3, in.volume_env_value);
            in.volume_fadeout = 2000;
            m->sample_info[0].vibrato_depth = 8;
            m->sample_info[0].vibrato_rate = 20;
        }
        for (const auto &[row, ch, c] : song.cells) cell(m.get(), 0, row, ch) = c;
        play_mod(m.get(), kTrue);
        QVMOD_RENDER *r = qvmod_render_open(m.get(), 44100, 0);
        ASSERT_NE(r, nullptr);
        for (int tick = 0; tick < 8 * 6; tick++) {
            mod_interrupt();
            render_tick(r);
            for (int ch = 0; ch < 2; ch++) {
                const Mixer::Decisions d = render_decisions(r, ch);
                const SAMPLE *s = playing_sample(ch);
                SCOPED_TRACE(testing::Message()
                             << "flags " << song.flags << " tick " << tick << " channel " << ch);
                EXPECT_EQ(d.hz, freq(ch));
                EXPECT_EQ(d.volume, vol(ch));
                EXPECT_EQ(d.pan, pan(ch));
                EXPECT_EQ(d.playing, sounding(ch));
                if (d.playing) {
                    EXPECT_EQ(d.data, s->data);
                }
            }
        }
        qvmod_render_close(r);
        stop_mod();
    }
}
