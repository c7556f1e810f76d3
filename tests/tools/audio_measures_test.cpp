// SPDX-License-Identifier: MIT
// The comparison measures on signals made in code, and the probe songs loading as the player expects.
#include <cmath>
#include <functional>
#include <vector>

#include "audio_measures.h"
#include "loader_support.h"

namespace {

namespace am = audio_measures;

constexpr double kPi = 3.14159265358979323846;

// Seconds of stereo sound from a mono function of the time.
std::vector<float> render(double seconds, const std::function<double(double)> &at)
{
    std::vector<float> out;
    for (long i = 0; i < static_cast<long>(seconds * am::kRate); i++) {
        const float v = static_cast<float>(at(static_cast<double>(i) / am::kRate));
        out.push_back(v);
        out.push_back(v);
    }
    return out;
}

// A melody of plucked tones, `shift` semitones up, starting `delay` seconds late, at `gain`.
std::vector<float> melody(double shift, double delay, double gain, double seconds = 12)
{
    static const int kNotes[] = {0, 4, 7, 12, 7, 4, 2, 5, 9};
    return render(seconds, [=](double t) {
        const double s = t - delay;
        if (s < 0) return 0.0;
        const int n = static_cast<int>(s / 0.3);
        const double local = s - 0.3 * n;
        const double hz = 220.0 * std::pow(2.0, (kNotes[n % 9] + shift) / 12.0);
        return gain * std::exp(-6 * local) *
               (std::sin(2 * kPi * hz * s) + 0.4 * std::sin(4 * kPi * hz * s));
    });
}

TEST(AudioMeasures, AnEqualRenderAgreesFullyWhateverItsLevelAndDelay)
{
    const am::Curves a = am::analyse(melody(0, 0, 0.5));
    for (const auto &b : {melody(0, 0, 0.5), melody(0, 0, 0.05), melody(0, 0.12, 0.5)}) {
        const am::Similarity s = am::compare(a, am::analyse(b));
        EXPECT_GT(s.loudness, 0.99);
        EXPECT_GT(s.chroma, 0.99);
        EXPECT_GT(s.brightness, 0.99);
    }
}

TEST(AudioMeasures, DriftIsFollowedStretchByStretch)
{
    // 100 ms later in each 10 s stretch: the third stretch lies beyond what one search reaches.
    const std::vector<float> a = melody(0, 0, 0.5, 30);
    const am::Curves late = am::analyse(render(30, [&a](double t) {
        const long i = static_cast<long>((t - 0.1 * std::floor(t / 10)) * am::kRate);
        return i >= 0 ? static_cast<double>(a[2 * i]) : 0.0;
    }));
    EXPECT_GT(am::compare(am::analyse(a), late).loudness, 0.98);
}

TEST(AudioMeasures, WrongNotesShowInTheChromaAndTheWrongShapeInTheLoudness)
{
    const am::Curves a = am::analyse(melody(0, 0, 0.5));
    const am::Similarity semitone = am::compare(a, am::analyse(melody(1, 0, 0.5)));
    EXPECT_GT(semitone.loudness, 0.98);
    EXPECT_LT(semitone.chroma, 0.8);
    const am::Similarity held = am::compare(
        a, am::analyse(render(24, [](double t) { return 0.3 * std::sin(2 * kPi * 220 * t); })));
    EXPECT_LT(held.loudness, 0.5);
}

TEST(AudioMeasures, FlatAndEmptyCurves)
{
    EXPECT_EQ(am::pearson({1, 1, 1}, {1, 1, 1}), 1.0);
    EXPECT_EQ(am::pearson({1, 1, 1}, {1, 2, 3}), 0.0);
    EXPECT_EQ(am::pearson({}, {}), 0.0);
    EXPECT_NEAR(am::pearson({1, 2, 3}, {3, 2, 1}), -1.0, 1e-12);
    EXPECT_EQ(am::median({3, 1, 2, 10}), 2.5);
    const am::Curves silent = am::analyse(render(2, [](double) { return 0.0; }));
    EXPECT_EQ(silent.loudness.front(), am::kFloorDb);
    EXPECT_EQ(am::compare(silent, silent).chroma, 0.0);  // nothing audible to compare
}

TEST(AudioMeasures, ClicksAreStepsWhateverTheLevel)
{
    // A tone that drops to silence twice, at two levels; the smooth tone alone has none.
    for (const double gain : {0.5, 0.02}) {
        const auto cut = render(2, [gain](double t) {
            return t > 0.5 && t < 1.0 ? 0.0 : gain * std::cos(2 * kPi * 110 * t);
        });
        EXPECT_EQ(am::clicks(cut, am::kClickThreshold), 2) << gain;
        const auto smooth =
            render(2, [gain](double t) { return gain * std::sin(2 * kPi * 110 * t); });
        EXPECT_EQ(am::clicks(smooth, am::kClickThreshold), 0) << gain;
    }
    EXPECT_EQ(am::clicks(render(1, [](double) { return 0.0; }), am::kClickThreshold), 0);
}

TEST(ProbeSongs, LoadAndKeepThePlayersPromises)
{
    for (const auto &[name, image] : probe_modules()) {
        ModuleHolder m(load_image(image));
        ASSERT_TRUE(m) << name << ": " << qvmod_error;
        EXPECT_TRUE(keeps_player_promises(m.get())) << name;
        EXPECT_EQ(m->channel_count, 4) << name;
        EXPECT_GT(get_mod_length(m.get()), 15000) << name;
    }
}

}  // namespace
