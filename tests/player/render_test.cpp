// SPDX-License-Identifier: MIT
// The render path: where songs end, ticks at their exact frames, seeks, click removal, saturation and the channel controls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "module_builder.h"

namespace {

constexpr int kRate = 44100;
constexpr long long kClock = 1193181;
constexpr long long kTickUnits = 71590860 / (24 * 125);  // one tick at 125 BPM
constexpr int kRowTicks = 6;
constexpr int kRows = 8;
constexpr int kPitch = 8363;  // plays a sample at its own rate

NOTE_INFO cell_of(int note, int sample, int command = 0, int param = 0)
{
    NOTE_INFO n{};
    n.note = note;
    n.sample = sample;
    n.command = command;
    n.extcommand = param;
    return n;
}

// A song of `orders` patterns of 8 rows whose sample 0 is a looped sine of 100 frames.
ModuleHolder sine_song(int channels = 2, int orders = 1, int amplitude = 100)
{
    ModuleShape s;
    s.channels = channels;
    s.rows = kRows;
    s.patterns = s.orders = orders;
    s.sample_frames = 4000;
    ModuleHolder m(build_module(s));
    fill_sine_sample(m.get(), 0, amplitude, 100, true);
    return m;
}

long long frame_of_tick(long long tick, int rate)
{
    return tick * kTickUnits * rate / kClock;
}

// Sample-to-sample steps of either side larger than `threshold`.
int steps_above(const std::vector<short> &pcm, int threshold)
{
    int n = 0;
    for (size_t i = 2; i < pcm.size(); i++) n += std::abs(pcm[i] - pcm[i - 2]) > threshold;
    return n;
}

TEST(Render, EndsAsTheSongLengthSaysAndEachTickStartsOnItsOwnFrame)
{
    for (const int rate : {kRate, 48000, 8000}) {
        ModuleHolder m = sine_song();
        cell(m.get(), 0, 1, 0) = cell_of(kPitch, 1);
        const std::vector<short> pcm = render_all(m.get(), rate, QVMOD_RENDER_NO_RAMPS);
        EXPECT_EQ(static_cast<long long>(pcm.size() / 2), frame_of_tick(kRows * kRowTicks, rate))
            << rate;
        // Row 1 starts 6 ticks in: silence before its frame, sound from the one after.
        const long long start = frame_of_tick(kRowTicks, rate);
        const auto first = std::find_if(pcm.begin(), pcm.end(), [](short v) { return v != 0; });
        EXPECT_EQ((first - pcm.begin()) / 2, start + 1)
            << rate;  // frame `start` reads 0 of the sine
    }
    // Passes after the first follow the song walk, within a millisecond.
    ModuleHolder m = sine_song(2, 2);
    for (const int loops : {0, 1, 3}) {
        const long ms = get_mod_length_loops(m.get(), loops);
        static int wanted_loops;
        wanted_loops = loops;
        const auto pcm = render_all(
            m.get(), kRate, 0, [](QVMOD_RENDER *r) { qvmod_render_set_loops(r, wanted_loops); });
        EXPECT_NEAR(static_cast<double>(pcm.size() / 2), ms * kRate / 1000.0, kRate / 1000.0)
            << loops;
    }
}

TEST(Render, SeeksSoundExactlyAsTheSongFromItsStart)
{
    ModuleHolder m = sine_song(2, 3);
    for (int p = 0; p < 3; p++)
        for (int row = 0; row < kRows; row += 2)
            cell(m.get(), p, row, row % 4 ? 0 : 1) =
                cell_of(kPitch + 400 * p + 100 * row, 1, CMD_VIBRATO, 0x44);
    const std::vector<short> whole = render_all(m.get(), kRate);
    struct Seek {
        long ms;
        int order;  // -1: seek by time
        long long frame;
    };
    const Seek seeks[] = {{250, -1, 250LL * kRate / 1000},
                          {1, -1, kRate / 1000},
                          {0, 1, frame_of_tick(kRows * kRowTicks, kRate)},
                          {0, 2, frame_of_tick(2 * kRows * kRowTicks, kRate)}};
    for (const Seek &s : seeks) {
        QVMOD_RENDER *r = qvmod_render_open(m.get(), kRate, 0);
        ASSERT_EQ(
            s.order < 0 ? qvmod_render_seek_time(r, s.ms) : qvmod_render_seek_order(r, s.order), 0);
        EXPECT_EQ(qvmod_render_time(r), s.frame * 1000 / kRate);
        std::vector<short> rest(whole.size());
        const int n = qvmod_render(r, rest.data(), static_cast<int>(rest.size() / 2));
        ASSERT_EQ(n, static_cast<long long>(whole.size() / 2) - s.frame) << s.ms << " " << s.order;
        EXPECT_TRUE(std::equal(rest.begin(), rest.begin() + 2 * n, whole.begin() + 2 * s.frame))
            << s.ms << " " << s.order;
        qvmod_render_close(r);
    }
    // Past the end: refused, and the state plays from the start again.
    QVMOD_RENDER *r = qvmod_render_open(m.get(), kRate, 0);
    EXPECT_EQ(qvmod_render_seek_time(r, 100000), -1);
    EXPECT_EQ(qvmod_render_time(r), 0);
    EXPECT_EQ(qvmod_render_seek_order(r, 3), -1);
    qvmod_render_close(r);
}

TEST(Render, RampsTakeTheClicksOutOfStartsJumpsAndCuts)
{
    // A note start, a jump to silence, a jump back up, a cut, a new note over a sounding one, and
    // a sample that ends at its peak (a quarter cycle past its last whole one).
    ModuleHolder m = sine_song(1);
    fill_sine_sample(m.get(), 1, 100, 3200, false);
    cell(m.get(), 0, 0, 0) = cell_of(kPitch, 1);
    cell(m.get(), 0, 2, 0) = cell_of(0, 0, CMD_SET_VOLUME, 0);
    cell(m.get(), 0, 3, 0) = cell_of(0, 0, CMD_SET_VOLUME, 64);
    cell(m.get(), 0, 4, 0) = cell_of(kPitch * 2, 1);
    cell(m.get(), 0, 6, 0) = cell_of(QVMOD_NOTE_CUT, 0);
    cell(m.get(), 0, 7, 0) = cell_of(kPitch * 5, 2);
    constexpr int kClick = 1500;  // the sine itself moves at most ~420 a frame
    EXPECT_GE(steps_above(render_all(m.get(), kRate, QVMOD_RENDER_NO_RAMPS), kClick), 5);
    EXPECT_EQ(steps_above(render_all(m.get(), kRate), kClick), 0);
}

TEST(Render, SixteenBitsSaturateNeverWrap)
{
    ModuleHolder m = sine_song(16, 1, 127);
    for (int ch = 0; ch < 16; ch++) cell(m.get(), 0, 0, ch) = cell_of(kPitch, 1);
    const std::vector<short> pcm = render_all(m.get(), kRate);
    EXPECT_EQ(*std::max_element(pcm.begin(), pcm.end()), 32767);
    EXPECT_EQ(*std::min_element(pcm.begin(), pcm.end()), -32768);
    // A wrapped sum would jump from one end of the range to the other.
    EXPECT_EQ(steps_above(pcm, 40000), 0);
}

TEST(Render, StereoMuteSoloAndInterpolationSettings)
{
    ModuleHolder m = sine_song(2);
    cell(m.get(), 0, 0, 0) = cell_of(kPitch * 3 / 2, 1);  // pan 64: mostly left
    cell(m.get(), 0, 0, 1) = cell_of(kPitch, 1);          // pan 192: mostly right
    struct Case {
        const char *what;
        void (*setup)(QVMOD_RENDER *);
        bool (*holds)(const std::vector<short> &pcm);
    };
    const auto silent = [](const std::vector<short> &pcm) {
        return std::all_of(pcm.begin(), pcm.end(), [](short v) { return v == 0; });
    };
    const Case cases[] = {
        {"mono", [](QVMOD_RENDER *r) { qvmod_render_set_stereo(r, 0); },
         [](const std::vector<short> &pcm) {
             for (size_t i = 0; i < pcm.size(); i += 2)
                 if (pcm[i] != pcm[i + 1]) return false;
             return true;
         }},
        {"both muted",
         [](QVMOD_RENDER *r) {
             qvmod_render_mute_channel(r, 0, 1);
             qvmod_render_mute_channel(r, 1, 1);
         },
         silent},
        {"solo of a silent channel", [](QVMOD_RENDER *r) { qvmod_render_solo_channel(r, 5, 1); },
         silent},
        {"volume 0", [](QVMOD_RENDER *r) { qvmod_render_set_volume(r, 0); }, silent},
    };
    for (const Case &c : cases)
        EXPECT_TRUE(c.holds(render_all(m.get(), kRate, 0, c.setup))) << c.what;

    // Solo: only channel 1's side-weighted sound, the same as muting channel 0.
    const auto solo =
        render_all(m.get(), kRate, 0, [](QVMOD_RENDER *r) { qvmod_render_solo_channel(r, 1, 1); });
    const auto mute =
        render_all(m.get(), kRate, 0, [](QVMOD_RENDER *r) { qvmod_render_mute_channel(r, 0, 1); });
    EXPECT_EQ(solo, mute);
    EXPECT_FALSE(silent(solo));

    // Every reading of a smooth sine sounds alike; they differ only in small details.
    const std::vector<short> linear = render_all(m.get(), kRate);
    for (const int mode :
         {QVMOD_INTERPOLATION_NEAREST, QVMOD_INTERPOLATION_CUBIC, QVMOD_INTERPOLATION_SINC}) {
        static int wanted;
        wanted = mode;
        const auto pcm = render_all(
            m.get(), kRate, 0, [](QVMOD_RENDER *r) { qvmod_render_set_interpolation(r, wanted); });
        ASSERT_EQ(pcm.size(), linear.size());
        int most = 0;
        for (size_t i = 0; i < pcm.size(); i++) most = std::max(most, std::abs(pcm[i] - linear[i]));
        EXPECT_GT(most, 0) << mode;
        EXPECT_LT(most, 1200) << mode;
    }
}

// A sample holding one level before its loop, another within it and a third after it: once the
// note has reached the loop, every wrap and turn reads on through the loop's own frames.
TEST(Render, LoopsReadOnAcrossTheirSeams)
{
    struct Loop {
        int start, end, type;
        bool wide;
    };
    const Loop loops[] = {
        {0, 64, QVMOD_LOOP_FORWARD, false},     {100, 164, QVMOD_LOOP_FORWARD, false},
        {100, 3900, QVMOD_LOOP_FORWARD, false}, {100, 140, QVMOD_LOOP_BIDIR, false},
        {100, 3900, QVMOD_LOOP_BIDIR, false},   {50, 1950, QVMOD_LOOP_FORWARD, true},
        {10, 30, QVMOD_LOOP_BIDIR, true}};
    for (const Loop &l : loops) {
        for (const int mode : {QVMOD_INTERPOLATION_NEAREST, QVMOD_INTERPOLATION_LINEAR,
                               QVMOD_INTERPOLATION_CUBIC, QVMOD_INTERPOLATION_SINC}) {
            ModuleShape shape;
            shape.channels = 1;
            shape.rows = kRows;
            shape.sample_frames = 4000;
            ModuleHolder m(build_module(shape));
            SAMPLE &spl = m->samples[0];
            const int frames = l.wide ? shape.sample_frames / 2 : shape.sample_frames;
            for (int i = 0; i < frames; i++) {
                const int level = i < l.start ? -1 : i < l.end ? 1 : -2;
                if (l.wide)
                    static_cast<unsigned short *>(spl.data)[i] =
                        static_cast<unsigned short>(32768 + 16000 * level);
                else
                    static_cast<unsigned char *>(spl.data)[i] =
                        static_cast<unsigned char>(128 + 60 * level);
            }
            spl.bits = l.wide ? 16 : 8;
            spl.len = static_cast<unsigned long>(frames);
            spl.loop_start = static_cast<unsigned long>(l.start);
            spl.loop_end = static_cast<unsigned long>(l.end);
            m->sample_info[0].loop_type = l.type;
            cell(m.get(), 0, 0, 0) = cell_of(kPitch * 4, 1);
            static int wanted;
            wanted = mode;
            const auto pcm = render_all(m.get(), kRate, 0, [](QVMOD_RENDER *r) {
                qvmod_render_set_interpolation(r, wanted);
            });
            // From a few hundred frames in, the loop's level throughout (left side).
            ASSERT_GT(pcm.size(), 2000u);
            int lo = pcm[2000], hi = lo;
            for (size_t i = 2000; i < pcm.size(); i += 2) {
                lo = std::min<int>(lo, pcm[i]);
                hi = std::max<int>(hi, pcm[i]);
            }
            EXPECT_LE(hi - lo, 1) << l.start << "-" << l.end << " type " << l.type << " mode "
                                  << mode << (l.wide ? " 16-bit" : "");
        }
    }
}

// A muted voice moves on unheard; unmuted, it plays exactly where it would have been.
TEST(Render, MutedVoicesKeepTheirPlace)
{
    ModuleHolder m = sine_song(2);
    m->samples[0].loop_start = 37;  // a loop of 3963 frames, wrapped a few times
    cell(m.get(), 0, 0, 0) = cell_of(kPitch * 5, 1);
    cell(m.get(), 0, 4, 0) = cell_of(0, 0, CMD_SET_VOLUME, 20);
    cell(m.get(), 0, 0, 1) = cell_of(kPitch, 1);
    const std::vector<short> whole = render_all(m.get(), kRate);
    QVMOD_RENDER *r = qvmod_render_open(m.get(), kRate, 0);
    std::vector<short> pcm(whole.size());
    constexpr int kMutedFrames = 30000;
    qvmod_render_mute_channel(r, 0, 1);
    int done = qvmod_render(r, pcm.data(), kMutedFrames);
    qvmod_render_mute_channel(r, 0, 0);
    done += qvmod_render(r, pcm.data() + 2 * done, static_cast<int>(pcm.size() / 2) - done);
    qvmod_render_close(r);
    ASSERT_EQ(static_cast<size_t>(done), whole.size() / 2);
    // Past the unmuted voice's glide back up, the very same frames.
    const size_t from = 2 * (kMutedFrames + kRate / 100);
    EXPECT_TRUE(std::equal(pcm.begin() + from, pcm.end(), whole.begin() + from));
    EXPECT_FALSE(std::equal(pcm.begin(), pcm.begin() + 2 * kMutedFrames, whole.begin()));
}

TEST(Render, RefusesWhatItCannotPlay)
{
    ModuleHolder m = sine_song();
    EXPECT_EQ(qvmod_render_open(nullptr, kRate, 0), nullptr);
    EXPECT_EQ(qvmod_render_open(m.get(), QVMOD_RENDER_MIN_RATE - 1, 0), nullptr);
    EXPECT_EQ(qvmod_render_open(m.get(), QVMOD_RENDER_MAX_RATE + 1, 0), nullptr);
    m->order_table[0] = m->pattern_count;  // an order naming no pattern
    EXPECT_EQ(qvmod_render_open(m.get(), kRate, 0), nullptr);
    m->order_table[0] = 0;
    QVMOD_RENDER *r = qvmod_render_open(m.get(), kRate, 0);
    short frame[2];
    EXPECT_EQ(qvmod_render(r, frame, -1), -1);
    EXPECT_EQ(qvmod_render(r, nullptr, 1), -1);
    EXPECT_EQ(qvmod_render_set_interpolation(r, 4), -1);
    EXPECT_EQ(qvmod_render_set_stereo(r, 101), -1);
    EXPECT_EQ(qvmod_render_mute_channel(r, QVMOD_MAX_CHANNELS, 1), -1);
    qvmod_render_close(r);
}

}  // namespace
