// SPDX-License-Identifier: MIT
// XM samples: delta-coded frames decoded to Allegro's 8-bit form, loops and the silent sample.
#include "xm_format.h"

#include <climits>

namespace qvmod_loader::xm {

namespace {

constexpr int kSample16Bit = 0x10;
constexpr int kLoopBits = 3;

// The frames of one sample, undoing the delta coding; 16-bit frames keep their high byte.
void decode_frames(const unsigned char *src, size_t frames, bool wide, unsigned char *out)
{
    if (wide) {
        uint16_t acc = 0;
        for (size_t k = 0; k < frames; k++) {
            acc = static_cast<uint16_t>(acc + (src[2 * k] | (src[2 * k + 1] << 8)));
            out[k] = static_cast<unsigned char>((acc >> 8) ^ kSignFlip);
        }
    } else {
        uint8_t acc = 0;
        for (size_t k = 0; k < frames; k++) {
            acc = static_cast<uint8_t>(acc + src[k]);
            out[k] = static_cast<unsigned char>(acc ^ kSignFlip);
        }
    }
}

}  // namespace

const char *read_samples(Bytes &in, ModuleBuild &b, const std::vector<Wave> &waves)
{
    QVMOD *m = b.get();
    const int real_samples = static_cast<int>(waves.size());
    if (!b.alloc_samples(real_samples + 1)) return "Unable to allocate enough memory for SAMPLE";
    for (int i = 0; i < real_samples; i++) {
        const Wave &w = waves[i];
        SAMPLE &s = m->samples[i];
        SAMPLE_INFO &si = m->sample_info[i];
        const bool wide = (w.type & kSample16Bit) != 0;
        init_sample(s, 8);
        in.seek(w.data_at);
        // Only the bytes the file holds are decoded.
        const size_t bytes = std::min<size_t>(w.length, in.left());
        const size_t frames = wide ? bytes / 2 : bytes;
        s.data = qvmod_calloc(frames);
        if (!s.data) return "Unble to allocate enough memory for sample data";
        decode_frames(in.here(), frames, wide, static_cast<unsigned char *>(s.data));
        const uint64_t loop_end_bytes = static_cast<uint64_t>(w.loop_start) + w.loop_length;
        unsigned long ls = wide ? w.loop_start / 2 : w.loop_start;
        unsigned long le = static_cast<unsigned long>(
            std::min<uint64_t>(wide ? loop_end_bytes / 2 : loop_end_bytes, ULONG_MAX));
        int loop_type = w.type & kLoopBits;
        repair_loop(frames, ls, le, loop_type);
        s.len = frames;
        s.loop_start = ls;
        s.loop_end = le;

        si.length = static_cast<int>(bytes);
        const uint64_t info_end = std::min<uint64_t>(loop_end_bytes, bytes);
        si.loop_end = static_cast<int>(info_end);
        si.loop_start = static_cast<int>(std::min<uint64_t>(w.loop_start, info_end));
        si.c2spd = w.finetune + 128;
        si.transpose = w.relative_note;
        si.volume = std::min(w.volume, kMaxVolume);
        si.pan = w.panning;
        si.loop_type = loop_type;
        si.vibrato_type = w.vibrato_type;
        si.vibrato_sweep = w.vibrato_sweep;
        si.vibrato_depth = w.vibrato_depth;
        si.vibrato_rate = w.vibrato_rate;
    }
    // The silent sample, last of all, for notes that lead to no sample.
    const int silent = real_samples;
    if (!make_empty_sample(m->samples[silent]))
        return "Unable to allocate enough memory for sample data";
    for (int i = 0; i < m->instrument_count; i++)
        for (int &v : m->instrument_info[i].sample_number) v = v >= 1 ? v - 1 : silent;
    return nullptr;
}

}  // namespace qvmod_loader::xm
