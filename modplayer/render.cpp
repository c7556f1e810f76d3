// SPDX-License-Identifier: MIT
// Render states: a song's own tick engine and mixer run in step, each tick's changes at its exact frame, written as 16-bit or float frames until the song's end.
#include "mixer.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

constexpr int kTimerUnitsPerSecond = 1193181;
constexpr int kBlockFrames = 512;  // frames mixed at a time into the state's float buffer
constexpr int kNormalRatio = 100;
constexpr int kMaxLevel = 255;
constexpr float kShortScale = 32768.0f;
constexpr long kMillisecondsPerSecond = 1000;

// Float frames as 16-bit, held at full scale and rounded to nearest (halves away from zero), in
// a loop the compiler can vectorise.
void to_shorts(const float *from, short *to, int count)
{
    for (int i = 0; i < count; i++) {
        const float v = std::min(std::max(from[i] * kShortScale, -kShortScale), kShortScale - 1.0f);
        to[i] = static_cast<short>(static_cast<int>(v + std::copysign(0.5f, v)));
    }
}

bool renderable(const QVMOD *m)
{
    if (!m || m->order_count < 1 || m->order_count > QVMOD_MAX_ORDERS || m->channel_count < 1 ||
        !m->pattern_info || !m->samples || !m->sample_info)
        return false;
    for (int o = 0; o < m->order_count; o++) {
        const int p = m->order_table[o];
        if (p < 0 || p >= m->pattern_count || m->pattern_info[p].row_count < 1 ||
            !m->pattern_info[p].notes)
            return false;
    }
    return true;
}

// The rows a song has played since its start or its last counted return, by order position:
// the song's end is its first return to one of them, as get_mod_length measures it.
class PlayedRows {
public:
    explicit PlayedRows(const QVMOD &m) : first_row_(m.order_count + 1, 0)
    {
        for (int o = 0; o < m.order_count; o++)
            first_row_[o + 1] = first_row_[o] + m.pattern_info[m.order_table[o]].row_count;
        played_.assign(first_row_[m.order_count], 0);
    }
    void clear()
    {
        std::fill(played_.begin(), played_.end(), 0);
        last_row_ = 0;
    }
    bool played(int order, int row) const { return played_[index(order, row)] != 0; }
    void mark(int order, int row)
    {
        played_[index(order, row)] = 1;
        last_row_ = row;
    }
    // Rows a pattern loop plays again are part of the loop, not a return to played rows.
    void forget_loop_rows(int order, int from_row)
    {
        const int rows = first_row_[order + 1] - first_row_[order];
        for (int row = from_row; row <= last_row_ && row < rows; row++)
            played_[index(order, row)] = 0;
    }

private:
    size_t index(int order, int row) const { return static_cast<size_t>(first_row_[order] + row); }
    std::vector<int> first_row_;
    std::vector<unsigned char> played_;
    int last_row_ = 0;
};

}  // namespace

struct QVMOD_RENDER {
    QVMOD_RENDER(QVMOD *m, int sample_rate, int flags)
        : module(m),
          rate(sample_rate),
          mixer(sample_rate, std::min(m->channel_count, QVMOD_MAX_CHANNELS),
                (flags & QVMOD_RENDER_NO_RAMPS) == 0, m),
          engine(playing, song, channels, volume, mixer, false),
          rows(*m),
          block(2 * kBlockFrames)
    {
        restart();
    }

    // The song from its start, as a fresh render state plays it.
    void restart()
    {
        if (playing) engine.stop_song();
        mixer.reset();
        engine.reset_private_state();
        song = SONG_STATE{};
        std::fill(std::begin(channels), std::end(channels), CHANNEL_STATE{});
        song.voice_count = std::min(module->channel_count, QVMOD_MAX_CHANNELS);
        song.speed_ratio = kNormalRatio;
        song.pitch_ratio = pitch;
        engine.start_song(module, kTrue, nullptr);
        frames_to_tick = carry = song_frames = 0;
        finished = false;
        loops_left = loops;
        rows.clear();
    }

