// SPDX-License-Identifier: MIT
// How a song moves from row to row (jumps, breaks, loops, delays, tempo) and how long a tick lasts, for the tick engine and for measuring a song's length.
#include "player_internal.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

namespace {

constexpr int kRowDigits = 10;      // a break's parameter is two decimal digits
constexpr int kSpeedBpmSplit = 32;  // code 15: up to here speed, above it BPM
constexpr int kBpmSetFrom = 32;     // S3M T parameters from here set the tempo
constexpr int kBpmDownFrom = 16;    // 16..31 slow down by param - 16, below that speed up
constexpr int kTimerUnitsPerSecond = 1193181;
constexpr int kMillisecondsPerSecond = 1000;
constexpr int kNormalSpeed = 100;  // percent: a song's own tempo
// A pass through the song stops here whatever it does: pattern loops can be built never to end.
constexpr long long kMaxPassMs = 60LL * 60 * kMillisecondsPerSecond;
constexpr long long kMaxPassUnits = kMaxPassMs * kTimerUnitsPerSecond / kMillisecondsPerSecond;

int row_count_at(const SONG_STATE &s, const QVMOD &m)
{
    return m.pattern_info[s.pattern].row_count;
}

void set_song_bpm(SONG_STATE &s, int bpm)
{
    s.bpm = std::clamp(bpm, kMinBpm, kMaxBpm);
}

}  // namespace

extern "C" {
int enable_lasttrk_loop = kTrue;
}

// ---------------------------------------------------------------- tick period

int mod_timer_period(int bpm, int speed_ratio)
{
    bpm = std::clamp(bpm, kMinBpm, kMaxBpm);
    speed_ratio = std::clamp(speed_ratio, kMinRatio, kMaxRatio);
    const int divisor = std::max(1, (speed_ratio * 24 * bpm) / 100);
    return kTimerUnitsPerMinute / divisor;
}

// ---------------------------------------------------------------- row-flow commands

void parse_position_jump(SONG_STATE &s, const QVMOD &m, int param)
{
    if (enable_lasttrk_loop == kTrue) {
        s.pending_order = param + 1;
        if (s.loop == kTrue && param >= m.order_count) s.pending_order = 1;
    } else {
        if (s.order_pos >= m.order_count - 1) return;  // the last position's jump is ignored
        s.pending_order = param + 1;
    }
    // An order target below 0 cannot come from a loader; it ends the song like one past the end.
    if (s.pending_order < 1) s.pending_order = m.order_count + 1;
    if (s.pending_row == 0) s.pending_row = 1;
}

// A break to the row just past a pattern's end plays its last row; anything further out is
// brought inside before the row is read.
void parse_pattern_break(SONG_STATE &s, const QVMOD &m, int param)
{
    if (s.pending_order == 0) s.pending_order = s.order_pos + 2;
    s.pending_row = kRowDigits * ((param >> 4) & 15) + (param & 15) + 1;
    if (s.loop == kTrue && s.pending_order - 1 >= m.order_count) s.pending_order = 1;
    const int order = s.pending_order - 1;
    if (order >= 0 && order < m.order_count) {
        const int rows = m.pattern_info[m.order_table[order]].row_count;
        if (s.pending_row - 1 >= rows) s.pending_row--;
    }
}

bool parse_pro_speed_bpm(SONG_STATE &s, int param)
{
    if (param <= 0) return false;
    if (param <= kSpeedBpmSplit) {
        s.speed = param;
        return false;
    }
    set_song_bpm(s, param);
    return true;
}

void parse_s3m_speed(SONG_STATE &s, int param)
{
    if (param > 0) s.speed = param;
}

// Set even when the tempo stays; the clamp keeps repeated slow-downs at the timer's floor.
bool parse_s3m_bpm(SONG_STATE &s, int param)
{
    if (param < 0) return false;
    int bpm = s.bpm;
    if (param >= kBpmSetFrom)
        bpm = param;
    else if (param >= kBpmDownFrom)
        bpm -= param - kBpmDownFrom;
    else
        bpm += param;
    set_song_bpm(s, bpm);
    return true;
}

