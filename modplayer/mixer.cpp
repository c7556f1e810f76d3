// SPDX-License-Identifier: MIT
// The library's own voices: sample reading with nearest, linear, cubic or windowed-sinc interpolation, loops read through copies of their seams, volume ramps, mixed in float.
#include "mixer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace {

constexpr int kFracBits = 32;
constexpr int64_t kOne = int64_t{1} << kFracBits;
constexpr float kFracScale = 1.0f / 4294967296.0f;
constexpr int kRampMicroseconds = 2000;  // a volume jump glides over 2 ms
constexpr int kMicroseconds = 1000000;
constexpr int kMaxLevel = 255;  // voice volume and pan
// A voice at full volume on one side reaches half of full scale, so the four channels of a MOD,
// two to a side, stay within it.
constexpr float kVoiceGain = 0.5f;
// Longer samples play their first 2^30 frames: positions in 32.32 fixed point stay far from
// overflowing.
constexpr int64_t kMaxFrames = int64_t{1} << 30;

// The windowed-sinc filter: 8 taps (frames idx-3 .. idx+4), a table of phases.
constexpr int kSincTaps = 8;
constexpr int kSincPhaseBits = 10;
constexpr int kSincPhases = 1 << kSincPhaseBits;
constexpr double kPi = 3.14159265358979323846;

// Frames an interpolation reads before and after the one a position is in.
constexpr int taps_before(Interpolation i)
{
    return i == Interpolation::Cubic ? 1 : i == Interpolation::Sinc ? kSincTaps / 2 - 1 : 0;
}
constexpr int taps_after(Interpolation i)
{
    return i == Interpolation::Nearest  ? 0
           : i == Interpolation::Linear ? 1
           : i == Interpolation::Cubic  ? 2
                                        : kSincTaps / 2;
}
constexpr int kMostBefore = taps_before(Interpolation::Sinc);
constexpr int kMostAfter = taps_after(Interpolation::Sinc);

// Loops shorter than this are repeated in their copy to at least this length, so that a voice
// wraps at most once in so many frames; a longer forward loop gets a copy of its seam only, from
// this many frames before its end.
constexpr int64_t kUnrolledFrames = 2048;
constexpr int64_t kSeamFrames = 64;
// A voice wraps this many frames past a whole number of loops, so that the frames interpolation
// reads before its new position are the loop's, not those before the loop's start.
constexpr int64_t kWrapGuard = 8;
static_assert(kWrapGuard >= kMostBefore && kSeamFrames > kWrapGuard + kMostAfter);
// Where the taps reach past both the sample and the copy (a sample's first and last frames),
// frames are read one by one through the loop rules, this many at a time.
constexpr int kCarefulFrames = 16;

struct SincTable {
    std::array<float, kSincPhases * kSincTaps> taps;
    SincTable()
    {
        for (int p = 0; p < kSincPhases; p++) {
            const double frac = static_cast<double>(p) / kSincPhases;
            double sum = 0;
            for (int t = 0; t < kSincTaps; t++) {
                const double x = (t - (kSincTaps / 2 - 1)) - frac;  // distance from the position
                const double sinc = x == 0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
                // Blackman window over the 8 taps, centred on the position.
                const double w = (x + kSincTaps / 2) / kSincTaps;
                const double window =
                    0.42 - 0.5 * std::cos(2 * kPi * w) + 0.08 * std::cos(4 * kPi * w);
                taps[p * kSincTaps + t] = static_cast<float>(sinc * window);
                sum += sinc * window;
            }
            for (int t = 0; t < kSincTaps; t++)  // unity gain at every phase
                taps[p * kSincTaps + t] = static_cast<float>(taps[p * kSincTaps + t] / sum);
        }
    }
};

const SincTable &sinc_table()
{
    static const SincTable table;  // built once, thread-safe, read-only after
    return table;
}

// Allegro's samples are unsigned: silence is the middle value.
template <typename T>
constexpr int kBias = sizeof(T) == 1 ? 128 : 32768;
template <typename T>
constexpr float kScale = sizeof(T) == 1 ? 1.0f / 128 : 1.0f / 32768;

