// SPDX-License-Identifier: MIT
// Window curves of a render (RMS, spectral centroid, chroma) through a small FFT, and their comparison at the best lag per stretch.
#include "audio_measures.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>

namespace audio_measures {

namespace {

constexpr int kFftSize = 4096;  // the first power of two that holds a window
constexpr double kPi = 3.14159265358979323846;
constexpr int kA4Midi = 69;
constexpr double kA4Hz = 440.0;

static_assert(kFftSize >= kWindowFrames, "a window fits the transform");

using Complex = std::complex<double>;

// In-place radix-2 transform of kFftSize points.
class Fft {
public:
    Fft() : twiddle_(kFftSize / 2), reversed_(kFftSize)
    {
        for (int i = 0; i < kFftSize / 2; i++)
            twiddle_[i] = std::polar(1.0, -2.0 * kPi * i / kFftSize);
        int bits = 0;
        while ((1 << bits) < kFftSize) bits++;
        for (int i = 0; i < kFftSize; i++) {
            int r = 0;
            for (int b = 0; b < bits; b++)
                if (i & (1 << b)) r |= 1 << (bits - 1 - b);
            reversed_[i] = r;
        }
    }

    void run(std::vector<Complex> &x) const
    {
        for (int i = 0; i < kFftSize; i++)
            if (i < reversed_[i]) std::swap(x[i], x[reversed_[i]]);
        for (int len = 2; len <= kFftSize; len <<= 1) {
            const int step = kFftSize / len;
            for (int start = 0; start < kFftSize; start += len)
                for (int k = 0; k < len / 2; k++) {
                    const Complex t = twiddle_[k * step] * x[start + k + len / 2];
                    x[start + k + len / 2] = x[start + k] - t;
                    x[start + k] += t;
                }
        }
    }

private:
    std::vector<Complex> twiddle_;
    std::vector<int> reversed_;
};

double to_db(double mean_square)
{
    if (mean_square <= 0) return kFloorDb;
    return std::max(kFloorDb, 10.0 * std::log10(mean_square));
}

// Pitch class of each transform bin inside the chroma band, -1 outside it.
std::vector<int> pitch_class_of_bins()
{
    std::vector<int> pc(kFftSize / 2 + 1, -1);
    for (int k = 1; k <= kFftSize / 2; k++) {
        const double hz = static_cast<double>(k) * kRate / kFftSize;
        if (hz < kChromaLowHz || hz > kChromaHighHz) continue;
        const long midi = std::lround(kPitchClasses * std::log2(hz / kA4Hz)) + kA4Midi;
        pc[k] = static_cast<int>(((midi % kPitchClasses) + kPitchClasses) % kPitchClasses);
    }
    return pc;
}

double cosine(const Chroma &a, const Chroma &b)
{
    double ab = 0, aa = 0, bb = 0;
    for (int i = 0; i < kPitchClasses; i++) {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
    }
    if (aa <= 0 || bb <= 0) return 0;
    return ab / std::sqrt(aa * bb);
}

// Correlation of a's windows [from, to) with b's windows shifted by lag; NaN where fewer than
// half of them overlap or a side is flat.
double stretch_correlation(const std::vector<double> &a, const std::vector<double> &b, long from,
                           long to, long lag)
{
    std::vector<double> x, y;
    for (long i = from; i < to; i++) {
        const long j = i + lag;
        if (j < 0 || j >= static_cast<long>(b.size())) continue;
        x.push_back(a[i]);
        y.push_back(b[j]);
    }
    if (static_cast<long>(x.size()) * 2 < to - from) return std::nan("");
    const auto flat = [](const std::vector<double> &v) {
        return std::all_of(v.begin(), v.end(), [&v](double d) { return d == v.front(); });
    };
    if (flat(x) || flat(y)) return std::nan("");
    return pearson(x, y);
}

}  // namespace

long clicks(const std::vector<float> &stereo, double threshold)
{
    double sum_square = 0;
    for (const float v : stereo) sum_square += static_cast<double>(v) * v;
    if (stereo.size() < 4 || sum_square <= 0) return 0;
    const double gain = std::pow(10.0, kReferenceDb / 20.0) /
                        std::sqrt(sum_square / static_cast<double>(stereo.size()));
    long n = 0;
    for (size_t i = 2; i + 1 < stereo.size(); i += 2)
        n += std::max(std::fabs(stereo[i] - stereo[i - 2]),
                      std::fabs(stereo[i + 1] - stereo[i - 1])) *
                 gain >
             threshold;
    return n;
}

Curves analyse(const std::vector<float> &stereo)
{
    const long frames = static_cast<long>(stereo.size() / 2);
    std::vector<double> mono(static_cast<size_t>(frames));
    double sum_square = 0;
    for (long i = 0; i < frames; i++) {
        mono[i] = 0.5 * (static_cast<double>(stereo[2 * i]) + stereo[2 * i + 1]);
        sum_square += mono[i] * mono[i];
    }
    if (frames > 0 && sum_square > 0) {
        const double gain = std::pow(10.0, kReferenceDb / 20.0) /
                            std::sqrt(sum_square / static_cast<double>(frames));
        for (double &v : mono) v *= gain;
    }

    static const Fft fft;
    static const std::vector<int> pitch_class = pitch_class_of_bins();
    std::vector<double> window(kWindowFrames);
    for (int i = 0; i < kWindowFrames; i++)
        window[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * i / (kWindowFrames - 1));

    // Two windows go through one transform, one as the real part and one as the imaginary part;
    // their spectra are taken apart by the transform's symmetry.
    std::vector<long> starts;
    for (long start = 0; start + kWindowFrames <= frames; start += kHopFrames)
        starts.push_back(start);
    Curves c;
    c.loudness.resize(starts.size());
    c.centroid.resize(starts.size());
    c.chroma.resize(starts.size());
    std::vector<Complex> x(kFftSize);
    for (size_t w = 0; w < starts.size(); w += 2) {
        const bool pair = w + 1 < starts.size();
        double energy[2] = {0, 0};
        for (int i = 0; i < kWindowFrames; i++) {
            const double re = mono[starts[w] + i];
            const double im = pair ? mono[starts[w + 1] + i] : 0.0;
            energy[0] += re * re;
            energy[1] += im * im;
            x[i] = Complex(re * window[i], im * window[i]);
        }
        std::fill(x.begin() + kWindowFrames, x.end(), Complex(0, 0));
        fft.run(x);
        for (size_t side = 0; side < (pair ? 2u : 1u); side++) {
            double weighted = 0, total = 0;
            Chroma chroma{};
            for (int k = 1; k <= kFftSize / 2; k++) {
                const Complex a = x[k];
                const Complex b = std::conj(x[(kFftSize - k) % kFftSize]);
                const double mag = side == 0 ? std::abs(a + b) / 2 : std::abs(a - b) / 2;
                weighted += mag * k * kRate / kFftSize;
                total += mag;
                if (pitch_class[k] >= 0) chroma[pitch_class[k]] += mag;
            }
            c.loudness[w + side] = to_db(energy[side] / kWindowFrames);
            c.centroid[w + side] = total > 0 ? weighted / total : 0.0;
            c.chroma[w + side] = chroma;
        }
    }
    return c;
}

Similarity compare(const Curves &a, const Curves &b)
{
    const long na = static_cast<long>(a.loudness.size());
    std::vector<double> la, lb, ca, cb;
    double cosines = 0;
    long audible = 0;
    long lag = 0;
    for (long from = 0; from < na; from += kStretchWindows) {
        const long to = std::min(from + kStretchWindows, na);
        double best = -2;
        long best_lag = lag;
        for (long l = lag - kMaxLagWindows; l <= lag + kMaxLagWindows; l++) {
            const double r = stretch_correlation(a.loudness, b.loudness, from, to, l);
            if (!std::isnan(r) && r > best) {
                best = r;
                best_lag = l;
            }
        }
        lag = best_lag;
        for (long i = from; i < to; i++) {
            const long j = i + lag;
            if (j < 0 || j >= static_cast<long>(b.loudness.size())) continue;
            la.push_back(a.loudness[i]);
            lb.push_back(b.loudness[j]);
            if (a.loudness[i] < kAudibleDb || b.loudness[j] < kAudibleDb) continue;
            ca.push_back(a.centroid[i]);
            cb.push_back(b.centroid[j]);
            cosines += cosine(a.chroma[i], b.chroma[j]);
            audible++;
        }
    }
    Similarity s;
    s.windows = static_cast<long>(la.size());
    s.loudness = std::max(0.0, pearson(la, lb));
    s.brightness = std::max(0.0, pearson(ca, cb));
    s.chroma = audible > 0 ? cosines / static_cast<double>(audible) : 0.0;
    return s;
}

double pearson(const std::vector<double> &x, const std::vector<double> &y)
{
    const size_t n = std::min(x.size(), y.size());
    if (n == 0) return 0;
    const double mx = std::accumulate(x.begin(), x.begin() + n, 0.0) / n;
    const double my = std::accumulate(y.begin(), y.begin() + n, 0.0) / n;
    double sxy = 0, sxx = 0, syy = 0;
    for (size_t i = 0; i < n; i++) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
    }
    if (sxx <= 0 && syy <= 0) return mx == my ? 1.0 : 0.0;
    if (sxx <= 0 || syy <= 0) return 0;
    return sxy / std::sqrt(sxx * syy);
}

double median(std::vector<double> values)
{
    if (values.empty()) return 0;
    const size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + mid, values.end());
    if (values.size() % 2) return values[mid];
    const double upper = values[mid];
    return 0.5 * (upper + *std::max_element(values.begin(), values.begin() + mid));
}

}  // namespace audio_measures
