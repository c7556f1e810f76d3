// Rendering benchmark: real-time factor of modplay's --render path (tick engine, Allegro's mixer, WAV writing) on generated modules.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "manual_mixer.h"
#include "module_render.h"
#include "module_writers.h"
#include "qvmod.h"

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