template <typename T>
float level(T frame)
{
    return static_cast<float>(static_cast<int>(frame) - kBias<T>);
}

// What a voice plays at position frame i, as the sample stores it: its own frames below raw_end,
// then the loop again (a ping-pong loop mirrored), silence before the start, and past an unlooped
// end silence or the last frame held.
template <typename T>
T frame_at(const Mixer::Voice &v, int64_t i)
{
    if (i < 0) return static_cast<T>(kBias<T>);
    if (i >= v.raw_end) {
        const int64_t s = v.loop_start;
        if (v.loop == QVMOD_LOOP_FORWARD) {
            i = s + (i - s) % (v.loop_end - s);
        } else if (v.loop == QVMOD_LOOP_BIDIR) {
            const int64_t half = v.loop_end - 1 - s;
            const int64_t k = (i - s) % (2 * half);
            i = s + (k <= half ? k : 2 * half - k);
        } else if (v.hold_end && v.len > 0) {
            i = v.len - 1;
        } else {
            return static_cast<T>(kBias<T>);
        }
    }
    return static_cast<const T *>(v.data)[i];
}

// A cubic or sinc read at 32.32 position `pos`, through `at(k)`, the level of the frame k after
// the position's own.
template <Interpolation I, typename At>
inline float interpolate(uint32_t frac, At at, const float *sinc)
{
    if constexpr (I == Interpolation::Cubic) {
        // Catmull-Rom through the two frames either side.
        const float x = static_cast<float>(frac) * kFracScale;
        const float p0 = at(-1), p1 = at(0), p2 = at(1), p3 = at(2);
        return p1 + 0.5f * x *
                        (p2 - p0 +
                         x * (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3 +
                              x * (3.0f * (p1 - p2) + p3 - p0)));
    } else {
        static_assert(I == Interpolation::Sinc);
        const float *k = sinc + (frac >> (kFracBits - kSincPhaseBits)) * kSincTaps;
        float sum = 0;
        for (int t = 0; t < kSincTaps; t++) sum += k[t] * at(t - kMostBefore);
        return sum;
    }
}

// Nearest and linear reading work in whole numbers, cubic and sinc in float. A linear read is
// the level times 2^kWholeBits, with 15 fraction bits for 16-bit frames so that the products stay
// within 32 bits.
template <Interpolation I>
constexpr bool kWholeNumbers = I == Interpolation::Nearest || I == Interpolation::Linear;
template <Interpolation I>
using Mono = std::conditional_t<kWholeNumbers<I>, int32_t, float>;
template <typename T>
constexpr int kWholeBits = sizeof(T) == 1 ? 16 : 15;
// What one unit of a voice's reads is, full scale being 1.
template <typename T, Interpolation I>
constexpr float kUnit = kScale<T> / (I == Interpolation::Linear
                                         ? static_cast<float>(1 << kWholeBits<T>)
                                         : 1.0f);

// One output frame's read at 32.32 position `pos`, through `at(k)`, the level of the frame k
// after the position's own.
template <typename T, Interpolation I, typename At>
inline Mono<I> read(uint32_t frac, At at, const float *sinc)
{
    if constexpr (I == Interpolation::Nearest) {
        return at(0);
    } else if constexpr (I == Interpolation::Linear) {
        const auto x = static_cast<int32_t>(frac >> (kFracBits - kWholeBits<T>));
        const int32_t a = at(0);
        return a * (1 << kWholeBits<T>)+(at(1) - a) * x;
    } else {
        return interpolate<I>(frac, at, sinc);
    }
}

template <Interpolation I, typename T>
inline Mono<I> level_of(T frame)
{
    if constexpr (kWholeNumbers<I>)
        return static_cast<int32_t>(frame) - kBias<T>;
    else
        return level(frame);
}

// Frames until a voice moving by `step` from `pos` reaches `bound`, at most `most`.
int frames_to(int64_t pos, int64_t step, int64_t bound, int most)
{
    if (step <= 0) return most;
    const int64_t gap = bound - pos;
    if (gap <= 0) return 0;
    return static_cast<int>(std::min<int64_t>((gap + step - 1) / step, most));
}

