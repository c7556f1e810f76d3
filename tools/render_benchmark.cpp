// SPDX-License-Identifier: MIT
// Rendering benchmark: real-time factor of the render API on generated 4-, 10- and 32-channel modules at each interpolation, beside libopenmpt and libxmp on the same files, and of the hand-run Allegro mixer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "manual_mixer.h"
#include "module_render.h"
#include "module_writers.h"
#include "qvmod.h"

#ifdef QVMOD_BENCH_PEERS
#include <libopenmpt/libopenmpt.h>
#include <xmp.h>
#endif

namespace {

constexpr int kPatterns = 8;
constexpr int kVoices = 64;

std::string save_song(unsigned seed)
{
    const std::string path = "/tmp/qvmod-render-bench-" + std::to_string(seed) + ".mod";
    const ModuleImage img = write_mod(song_mod(seed, kPatterns));
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(img.data(), 1, img.size(), f);
        std::fclose(f);
    }
    return path;
}

// One whole song per iteration; the counter is seconds of sound made per second of work.
void render_song(benchmark::State &state, int rate)
{
    QVMOD *m = load_mod(save_song(1).c_str());
    if (!m || install_mod(m->channel_count) != 1) {
        state.SkipWithError(qvmod_error);
        return;
    }
    const int ms = get_mod_length(m);
    const std::string out = "/tmp/qvmod-render-bench.wav";
    std::string error;
    for (auto _ : state)
        if (!render_wav(m, true, frames_of(ms, rate), rate, out.c_str(), error))
            state.SkipWithError(error.c_str());
    state.counters["realtime_x"] = benchmark::Counter(
        ms / 1000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    remove_mod();
    destroy_mod(m);
    std::remove(out.c_str());
}

void BM_Render4ChannelMod44k(benchmark::State &state)
{
    render_song(state, manual_mixer::kDefaultRate);
}
BENCHMARK(BM_Render4ChannelMod44k)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same generated songs for every player: 4-channel MOD, 10- and 32-channel XMs that play
// like songs (notes in time, ordinary effects, envelopes, looped and one-shot samples, no jumps).
// Each player loads a song once, then renders the same stretch of it per iteration: 16-bit
// stereo at 44.1 kHz, its volume ramps on, as many frames as QVMOD finds in the whole song (all
// three may loop, so none stops early).
constexpr int kRate = 44100;
constexpr int kBlockFrames = 4096;
constexpr int kSongPatterns = 4;

const ModuleImage &song_image(int channels)
{
    static const ModuleImage mod4 = write_mod(song_mod(3, kSongPatterns));
    static const ModuleImage xm10 = write_xm(song_xm(10, kSongPatterns, 10));
    static const ModuleImage xm32 = write_xm(song_xm(32, kSongPatterns, 32));
    return channels == 4 ? mod4 : channels == 10 ? xm10 : xm32;
}

std::string song_file(int channels)
{
    const std::string path =
        "/tmp/qvmod-render-bench-" + std::to_string(channels) + (channels == 4 ? ".mod" : ".xm");
    const ModuleImage &img = song_image(channels);
    if (std::FILE *f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(img.data(), 1, img.size(), f);
        std::fclose(f);
    }
    return path;
}

// The frames every player renders of a song: the whole song as QVMOD plays it.
long song_frames(int channels)
{
    QVMOD *m = load_mod(song_file(channels).c_str());
    const long frames = m ? static_cast<long>(get_mod_length(m)) * kRate / 1000 : 0;
    destroy_mod(m);
    return frames;
}

void rate_counter(benchmark::State &state, long frames)
{
    state.counters["realtime_x"] = benchmark::Counter(
        static_cast<double>(frames) / kRate * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}

// Args: channels, interpolation.
void BM_RenderApi(benchmark::State &state)
{
    const int channels = static_cast<int>(state.range(0));
    const long frames = song_frames(channels);
    QVMOD *m = load_mod(song_file(channels).c_str());
    if (!m || frames <= 0) {
        state.SkipWithError(qvmod_error);
        return;
    }
    static short pcm[2 * kBlockFrames];
    for (auto _ : state) {
        QVMOD_RENDER *r = qvmod_render_open(m, kRate, 0);
        qvmod_render_set_interpolation(r, static_cast<int>(state.range(1)));
        qvmod_render_set_loops(r, -1);
        for (long done = 0; done < frames;)
            done +=
                qvmod_render(r, pcm, static_cast<int>(std::min<long>(kBlockFrames, frames - done)));
        qvmod_render_close(r);
    }
    rate_counter(state, frames);
    destroy_mod(m);
}
BENCHMARK(BM_RenderApi)
    ->ArgsProduct({{4, 10, 32}, {0, 1, 2, 3}})
    ->ArgNames({"channels", "interpolation"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#ifdef QVMOD_BENCH_PEERS
// libopenmpt with the interpolation filter the second argument names (taps: 2 linear, 8 its
// windowed sinc, which is its default), from the song's start each time.
void BM_RenderOpenmpt(benchmark::State &state)
{
    const int channels = static_cast<int>(state.range(0));
    const long frames = song_frames(channels);
    const ModuleImage &img = song_image(channels);
    openmpt_module *mod =
        openmpt_module_create_from_memory2(img.data(), img.size(), openmpt_log_func_silent, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!mod) {
        state.SkipWithError("libopenmpt refuses the song");
        return;
    }
    openmpt_module_set_repeat_count(mod, -1);
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH,
                                    static_cast<int>(state.range(1)));
    static short pcm[2 * kBlockFrames];
    for (auto _ : state) {
        openmpt_module_set_position_order_row(mod, 0, 0);
        for (long done = 0; done < frames;) {
            const size_t want = static_cast<size_t>(std::min<long>(kBlockFrames, frames - done));
            done +=
                static_cast<long>(openmpt_module_read_interleaved_stereo(mod, kRate, want, pcm));
        }
    }
    openmpt_module_destroy(mod);
    rate_counter(state, frames);
}
BENCHMARK(BM_RenderOpenmpt)
    ->ArgsProduct({{4, 10, 32}, {2, 8}})
    ->ArgNames({"channels", "filter_taps"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// libxmp at linear interpolation (its default), started afresh each time.
void BM_RenderXmp(benchmark::State &state)
{
    const int channels = static_cast<int>(state.range(0));
    const long frames = song_frames(channels);
    const ModuleImage &img = song_image(channels);
    xmp_context ctx = xmp_create_context();
    if (xmp_load_module_from_memory(ctx, img.data(), static_cast<long>(img.size())) != 0) {
        xmp_free_context(ctx);
        state.SkipWithError("libxmp refuses the song");
        return;
    }
    static short pcm[2 * kBlockFrames];
    for (auto _ : state) {
        xmp_start_player(ctx, kRate, 0);
        xmp_set_player(ctx, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
        for (long done = 0; done < frames;) {
            const long want = std::min<long>(kBlockFrames, frames - done);
            if (xmp_play_buffer(ctx, pcm, static_cast<int>(want * 4), 0) != 0) break;
            done += want;
        }
        xmp_end_player(ctx);
    }
    xmp_release_module(ctx);
    xmp_free_context(ctx);
    rate_counter(state, frames);
}
BENCHMARK(BM_RenderXmp)
    ->Arg(4)
    ->Arg(10)
    ->Arg(32)
    ->ArgName("channels")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
#endif

// The song's length walk alone, which --duration and --render run first.
void BM_SongLength(benchmark::State &state)
{
    QVMOD *m = load_mod(save_song(2).c_str());
    for (auto _ : state) benchmark::DoNotOptimize(get_mod_length(m));
    destroy_mod(m);
}
BENCHMARK(BM_SongLength)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char **argv)
{
    if (manual_mixer::start(manual_mixer::kDefaultRate, kVoices) != 0) {
        std::fprintf(stderr, "cannot start Allegro's mixer: %s\n", allegro_error);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
