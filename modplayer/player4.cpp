// SPDX-License-Identifier: MIT
// XM effects, instrument envelopes, key off and fade-out.
#include "player_internal.h"

#include <algorithm>
#include <climits>

namespace {

constexpr int kXmPortaFloor = 40;  // XM portamento up stops at this period
constexpr int kExtraFineUp = 1;
constexpr int kExtraFineDown = 2;
constexpr int kEnvelopeMax = 64;  // envelope points hold 0..64

// hi if set, else -lo: the XM rule for slides with one direction per nibble.
int nibble_slide(int param)
{
    const int hi = (param >> 4) & 15;
    return hi != 0 ? hi : -(param & 15);
}

// A slide's set-up on the row: on, with a new amount unless the parameter is 0 (the last one stays).
void start_slide(int &on, int &amount, int param, int new_amount)
{
    on = kTrue;
    if (param != 0) amount = new_amount;
}

// One tick of a slide: the value and its output copy move together.
void slide_both(int &value, int &temp, int amount)
{
    value += amount;
    temp += amount;
}

}  // namespace

void Engine::parse_xm_porta_up(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    if (c.period == 0) return;
    start_slide(c.xm_porta_up_on, c.xm_porta_up_amount, param, -kSlideUnit * param);
}

void Engine::do_xm_porta_up(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    c.period = std::max(c.period + c.xm_porta_up_amount, kXmPortaFloor);
    c.temp_period = std::max(c.temp_period + c.xm_porta_up_amount, kXmPortaFloor);
}

void Engine::parse_xm_porta_down(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    if (c.period == 0) return;
    start_slide(c.xm_porta_down_on, c.xm_porta_down_amount, param, kSlideUnit * param);
}

void Engine::do_xm_porta_down(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    slide_both(c.period, c.temp_period, c.xm_porta_down_amount);
}

void Engine::parse_xm_volslide(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    start_slide(c.xm_volslide_on, c.xm_volslide_amount, param, nibble_slide(param));
}

void Engine::do_xm_volslide(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    slide_both(c.volume, c.temp_volume, c.xm_volslide_amount);
}

void Engine::parse_xm_panslide(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    if (param != 0) c.pan_slide_memory = nibble_slide(param);
    c.pan_slide = c.pan_slide_memory;
}

// Shared by the XM pan slide and the volume column's; the output pass clamps.
void Engine::do_pan_slide(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    slide_both(c.pan, c.temp_pan, c.pan_slide);
}

void Engine::parse_global_volslide(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    start_slide(c.global_volslide_on, c.global_volslide_amount, param, nibble_slide(param));
}

// Every sliding channel acts on the one global volume.
void Engine::do_global_volslide(int ch)
{
    mi.global_volume =
        std::clamp(mi.global_volume + ci[ch].global_volslide_amount, 0, kMaxGlobalVolume);
}

void Engine::parse_key_off(int ch)
{
    parse_note_command(ch, QVMOD_NOTE_KEY_OFF);
}

// Moves the volume envelope to a tick, at most its last point's.
void Engine::parse_set_envelope_pos(int ch, int param)
{
    ENVELOPE_STATE &env = ci[ch].volume_env;
    const int points = std::min(env.points, QVMOD_MAX_ENV_POINTS);
    if (points <= 0) return;
    const int t = std::min(param, env.pos[points - 1]);
    int b = points - 1;
    for (int i = 0; i < points; i++) {
        if (env.pos[i] > t) {
            b = i;
            break;
        }
    }
    env.tick = t;
    env.index_b = b;
    env.index_a = std::max(b - 1, 0);
}

void Engine::parse_xm_extra_fine_porta(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    if (c.period == 0) return;
    const int hi = (param >> 4) & 15;
    const int lo = param & 15;
    if (hi == kExtraFineUp) {
        if (lo != 0) c.xm_extra_fine_up_memory = -lo;
        c.period += c.xm_extra_fine_up_memory;
    } else if (hi == kExtraFineDown) {
        if (lo != 0) c.xm_extra_fine_down_memory = lo;
        c.period += c.xm_extra_fine_down_memory;
    }
}