// A voice's position past its loop's wrap goes back; false when an unlooped voice has ended.
bool wrap(Mixer::Voice &v)
{
    const int64_t bound = (v.loop ? v.wrap_at : v.len) << kFracBits;
    if (v.pos < bound) return true;
    if (!v.loop) {
        v.active = false;
        return false;
    }
    const int64_t by = v.wrap_by << kFracBits;
    v.pos = bound - by + (v.pos - bound) % by;
    return true;
}

// Frames until the voice wraps or ends, at most `most` (at least 1 after wrap()).
int frames_to_wrap(const Mixer::Voice &v, int most)
{
    return frames_to(v.pos, v.step, (v.loop ? v.wrap_at : v.len) << kFracBits, most);
}

// The voice's next `frames` reads into `mono`; returns how many it made before it ended. Runs
// end where the voice wraps or ends, or where the frames they read leave the sample or the
// loop's copy; within a run frames are read straight from memory.
template <typename T, Interpolation I>
int read_voice(Mixer::Voice &v, Mono<I> *mono, int frames)
{
    constexpr int before = taps_before(I);
    constexpr int after = taps_after(I);
    const T *data = static_cast<const T *>(v.data);
    const T *copy = static_cast<const T *>(v.copy);
    const int64_t step = v.step;
    const float *sinc = sinc_table().taps.data();
    int done = 0;
    while (done < frames && wrap(v)) {
        int n = frames_to_wrap(v, frames - done);
        const int64_t i = v.pos >> kFracBits;
        const T *src = nullptr;
        int64_t first = 0;
        int64_t limit = 0;
        if (i - before >= 0 && i + after < v.raw_end) {
            src = data;
            limit = v.raw_end;
        } else if (copy && i - before >= v.copy_start && i + after < v.copy_end) {
            src = copy;
            first = v.copy_start;
            limit = v.copy_end;
        }
        Mono<I> *to = mono + done;
        if (src) {
            n = frames_to(v.pos, v.step, (limit - after) << kFracBits, n);
            // The frame counted from the run's first frame in memory, and the fraction apart,
            // its carry added to the frame.
            int64_t frame = (v.pos >> kFracBits) - first;
            auto frac = static_cast<uint32_t>(v.pos);
            const int64_t frame_step = step >> kFracBits;
            const auto frac_step = static_cast<uint32_t>(step);
            for (int k = 0; k < n; k++) {
                const T *p = src + frame;
                to[k] = read<T, I>(
                    frac, [p](int t) { return level_of<I>(p[t]); }, sinc);
                const uint32_t next = frac + frac_step;
                frame += frame_step + (next < frac);
                frac = next;
            }
            v.pos = (frame + first) * kOne + frac;
        } else {
            n = std::min(n, kCarefulFrames);
            for (int k = 0; k < n; k++) {
                const int64_t at = v.pos >> kFracBits;
                to[k] = read<T, I>(
                    static_cast<uint32_t>(v.pos),
                    [&v, at](int t) { return level_of<I>(frame_at<T>(v, at + t)); }, sinc);
                v.pos += step;
            }
        }
        done += n;
    }
    return done;
}

// A silent voice moves on without reading.
void skip_voice(Mixer::Voice &v, int frames)
{
    while (frames > 0 && wrap(v)) {
        const int n = frames_to_wrap(v, frames);
        v.pos += n * v.step;
        frames -= n;
    }
    wrap(v);
}

// A voice's reads into the stereo frames at its gains, gliding while a ramp lasts.
template <typename M>
void pan_voice(Mixer::Voice &v, const M *mono, float *out, int frames, float unit)
{
    int k = 0;
    if (v.ramp_left > 0) {
        const int n = std::min(frames, v.ramp_left);
        const float l = v.gain[0] * unit, r = v.gain[1] * unit;
        const float dl = v.delta[0] * unit, dr = v.delta[1] * unit;
        for (; k < n; k++) {
            const float s = static_cast<float>(mono[k]);
            const auto along = static_cast<float>(k);
            out[2 * k] += s * (l + along * dl);
            out[2 * k + 1] += s * (r + along * dr);
        }
        v.ramp_left -= n;
        for (int side = 0; side < 2; side++)
            v.gain[side] = v.ramp_left == 0 ? v.target[side] : v.gain[side] + n * v.delta[side];
    }
    const float l = v.gain[0] * unit, r = v.gain[1] * unit;
    for (; k < frames; k++) {
        const float s = static_cast<float>(mono[k]);
        out[2 * k] += s * l;
        out[2 * k + 1] += s * r;
    }
}

