// SPDX-License-Identifier: MIT
// S3M samples: the instrument headers that hold them, their frames in Allegro's 8-bit form and their loops.
#include "s3m_format.h"

namespace qvmod_loader::s3m {

namespace {

constexpr int kInstrumentHeaderBytes = 80;
constexpr int kTagOffset = 76;
constexpr int kTypeSample = 1;
constexpr int kFormatSigned = 1;
constexpr int kSampleLoop = 1;
constexpr int kSample16Bit = 4;

static_assert(kTagOffset + 4 == kInstrumentHeaderBytes, "SCRS ends the instrument header");

}  // namespace

bool read_sample(Bytes &in, uint64_t at, int sample_format, SAMPLE &s, SAMPLE_INFO &si)
{
    in.seek(at);
    const int type = in.u8();
    if (type != kTypeSample) return make_empty_sample(s);

    in.skip(12);
    const int hi = in.u8();
    const int lo = in.u16le();
    const uint64_t data_at =
        ((static_cast<uint64_t>(hi) << 16) + static_cast<uint64_t>(lo)) * kParaUnit;
    const uint32_t length = in.u32le();
    uint32_t loop_start = in.u32le();
    uint32_t loop_end = in.u32le();
    si.volume = std::min(in.u8(), kMaxVolume);
    in.skip(2);
    const int flags = in.u8();
    si.c2spd = static_cast<int>(in.u32le() & 0xFFFF);
    const bool tagged = in.equals_at(at + kTagOffset, "SCRS", 4);

    if (!tagged) {
        // Not a sample after all: nothing to play, the header values are kept for information.
        si.length = static_cast<int>(std::min<uint32_t>(length, INT32_MAX));
        loop_end = std::min(loop_end, length);
        si.loop_end = static_cast<int>(loop_end);
        si.loop_start = static_cast<int>(std::min(loop_start, loop_end));
        if (!make_empty_sample(s)) return false;
        s.freq = si.c2spd;
        return true;
    }

    init_sample(s, 8);
    s.freq = si.c2spd;
    // Only the frames the file holds are loaded.
    const int frame_bytes = (flags & kSample16Bit) ? 2 : 1;
    in.seek(data_at);
    const unsigned long frames = std::min<unsigned long>(length, in.left() / frame_bytes);
    s.data = qvmod_calloc(frames);
    if (!s.data) return false;
    unsigned char *out = static_cast<unsigned char *>(s.data);
    if (frame_bytes == 1) {
        in.read(out, frames);
    } else {
        const unsigned char *src = in.here();
        for (unsigned long k = 0; k < frames; k++) out[k] = src[2 * k + 1];
        in.skip(2ull * frames);
    }
    if (sample_format == kFormatSigned)
        for (unsigned long k = 0; k < frames; k++) out[k] ^= kSignFlip;

    set_sample_frames(s, si, frames, loop_start, loop_end,
                      (flags & kSampleLoop) ? QVMOD_LOOP_FORWARD : 0);
    return true;
}

}  // namespace qvmod_loader::s3m