// ---------------------------------------------------------------- envelopes

// Point indexes from a file are brought inside the used points, and a section's start never
// lies after its end, so advancing can only ever reach points that exist.
void start_envelope(ENVELOPE_STATE *env, const int *values, const int *positions, int flags,
                    int points, int loop_start, int loop_end, int sustain_start, int sustain_end)
{
    std::copy(values, values + QVMOD_MAX_ENV_POINTS, env->value_pt);
    std::copy(positions, positions + QVMOD_MAX_ENV_POINTS, env->pos);
    env->flags = flags;
    env->points = std::clamp(points, 0, QVMOD_MAX_ENV_POINTS);
    const int last = std::max(env->points - 1, 0);
    env->loop_end = std::clamp(loop_end, 0, last);
    env->loop_start = std::clamp(loop_start, 0, env->loop_end);
    env->sustain_end = std::clamp(sustain_end, 0, last);
    env->sustain_start = std::clamp(sustain_start, 0, env->sustain_end);
    env->index_a = 0;
    env->index_b = 1;
    env->tick = 0;
    if ((flags & QVMOD_ENV_SUSTAIN) && env->sustain_start == 0) env->index_b = 0;
    if ((flags & QVMOD_ENV_ON) && env->points == 1) env->index_b = 0;
}

// The value of this tick is taken before the advance, so a new note plays point 0 first.
// Sustain holds until key off; the loop holds with or without it; the last point is kept.
void process_envelope(ENVELOPE_STATE *env, int default_value, int key_off)
{
    env->value = default_value;
    if (env->flags == 0 || env->points <= 0 || !(env->flags & QVMOD_ENV_ON)) return;

    const int points = std::min(env->points, QVMOD_MAX_ENV_POINTS);
    const int a = std::clamp(env->index_a, 0, points - 1);
    const int b = std::clamp(env->index_b, 0, points - 1);
    const int t =
        std::min(env->tick, INT_MAX - 1);  // positions come from files: t + 1 must not overflow
    // Positions that do not ascend can extrapolate; the output stays in the points' range.
    const int value =
        a == b ? env->value_pt[b]
               : interpolate(t, env->pos[a], env->pos[b], env->value_pt[a], env->value_pt[b]);
    env->value = std::clamp(value, 0, kEnvelopeMax);

    int next_a = a;
    int next_b = b;
    int next_t = t + 1;
    if (env->pos[b] <= t + 1) {
        const int nb = b + 1;
        // Sections are rechecked here too: the state is plain data and must not lead outside.
        const int sustain_end = std::clamp(env->sustain_end, 0, points - 1);
        const int sustain_start = std::clamp(env->sustain_start, 0, sustain_end);
        const int loop_end = std::clamp(env->loop_end, 0, points - 1);
        const int loop_start = std::clamp(env->loop_start, 0, loop_end);
        // A sustain point at the loop's end, as XM instruments often have it, does not hold:
        // while the key is held the loop plays, and once it is released the envelope runs on
        // past the loop, as FastTracker 2 plays it.
        const bool sustain_ends_loop = (env->flags & QVMOD_ENV_SUSTAIN) &&
                                       (env->flags & QVMOD_ENV_LOOP) &&
                                       sustain_start == sustain_end && sustain_end == loop_end;
        if ((env->flags & QVMOD_ENV_SUSTAIN) && key_off == 0 && nb > sustain_end &&
            !sustain_ends_loop) {
            next_a = sustain_start;
            next_t = env->pos[sustain_start];
            next_b = sustain_start == sustain_end ? next_a : next_a + 1;
        } else if ((env->flags & QVMOD_ENV_LOOP) && nb > loop_end &&
                   !(sustain_ends_loop && key_off != 0)) {
            next_a = loop_start;
            next_t = env->pos[loop_start];
            next_b = loop_start == loop_end ? next_a : next_a + 1;
        } else {
            next_a = b;
            next_b = nb;
            if (nb >= points) {
                next_b = b;
                next_t = t;
            }
        }
    }
    env->index_a = next_a;
    env->index_b = next_b;
    env->tick = next_t;
}