// A voice's next `frames` frames into the mix. An unlooped sample that ends on a held voice goes
// on as its last frame, gliding to silence over `tail` frames.
template <typename T, Interpolation I>
void mix_typed(Mixer::Voice &v, Mono<I> *mono, float *out, int frames, int tail)
{
    int done = 0;
    if (!v.held) {
        done = read_voice<T, I>(v, mono, frames);
        pan_voice(v, mono, out, done, kUnit<T, I>);
        if (v.active || !v.hold_end || v.len == 0 || tail <= 0) return;
        v.active = v.held = true;
        if (!v.fading) {
            v.fading = true;
            v.ramp_left = tail;
            for (int side = 0; side < 2; side++) {
                v.target[side] = 0;
                v.delta[side] = -v.gain[side] / static_cast<float>(tail);
            }
        }
    }
    const int n = std::min(frames - done, v.ramp_left);
    Mono<I> last = level_of<I>(static_cast<const T *>(v.data)[v.len - 1]);
    if constexpr (I == Interpolation::Linear) last *= 1 << kWholeBits<T>;
    std::fill(mono, mono + n, last);
    pan_voice(v, mono, out + 2 * done, n, kUnit<T, I>);
}

template <Interpolation I>
void mix_interpolated(Mixer::Voice &v, Mono<I> *mono, float *out, int frames, int tail)
{
    if (v.bits == 16)
        mix_typed<uint16_t, I>(v, mono, out, frames, tail);
    else
        mix_typed<uint8_t, I>(v, mono, out, frames, tail);
}

// A voice's sample, its loop and where it wraps when no copy of the loop is at hand.
void describe(Mixer::Voice &v, const QVMOD &m, int number)
{
    const SAMPLE &s = m.samples[number];
    v.data = s.data;
    v.bits = s.bits == 16 ? 16 : 8;
    v.len = s.data ? std::min<int64_t>(static_cast<int64_t>(s.len), kMaxFrames) : 0;
    v.loop_end = std::min<int64_t>(static_cast<int64_t>(s.loop_end), v.len);
    v.loop_start = std::min<int64_t>(static_cast<int64_t>(s.loop_start), v.loop_end);
    // A loop that covers no frames is played once; a ping-pong loop of one frame is a forward one.
    v.loop = v.loop_end > v.loop_start
                 ? m.sample_info[number].loop_type & (QVMOD_LOOP_FORWARD | QVMOD_LOOP_BIDIR)
                 : 0;
    if (v.loop & QVMOD_LOOP_BIDIR)
        v.loop = v.loop_end - v.loop_start >= 2 ? QVMOD_LOOP_BIDIR : QVMOD_LOOP_FORWARD;
    v.raw_end = v.loop ? v.loop_end : v.len;
    v.wrap_by = v.loop == QVMOD_LOOP_BIDIR ? 2 * (v.loop_end - 1 - v.loop_start)
                                           : v.loop_end - v.loop_start;
    v.wrap_at = v.loop_start + v.wrap_by;
    v.copy = nullptr;
    v.copy_start = v.copy_end = 0;
}

template <typename T>
void fill_copy(const Mixer::Voice &v, int64_t start, int64_t end, std::vector<T> &to)
{
    to.resize(static_cast<size_t>(end - start));
    for (size_t k = 0; k < to.size(); k++) to[k] = frame_at<T>(v, start + static_cast<int64_t>(k));
}

}  // namespace

