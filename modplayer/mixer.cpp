// The library's own voices: sample reading with nearest, linear, cubic or windowed-sinc interpolation, forward and ping-pong loops, volume ramps, mixed in float.
#include "mixer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

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

// The windowed-sinc filter: 8 taps (frames idx-3 .. idx+4), a table of phases.
constexpr int kSincTaps = 8;
constexpr int kSincPhaseBits = 10;
constexpr int kSincPhases = 1 << kSincPhaseBits;
constexpr double kPi = 3.14159265358979323846;

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

// Frames of one voice's sample as floats in -1..1. Frames outside the sample read as the loop
// says: a forward loop wraps, a ping-pong loop mirrors, an unlooped sample is silent past its ends.
template <typename T>
struct Frames {
    static constexpr float kScale = sizeof(T) == 1 ? 1.0f / 128 : 1.0f / 32768;
    static constexpr int kBias = sizeof(T) == 1 ? 128 : 32768;

    explicit Frames(const Mixer::Voice &v)
        : data(static_cast<const T *>(v.data)),
          len(v.len),
          s(v.loop_start),
          e(v.loop_end),
          loop(v.loop)
    {
        const int64_t end = loop ? e : len;
        safe_lo = kSincTaps / 2;
        safe_hi = end - kSincTaps / 2 - 1;
    }

    float direct(int64_t i) const { return (static_cast<int>(data[i]) - kBias) * kScale; }

    float at(int64_t i) const
    {
        if (i >= safe_lo && i <= safe_hi) return direct(i);
        if (i < 0) return 0.0f;
        if (loop == QVMOD_LOOP_FORWARD && i >= e) {
            i = s + (i - e) % (e - s);
        } else if (loop == QVMOD_LOOP_BIDIR && i >= e - 1) {
            const int64_t half = e - 1 - s;
            const int64_t k = (i - s) % (2 * half);
            i = s + (k <= half ? k : 2 * half - k);
        }
        return i < len ? direct(i) : 0.0f;
    }

    const T *data;
    int64_t len, s, e;
    int loop;
    int64_t safe_lo = 0, safe_hi = -1;
};

template <typename T, Interpolation I>
inline float read(const Frames<T> &f, int64_t pos)
{
    const int64_t i = pos >> kFracBits;
    if constexpr (I == Interpolation::Nearest) {
        return f.at(i);
    } else {
        const float x = static_cast<float>(pos & (kOne - 1)) * kFracScale;
        if constexpr (I == Interpolation::Linear) {
            const float a = f.at(i);
            return a + (f.at(i + 1) - a) * x;
        } else if constexpr (I == Interpolation::Cubic) {
            // Catmull-Rom through the two frames either side.
            const float p0 = f.at(i - 1), p1 = f.at(i), p2 = f.at(i + 1), p3 = f.at(i + 2);
            return p1 + 0.5f * x *
                            (p2 - p0 +
                             x * (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3 +
                                  x * (3.0f * (p1 - p2) + p3 - p0)));
        } else {
            const float *k = &sinc_table().taps[static_cast<size_t>(
                ((pos & (kOne - 1)) >> (kFracBits - kSincPhaseBits)) * kSincTaps)];
            float sum = 0;
            const int64_t first = i - (kSincTaps / 2 - 1);
            for (int t = 0; t < kSincTaps; t++) sum += k[t] * f.at(first + t);
            return sum;
        }
    }
}

// Frames until a voice moving by `step` from `pos` reaches `bound` (forwards: pos >= bound;
// backwards: pos < bound), at most `most`.
int frames_to(int64_t pos, int64_t step, int dir, int64_t bound, int most)
{
    if (step <= 0) return most;
    const int64_t gap = dir > 0 ? bound - pos : pos - bound + 1;
    if (gap <= 0) return 0;
    const int64_t n = (gap + step - 1) / step;
    return static_cast<int>(std::min<int64_t>(n, most));
}

template <typename T, Interpolation I, bool Ramp>
void mix_run(Mixer::Voice &v, const Frames<T> &f, float *out, int n)
{
    int64_t pos = v.pos;
    const int64_t step = v.dir > 0 ? v.step : -v.step;
    float l = v.gain[0], r = v.gain[1];
    const float dl = v.delta[0], dr = v.delta[1];
    for (int k = 0; k < n; k++) {
        const float s = read<T, I>(f, pos);
        out[2 * k] += s * l;
        out[2 * k + 1] += s * r;
        pos += step;
        if constexpr (Ramp) {
            l += dl;
            r += dr;
        }
    }
    v.pos = pos;
    if constexpr (Ramp) {
        v.ramp_left -= n;
        if (v.ramp_left <= 0) {
            v.ramp_left = 0;
            v.gain[0] = v.target[0];
            v.gain[1] = v.target[1];
        } else {
            v.gain[0] = l;
            v.gain[1] = r;
        }
    }
}