    // One tick, and the frames until the next; false when the song has ended there.
    bool tick()
    {
        engine.run_mod_tick();
        const SongStep step = engine.last_step;
        if (step == SongStep::End) {
            const int restart_order = std::clamp(module->restart_order, 0, QVMOD_MAX_ORDERS);
            if (loops_left == 0 || restart_order >= module->order_count) return false;
        } else if (step == SongStep::NewRow || step == SongStep::LoopBack) {
            if (step == SongStep::LoopBack) rows.forget_loop_rows(song.order_pos, song.row);
            if (rows.played(song.order_pos, song.row)) {
                if (loops_left == 0) return false;
                if (loops_left > 0) loops_left--;
                rows.clear();
            }
            rows.mark(song.order_pos, song.row);
        }
        const long long units =
            carry + static_cast<long long>(mod_timer_period(song.bpm, song.speed_ratio)) * rate;
        frames_to_tick = units / kTimerUnitsPerSecond;
        carry = units % kTimerUnitsPerSecond;
        return true;
    }

    // Up to `frames` frames into `out` (null: mixed and dropped), stopping early after a tick
    // that `stop_at` accepts; returns the frames produced.
    template <typename StopAt>
    int run(float *out, int frames, StopAt stop_at)
    {
        int done = 0;
        while (done < frames && !finished) {
            if (frames_to_tick == 0) {
                if (!tick()) {
                    finished = true;
                    break;
                }
                if (stop_at()) break;
                continue;
            }
            const int n = static_cast<int>(
                std::min<long long>({static_cast<long long>(frames - done), frames_to_tick,
                                     static_cast<long long>(kBlockFrames)}));
            mixer.mix(out ? out + 2 * done : block.data(), n);
            done += n;
            frames_to_tick -= n;
            song_frames += n;
        }
        return done;
    }

    int render(float *out, int frames)
    {
        return run(out, frames, [] { return false; });
    }

    void update_audible()
    {
        const bool any_solo =
            std::any_of(std::begin(solo), std::end(solo), [](bool s) { return s; });
        for (int ch = 0; ch < QVMOD_MAX_CHANNELS; ch++)
            mixer.set_audible(ch, !muted[ch] && (!any_solo || solo[ch]));
    }

    QVMOD *module;
    int rate;
    QVMOD *playing = nullptr;  // the engine's module while the song plays
    SONG_STATE song{};
    CHANNEL_STATE channels[QVMOD_MAX_CHANNELS]{};
    int volume = kMaxLevel;
    int pitch = kNormalRatio;
    Mixer mixer;
    Engine engine;
    PlayedRows rows;
    std::vector<float> block;
    long long frames_to_tick = 0;
    long long carry = 0;  // timer units x rate not yet whole frames
    long long song_frames = 0;
    bool finished = false;
    int loops = 0;
    int loops_left = 0;
    bool muted[QVMOD_MAX_CHANNELS] = {};
    bool solo[QVMOD_MAX_CHANNELS] = {};
};

void render_tick(QVMOD_RENDER *r)
{
    r->tick();
}

Mixer::Decisions render_decisions(const QVMOD_RENDER *r, int ch)
{
    return r->mixer.decisions(ch);
}