Mixer::Mixer(int rate, int channels, bool ramps, const QVMOD *module)
    : rate_(rate),
      channels_(std::clamp(channels, 0, QVMOD_MAX_CHANNELS)),
      ramps_(ramps),
      ramp_frames_(std::max(
          1, static_cast<int>(static_cast<long long>(rate) * kRampMicroseconds / kMicroseconds)))
{
    std::fill(std::begin(audible_), std::end(audible_), true);
    sinc_table();
    if (module && module->samples && module->sample_info) prepare(*module);
}

// Each looped sample's copy: a short loop repeated (a ping-pong loop unfolded) to at least
// kUnrolledFrames, a long ping-pong loop unfolded once, a long forward loop's seam; with the
// frames either side that interpolation reads.
void Mixer::prepare(const QVMOD &m)
{
    module_ = &m;
    loops_.assign(static_cast<size_t>(std::max(m.sample_count, 0)), LoopCopy{});
    for (int n = 0; n < m.sample_count; n++) {
        Voice v;
        describe(v, m, n);
        if (!v.loop) continue;
        LoopCopy &c = loops_[static_cast<size_t>(n)];
        const int64_t cycle = v.wrap_by;
        if (cycle < kUnrolledFrames || v.loop == QVMOD_LOOP_BIDIR) {
            const int64_t repeats = std::max<int64_t>(1, (kUnrolledFrames + cycle - 1) / cycle);
            c.start = v.loop_start - kMostBefore;
            c.wrap_by = repeats * cycle;
            c.wrap_at = v.loop_start + c.wrap_by + kWrapGuard;
        } else {
            c.start = v.loop_end - kSeamFrames;
            c.wrap_by = cycle;
            c.wrap_at = v.loop_end + kWrapGuard;
        }
        c.end = c.wrap_at + kMostAfter;
        if (v.bits == 16)
            fill_copy(v, c.start, c.end, c.wide);
        else
            fill_copy(v, c.start, c.end, c.narrow);
    }
}

void Mixer::reset()
{
    for (Voice &v : voices_) v = Voice{};
}

void Mixer::retarget(int ch, Voice &v, bool glide)
{
    // Separation narrows the pan towards the exact middle, where both sides are equal.
    const float right = 0.5f + (static_cast<float>(v.pan) / kMaxLevel - 0.5f) *
                                   static_cast<float>(separation_) / 100;
    const float level = audible_[ch] && !v.held ? kVoiceGain * v.volume / kMaxLevel : 0.0f;
    const float left_target = level * (1.0f - right);
    const float right_target = level * right;
    // A voice told what it already has (the engine repeats itself every tick) keeps going.
    if (left_target == v.target[0] && right_target == v.target[1] && glide) return;
    v.target[0] = left_target;
    v.target[1] = right_target;
    if (glide && ramps_ && v.active) {
        v.ramp_left = ramp_frames_;
        for (int side = 0; side < 2; side++)
            v.delta[side] = (v.target[side] - v.gain[side]) / ramp_frames_;
    } else {
        v.ramp_left = 0;
        v.gain[0] = v.target[0];
        v.gain[1] = v.target[1];
    }
}

// The channel's sounding note moves to its fading voice and glides to silence there.
void Mixer::fade_out(int ch)
{
    Voice &v = voices_[ch];
    if (!v.active) return;
    if (ramps_ && (v.gain[0] != 0 || v.gain[1] != 0)) {
        Voice &f = voices_[QVMOD_MAX_CHANNELS + ch];
        f = v;
        f.fading = true;
        f.volume = 0;
        retarget(ch, f, true);
    }
    v.active = false;
}

void Mixer::assign(int ch, const QVMOD &m, int number)
{
    fade_out(ch);
    Voice &v = voices_[ch];
    describe(v, m, number);
    if (&m == module_ && number >= 0 && static_cast<size_t>(number) < loops_.size()) {
        const LoopCopy &c = loops_[static_cast<size_t>(number)];
        if (c.end > c.start) {
            v.copy = v.bits == 16 ? static_cast<const void *>(c.wide.data()) : c.narrow.data();
            v.copy_start = c.start;
            v.copy_end = c.end;
            v.wrap_at = c.wrap_at;
            v.wrap_by = c.wrap_by;
        }
    }
    v.pos = 0;
    v.active = v.fading = v.held = false;
    v.hold_end = ramps_;
    v.gain[0] = v.gain[1] = 0;
    v.target[0] = v.target[1] = 0;
    v.ramp_left = 0;
}