// Each channel keeps its own loop; the jump back happens when the row ends.
void parse_pattern_loop(const SONG_STATE &s, CHANNEL_STATE &c, int x)
{
    if (x == 0) {
        c.loop_row = s.row;
        return;
    }
    if (c.loop_count < 1)
        c.loop_count = x;
    else
        c.loop_count--;
    if (c.loop_count < 1)
        c.loop_row = s.row + 1;
    else
        c.loop_on = kTrue;
}

bool parse_flow_command(SONG_STATE &s, const QVMOD &m, CHANNEL_STATE &c, const NOTE_INFO &n)
{
    const int param = n.extcommand;
    switch (n.command) {
    case CMD_POSITION_JUMP: parse_position_jump(s, m, param); break;
    case CMD_PATTERN_BREAK: parse_pattern_break(s, m, param); break;
    case CMD_PRO_SPEED_BPM: return parse_pro_speed_bpm(s, param);
    case CMD_S3M_SPEED: parse_s3m_speed(s, param); break;
    case CMD_S3M_BPM: return parse_s3m_bpm(s, param);
    case CMD_EXTENDED:
        if ((param >> 4) == EXT_PATTERN_LOOP)
            parse_pattern_loop(s, c, param & 15);
        else if ((param >> 4) == EXT_PATTERN_DELAY)
            s.pattern_delay = s.speed * (param & 15);
        break;
    default: break;
    }
    return false;
}

// ---------------------------------------------------------------- position

void keep_row_in_pattern(SONG_STATE &s, const QVMOD &m)
{
    if (s.order_pos >= 0 && s.order_pos < m.order_count)
        s.row = std::clamp(s.row, 0, row_count_at(s, m) - 1);
}

SongStep advance_song_position(SONG_STATE &s, const QVMOD &m, CHANNEL_STATE *channels,
                               int loop_channels, int clear_channels)
{
    s.tick++;
    if (s.tick >= s.speed && s.pattern_delay >= 1) {
        s.pattern_delay--;
        return SongStep::PatternDelay;
    }
    bool looped_back = false;
    if (s.tick >= s.speed) {
        s.tick = 0;
        for (int ch = 0; ch < loop_channels; ch++) {
            if (channels[ch].loop_on == kTrue && channels[ch].loop_count > 0) {
                s.pending_row = channels[ch].loop_row + 1;
                s.pending_order = s.order_pos + 1;
                looped_back = true;
            }
        }
        if (s.pending_row == 0) {
            s.row++;
            if (s.row >= row_count_at(s, m)) {
                s.row = 0;
                s.order_pos++;
                if (s.order_pos < m.order_count) s.pattern = m.order_table[s.order_pos];
                for (int ch = 0; ch < clear_channels; ch++)
                    channels[ch].loop_row = channels[ch].loop_count = 0;
            }
        } else {
            s.row = s.pending_row - 1;
            s.order_pos = s.pending_order - 1;
            if (s.order_pos >= 0 && s.order_pos < m.order_count)
                s.pattern = m.order_table[s.order_pos];
            s.pending_row = s.pending_order = 0;
            keep_row_in_pattern(s, m);
        }
    }
    if (s.order_pos < 0 || s.order_pos >= m.order_count) return SongStep::End;
    if (s.tick != 0) return SongStep::SameRow;
    return looped_back ? SongStep::LoopBack : SongStep::NewRow;
}

// ---------------------------------------------------------------- song length

namespace {

// The song walked tick by tick with the engine's rules, on its own state: the player's song,
// channels and voices are not touched.
class SongWalk {
public:
    explicit SongWalk(const QVMOD &m)
        : m_(m), channels_(QVMOD_MAX_CHANNELS), first_row_(m.order_count + 1, 0)
    {
        for (int o = 0; o < m.order_count; o++)
            first_row_[o + 1] = first_row_[o] + m.pattern_info[m.order_table[o]].row_count;
        played_.assign(first_row_[m.order_count], 0);
        restart();
    }