template <typename T, Interpolation I>
void mix_typed(Mixer::Voice &v, float *out, int frames)
{
    const Frames<T> f(v);
    const bool bidir = v.loop == QVMOD_LOOP_BIDIR && v.loop_end - v.loop_start >= 2;
    const int loop = bidir ? QVMOD_LOOP_BIDIR : v.loop == 0 ? 0 : QVMOD_LOOP_FORWARD;
    while (frames > 0 && v.active && !(v.fading && v.ramp_left == 0)) {
        // Forwards the voice turns at the loop's last frame (ping-pong), wraps at its end, or
        // stops at the sample's end; backwards it turns before the loop's first frame.
        int64_t bound;
        if (v.dir < 0)
            bound = v.loop_start << kFracBits;
        else if (loop == QVMOD_LOOP_BIDIR)
            bound = (v.loop_end - 1) << kFracBits;
        else
            bound = (loop ? v.loop_end : v.len) << kFracBits;
        int n = frames_to(v.pos, v.step, v.dir, bound, frames);
        if (v.ramp_left > 0) n = std::min(n, v.ramp_left);
        if (n > 0) {
            if (v.ramp_left > 0)
                mix_run<T, I, true>(v, f, out, n);
            else
                mix_run<T, I, false>(v, f, out, n);
            out += 2 * n;
            frames -= n;
        }
        const bool past = v.dir > 0 ? v.pos >= bound : v.pos < bound;
        if (!past) continue;
        if (loop == 0) {
            v.active = false;
        } else if (loop == QVMOD_LOOP_FORWARD) {
            const int64_t length = (v.loop_end - v.loop_start) << kFracBits;
            v.pos = (v.loop_start << kFracBits) + (v.pos - bound) % length;
        } else {
            // Unfold the ping-pong loop into one forward cycle of twice its inner length.
            const int64_t s = v.loop_start << kFracBits;
            const int64_t half = (v.loop_end - 1 - v.loop_start) << kFracBits;
            int64_t k = v.dir > 0 ? v.pos - s : 2 * half - (v.pos - s);
            k = ((k % (2 * half)) + 2 * half) % (2 * half);
            v.dir = k < half ? 1 : -1;
            v.pos = s + (k < half ? k : 2 * half - k);
        }
    }
}

template <Interpolation I>
void mix_interpolated(Mixer::Voice &v, float *out, int frames)
{
    if (v.bits == 16)
        mix_typed<uint16_t, I>(v, out, frames);
    else
        mix_typed<uint8_t, I>(v, out, frames);
}

}  // namespace

Mixer::Mixer(int rate, int channels, bool ramps)
    : rate_(rate),
      channels_(std::clamp(channels, 0, QVMOD_MAX_CHANNELS)),
      ramps_(ramps),
      ramp_frames_(std::max(
          1, static_cast<int>(static_cast<long long>(rate) * kRampMicroseconds / kMicroseconds)))
{
    std::fill(std::begin(audible_), std::end(audible_), true);
    if (interpolation_ == Interpolation::Sinc) sinc_table();
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
    const float level = audible_[ch] ? kVoiceGain * v.volume / kMaxLevel : 0.0f;
    v.target[0] = level * (1.0f - right);
    v.target[1] = level * right;
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
    const SAMPLE &s = m.samples[number];
    v.data = s.data;
    v.bits = s.bits == 16 ? 16 : 8;
    v.len = s.data ? static_cast<int64_t>(s.len) : 0;
    v.loop_end = std::min<int64_t>(static_cast<int64_t>(s.loop_end), v.len);
    v.loop_start = std::min<int64_t>(static_cast<int64_t>(s.loop_start), v.loop_end);
    // A loop that covers no frames is played once.
    v.loop = v.loop_end > v.loop_start
                 ? m.sample_info[number].loop_type & (QVMOD_LOOP_FORWARD | QVMOD_LOOP_BIDIR)
                 : 0;
    if (v.loop & QVMOD_LOOP_BIDIR) v.loop = QVMOD_LOOP_BIDIR;
    v.pos = 0;
    v.dir = 1;
    v.active = false;
    v.gain[0] = v.gain[1] = 0;
    v.ramp_left = 0;
}

void Mixer::set_position(int ch, int frame)
{
    Voice &v = voices_[ch];
    v.pos = static_cast<int64_t>(std::max(frame, 0)) << kFracBits;
    v.dir = 1;
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
    // A note starts from silence and glides up to its level.
    v.gain[0] = v.gain[1] = 0;
    retarget(ch, v, true);
}

void Mixer::stop(int ch)
{
    fade_out(ch);
}

bool Mixer::sounding(int ch) const
{
    return voices_[ch].active;
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
    return {v.data, v.hz, v.volume, v.pan, v.active};
}

void Mixer::mix(float *stereo, int frames)
{
    std::memset(stereo, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
    for (Voice &v : voices_) {
        if (!v.active || !v.data) continue;
        switch (interpolation_) {
        case Interpolation::Nearest:
            mix_interpolated<Interpolation::Nearest>(v, stereo, frames);
            break;
        case Interpolation::Linear:
            mix_interpolated<Interpolation::Linear>(v, stereo, frames);
            break;
        case Interpolation::Cubic: mix_interpolated<Interpolation::Cubic>(v, stereo, frames); break;
        case Interpolation::Sinc: mix_interpolated<Interpolation::Sinc>(v, stereo, frames); break;
        }
    }
    // A fading voice ends once its glide reaches silence.
    for (int ch = 0; ch < channels_; ch++) {
        Voice &f = voices_[QVMOD_MAX_CHANNELS + ch];
        if (f.active && f.ramp_left == 0) f.active = false;
    }
}
