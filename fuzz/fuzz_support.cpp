// SPDX-License-Identifier: MIT
// Display-free Allegro for the harnesses, the loaded-module checks and hand-driven playing.
#include "fuzz_support.h"

#include "manual_mixer.h"
#include "module_promises.h"

#include <allegro.h>

#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>

// Builds without AddressSanitizer (UndefinedBehaviorSanitizer alone, coverage) have no sanitizer
// allocator: these are then null and the checks that need them are skipped.
extern "C" {
__attribute__((weak)) int __sanitizer_install_malloc_and_free_hooks(
    void (*)(const volatile void *, size_t), void (*)(const volatile void *));
__attribute__((weak)) size_t __sanitizer_get_allocated_size(const volatile void *);
__attribute__((weak)) int __sanitizer_get_ownership(const volatile void *);
}

namespace qvx_fuzz {

namespace {

bool have_allocator()
{
    return &__sanitizer_get_ownership != nullptr && &__sanitizer_get_allocated_size != nullptr;
}

constexpr int kMixRate = 22050;
constexpr int kMixChunks = 2;        // mixes after each tick: enough frames to move every voice
constexpr int kVoices = 64;          // every channel a module may have gets a voice
constexpr int kTicks = 400;          // a few hundred ticks per module
constexpr int kRenderFrames = 1024;  // frames rendered at a time through the library's own mixer

int16_t mix_buffer[manual_mixer::kChunkFrames * 2];

std::atomic<bool> meter_on{false};
std::atomic<long long> meter_live{0};
std::atomic<long long> meter_peak{0};

void meter_malloc(const volatile void *, size_t size)
{
    if (!meter_on.load(std::memory_order_relaxed)) return;
    const long long live =
        meter_live.fetch_add(static_cast<long long>(size)) + static_cast<long long>(size);
    long long peak = meter_peak.load();
    while (live > peak && !meter_peak.compare_exchange_weak(peak, live)) {}
}

void meter_free(const volatile void *p)
{
    if (!meter_on.load(std::memory_order_relaxed) || !p) return;
    meter_live.fetch_sub(
        static_cast<long long>(__sanitizer_get_allocated_size(const_cast<const void *>(p))));
}

}  // namespace

AllocationMeter::AllocationMeter()
{
    if (!have_allocator()) return;
    static const bool installed =
        __sanitizer_install_malloc_and_free_hooks(meter_malloc, meter_free) != 0;
    if (!installed) fail("cannot install the allocation hooks");
    meter_live = 0;
    meter_peak = 0;
    meter_on = true;
}

AllocationMeter::~AllocationMeter()
{
    meter_on = false;
}

long long AllocationMeter::peak() const
{
    return meter_peak.load();
}

void AllocationMeter::check(const char *what, size_t input_size, long long per_byte) const
{
    const long long bound = per_byte * static_cast<long long>(input_size) + kFixedAllocation;
    if (std::getenv("QVX_FUZZ_TRACE"))
        std::fprintf(stderr, "held at most %lld bytes for %zu input bytes (bound %lld)\n", peak(),
                     input_size, bound);
    if (peak() > bound) fail(what, static_cast<long>(peak()), static_cast<long>(input_size));
}

// After mixing, every sounding voice stands inside the sample it plays (QVX_FUZZ_TRACE=1 prints them).
void check_voices(const QVMOD *m, int tick)
{
    static const bool trace = std::getenv("QVX_FUZZ_TRACE") != nullptr;
    for (int ch = 0; ch < m->channel_count && ch < kVoices; ch++) {
        const int v = voice_table[ch];
        if (v < 0) continue;
        const SAMPLE *s = voice_check(v);
        const int pos = voice_get_position(v);
        if (trace && s)
            std::fprintf(stderr,
                         "tick %d channel %d: sample %p len %lu loop %lu..%lu pos %d freq %d\n",
                         tick, ch, static_cast<const void *>(s), s->len, s->loop_start, s->loop_end,
                         pos, voice_get_frequency(v));
        if (s && pos != -1 &&
            (pos < 0 || (s->len > 0 && static_cast<unsigned long>(pos) >= s->len)))
            fail("voice outside its sample", ch, pos);
    }
}

void fail(const char *what, long a, long b)
{
    std::fprintf(stderr, "qvx-fuzz: broken promise: %s (%ld, %ld)\n", what, a, b);
    std::abort();
}

void start_player()
{
    static bool started = false;
    if (started) return;
    if (manual_mixer::start(kMixRate, kVoices) != 0) fail("no hand-mixed sound driver");
    if (install_mod(kVoices) != 1) fail("install_mod refused");
    set_mod_manual_ticks(-1);
    started = true;
}

void check_module(const QVMOD *m)
{
    const std::string broken = qvx_test::broken_promise(m);
    if (!broken.empty()) fail(broken.c_str());
}

void play_module(QVMOD *m, uint32_t choice)
{
    if (get_mod_length_loops(m, 1) < 0) fail("a loaded module has no length");
    play_mod(m, (choice & 1) ? TRUE : FALSE);
    for (int t = 0; t < kTicks; t++) {
        mod_interrupt();
        for (int i = 0; i < kMixChunks; i++) manual_mixer::mix_chunk(mix_buffer);
        check_voices(m, t);
        switch ((t == 100 || t == 200 || t == 300) ? (choice >> (t / 50)) % 8 : -1) {
        case 0: next_mod_track(); break;
        case 1: prev_mod_track(); break;
        case 2: goto_mod_track(m->order_count - 1); break;
        case 3: goto_mod_track(static_cast<int>(choice >> 8) % (m->order_count + 2) - 1); break;
        case 4: set_mod_speed(1 + static_cast<int>(choice >> 12) % 400); break;
        case 5: set_mod_pitch(1 + static_cast<int>(choice >> 16) % 400); break;
        case 6:
            toggle_pause_mode();
            mod_interrupt();
            toggle_pause_mode();
            break;
        case 7: set_mod_volume(static_cast<int>(choice >> 20) & 0xFF); break;
        default: break;
        }
    }
    stop_mod();
    set_mod_speed(100);
    set_mod_pitch(100);
    set_mod_volume(255);
}

void render_module(QVMOD *m, uint32_t choice)
{
    static const int kRates[] = {8000, 22050, 44100, 96000};
    constexpr int kBlocks = 4;
    constexpr long kMostSeekMs = 1000;
    static float frames[2 * kRenderFrames];
    QVMOD_RENDER *r = qvmod_render_open(m, kRates[choice % 4], (choice >> 2) & 1);
    if (!r) return;  // a module without a song to play
    qvmod_render_set_interpolation(r, static_cast<int>(choice >> 3) % 4);
    qvmod_render_set_stereo(r, static_cast<int>(choice >> 5) % 101);
    qvmod_render_mute_channel(r, static_cast<int>(choice >> 12) % 8, 1);
    qvmod_render_set_loops(r, static_cast<int>(choice >> 15) % 3 - 1);
    for (int b = 0; b <= kBlocks; b++) {
        if (b == kBlocks / 2)
            qvmod_render_seek_time(r, static_cast<long>(choice >> 17) % kMostSeekMs);
        const int n = qvmod_render_float(r, frames, kRenderFrames);
        if (n < 0 || n > kRenderFrames) fail("render made a wrong count of frames", n);
        for (int i = 0; i < 2 * n; i++)
            if (!std::isfinite(frames[i])) fail("render made a value that is not a number", i);
    }
    qvmod_render_close(r);
}

void exercise_module(QVMOD *m, uint32_t choice)
{
    if (!m) return;
    check_module(m);
    play_module(m, choice);
    render_module(m, choice);
    destroy_mod(m);
}

ScratchFile::ScratchFile(const uint8_t *data, size_t size) : qvx_test::TempFile(data, size)
{
    if (!written()) fail("cannot write a scratch file");
}

uint32_t input_hash(const uint8_t *data, size_t size)
{
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < size; i++) h = (h ^ data[i]) * 16777619u;
    return h;
}

}  // namespace qvx_fuzz
