// SPDX-License-Identifier: MIT
// Loudness, brightness and pitch-class curves of a stereo render, and how closely two renders' curves agree.
#ifndef QVMOD_AUDIO_MEASURES_H
#define QVMOD_AUDIO_MEASURES_H

#include <array>
#include <vector>

namespace audio_measures {

constexpr int kRate = 44100;
constexpr int kWindowFrames = kRate / 20;  // 50 ms
constexpr int kHopFrames = kRate / 100;    // a window every 10 ms
constexpr double kFloorDb = -60.0;         // loudness never reads below this
// Every render is scaled to this RMS level over its whole length first, so that players with
// different output levels meet the floor at the same place.
constexpr double kReferenceDb = -20.0;
// Windows quieter than this on either side carry no brightness or pitch classes worth comparing.
constexpr double kAudibleDb = -45.0;
constexpr int kStretchWindows = 1000;  // 10 s compared at one lag
constexpr int kMaxLagWindows = 15;     // each stretch's lag is searched within +-150 ms
constexpr double kChromaLowHz = 55.0;
constexpr double kChromaHighHz = 5000.0;
constexpr int kPitchClasses = 12;

using Chroma = std::array<double, kPitchClasses>;

// The curves of one render, one entry per window.
struct Curves {
    std::vector<double> loudness;  // RMS in dB, floored
    std::vector<double> centroid;  // spectral centroid in Hz (0 for a silent window)
    std::vector<Chroma> chroma;    // magnitude per pitch class, C = 0
};

// Curves of interleaved stereo frames at kRate (the two sides are mixed down first).
Curves analyse(const std::vector<float> &stereo);

// How closely b follows a, each figure in [0, 1]:
//   loudness:   Pearson correlation of the dB curves;
//   brightness: Pearson correlation of the centroid curves over windows audible on both sides;
//   chroma:     mean cosine similarity of the pitch-class vectors over the same windows.
// The curves are paired in 10 s stretches, each at the lag (within +-150 ms of the lag the
// stretch before it found) where its loudness curves correlate best, so a player whose ticks run
// a little fast or slow is not blamed for drifting. Negative correlations count as 0.
struct Similarity {
    double loudness = 0;
    double brightness = 0;
    double chroma = 0;
    long windows = 0;  // windows paired
};
Similarity compare(const Curves &a, const Curves &b);

// Clicks: frames where either side steps from the frame before by more than `threshold` (full
// scale 1), the render first scaled to kReferenceDb RMS like the curves, so that players at
// different levels are counted alike.
long clicks(const std::vector<float> &stereo, double threshold);
// The most a 1 kHz sine at the reference level steps: lower tones step less, and a voice at that
// level falling silent at once steps up to seven times as much.
constexpr double kClickThreshold = 0.02;

// Pearson correlation of two equally long series; 1 when both are constant and equal, 0 when only
// one of them is constant or they are empty.
double pearson(const std::vector<double> &x, const std::vector<double> &y);

// The median of the values (0 for none).
double median(std::vector<double> values);

}  // namespace audio_measures

#endif
