// Scream Tracker 3 modules (S3M), plain or inside an Unreal package: reader, detectors, information query.
#include "loader_util.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace qvmod_loader;

extern "C" {
int fast_loading = kTrue;
}

namespace {

constexpr int kSourceChannels = 32;
constexpr int kTitleBytes = 28;
constexpr int kSignatureOffset = 44;
constexpr int kHeaderBytes = 96;            // up to the order list
constexpr int kChannelSettingsOffset = 64;
constexpr int kParaUnit = 16;               // parapointers count paragraphs
constexpr int kInstrumentHeaderBytes = 80;
constexpr int kTagOffset = 76;
constexpr int kTypeSample = 1;
constexpr int kFormatSigned = 1;
constexpr int kSampleLoop = 1;
constexpr int kSample16Bit = 4;
constexpr int kPanTableFlag = 0xFC;
constexpr int kPanGiven = 0x20;
constexpr int kChannelEnabledBelow = 0x20;  // settings 0..31 are channels; bit 7 or 255 disables
constexpr int kPanChannelBelow = 16;        // settings 0..15 are sample channels
constexpr int kLeftChannelBelow = 8;
constexpr int kPanLeft = 64;
constexpr int kPanRight = 192;
constexpr int kOrderMarker = 254;
constexpr int kOrderEnd = 255;
constexpr int kNoteCut = 254;
constexpr int kVolumeBase = 16;             // S3M volume v is stored as v + 16
constexpr int kDefaultSpeed = 6;
constexpr int kDefaultBpm = 125;
constexpr int kMaxSamples = 255;            // a cell names samples 1..255
constexpr int kSignFlip = 0x80;

constexpr int kHasNote = 0x20;
constexpr int kHasVolume = 0x40;
constexpr int kHasCommand = 0x80;
constexpr int kChannelMask = 31;

static_assert(kChannelSettingsOffset + kSourceChannels == kHeaderBytes, "orders follow the channel settings");
static_assert(kTitleBytes + 4 + 6 * 2 == kSignatureOffset, "SCRM follows the six header words");
static_assert(kTagOffset + 4 == kInstrumentHeaderBytes, "SCRS ends the instrument header");

// Loader state of the load in progress (loads happen one at a time).
unsigned char chn_set[kSourceChannels];
signed char remap[kSourceChannels];

constexpr int kUsed = 0;                    // remap mark of a used channel before numbering

// Source of pattern bytes: a memory cursor or a packed file; next() gives -1 at the end.
struct MemorySource {
    Bytes &in;
    int next() { return in.at_end() ? -1 : in.u8(); }
};

constexpr signed char kDrop = kDropCommand;
constexpr int kS3mExtendedCommand = 19;     // S: sub-command in the high nibble

// S3M command number (A = 1) -> command code.
constexpr signed char kS3mCommands[] = {
    kDrop,           CMD_S3M_SPEED,       CMD_POSITION_JUMP,        CMD_PATTERN_BREAK,
    CMD_S3M_VOLSLIDE, CMD_S3M_PORTA_DOWN, CMD_S3M_PORTA_UP,         CMD_TONE_PORTA,
    CMD_VIBRATO,     CMD_TREMOR,          CMD_S3M_ARPEGGIO,         CMD_S3M_VIBRATO_VOLSLIDE,
    CMD_S3M_TONE_PORTA_VOLSLIDE, kDrop,   kDrop,                    CMD_SAMPLE_OFFSET,
    kDrop,           CMD_RETRIG_VOLSLIDE, CMD_S3M_TREMOLO,          CMD_EXTENDED,
    CMD_S3M_BPM,     CMD_FINE_VIBRATO,    CMD_SET_GLOBAL_VOLUME,    kDrop,
    CMD_S3M_SET_PAN,
};
constexpr int kS3mCommandCount = static_cast<int>(sizeof kS3mCommands);
static_assert(kS3mCommandCount == 25, "S3M commands 0..24");

// Sub-command of S -> the extended sub-command the player runs (8, C, D and E keep their own).
constexpr signed char kS3mExtended[16] = {
    kDrop, EXT_GLISSANDO, EXT_SET_FINETUNE, EXT_VIBRATO_WAVEFORM, EXT_TREMOLO_WAVEFORM, kDrop, kDrop, kDrop,
    0x8,   kDrop,         EXT_STEREO_CONTROL, EXT_PATTERN_LOOP,   0xC,                  0xD,   0xE,   kDrop,
};

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

// Marks the enabled channels one pattern uses. False when the data ends before 64 rows.
template <typename Source>
bool scan_channels(Source &src)
{
    int row = 0;
    while (row < kRowsPerPattern) {
        const int b = src.next();
        if (b < 0) return false;
        if (b == 0) { row++; continue; }
        const int ch = b & kChannelMask;
        if (chn_set[ch] < kChannelEnabledBelow) remap[ch] = kUsed;
        int extra = 0;
        if (b & kHasNote) extra += 2;
        if (b & kHasVolume) extra += 1;
        if (b & kHasCommand) extra += 2;
        for (int k = 0; k < extra; k++)
            if (src.next() < 0) return false;
    }
    return true;
}

// Decodes one pattern into its cells; entries for unused channels are read and dropped.
// False when the data ends before 64 rows (the rest stays empty).
template <typename Source>
bool decode_pattern(Source &src, int sample_count, NOTE_INFO *cells, int channel_count)
{
    const std::array<int, kNoteBytes> &pitches = note_pitches();
    int row = 0;
    while (row < kRowsPerPattern) {
        const int b = src.next();
        if (b < 0) return false;
        if (b == 0) { row++; continue; }
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
    }
    return true;
}

// Reads one instrument header at `at` into sample i.
bool load_instrument(Bytes &in, uint64_t at, int sample_format, SAMPLE &s, SAMPLE_INFO &si)
{
    in.seek(at);
    const int type = in.u8();
    if (type != kTypeSample) return make_empty_sample(s);

    in.skip(12);
    const int hi = in.u8();
    const int lo = in.u16le();
    const uint64_t data_at = ((static_cast<uint64_t>(hi) << 16) + static_cast<uint64_t>(lo)) * kParaUnit;
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

    unsigned long ls = loop_start;
    unsigned long le = loop_end;
    int loop_type = (flags & kSampleLoop) ? QVMOD_LOOP_FORWARD : 0;
    repair_loop(frames, ls, le, loop_type);
    s.len = frames;
    s.loop_start = ls;
    s.loop_end = le;
    si.length = static_cast<int>(frames);
    si.loop_start = static_cast<int>(ls);
    si.loop_end = static_cast<int>(le);
    si.loop_type = loop_type;
    return true;
}

} // namespace

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