void Mixer::set_position(int ch, int frame)
{
    Voice &v = voices_[ch];
    v.pos = std::min<int64_t>(std::max(frame, 0), kMaxFrames) << kFracBits;
    if (v.held) {  // a voice that had played to its end plays again from here
        v.held = v.fading = false;
        retarget(ch, v, true);
    }
}

void Mixer::set_frequency(int ch, int hz)
{
    Voice &v = voices_[ch];
    v.hz = std::max(hz, 0);
    v.step = (static_cast<int64_t>(v.hz) << kFracBits) / rate_;
}

void Mixer::set_volume(int ch, int volume)
{
    Voice &v = voices_[ch];
    v.volume = std::clamp(volume, 0, kMaxLevel);
    retarget(ch, v, true);
}

void Mixer::set_pan(int ch, int pan)
{
    Voice &v = voices_[ch];
    v.pan = std::clamp(pan, 0, kMaxLevel);
    retarget(ch, v, true);
}

void Mixer::start(int ch)
{
    Voice &v = voices_[ch];
    if (!v.data) return;
    v.active = true;
    v.fading = v.held = false;
    // A note starts from silence and glides up to its level.
    v.gain[0] = v.gain[1] = 0;
    v.target[0] = v.target[1] = 0;
    retarget(ch, v, true);
}

void Mixer::stop(int ch)
{
    fade_out(ch);
}

bool Mixer::sounding(int ch) const
{
    return voices_[ch].active && !voices_[ch].held;
}

void Mixer::set_separation(int percent)
{
    separation_ = std::clamp(percent, 0, 100);
    for (int ch = 0; ch < channels_; ch++) {
        retarget(ch, voices_[ch], true);
        retarget(ch, voices_[QVMOD_MAX_CHANNELS + ch], false);
    }
}

void Mixer::set_audible(int ch, bool audible)
{
    if (ch < 0 || ch >= channels_ || audible_[ch] == audible) return;
    audible_[ch] = audible;
    retarget(ch, voices_[ch], true);
    Voice &f = voices_[QVMOD_MAX_CHANNELS + ch];
    if (!audible) f.active = false;
}

Mixer::Decisions Mixer::decisions(int ch) const
{
    const Voice &v = voices_[ch];
    return {v.data, v.hz, v.volume, v.pan, v.active && !v.held};
}

void Mixer::mix(float *stereo, int frames)
{
    std::memset(stereo, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
    for (int at = 0; at < frames; at += kChunkFrames) {
        const int n = std::min(frames - at, kChunkFrames);
        float *out = stereo + 2 * at;
        for (Voice &v : voices_) {
            if (!v.active || !v.data) continue;
            // A fading voice sounds until its glide ends.
            const int sounding = v.fading ? std::min(n, v.ramp_left) : n;
            if (v.ramp_left == 0 && v.gain[0] == 0 && v.gain[1] == 0) {
                skip_voice(v, sounding);
                continue;
            }
            const int tail = ramps_ ? ramp_frames_ : 0;
            switch (interpolation_) {
            case Interpolation::Nearest:
                mix_interpolated<Interpolation::Nearest>(v, whole_, out, sounding, tail);
                break;
            case Interpolation::Linear:
                mix_interpolated<Interpolation::Linear>(v, whole_, out, sounding, tail);
                break;
            case Interpolation::Cubic:
                mix_interpolated<Interpolation::Cubic>(v, mono_, out, sounding, tail);
                break;
            case Interpolation::Sinc:
                mix_interpolated<Interpolation::Sinc>(v, mono_, out, sounding, tail);
                break;
            }
        }
        // A fading voice ends once its glide reaches silence.
        for (Voice &v : voices_)
            if (v.active && v.fading && v.ramp_left == 0) v.active = false;
    }
}