    // Timer units from the start to the end of the song or its first return to a row already
    // played, then through `loops` more passes of the part that repeats.
    long long units(int loops)
    {
        long long total = 0;
        long long pass_start = 0;
        while (total - pass_start < kMaxPassUnits) {
            const SongStep step =
                advance_song_position(s_, m_, channels_.data(), channel_count(), channel_count());
            if (step == SongStep::End) {
                // A looping song restarts at its restart position, through one or two idle ticks;
                // the return to a played row that follows is what counts as a pass.
                if (loops <= 0 || !restart_at(m_.restart_order, total)) return total;
                continue;
            }
            if (step == SongStep::LoopBack) forget_loop_rows();
            if (step == SongStep::NewRow || step == SongStep::LoopBack) {
                if (played(s_.order_pos, s_.row)) {
                    if (loops-- <= 0) return total;
                    std::fill(played_.begin(), played_.end(), 0);
                    pass_start = total;
                }
                mark_played();
                last_row_ = s_.row;
                for (int ch = 0; ch < channel_count(); ch++) {
                    CHANNEL_STATE &c = channels_[ch];
                    c.loop_on = 0;
                    parse_flow_command(s_, m_, c,
                                       *get_note(const_cast<QVMOD *>(&m_), s_.pattern, s_.row, ch));
                }
            }
            total += tick_units();
        }
        return total;
    }

private:
    int channel_count() const { return std::min(m_.channel_count, QVMOD_MAX_CHANNELS); }
    long long tick_units() const { return mod_timer_period(s_.bpm, kNormalSpeed); }
    bool played(int order, int row) const { return played_[first_row_[order] + row] != 0; }
    void mark_played() { played_[first_row_[s_.order_pos] + s_.row] = 1; }

    // Rows a pattern loop plays again are part of the loop, not a return to played rows.
    void forget_loop_rows()
    {
        for (int row = s_.row; row <= last_row_ && row < row_count_at(s_, m_); row++)
            played_[first_row_[s_.order_pos] + row] = 0;
    }

    // The song state as play_mod leaves it.
    void restart()
    {
        s_ = SONG_STATE{};
        s_.tick = -1;
        s_.pattern = m_.order_table[0];
        set_song_bpm(s_, m_.initial_bpm);
        s_.speed = std::max(0, m_.initial_speed);
        s_.loop = kTrue;
        std::fill(channels_.begin(), channels_.end(), CHANNEL_STATE{});
    }

    // The engine's end of a looping song: play_mod, then a request for the restart position
    // carried out on the next tick. False when that position holds no rows to play.
    bool restart_at(int order, long long &total)
    {
        order = std::clamp(order, 0, QVMOD_MAX_ORDERS);
        if (order >= m_.order_count) return false;
        restart();
        total += tick_units();  // the tick that found the end
        if (order == 0) {
            total += tick_units();  // the request for order 0 restarts again
            return true;
        }
        s_.order_pos = order;
        s_.pattern = m_.order_table[order];
        return true;
    }

    const QVMOD &m_;
    SONG_STATE s_{};
    std::vector<CHANNEL_STATE> channels_;
    std::vector<int> first_row_;  // index of each order position's row 0 in played_
    std::vector<unsigned char> played_;
    int last_row_ = 0;
};

bool walkable(const QVMOD *m)
{
    if (!m) {
        qvmod_set_error("Can't measure a QVMOD pointer with null value");
        return false;
    }
    bool ok = m->order_count >= 1 && m->order_count <= QVMOD_MAX_ORDERS && m->channel_count >= 1 &&
              m->pattern_info;
    for (int o = 0; ok && o < m->order_count; o++) {
        const int p = m->order_table[o];
        ok = p >= 0 && p < m->pattern_count && m->pattern_info[p].row_count >= 1 &&
             m->pattern_info[p].notes;
    }
    if (!ok) qvmod_set_error("QVMOD module has no song to measure");
    return ok;
}

}  // namespace

extern "C" int get_mod_length_loops(QVMOD *module, int loops)
{
    if (!walkable(module)) return -1;
    const long long units = SongWalk(*module).units(std::max(loops, 0));
    const long long ms =
        (units * kMillisecondsPerSecond + kTimerUnitsPerSecond / 2) / kTimerUnitsPerSecond;
    return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

extern "C" int get_mod_length(QVMOD *module)
{
    return get_mod_length_loops(module, 0);
}
