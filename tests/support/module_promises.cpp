// SPDX-License-Identifier: MIT
// The loaded-module check, field by field, with the heap's own block sizes where a sanitizer knows them.
#include "module_promises.h"

#include <cstddef>
#include <initializer_list>

// The sanitizer runtime's block queries, null without AddressSanitizer (GCC ships no header for them).
extern "C" {
__attribute__((weak)) int __sanitizer_get_ownership(const volatile void *p);
__attribute__((weak)) size_t __sanitizer_get_allocated_size(const volatile void *p);
}

namespace qvx_test {

namespace {

constexpr int kByteIndexLimit = 0xFF;  // a QVM file keeps an envelope index in one byte

bool have_block_sizes()
{
    return &__sanitizer_get_ownership != nullptr && &__sanitizer_get_allocated_size != nullptr;
}

// True when the heap block at p is known to be shorter than `bytes`.
bool block_shorter(const void *p, size_t bytes)
{
    return have_block_sizes() && __sanitizer_get_ownership(p) &&
           __sanitizer_get_allocated_size(p) < bytes;
}

// A block the sample data must come from: where the heap's sizes are known, one at least `bytes` long.
bool block_holds(const void *p, size_t bytes)
{
    if (!have_block_sizes()) return p != nullptr;
    return __sanitizer_get_ownership(p) && __sanitizer_get_allocated_size(p) >= bytes;
}

std::string numbered(const char *what, long a, long b = 0)
{
    return std::string(what) + " (" + std::to_string(a) + ", " + std::to_string(b) + ")";
}

bool envelope_ok(Promises level, int points, int sustain_start, int sustain_end, int loop_start,
                 int loop_end)
{
    if (points < 0 || points > QVMOD_MAX_ENV_POINTS) return false;
    const int last = level == Promises::Readers ? (points > 0 ? points - 1 : 0) : kByteIndexLimit;
    for (int index : {sustain_start, sustain_end, loop_start, loop_end})
        if (index < 0 || index > last) return false;
    return level == Promises::Player || loop_start <= loop_end;
}

}  // namespace

std::string broken_promise(const QVMOD *m, Promises level)
{
    if (!m) return "no module";
    if (m->channel_count < 1 || m->channel_count > QVMOD_MAX_CHANNELS)
        return numbered("channel_count", m->channel_count);
    if (m->order_count < 1 || m->order_count > QVMOD_MAX_ORDERS)
        return numbered("order_count", m->order_count);
    if (m->sample_count < 1 || !m->samples || !m->sample_info)
        return numbered("sample_count", m->sample_count);
    if (m->pattern_count < 1 || !m->pattern_info)
        return numbered("pattern_count", m->pattern_count);
    if (m->instrument_count < 0 || (m->instrument_count > 0 && !m->instrument_info))
        return numbered("instrument_count", m->instrument_count);
    for (int i = 0; i < m->order_count; i++)
        if (m->order_table[i] < 0 || m->order_table[i] >= m->pattern_count)
            return numbered("order names no pattern", i, m->order_table[i]);
    if (m->restart_order < 0 || m->restart_order >= QVMOD_MAX_ORDERS)
        return numbered("restart_order", m->restart_order);

    const int named = (m->flags & QVMOD_FLAG_NOTES) ? m->instrument_count : m->sample_count;
    for (int p = 0; p < m->pattern_count; p++) {
        const PATTERN_INFO &pat = m->pattern_info[p];
        if (pat.row_count < 1 || !pat.notes)
            return numbered("pattern without rows", p, pat.row_count);
        const size_t cells =
            static_cast<size_t>(pat.row_count) * static_cast<size_t>(m->channel_count);
        if (block_shorter(pat.notes, cells * sizeof(NOTE_INFO)))
            return numbered("pattern cells shorter than its rows", p, pat.row_count);
        for (size_t c = 0; c < cells; c++)
            if (pat.notes[c].sample < 0 || pat.notes[c].sample > named)
                return numbered("cell names a missing sample or instrument", p,
                                pat.notes[c].sample);
    }

    for (int i = 0; i < m->sample_count; i++) {
        const SAMPLE &s = m->samples[i];
        if (!s.data) return numbered("sample without data block", i);
        // An empty QVM sample keeps every other field 0, its bits too.
        const bool bits_ok = level == Promises::Readers
                                 ? s.bits == 8
                                 : s.bits == 8 || s.bits == 16 || (s.bits == 0 && s.len == 0);
        if (!bits_ok) return numbered("sample bits", i, s.bits);
        if (s.stereo) return numbered("stereo sample", i);
        if (s.loop_start > s.loop_end || s.loop_end > s.len)
            return numbered("sample loop outside the sample", i, static_cast<long>(s.loop_end));
        if (m->sample_info[i].loop_type && s.loop_end == s.loop_start)
            return numbered("empty sample loop", i);
        const size_t bytes = static_cast<size_t>(s.len) * static_cast<size_t>(s.bits / 8);
        if (bytes > 0 && !block_holds(s.data, bytes))
            return numbered("sample data shorter than its length", i, static_cast<long>(s.len));
    }

    for (int i = 0; i < m->instrument_count; i++) {
        const INSTRUMENT_INFO &in = m->instrument_info[i];
        if (!envelope_ok(level, in.volume_env_points, in.volume_env_sustain_start,
                         in.volume_env_sustain_end, in.volume_env_loop_start,
                         in.volume_env_loop_end))
            return numbered("volume envelope indexes", i, in.volume_env_points);
        if (!envelope_ok(level, in.pan_env_points, in.pan_env_sustain_start, in.pan_env_sustain_end,
                         in.pan_env_loop_start, in.pan_env_loop_end))
            return numbered("pan envelope indexes", i, in.pan_env_points);
    }
    return {};
}

}  // namespace qvx_test
