// SPDX-License-Identifier: MIT
// S3M patterns: the command tables, the note pitches, the channel scan and map, and the packed pattern decoder.
#include "s3m_format.h"

#include <array>
#include <cstring>

namespace qvmod_loader::s3m {

namespace {

constexpr int kPanChannelBelow = 16;  // settings 0..15 are sample channels
constexpr int kLeftChannelBelow = 8;
constexpr int kPanLeft = 64;
constexpr int kPanRight = 192;
constexpr int kPanGiven = 0x20;
constexpr int kNoteCut = 254;
constexpr int kVolumeBase = 16;  // S3M volume v is stored as v + 16

constexpr int kHasNote = 0x20;
constexpr int kHasVolume = 0x40;
constexpr int kHasCommand = 0x80;
constexpr int kChannelMask = 31;

// Source of pattern bytes: a memory cursor or a packed file; next() gives -1 at the end.
struct MemorySource {
    Bytes &in;
    int next() { return in.at_end() ? -1 : in.u8(); }
};

constexpr signed char kDrop = kDropCommand;
constexpr int kS3mExtendedCommand = 19;  // S: sub-command in the high nibble

// S3M command number (A = 1) -> command code.
// clang-format off
constexpr signed char kS3mCommands[] = {
    kDrop,           CMD_S3M_SPEED,       CMD_POSITION_JUMP,        CMD_PATTERN_BREAK,
    CMD_S3M_VOLSLIDE, CMD_S3M_PORTA_DOWN, CMD_S3M_PORTA_UP,         CMD_TONE_PORTA,
    CMD_VIBRATO,     CMD_TREMOR,          CMD_S3M_ARPEGGIO,         CMD_S3M_VIBRATO_VOLSLIDE,
    CMD_S3M_TONE_PORTA_VOLSLIDE, kDrop,   kDrop,                    CMD_SAMPLE_OFFSET,
    kDrop,           CMD_RETRIG_VOLSLIDE, CMD_S3M_TREMOLO,          CMD_EXTENDED,
    CMD_S3M_BPM,     CMD_FINE_VIBRATO,    CMD_SET_GLOBAL_VOLUME,    kDrop,
    CMD_S3M_SET_PAN,
};
// clang-format on
constexpr int kS3mCommandCount = static_cast<int>(sizeof kS3mCommands);
static_assert(kS3mCommandCount == 25, "S3M commands 0..24");

// Sub-command of S -> the extended sub-command the player runs (8, C, D and E keep their own).
// clang-format off
constexpr signed char kS3mExtended[16] = {
    kDrop, EXT_GLISSANDO, EXT_SET_FINETUNE, EXT_VIBRATO_WAVEFORM, EXT_TREMOLO_WAVEFORM, kDrop, kDrop, kDrop,
    0x8,   kDrop,         EXT_STEREO_CONTROL, EXT_PATTERN_LOOP,   0xC,                  0xD,   0xE,   kDrop,
};
// clang-format on

inline void convert_command(int &command, int &param)
{
    convert_by_tables(command, param, kS3mCommands, kS3mExtendedCommand, kS3mExtended);
}

constexpr int kNoteBytes = 256;

// The pitch of every note byte, worked out once: a division per note is most of a note's cost.
const std::array<int, kNoteBytes> &note_pitches()
{
    static const std::array<int, kNoteBytes> pitches = [] {
        std::array<int, kNoteBytes> t{};
        for (int n = 0; n < kNoteBytes; n++) {
            const int semitone = n & 15;
            const int period = semitone < kNoteGridSize ? noteperiod[semitone] >> (n >> 4) : 0;
            t[n] = n == kNoteCut ? QVMOD_NOTE_CUT : period ? kAmigaClock / period : 0;
        }
        return t;
    }();
    return pitches;
}

// Walks the entries of one packed pattern: entry(row, what) reads the rest of each entry from src
// and says whether the data held it. False when the data ends before 64 rows.
template <typename Source, typename Entry>
bool walk_pattern(Source &src, Entry entry)
{
    int row = 0;
    while (row < kRowsPerPattern) {
        const int b = src.next();
        if (b < 0) return false;
        if (b == 0) {
            row++;
            continue;
        }
        if (!entry(row, b)) return false;
    }
    return true;
}

// Marks the enabled channels one pattern uses. False when the data ends before 64 rows.
template <typename Source>
bool scan_channels(Source &src, ReadContext &ctx)
{
    return walk_pattern(src, [&](int, int b) {
        const int ch = b & kChannelMask;
        if (ctx.channel_settings[ch] < kChannelEnabledBelow) ctx.remap[ch] = kUsed;
        int extra = 0;
        if (b & kHasNote) extra += 2;
        if (b & kHasVolume) extra += 1;
        if (b & kHasCommand) extra += 2;
        for (int k = 0; k < extra; k++)
            if (src.next() < 0) return false;
        return true;
    });
}

// Decodes one pattern into its cells; entries for unused channels are read and dropped.
// False when the data ends before 64 rows (the rest stays empty).
template <typename Source>
bool decode_pattern(Source &src, const signed char (&remap)[kSourceChannels], int sample_count,
                    NOTE_INFO *cells, int channel_count)
{
    const std::array<int, kNoteBytes> &pitches = note_pitches();
    return walk_pattern(src, [&](int row, int b) {
        const int ch = remap[b & kChannelMask];
        NOTE_INFO scratch{};
        NOTE_INFO &n = ch >= 0 && ch < channel_count ? cells[row * channel_count + ch] : scratch;
        if (b & kHasNote) {
            const int note = src.next();
            const int sample = src.next();
            if (note < 0 || sample < 0) return false;
            n.note = pitches[note];
            n.sample = sample <= sample_count ? sample : 0;
        }
        if (b & kHasVolume) {
            const int v = src.next();
            if (v < 0) return false;
            n.volume = std::min(v, kMaxVolume) + kVolumeBase;
        }
        if (b & kHasCommand) {
            int command = src.next();
            int param = src.next();
            if (command < 0 || param < 0) return false;
            convert_command(command, param);
            n.command = command;
            n.extcommand = param;
        }
        return true;
    });
}

}  // namespace

const char *read_patterns(Bytes &in, ModuleBuild &b, ReadContext &ctx)
{
    QVMOD *m = b.get();
    std::memset(ctx.remap, kUnused, sizeof ctx.remap);
    if (fast_loading) {
        for (int ch = 0; ch < kSourceChannels; ch++)
            if (ctx.channel_settings[ch] < kChannelEnabledBelow) ctx.remap[ch] = kUsed;
    } else {
        for (int p = 0; p < ctx.stored_patterns; p++) {
            if (ctx.pattern_at[p] == 0) continue;
            in.seek(ctx.pattern_at[p] + 2);
            MemorySource src{in};
            scan_channels(src, ctx);
        }
    }
    int channels = 0;
    for (int ch = 0; ch < kSourceChannels; ch++)
        if (ctx.remap[ch] == kUsed) ctx.remap[ch] = static_cast<signed char>(channels++);
    // A module without a used channel still has one (silent) channel to play.
    m->channel_count = std::max(channels, 1);

    for (int ch = 0; ch < kSourceChannels; ch++) {
        const int mc = ctx.remap[ch];
        if (mc < 0 || ctx.channel_settings[ch] >= kPanChannelBelow) continue;
        m->channel_pan[mc] = ctx.channel_settings[ch] < kLeftChannelBelow ? kPanLeft : kPanRight;
        if (ctx.pan_table && (ctx.pans[ch] & kPanGiven))
            m->channel_pan[mc] = (ctx.pans[ch] & 15) * kPanStep;
    }

    const int pattern_count = get_mod_no_pat(m->order_table, m->order_count);
    if (!b.alloc_patterns(pattern_count))
        return "Unable to allocate enough memory for PATTERN_INFO";
    for (int p = 0; p < pattern_count; p++) {
        if (!b.alloc_cells(p, kRowsPerPattern))
            return "Unable to allocate enough memory for NOTE_INFO";
        // Patterns not stored, or stored at parapointer 0, are empty.
        if (p >= ctx.stored_patterns || ctx.pattern_at[p] == 0) continue;
        in.seek(ctx.pattern_at[p] + 2);
        MemorySource src{in};
        decode_pattern(src, ctx.remap, m->sample_count, m->pattern_info[p].notes, m->channel_count);
    }
    return nullptr;
}

}  // namespace qvmod_loader::s3m

using namespace qvmod_loader;
using namespace qvmod_loader::s3m;

extern "C" void convert_s3m_pitch(int *note)
{
    if (!note) return;
    *note = *note >= 0 && *note < kNoteBytes ? note_pitches()[*note] : 0;
}

extern "C" void convert_s3m_command(int *command, int *param)
{
    if (!command || !param) return;
    convert_command(*command, *param);
}

// The stream helpers read one pattern on their own, outside a load: the scan only tells whether
// the pattern is whole, and the decoder puts source channel n into column n.
extern "C" int S3M_get_num_chn(PACKFILE *f)
{
    ReadContext ctx;
    std::memset(ctx.remap, kUnused, sizeof ctx.remap);
    PackSource src{f};
    return scan_channels(src, ctx) ? 1 : -1;
}

extern "C" int S3M_load_pat(PACKFILE *f, QVMOD *module, NOTE_INFO *cells, int channel_count)
{
    if (!module || !cells) return -1;
    signed char identity[kSourceChannels];
    for (int ch = 0; ch < kSourceChannels; ch++) identity[ch] = static_cast<signed char>(ch);
    PackSource src{f};
    return decode_pattern(src, identity, module->sample_count, cells, channel_count) ? 1 : -1;
}