extern "C" QVMOD_RENDER *qvmod_render_open(QVMOD *module, int rate, int flags)
{
    if (!renderable(module) || rate < QVMOD_RENDER_MIN_RATE || rate > QVMOD_RENDER_MAX_RATE)
        return nullptr;
    try {
        return new QVMOD_RENDER(module, rate, flags);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

extern "C" void qvmod_render_close(QVMOD_RENDER *render)
{
    delete render;
}

extern "C" int qvmod_render_float(QVMOD_RENDER *render, float *stereo, int frames)
{
    if (!render || !stereo || frames < 0) return -1;
    return render->render(stereo, frames);
}

extern "C" int qvmod_render(QVMOD_RENDER *render, short *stereo, int frames)
{
    if (!render || !stereo || frames < 0) return -1;
    int done = 0;
    std::vector<float> &mix = render->block;
    // The block also serves run() for dropped frames; here it is filled and read in turn.
    while (done < frames) {
        const int n = render->render(mix.data(), std::min(frames - done, kBlockFrames));
        to_shorts(mix.data(), stereo + 2 * done, 2 * n);
        done += n;
        if (n == 0) break;
    }
    return done;
}

extern "C" int qvmod_render_set_interpolation(QVMOD_RENDER *render, int mode)
{
    if (!render) return -1;
    switch (mode) {
    case QVMOD_INTERPOLATION_NEAREST:
        render->mixer.set_interpolation(Interpolation::Nearest);
        break;
    case QVMOD_INTERPOLATION_LINEAR: render->mixer.set_interpolation(Interpolation::Linear); break;
    case QVMOD_INTERPOLATION_CUBIC: render->mixer.set_interpolation(Interpolation::Cubic); break;
    case QVMOD_INTERPOLATION_SINC: render->mixer.set_interpolation(Interpolation::Sinc); break;
    default: return -1;
    }
    return 0;
}

extern "C" int qvmod_render_set_stereo(QVMOD_RENDER *render, int percent)
{
    if (!render || percent < 0 || percent > 100) return -1;
    render->mixer.set_separation(percent);
    return 0;
}

extern "C" int qvmod_render_set_volume(QVMOD_RENDER *render, int volume)
{
    if (!render || volume < 0 || volume > kMaxLevel) return -1;
    render->volume = volume;
    return 0;
}

extern "C" int qvmod_render_set_pitch(QVMOD_RENDER *render, int percent)
{
    if (!render || percent < kMinRatio || percent > kMaxRatio) return -1;
    render->pitch = render->song.pitch_ratio = percent;
    return 0;
}

extern "C" int qvmod_render_mute_channel(QVMOD_RENDER *render, int channel, int muted)
{
    if (!render || channel < 0 || channel >= QVMOD_MAX_CHANNELS) return -1;
    render->muted[channel] = muted != 0;
    render->update_audible();
    return 0;
}

extern "C" int qvmod_render_solo_channel(QVMOD_RENDER *render, int channel, int solo)
{
    if (!render || channel < 0 || channel >= QVMOD_MAX_CHANNELS) return -1;
    render->solo[channel] = solo != 0;
    render->update_audible();
    return 0;
}

extern "C" int qvmod_render_set_loops(QVMOD_RENDER *render, int loops)
{
    if (!render || loops < -1) return -1;
    // Passes already counted stay counted.
    const int used = render->loops < 0 ? 0 : render->loops - render->loops_left;
    render->loops = loops;
    render->loops_left = loops < 0 ? -1 : std::max(loops - used, 0);
    return 0;
}

extern "C" long qvmod_render_time(const QVMOD_RENDER *render)
{
    if (!render) return 0;
    return static_cast<long>(render->song_frames * kMillisecondsPerSecond / render->rate);
}

extern "C" void qvmod_render_position(const QVMOD_RENDER *render, int *order, int *row)
{
    if (order) *order = render ? render->song.order_pos : 0;
    if (row) *row = render ? render->song.row : 0;
}

extern "C" int qvmod_render_seek_time(QVMOD_RENDER *render, long ms)
{
    if (!render || ms < 0) return -1;
    render->restart();
    long long left = static_cast<long long>(ms) * render->rate / kMillisecondsPerSecond;
    while (left > 0 && !render->finished)
        left -= render->run(nullptr, static_cast<int>(std::min<long long>(left, kBlockFrames)),
                            [] { return false; });
    if (!render->finished) return 0;
    render->restart();
    return -1;
}

extern "C" int qvmod_render_seek_order(QVMOD_RENDER *render, int order)
{
    if (!render || order < 0 || order >= render->module->order_count) return -1;
    render->restart();
    bool there = false;
    const auto reached = [render, order, &there] {
        const SongStep step = render->engine.last_step;
        there = (step == SongStep::NewRow || step == SongStep::LoopBack) &&
                render->song.order_pos == order;
        return there;
    };
    while (!there && !render->finished) render->run(nullptr, kBlockFrames, reached);
    if (there) return 0;
    render->restart();
    return -1;
}
