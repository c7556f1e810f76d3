// FastTracker 2 extended modules (XM), plain or inside an Unreal package: reader, detectors, information query.
#include "loader_util.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

using namespace qvmod_loader;

namespace {

constexpr char kSignature[] = "Extended Module: ";
constexpr int kSignatureBytes = 17;
static_assert(sizeof kSignature - 1 == kSignatureBytes, "XM signature is 17 bytes");
constexpr int kTitleBytes = 20;
constexpr int kTitleOffset = 17;
constexpr int kHeaderSizeOffset = 60;
constexpr int kHeaderBytes = 80;            // up to the order table
constexpr int kOrderTableBytes = 256;
constexpr int kLinearFlag = 1;
constexpr int kDefaultSpeed = 6;
constexpr int kDefaultBpm = 125;
constexpr int kDefaultRows = 64;            // rows of the appended pattern and of a 0-row pattern
constexpr int kMaxRows = 256;
constexpr int kMaxPatterns = 256;
constexpr int kMaxInstruments = 255;        // a cell names instruments 1..255
constexpr int kMaxSamples = 255;            // plus the silent one: every sample index fits a byte
constexpr int kEmptyPatternCellBudget = 1 << 20;   // cells the file describes without bytes (~20 MB)
constexpr int kInstrumentMinBytes = 30;
constexpr int kInstrumentHeaderBytes = 241;
constexpr int kSampleHeaderBytes = 40;
constexpr int kKeyOff = 97;
constexpr int kSample16Bit = 0x10;
constexpr int kLoopBits = 3;
constexpr int kEnvFlagBits = 7;
constexpr int kEnvPanCentre = 32;
constexpr int kSignFlip = 0x80;

static_assert(kTitleOffset + kTitleBytes + 1 + 22 == kHeaderSizeOffset, "header size follows the tracker name and version");
static_assert(kHeaderSizeOffset + 4 + 8 * 2 == kHeaderBytes, "the order table follows eight header words");
static_assert(33 + 96 + 2 * 12 * 4 + 16 == kInstrumentHeaderBytes, "instrument header up to the fadeout word");

constexpr int kMaskFlag = 0x80;
constexpr int kMaskNote = 0x01;
constexpr int kMaskInstrument = 0x02;
constexpr int kMaskVolume = 0x04;
constexpr int kMaskEffect = 0x08;
constexpr int kMaskParam = 0x10;

// A sample header with its instrument's automatic vibrato.
struct XMWAV {
    uint32_t length;
    uint32_t loop_start;
    uint32_t loop_length;
    int volume;
    int finetune;
    int type;
    int panning;
    int relative_note;
    int vibrato_type;
    int vibrato_sweep;
    int vibrato_depth;
    int vibrato_rate;
    uint64_t data_at;           // absolute offset of the data in the module image
};

struct MemorySource {
    const unsigned char *p;
    const unsigned char *end;
    int next() { return p < end ? *p++ : -1; }
};

constexpr signed char kDrop = kDropCommand;

// XM effect number -> command code.
constexpr signed char kXmCommands[] = {
    CMD_ARPEGGIO,          CMD_XM_PORTA_UP,      CMD_XM_PORTA_DOWN,       CMD_TONE_PORTA,
    CMD_VIBRATO,           CMD_XM_TONE_PORTA_VOLSLIDE, CMD_XM_VIBRATO_VOLSLIDE, CMD_TREMOLO,
    CMD_SET_PAN,           CMD_SAMPLE_OFFSET,    CMD_XM_VOLSLIDE,         CMD_POSITION_JUMP,
    CMD_SET_VOLUME,        CMD_PATTERN_BREAK,    CMD_EXTENDED,            CMD_PRO_SPEED_BPM,
    CMD_SET_GLOBAL_VOLUME, CMD_GLOBAL_VOLSLIDE,  kDrop,                   kDrop,
    CMD_KEY_OFF,           CMD_SET_ENVELOPE_POS, kDrop,                   kDrop,
    kDrop,                 CMD_XM_PANSLIDE,      kDrop,                   CMD_RETRIG_VOLSLIDE,
    kDrop,                 CMD_TREMOR,           kDrop,                   kDrop,
    kDrop,                 CMD_XM_EXTRA_FINE_PORTA,
};
constexpr int kXmCommandCount = static_cast<int>(sizeof kXmCommands);
static_assert(kXmCommandCount == 34, "XM effects 0..33");
constexpr int kXmExtendedEffect = 14;

// Sub-command of effect 14 -> the sub-command the player runs; ProTracker's own ones stay.
constexpr signed char kXmExtended[16] = {
    kDrop, EXT_XM_FINE_PORTA_UP, EXT_XM_FINE_PORTA_DOWN, 0x3, 0x4, kDrop, 0x6, 0x7,
    kDrop, 0x9, EXT_XM_FINE_VOLUME_UP, EXT_XM_FINE_VOLUME_DOWN, 0xC, 0xD, 0xE, kDrop,
};

inline void convert_command(int &command, int &param)
{
    convert_by_tables(command, param, kXmCommands, kXmExtendedEffect, kXmExtended);
}

// Converts one cell's five stored values into the cell.
inline void store_cell(int note, int instrument, int volume, int effect, int param, int instrument_count,
                       NOTE_INFO &n)
{
    if (instrument > instrument_count) instrument = note = 0;
    if (note == kKeyOff) note = QVMOD_NOTE_KEY_OFF;
    else if (note > kKeyOff) note = instrument = 0;
    convert_command(effect, param);
    n.note = note;
    n.sample = instrument;
    n.volume = volume;
    n.command = effect;
    n.extcommand = param;
}

// Reads one packed cell and converts it; bytes missing at the end read as 0.
template <typename Source>
void read_cell(Source &src, int instrument_count, NOTE_INFO &n)
{
    auto byte = [&src]() { const int v = src.next(); return v < 0 ? 0 : v; };
    int note = 0, instrument = 0, volume = 0, effect = 0, param = 0;
    const int b = byte();
    if (b & kMaskFlag) {
        if (b & kMaskNote) note = byte();
        if (b & kMaskInstrument) instrument = byte();
        if (b & kMaskVolume) volume = byte();
        if (b & kMaskEffect) effect = byte();
        if (b & kMaskParam) param = byte();
    } else {
        note = b;
        instrument = byte();
        volume = byte();
        effect = byte();
        param = byte();
    }
    store_cell(note, instrument, volume, effect, param, instrument_count, n);
}

// Where the five fields of a packed cell stand, for each combination of mask bits: fields follow
// the mask byte in order, an absent one reads the mask byte and is masked to 0. Tables rather than
// tests, since which fields a cell holds follows no pattern a branch predictor could learn.
struct PackedLayout {
    unsigned char at[5];
    unsigned char keep[5];
    unsigned char length;
};

constexpr int kFieldBits = 5;
constexpr int kFieldSets = 1 << kFieldBits;

constexpr std::array<PackedLayout, kFieldSets> make_layouts()
{
    std::array<PackedLayout, kFieldSets> t{};
    for (int m = 0; m < kFieldSets; m++) {
        int next = 1;
        for (int f = 0; f < kFieldBits; f++) {
            const bool present = (m >> f) & 1;
            t[m].at[f] = static_cast<unsigned char>(present ? next++ : 0);
            t[m].keep[f] = present ? 0xFF : 0;
        }
        t[m].length = static_cast<unsigned char>(next);
    }
    return t;
}

constexpr std::array<PackedLayout, kFieldSets> kLayouts = make_layouts();
static_assert(kMaskNote == 1 && kMaskInstrument == 2 && kMaskVolume == 4 && kMaskEffect == 8 && kMaskParam == 16,
              "the field bits index the layouts");

// Decodes the cells of one pattern from its packed bytes; cells past the bytes stay empty.
void decode_pattern(const unsigned char *p, const unsigned char *end, int instrument_count, NOTE_INFO *cells,
                    long long count)
{
    constexpr ptrdiff_t kLongestCell = 6;       // mask byte and five fields
    long long c = 0;
    for (; c < count && end - p >= kLongestCell; c++) {
        const int b = p[0];
        if (b & kMaskFlag) {
            const PackedLayout &l = kLayouts[b & (kFieldSets - 1)];
            store_cell(p[l.at[0]] & l.keep[0], p[l.at[1]] & l.keep[1], p[l.at[2]] & l.keep[2],
                       p[l.at[3]] & l.keep[3], p[l.at[4]] & l.keep[4], instrument_count, cells[c]);
            p += l.length;
        } else {
            store_cell(b, p[1], p[2], p[3], p[4], instrument_count, cells[c]);
            p += 5;
        }
    }
    // The last cells one byte at a time, the end in view.
    MemorySource src{p, end};
    for (; c < count && src.p < src.end; c++) read_cell(src, instrument_count, cells[c]);
}

// Envelope as stored, then made safe: at most 12 points, the first at tick 0, positions that
// never go backwards, values 0..64, point indexes inside the points, a loop that runs forwards.
void read_envelope(Bytes &in, int *pos, int *value)
{
    for (int i = 0; i < QVMOD_MAX_ENV_POINTS; i++) {
        pos[i] = in.u16le();
        value[i] = std::min(in.u16le(), kEnvVolumeDefault);
    }
}

void repair_envelope(int *pos, int *value, int &points, int &flags, int &sustain_start, int &sustain_end,
                     int &loop_start, int &loop_end, int empty_value)
{
    flags &= kEnvFlagBits;
    points = std::min(points, QVMOD_MAX_ENV_POINTS);
    pos[0] = 0;
    if ((flags & QVMOD_ENV_ON) && points == 0) {
        points = 1;
        value[0] = empty_value;
    }
    for (int i = 1; i < QVMOD_MAX_ENV_POINTS; i++) pos[i] = std::max(pos[i], pos[i - 1]);
    const int last = std::max(points - 1, 0);
    sustain_start = sustain_end = std::min(sustain_start, last);
    loop_start = std::min(loop_start, last);
    loop_end = std::min(loop_end, last);
    if (loop_start > loop_end) {
        loop_start = loop_end;
        flags &= ~QVMOD_ENV_LOOP;
    }
}

} // namespace