extern "C" int S3M_get_num_chn(PACKFILE *f)
{
    PackSource src{f};
    return scan_channels(src) ? 1 : -1;
}

extern "C" int S3M_load_pat(PACKFILE *f, QVMOD *module, NOTE_INFO *cells, int channel_count)
{
    if (!module || !cells) return -1;
    PackSource src{f};
    return decode_pattern(src, module->sample_count, cells, channel_count) ? 1 : -1;
}

extern "C" int detect_s3m(const char *filename)
{
    char sig[4];
    const int got = peek_file(filename, kSignatureOffset, sig, 4);
    if (got < 0) return 0;
    return got == 4 && std::memcmp(sig, "SCRM", 4) == 0 ? 1 : -1;
}

extern "C" int get_s3m_info(const char *filename, int offset, QVMOD_INFO *info)
{
    if (!info) return -1;
    if (peek_file(filename, 0, nullptr, 0) < 0) {
        set_open_error(filename);
        return -1;
    }
    info->type = offset ? QVMOD_TYPE_UMX_S3M : QVMOD_TYPE_S3M;
    std::strcpy(info->type_name, offset ? "Unreal S3M (UMX)" : "S3M");
    peek_file(filename, std::max(offset, 0), info->name, kTitleBytes);
    return 1;
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
    if (image.size() < static_cast<size_t>(kHeaderBytes)) return b.fail("S3M file is too short for its header");
    Bytes in(image);

    for (int i = 0; i < kTitleBytes; i++) m->name[i] = static_cast<char>(in.u8());
    in.skip(4);
    const int order_count = in.u16le();
    const int instrument_count = in.u16le();
    const int stored_patterns = in.u16le();
    // Samples beyond what a cell can name are never played; a module without any gets one empty sample.
    const int sample_count = std::clamp(instrument_count, 1, kMaxSamples);
    if (!b.alloc_samples(sample_count)) return b.fail("Unable to allocate enough memory for SAMPLE or SAMPLE_INFO");
    // The one sample of a module without instruments; the others come from their headers.
    for (int i = instrument_count; i < sample_count; i++)
        if (!make_empty_sample(m->samples[i])) return b.fail("Unable to allocate enough memory for data sample");
    in.skip(4);
    const int sample_format = in.u16le();
    in.skip(4);
    m->initial_global_volume = std::min(in.u8(), kMaxGlobalVolume);
    m->initial_speed = in.u8();
    m->initial_bpm = in.u8();
    in.skip(2);
    const int pan_flag = in.u8();
    in.seek(kChannelSettingsOffset);
    in.read(chn_set, kSourceChannels);
    if (m->initial_speed == 0) m->initial_speed = kDefaultSpeed;
    if (m->initial_bpm == 0) m->initial_bpm = kDefaultBpm;

    // Orders: markers and end marks are dropped wherever they stand; at most 256 are kept.
    int kept = 0;
    for (int i = 0; i < order_count; i++) {
        const int o = in.u8();
        if (o == kOrderMarker || o == kOrderEnd) continue;
        if (kept < QVMOD_MAX_ORDERS) m->order_table[kept++] = o;
    }
    m->order_count = std::max(kept, 1);

    std::vector<uint64_t> instrument_at(static_cast<size_t>(instrument_count));
    std::vector<uint64_t> pattern_at(static_cast<size_t>(stored_patterns));
    for (auto &p : instrument_at) p = static_cast<uint64_t>(in.u16le()) * kParaUnit;
    for (auto &p : pattern_at) p = static_cast<uint64_t>(in.u16le()) * kParaUnit;
    unsigned char pans[kSourceChannels] = {};
    const bool pan_table = pan_flag == kPanTableFlag;
    if (pan_table) in.read(pans, kSourceChannels);

    for (int i = 0; i < sample_count && i < instrument_count; i++)
        if (!load_instrument(in, instrument_at[i], sample_format, m->samples[i], m->sample_info[i]))
            return b.fail("Unable to allocate enough memory for data sample");

    std::memset(remap, -1, sizeof remap);
    if (fast_loading) {
        for (int ch = 0; ch < kSourceChannels; ch++)
            if (chn_set[ch] < kChannelEnabledBelow) remap[ch] = kUsed;
    } else {
        for (int p = 0; p < stored_patterns; p++) {
            if (pattern_at[p] == 0) continue;
            in.seek(pattern_at[p] + 2);
            MemorySource src{in};
            scan_channels(src);
        }
    }
    int channels = 0;
    for (int ch = 0; ch < kSourceChannels; ch++)
        if (remap[ch] == kUsed) remap[ch] = static_cast<signed char>(channels++);
    // A module without a used channel still has one (silent) channel to play.
    m->channel_count = std::max(channels, 1);

    for (int ch = 0; ch < kSourceChannels; ch++) {
        const int mc = remap[ch];
        if (mc < 0 || chn_set[ch] >= kPanChannelBelow) continue;
        m->channel_pan[mc] = chn_set[ch] < kLeftChannelBelow ? kPanLeft : kPanRight;
        if (pan_table && (pans[ch] & kPanGiven)) m->channel_pan[mc] = (pans[ch] & 15) * 17;
    }

    const int pattern_count = get_mod_no_pat(m->order_table, m->order_count);
    if (!b.alloc_patterns(pattern_count)) return b.fail("Unable to allocate enough memory for PATTERN_INFO");
    for (int p = 0; p < pattern_count; p++) {
        if (!b.alloc_cells(p, kRowsPerPattern)) return b.fail("Unable to allocate enough memory for NOTE_INFO");
        // Patterns not stored, or stored at parapointer 0, are empty.
        if (p >= stored_patterns || pattern_at[p] == 0) continue;
        in.seek(pattern_at[p] + 2);
        MemorySource src{in};
        decode_pattern(src, m->sample_count, m->pattern_info[p].notes, m->channel_count);
    }
    return b.finish();
}
