// SPDX-License-Identifier: MIT
// XM modules, plain or inside an Unreal package: the song header, the detector, the information query and the reader's order of parts.
#include "xm_format.h"

#include <cstring>

using namespace qvmod_loader;
using namespace qvmod_loader::xm;

namespace {

constexpr char kSignature[] = "Extended Module: ";
constexpr int kSignatureBytes = 17;
static_assert(sizeof kSignature - 1 == kSignatureBytes, "XM signature is 17 bytes");
constexpr int kTitleBytes = 20;
constexpr int kTitleOffset = 17;
constexpr int kHeaderSizeOffset = 60;
constexpr int kHeaderBytes = 80;  // up to the order table
constexpr int kOrderTableBytes = 256;
constexpr int kLinearFlag = 1;
constexpr int kMaxPatterns = 256;
constexpr int kMaxInstruments = 255;  // a cell names instruments 1..255

static_assert(kTitleOffset + kTitleBytes + 1 + 22 == kHeaderSizeOffset,
              "header size follows the tracker name and version");
static_assert(kHeaderSizeOffset + 4 + 8 * 2 == kHeaderBytes,
              "the order table follows eight header words");

constexpr FormatInfo kInfo = {QVMOD_TYPE_XM,     "XM",         QVMOD_TYPE_UMX_XM,
                              "Unreal XM (UMX)", kTitleOffset, kTitleBytes};

}  // namespace

const char *qvmod_loader::xm::read_header(Bytes &in, QVMOD &m, Header &h)
{
    in.seek(kTitleOffset);
    for (int i = 0; i < kTitleBytes; i++) m.name[i] = static_cast<char>(in.u8());
    in.seek(kHeaderSizeOffset);
    h.first_pattern = kHeaderSizeOffset + static_cast<uint64_t>(in.u32le());
    const int song_length = in.u16le();
    const int restart = in.u16le();
    const int channels = in.u16le();
    h.stored_patterns = in.u16le();
    const int instruments = in.u16le();
    const int flags = in.u16le();
    m.initial_speed = in.u16le();
    m.initial_bpm = in.u16le();
    for (int i = 0; i < kOrderTableBytes; i++) m.order_table[i] = in.u8();
    if (channels < 1 || channels > QVMOD_MAX_CHANNELS)
        return "XM module must have 1 to 64 channels";
    if (h.stored_patterns > kMaxPatterns) return "XM module has more than 256 patterns";
    m.channel_count = channels;
    m.flags = QVMOD_FLAG_NOTES | ((flags & kLinearFlag) ? QVMOD_FLAG_LINEAR : QVMOD_FLAG_AMIGA);
    if (m.initial_speed == 0) m.initial_speed = kDefaultSpeed;
    if (m.initial_bpm == 0) m.initial_bpm = kDefaultBpm;
    m.initial_global_volume = kMaxGlobalVolume;
    // A song of no positions plays its first; a restart beyond the song starts over.
    m.order_count = std::clamp(song_length, 1, QVMOD_MAX_ORDERS);
    m.restart_order = restart < m.order_count ? restart : 0;

    h.extra_pattern = false;
    for (int i = 0; i < m.order_count; i++) {
        if (m.order_table[i] >= h.stored_patterns) {
            m.order_table[i] = h.stored_patterns;
            h.extra_pattern = true;
        }
    }
    h.instrument_count = std::min(instruments, kMaxInstruments);
    return nullptr;
}

extern "C" int detect_xm(const char *filename)
{
    return detect_signature(filename, 0, kSignature, kSignatureBytes);
}

extern "C" int get_xm_info(const char *filename, int offset, QVMOD_INFO *info)
{
    return describe_module(filename, offset, info, kInfo);
}

extern "C" QVMOD *load_xm(const char *filename, int offset)
{
    ModuleBuild b;
    if (!b.create()) return b.fail("Unable to allocate enough memory for QVMOD structure");
    FileBytes image;
    if (!read_file(filename, std::max(offset, 0), image)) {
        set_open_error(filename);
        return nullptr;
    }
    if (image.size() < static_cast<size_t>(kHeaderBytes))
        return b.fail("XM file is too short for its header");
    Bytes in(image);
    Header h{};
    uint64_t at = 0;
    std::vector<Wave> waves;
    const char *e = read_header(in, *b.get(), h);
    if (!e) e = read_patterns(in, b, h, at);
    if (!e) e = read_instruments(in, b, h, at, waves);
    if (!e) e = read_samples(in, b, waves);
    return e ? b.fail(e) : b.finish();
}