extern "C" void convert_xm_command(int *command, int *param)
{
    if (!command || !param) return;
    convert_command(*command, *param);
}

extern "C" void load_note(QVMOD *module, PACKFILE *f, NOTE_INFO *cell)
{
    if (!module || !cell) return;
    PackSource src{f};
    read_cell(src, module->instrument_count, *cell);
}

extern "C" int detect_xm(const char *filename)
{
    char sig[kSignatureBytes];
    const int got = peek_file(filename, 0, sig, kSignatureBytes);
    if (got < 0) return 0;
    return got == kSignatureBytes && std::memcmp(sig, kSignature, kSignatureBytes) == 0 ? 1 : -1;
}

extern "C" int get_xm_info(const char *filename, int offset, QVMOD_INFO *info)
{
    if (!info) return -1;
    if (peek_file(filename, 0, nullptr, 0) < 0) {
        set_open_error(filename);
        return -1;
    }
    info->type = offset ? QVMOD_TYPE_UMX_XM : QVMOD_TYPE_XM;
    std::strcpy(info->type_name, offset ? "Unreal XM (UMX)" : "XM");
    peek_file(filename, std::max(offset, 0) + kTitleOffset, info->name, kTitleBytes);
    return 1;
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
    QVMOD *m = b.get();
    if (image.size() < static_cast<size_t>(kHeaderBytes)) return b.fail("XM file is too short for its header");
    Bytes in(image);

    in.seek(kTitleOffset);
    for (int i = 0; i < kTitleBytes; i++) m->name[i] = static_cast<char>(in.u8());
    in.seek(kHeaderSizeOffset);
    const uint64_t first_pattern = kHeaderSizeOffset + static_cast<uint64_t>(in.u32le());
    const int song_length = in.u16le();
    const int restart = in.u16le();
    const int channels = in.u16le();
    const int stored_patterns = in.u16le();
    const int instruments = in.u16le();
    const int flags = in.u16le();
    m->initial_speed = in.u16le();
    m->initial_bpm = in.u16le();
    for (int i = 0; i < kOrderTableBytes; i++) m->order_table[i] = in.u8();
    if (channels < 1 || channels > QVMOD_MAX_CHANNELS) return b.fail("XM module must have 1 to 64 channels");
    if (stored_patterns > kMaxPatterns) return b.fail("XM module has more than 256 patterns");
    m->channel_count = channels;
    m->flags = QVMOD_FLAG_NOTES | ((flags & kLinearFlag) ? QVMOD_FLAG_LINEAR : QVMOD_FLAG_AMIGA);
    if (m->initial_speed == 0) m->initial_speed = kDefaultSpeed;
    if (m->initial_bpm == 0) m->initial_bpm = kDefaultBpm;
    m->initial_global_volume = kMaxGlobalVolume;
    // A song of no positions plays its first; a restart beyond the song starts over.
    m->order_count = std::clamp(song_length, 1, QVMOD_MAX_ORDERS);
    m->restart_order = restart < m->order_count ? restart : 0;

    bool extra = false;
    for (int i = 0; i < m->order_count; i++) {
        if (m->order_table[i] >= stored_patterns) {
            m->order_table[i] = stored_patterns;
            extra = true;
        }
    }
    const int instrument_count = std::min(instruments, kMaxInstruments);
    // instrument_count must be known while the cells are read; the records come later.
    m->instrument_count = 0;
    if (!b.alloc_patterns(stored_patterns + (extra ? 1 : 0)))
        return b.fail("Unable to allocate enough memory for PATTERN_INFO");

    uint64_t at = first_pattern;
    long long budget = kEmptyPatternCellBudget;
    for (int p = 0; p < stored_patterns; p++) {
        in.seek(at);
        const uint32_t header_length = in.u32le();
        in.skip(1);
        int rows = in.u16le();
        const int packed = in.u16le();
        if (rows > kMaxRows) return b.fail("XM pattern has more than 256 rows");
        if (rows == 0) rows = kDefaultRows;
        const uint64_t data_at = at + header_length;
        in.seek(data_at);
        const size_t present = std::min<size_t>(static_cast<size_t>(packed), in.left());
        // Every cell stored takes at least one byte; cells without bytes come from a fixed budget.
        const long long cells = static_cast<long long>(rows) * channels;
        if (cells > static_cast<long long>(present)) budget -= cells - static_cast<long long>(present);
        if (budget < 0) return b.fail("XM patterns are larger than the file can hold");
        if (!b.alloc_cells(p, rows)) return b.fail("Unable to allocate enough memroy for NOTE_INFO");
        decode_pattern(in.here(), in.here() + present, instrument_count, m->pattern_info[p].notes, cells);
        at = data_at + packed;
    }
    if (extra && !b.alloc_cells(stored_patterns, kDefaultRows))
        return b.fail("Unable to allocate enough memory for NOTE_INFO");

    if (!b.alloc_instruments(instrument_count)) return b.fail("Unable to allocate enough memory for INSTRUMENT_INFO");
    std::vector<XMWAV> wav;
    wav.reserve(kMaxSamples);
    // Per instrument, per note: 1 + index into wav, or 0 for the silent sample.
    for (int i = 0; i < instrument_count; i++) {
        INSTRUMENT_INFO &ins = m->instrument_info[i];
        in.seek(at);
        const uint32_t size = in.u32le();
        in.skip(22 + 1);
        const int n = in.u16le();
        if (size < static_cast<uint32_t>(kInstrumentMinBytes) || n < 1) {
            for (int k = 0; k < QVMOD_NOTES_PER_INSTR; k++) ins.sample_number[k] = 0;
            at += size;
            continue;
        }
        in.skip(4);
        unsigned char map[QVMOD_NOTES_PER_INSTR] = {};   // a map cut off by the end of the file reads as 0
        in.read(map, sizeof map);
        read_envelope(in, ins.volume_env_pos, ins.volume_env_value);
        read_envelope(in, ins.pan_env_pos, ins.pan_env_value);
        ins.volume_env_points = in.u8();
        ins.pan_env_points = in.u8();
        ins.volume_env_sustain_start = in.u8();
        ins.volume_env_loop_start = in.u8();
        ins.volume_env_loop_end = in.u8();
        ins.pan_env_sustain_start = in.u8();
        ins.pan_env_loop_start = in.u8();
        ins.pan_env_loop_end = in.u8();
        ins.volume_env_flags = in.u8();
        ins.pan_env_flags = in.u8();
        const int vib_type = in.u8();
        const int vib_sweep = in.u8();
        const int vib_depth = in.u8();
        const int vib_rate = in.u8();
        ins.volume_fadeout = in.u16le();
        repair_envelope(ins.volume_env_pos, ins.volume_env_value, ins.volume_env_points, ins.volume_env_flags,
                        ins.volume_env_sustain_start, ins.volume_env_sustain_end, ins.volume_env_loop_start,
                        ins.volume_env_loop_end, 0);
        repair_envelope(ins.pan_env_pos, ins.pan_env_value, ins.pan_env_points, ins.pan_env_flags,
                        ins.pan_env_sustain_start, ins.pan_env_sustain_end, ins.pan_env_loop_start,
                        ins.pan_env_loop_end, kEnvPanCentre);

        const uint64_t headers_at = at + std::max<uint32_t>(size, kInstrumentHeaderBytes);
        uint64_t data_at = headers_at + static_cast<uint64_t>(n) * kSampleHeaderBytes;
        const size_t first = wav.size();
        for (int k = 0; k < n; k++) {
            in.seek(headers_at + static_cast<uint64_t>(k) * kSampleHeaderBytes);
            XMWAV w{};
            w.length = in.u32le();
            w.loop_start = in.u32le();
            w.loop_length = in.u32le();
            w.volume = in.u8();
            w.finetune = in.s8();
            w.type = in.u8() & 0x1F;
            w.panning = in.u8();
            w.relative_note = in.s8();
            w.vibrato_type = vib_type;
            w.vibrato_sweep = vib_sweep;
            w.vibrato_depth = vib_depth;
            w.vibrato_rate = vib_rate;
            w.data_at = data_at;
            data_at += w.length;
            // Samples beyond the module's limit are skipped; notes naming them play silence.
            if (wav.size() < static_cast<size_t>(kMaxSamples)) wav.push_back(w);
        }
        const size_t kept = wav.size() - first;
        for (int k = 0; k < QVMOD_NOTES_PER_INSTR; k++)
            ins.sample_number[k] = map[k] < kept ? static_cast<int>(first + map[k]) + 1 : 0;
        at = data_at;
    }
    m->instrument_count = instrument_count;

    const int real_samples = static_cast<int>(wav.size());
    if (!b.alloc_samples(real_samples + 1)) return b.fail("Unable to allocate enough memory for SAMPLE");
    for (int i = 0; i < real_samples; i++) {
        const XMWAV &w = wav[i];
        SAMPLE &s = m->samples[i];
        SAMPLE_INFO &si = m->sample_info[i];
        const bool wide = (w.type & kSample16Bit) != 0;
        init_sample(s, 8);
        in.seek(w.data_at);
        // Only the bytes the file holds are decoded.
        const size_t bytes = std::min<size_t>(w.length, in.left());
        const size_t frames = wide ? bytes / 2 : bytes;
        s.data = qvmod_calloc(frames);
        if (!s.data) return b.fail("Unble to allocate enough memory for sample data");
        unsigned char *out = static_cast<unsigned char *>(s.data);
        const unsigned char *src = in.here();
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
        const uint64_t loop_end_bytes = static_cast<uint64_t>(w.loop_start) + w.loop_length;
        unsigned long ls = wide ? w.loop_start / 2 : w.loop_start;
        unsigned long le = static_cast<unsigned long>(std::min<uint64_t>(wide ? loop_end_bytes / 2 : loop_end_bytes,
                                                                        ULONG_MAX));
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
    if (!make_empty_sample(m->samples[silent])) return b.fail("Unable to allocate enough memory for sample data");
    for (int i = 0; i < instrument_count; i++)
        for (int &v : m->instrument_info[i].sample_number) v = v >= 1 ? v - 1 : silent;
    return b.finish();
}
