// SPDX-License-Identifier: MIT
// Cost of one tick of the player per active channel, and a check that a tick allocates nothing.
// Run by hand, preferably on the real mixer: tests/support/with-xvfb.sh qvmod_tick_benchmark
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "module_builder.h"
#include "player_internal.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QVX_COUNT_ALLOCATIONS 0
#else
#define QVX_COUNT_ALLOCATIONS 1
#endif

#if QVX_COUNT_ALLOCATIONS
// Heap allocations made on the ticking thread while the counter is armed (the mixer's own
// thread allocates as it pleases).
extern "C" void *__libc_malloc(size_t);
extern "C" void *__libc_calloc(size_t, size_t);
extern "C" void *__libc_realloc(void *, size_t);
namespace {
long g_allocations = 0;
thread_local bool g_counting = false;
void note_allocation()
{
    if (g_counting) g_allocations++;
}
}  // namespace
extern "C" void *malloc(size_t n)
{
    note_allocation();
    return __libc_malloc(n);
}
extern "C" void *calloc(size_t n, size_t s)
{
    note_allocation();
    return __libc_calloc(n, s);
}
extern "C" void *realloc(void *p, size_t n)
{
    note_allocation();
    return __libc_realloc(p, n);
}
#endif

namespace {

// Every cell of every channel starts a note, the heaviest row a module can have.
QVMOD *dense_module(int channels, int speed)
{
    ModuleShape s;
    s.channels = channels;
    s.rows = 64;
    s.patterns = 2;
    s.orders = 2;
    s.samples = 4;
    s.speed = speed;
    QVMOD *m = build_module(s);
    for (int i = 0; i < s.samples; i++) m->sample_info[i].loop_type = QVMOD_LOOP_FORWARD;
    for (int p = 0; p < s.patterns; p++)
        for (int r = 0; r < s.rows; r++)
            for (int c = 0; c < channels; c++)
                cell(m, p, r, c) =
                    NOTE_INFO{1 + (r + c) % s.samples, 3000 + 97 * ((r * 7 + c) % 40), 0x40, 0, 0};
    return m;
}

void tick_cost(benchmark::State &state, int speed)
{
    const int channels = static_cast<int>(state.range(0));
    if (install_mod(channels) != 1) {
        state.SkipWithError(qvmod_error);
        return;
    }
    set_mod_manual_ticks(kTrue);
    QVMOD *m = dense_module(channels, speed);
    play_mod(m, kTrue);
    mod_interrupt();
#if QVX_COUNT_ALLOCATIONS
    g_allocations = 0;
    g_counting = true;
#endif
    for (auto _ : state) mod_interrupt();
#if QVX_COUNT_ALLOCATIONS
    g_counting = false;
    state.counters["allocations"] = static_cast<double>(g_allocations);
    if (g_allocations != 0) state.SkipWithError("a tick allocated memory");
#endif
    state.counters["per_channel"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * channels,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    destroy_mod(m);
    remove_mod();
}

void BM_TickEveryRowNew(benchmark::State &state)
{
    tick_cost(state, 1);
}
void BM_TickWithinRows(benchmark::State &state)
{
    tick_cost(state, 6);
}

BENCHMARK(BM_TickEveryRowNew)->Arg(1)->Arg(4)->Arg(16)->Arg(32);
BENCHMARK(BM_TickWithinRows)->Arg(1)->Arg(4)->Arg(16)->Arg(32);

}  // namespace

int main(int argc, char **argv)
{
    // The real mixer when a display and the null sound device are there, else no driver at all.
    if (allegro_init() != 0 && install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    reserve_voices(32, -1);
    if (install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) != 0) {
        reserve_voices(0, -1);
        install_sound(DIGI_NONE, MIDI_NONE, nullptr);
    }
    std::printf("sound driver: %s\n", digi_driver ? digi_driver->name : "none");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
