// Display-free Allegro for the harnesses, the loaded-module checks and hand-driven playing.
#include "fuzz_support.h"

#include "manual_mixer.h"

#include <allegro.h>

#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

// Builds without AddressSanitizer (UndefinedBehaviorSanitizer alone, coverage) have no sanitizer
// allocator: these are then null and the checks that need them are skipped.
extern "C" {
__attribute__((weak)) int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void *, size_t),
                                                                    void (*)(const volatile void *));
__attribute__((weak)) size_t __sanitizer_get_allocated_size(const volatile void *);
__attribute__((weak)) int __sanitizer_get_ownership(const volatile void *);
}

namespace qvx_fuzz {

namespace {

bool have_allocator() { return &__sanitizer_get_ownership != nullptr && &__sanitizer_get_allocated_size != nullptr; }

constexpr int kMixRate = 22050;
constexpr int kMixChunks = 2;            // mixes after each tick: enough frames to move every voice
constexpr int kVoices = 64;              // every channel a module may have gets a voice
constexpr int kTicks = 400;              // a few hundred ticks per module

int16_t mix_buffer[manual_mixer::kChunkFrames * 2];

// Sustain and loop indexes may lie anywhere in a byte (a QVM file keeps them as read): the player
// brings them inside the points when an envelope starts.
bool envelope_ok(int points, int sustain_start, int sustain_end, int loop_start, int loop_end)
{
    if (points < 0 || points > QVMOD_MAX_ENV_POINTS) return false;
    for (int index : {sustain_start, sustain_end, loop_start, loop_end})
        if (index < 0 || index > 0xFF) return false;
    return true;
}

std::atomic<bool> meter_on{false};
std::atomic<long long> meter_live{0};
std::atomic<long long> meter_peak{0};

void meter_malloc(const volatile void *, size_t size)
{
    if (!meter_on.load(std::memory_order_relaxed)) return;
    const long long live = meter_live.fetch_add(static_cast<long long>(size)) + static_cast<long long>(size);
    long long peak = meter_peak.load();
    while (live > peak && !meter_peak.compare_exchange_weak(peak, live)) {}
}

void meter_free(const volatile void *p)
{
    if (!meter_on.load(std::memory_order_relaxed) || !p) return;
    meter_live.fetch_sub(static_cast<long long>(__sanitizer_get_allocated_size(const_cast<const void *>(p))));
}

} // namespace

AllocationMeter::AllocationMeter()
{
    if (!have_allocator()) return;
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(meter_malloc, meter_free) != 0;
    if (!installed) fail("cannot install the allocation hooks");
    meter_live = 0;
    meter_peak = 0;
    meter_on = true;
}

AllocationMeter::~AllocationMeter() { meter_on = false; }

long long AllocationMeter::peak() const { return meter_peak.load(); }

void AllocationMeter::check(const char *what, size_t input_size, long long per_byte) const
{
    const long long bound = per_byte * static_cast<long long>(input_size) + kFixedAllocation;
    if (std::getenv("QVX_FUZZ_TRACE"))
        std::fprintf(stderr, "held at most %lld bytes for %zu input bytes (bound %lld)\n", peak(), input_size, bound);
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
            std::fprintf(stderr, "tick %d channel %d: sample %p len %lu loop %lu..%lu pos %d freq %d\n", tick, ch,
                         static_cast<const void *>(s), s->len, s->loop_start, s->loop_end, pos, voice_get_frequency(v));
        if (s && pos != -1 && (pos < 0 || (s->len > 0 && static_cast<unsigned long>(pos) >= s->len)))
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
    if (m->channel_count < 1 || m->channel_count > QVMOD_MAX_CHANNELS) fail("channel_count", m->channel_count);
    if (m->order_count < 1 || m->order_count > QVMOD_MAX_ORDERS) fail("order_count", m->order_count);
    if (m->sample_count < 1 || !m->samples || !m->sample_info) fail("sample_count", m->sample_count);
    if (m->pattern_count < 1 || !m->pattern_info) fail("pattern_count", m->pattern_count);
    if (m->instrument_count < 0 || (m->instrument_count > 0 && !m->instrument_info))
        fail("instrument_count", m->instrument_count);
    for (int i = 0; i < m->order_count; i++)
        if (m->order_table[i] < 0 || m->order_table[i] >= m->pattern_count) fail("order names no pattern", i, m->order_table[i]);
    if (m->restart_order < 0 || m->restart_order >= QVMOD_MAX_ORDERS) fail("restart_order", m->restart_order);
    const int named = (m->flags & QVMOD_FLAG_NOTES) ? m->instrument_count : m->sample_count;
    for (int p = 0; p < m->pattern_count; p++) {
        const PATTERN_INFO &pat = m->pattern_info[p];
        if (pat.row_count < 1 || !pat.notes) fail("pattern without rows", p, pat.row_count);
        const size_t cells = static_cast<size_t>(pat.row_count) * static_cast<size_t>(m->channel_count);
        // The cell array itself must be as long as the rows say (ASan knows every block's size).
        if (have_allocator() && __sanitizer_get_ownership(pat.notes) && __sanitizer_get_allocated_size(pat.notes) < cells * sizeof(NOTE_INFO))
            fail("pattern cells shorter than its rows", p, pat.row_count);
        for (size_t c = 0; c < cells; c++)
            if (pat.notes[c].sample < 0 || pat.notes[c].sample > named)
                fail("cell names a missing sample or instrument", p, pat.notes[c].sample);
    }
    for (int i = 0; i < m->sample_count; i++) {
        const SAMPLE &s = m->samples[i];
        if (!s.data) fail("sample without data block", i);
        // An empty QVM sample keeps every other field 0, its bits too.
        if (s.bits != 8 && s.bits != 16 && !(s.bits == 0 && s.len == 0)) fail("sample bits", i, s.bits);
        if (s.stereo) fail("stereo sample", i);
        if (s.loop_start > s.loop_end || s.loop_end > s.len) fail("sample loop outside the sample", i, s.loop_end);
        const size_t bytes = static_cast<size_t>(s.len) * static_cast<size_t>(s.bits / 8);
        if (bytes > 0 && have_allocator() && (!__sanitizer_get_ownership(s.data) || __sanitizer_get_allocated_size(s.data) < bytes))
            fail("sample data shorter than its length", i, static_cast<long>(s.len));
    }
    for (int i = 0; i < m->instrument_count; i++) {
        const INSTRUMENT_INFO &in = m->instrument_info[i];
        if (!envelope_ok(in.volume_env_points, in.volume_env_sustain_start, in.volume_env_sustain_end,
                         in.volume_env_loop_start, in.volume_env_loop_end))
            fail("volume envelope indexes", i, in.volume_env_points);
        if (!envelope_ok(in.pan_env_points, in.pan_env_sustain_start, in.pan_env_sustain_end, in.pan_env_loop_start,
                         in.pan_env_loop_end))
            fail("pan envelope indexes", i, in.pan_env_points);
    }
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
        case 6: toggle_pause_mode(); mod_interrupt(); toggle_pause_mode(); break;
        case 7: set_mod_volume(static_cast<int>(choice >> 20) & 0xFF); break;
        default: break;
        }
    }
    stop_mod();
    set_mod_speed(100);
    set_mod_pitch(100);
    set_mod_volume(255);
}

void exercise_module(QVMOD *m, uint32_t choice)
{
    if (!m) return;
    check_module(m);
    play_module(m, choice);
    destroy_mod(m);
}

ScratchFile::ScratchFile(const char *tag, const uint8_t *data, size_t size)
{
    const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path_ = std::string(dir) + "/qvx-fuzz-" + std::to_string(getpid()) + "-" + tag;
    std::FILE *f = std::fopen(path_.c_str(), "wb");
    if (!f) fail("cannot write a scratch file");
    if (size && std::fwrite(data, 1, size, f) != size) fail("cannot write a scratch file");
    std::fclose(f);
}

ScratchFile::~ScratchFile() { std::remove(path_.c_str()); }

uint32_t input_hash(const uint8_t *data, size_t size)
{
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < size; i++) h = (h ^ data[i]) * 16777619u;
    return h;
}

} // namespace qvx_fuzz
