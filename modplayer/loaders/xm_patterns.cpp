// SPDX-License-Identifier: MIT
// XM patterns: the command tables, the packed cell decoders and the reading of the stored patterns.
#include "xm_format.h"

#include <array>

namespace qvmod_loader::xm {

namespace {

constexpr int kMaxRows = 256;
constexpr int kEmptyPatternCellBudget = 1 << 20;  // cells the file describes without bytes (~20 MB)
constexpr int kKeyOff = 97;

constexpr int kMaskFlag = 0x80;
constexpr int kMaskNote = 0x01;
constexpr int kMaskInstrument = 0x02;
constexpr int kMaskVolume = 0x04;
constexpr int kMaskEffect = 0x08;
constexpr int kMaskParam = 0x10;

struct MemorySource {
    const unsigned char *p;
    const unsigned char *end;
    int next() { return p < end ? *p++ : -1; }
};

constexpr signed char kDrop = kDropCommand;

// XM effect number -> command code.
// clang-format off
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
// clang-format on
constexpr int kXmCommandCount = static_cast<int>(sizeof kXmCommands);
static_assert(kXmCommandCount == 34, "XM effects 0..33");
constexpr int kXmExtendedEffect = 14;

// Sub-command of effect 14 -> the sub-command the player runs; ProTracker's own ones stay.
// clang-format off
constexpr signed char kXmExtended[16] = {
    kDrop, EXT_XM_FINE_PORTA_UP, EXT_XM_FINE_PORTA_DOWN, 0x3, 0x4, kDrop, 0x6, 0x7,
    kDrop, 0x9, EXT_XM_FINE_VOLUME_UP, EXT_XM_FINE_VOLUME_DOWN, 0xC, 0xD, 0xE, kDrop,
};
// clang-format on

inline void convert_command(int &command, int &param)
{
    convert_by_tables(command, param, kXmCommands, kXmExtendedEffect, kXmExtended);
}

// Converts one cell's five stored values into the cell.
inline void store_cell(int note, int instrument, int volume, int effect, int param,
                       int instrument_count, NOTE_INFO &n)
{
    if (instrument > instrument_count) instrument = note = 0;
    if (note == kKeyOff)
        note = QVMOD_NOTE_KEY_OFF;
    else if (note > kKeyOff)
        note = instrument = 0;
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
    auto byte = [&src]() {
        const int v = src.next();
        return v < 0 ? 0 : v;
    };
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
static_assert(kMaskNote == 1 && kMaskInstrument == 2 && kMaskVolume == 4 && kMaskEffect == 8 &&
                  kMaskParam == 16,
              "the field bits index the layouts");

// Decodes the cells of one pattern from its packed bytes; cells past the bytes stay empty.
void decode_pattern(const unsigned char *p, const unsigned char *end, int instrument_count,
                    NOTE_INFO *cells, long long count)
{
    constexpr ptrdiff_t kLongestCell = 6;  // mask byte and five fields
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

}  // namespace

const char *read_patterns(Bytes &in, ModuleBuild &b, const Header &h, uint64_t &at)
{
    QVMOD *m = b.get();
    const int channels = m->channel_count;
    if (!b.alloc_patterns(h.stored_patterns + (h.extra_pattern ? 1 : 0)))
        return "Unable to allocate enough memory for PATTERN_INFO";
    at = h.first_pattern;
    long long budget = kEmptyPatternCellBudget;
    for (int p = 0; p < h.stored_patterns; p++) {
        in.seek(at);
        const uint32_t header_length = in.u32le();
        in.skip(1);
        int rows = in.u16le();
        const int packed = in.u16le();
        if (rows > kMaxRows) return "XM pattern has more than 256 rows";
        if (rows == 0) rows = kDefaultRows;
        const uint64_t data_at = at + header_length;
        in.seek(data_at);
        const size_t present = std::min<size_t>(static_cast<size_t>(packed), in.left());
        // Every cell stored takes at least one byte; cells without bytes come from a fixed budget.
        const long long cells = static_cast<long long>(rows) * channels;
        if (cells > static_cast<long long>(present))
            budget -= cells - static_cast<long long>(present);
        if (budget < 0) return "XM patterns are larger than the file can hold";
        if (!b.alloc_cells(p, rows)) return "Unable to allocate enough memroy for NOTE_INFO";
        decode_pattern(in.here(), in.here() + present, h.instrument_count, m->pattern_info[p].notes,
                       cells);
        at = data_at + packed;
    }
    if (h.extra_pattern && !b.alloc_cells(h.stored_patterns, kDefaultRows))
        return "Unable to allocate enough memory for NOTE_INFO";
    return nullptr;
}

}  // namespace qvmod_loader::xm

using namespace qvmod_loader;
using namespace qvmod_loader::xm;

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
