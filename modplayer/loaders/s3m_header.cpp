// SPDX-License-Identifier: MIT
// S3M modules, plain or inside an Unreal package: the song header, the detector, the information query and the reader's order of parts.
#include "s3m_format.h"

#include <cstring>

using namespace qvmod_loader;
using namespace qvmod_loader::s3m;

extern "C" {
int fast_loading = kTrue;
}

namespace {

constexpr int kTitleBytes = 28;
constexpr int kSignatureOffset = 44;
constexpr int kHeaderBytes = 96;  // up to the order list
constexpr int kChannelSettingsOffset = 64;
constexpr int kPanTableFlag = 0xFC;
constexpr int kOrderMarker = 254;
constexpr int kOrderEnd = 255;
constexpr int kMaxSamples = 255;  // a cell names samples 1..255

static_assert(kChannelSettingsOffset + kSourceChannels == kHeaderBytes,
              "orders follow the channel settings");
static_assert(kTitleBytes + 4 + 6 * 2 == kSignatureOffset, "SCRM follows the six header words");

constexpr FormatInfo kInfo = {QVMOD_TYPE_S3M,     "S3M", QVMOD_TYPE_UMX_S3M,
                              "Unreal S3M (UMX)", 0,     kTitleBytes};

}  // namespace

void qvmod_loader::s3m::read_header(Bytes &in, QVMOD &m, ReadContext &ctx)
{
    for (int i = 0; i < kTitleBytes; i++) m.name[i] = static_cast<char>(in.u8());
    in.skip(4);
    const int order_count = in.u16le();
    ctx.instrument_count = in.u16le();
    ctx.stored_patterns = in.u16le();
    in.skip(4);
    ctx.sample_format = in.u16le();
    in.skip(4);
    m.initial_global_volume = std::min(in.u8(), kMaxGlobalVolume);
    m.initial_speed = in.u8();
    m.initial_bpm = in.u8();
    in.skip(2);
    const int pan_flag = in.u8();
    in.seek(kChannelSettingsOffset);
    in.read(ctx.channel_settings, kSourceChannels);
    if (m.initial_speed == 0) m.initial_speed = kDefaultSpeed;
    if (m.initial_bpm == 0) m.initial_bpm = kDefaultBpm;

    // Orders: markers and end marks are dropped wherever they stand; at most 256 are kept.
    int kept = 0;
    for (int i = 0; i < order_count; i++) {
        const int o = in.u8();
        if (o == kOrderMarker || o == kOrderEnd) continue;
        if (kept < QVMOD_MAX_ORDERS) m.order_table[kept++] = o;
    }
    m.order_count = std::max(kept, 1);

    ctx.instrument_at.resize(static_cast<size_t>(ctx.instrument_count));
    ctx.pattern_at.resize(static_cast<size_t>(ctx.stored_patterns));
    for (auto &p : ctx.instrument_at) p = static_cast<uint64_t>(in.u16le()) * kParaUnit;
    for (auto &p : ctx.pattern_at) p = static_cast<uint64_t>(in.u16le()) * kParaUnit;
    ctx.pan_table = pan_flag == kPanTableFlag;
    if (ctx.pan_table) in.read(ctx.pans, kSourceChannels);
}

extern "C" int detect_s3m(const char *filename)
{
    return detect_signature(filename, kSignatureOffset, "SCRM", 4);
}

extern "C" int get_s3m_info(const char *filename, int offset, QVMOD_INFO *info)
{
    return describe_module(filename, offset, info, kInfo);
}

extern "C" QVMOD *load_s3m(const char *filename, int offset)
{
    FileBytes image;
    if (!read_file(filename, std::max(offset, 0), image)) {
        set_open_error(filename);
        return nullptr;
    }
    ModuleBuild b;
    if (!b.create()) return b.fail("Unable to allocate enough memory for QVMOD structure");
    QVMOD *m = b.get();
    if (image.size() < static_cast<size_t>(kHeaderBytes))
        return b.fail("S3M file is too short for its header");
    Bytes in(image);
    ReadContext ctx;
    read_header(in, *m, ctx);

    // Samples beyond what a cell can name are never played; a module without any gets one empty sample.
    const int sample_count = std::clamp(ctx.instrument_count, 1, kMaxSamples);
    if (!b.alloc_samples(sample_count))
        return b.fail("Unable to allocate enough memory for SAMPLE or SAMPLE_INFO");
    for (int i = 0; i < sample_count; i++) {
        const bool stored = i < ctx.instrument_count;
        if (!(stored ? read_sample(in, ctx.instrument_at[i], ctx.sample_format, m->samples[i],
                                   m->sample_info[i])
                     : make_empty_sample(m->samples[i])))
            return b.fail("Unable to allocate enough memory for data sample");
    }
    if (const char *e = read_patterns(in, b, ctx)) return b.fail(e);
    return b.finish();
}
