// SPDX-License-Identifier: MIT
// QVM modules: the reader, the signature test and the information query.
#include "loader_common.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

using namespace qvmod_loader;

namespace {

constexpr int kTitleBytes = 28;
constexpr int kInfoTitleBytes = 29;
constexpr int kRunValues = 0x80;  // control bit: values follow
constexpr int kRunLength = 0x7F;
constexpr size_t kFirstChunk = 4096;  // arrays grow with the data actually read

static_assert(sizeof(QVM_SIGNATURE) - 1 == QVM_SIGNATURE_SIZE, "signature is 18 bytes");

// Reads little-endian values from a stream, named as Bytes names them, and remembers whether the
// stream ran out.
class Reader {
public:
    explicit Reader(PACKFILE *f) : f_(f) {}
    int u8()
    {
        const int c = qvmod_getc(f_);
        if (c == EOF) {
            eof_ = true;
            return 0;
        }
        return c;
    }
    int s8() { return static_cast<signed char>(u8()); }
    int u16le()
    {
        const int lo = u8();
        return lo | (u8() << 8);
    }
    int s16le() { return static_cast<short>(u16le()); }
    unsigned int u32le()
    {
        unsigned int v = 0;
        for (int i = 0; i < 4; i++) v |= static_cast<unsigned int>(u8()) << (8 * i);
        return v;
    }
    void skip(int n)
    {
        for (int i = 0; i < n; i++) u8();
    }
    bool read(void *buffer, int n)
    {
        if (qvmod_fread(buffer, n, f_) != n) eof_ = true;
        return !eof_;
    }
    bool eof() const { return eof_; }

private:
    PACKFILE *f_;
    bool eof_ = false;
};

// Grows a zero-filled array to hold at least `needed` entries (doubling, at most `limit`).
template <typename T>
bool grow(T *&array, size_t &capacity, size_t needed, size_t limit)
{
    if (needed <= capacity) return true;
    size_t cap = capacity ? capacity : kFirstChunk / sizeof(T) + 1;
    while (cap < needed) cap *= 2;
    if (cap > limit) cap = limit;
    void *p = std::realloc(array, cap * sizeof(T));
    if (!p) return false;
    array = static_cast<T *>(p);
    std::memset(array + capacity, 0, (cap - capacity) * sizeof(T));
    capacity = cap;
    return true;
}

// An envelope as stored: the points, then its count, flags, sustain point and loop.
void read_envelope(Reader &r, const Envelope &e)
{
    read_envelope_points(r, e);
    e.points = r.u8();
    e.flags = r.u8();
    e.sustain_start = e.sustain_end = r.u8();
    e.loop_start = r.u8();
    e.loop_end = r.u8();
}

const char *read_instrument(Reader &r, INSTRUMENT_INFO &in)
{
    for (int n = 0; n < QVMOD_NOTES_PER_INSTR; n++) in.sample_number[n] = r.u8();
    read_envelope(r, volume_envelope(in));
    read_envelope(r, pan_envelope(in));
    in.volume_fadeout = r.u16le();
    if (r.eof()) return "QVM file is truncated (instruments)";
    // Sustain and loop indexes are kept as read, even past the points or a loop running backwards:
    // the player brings them inside the used points when an envelope starts.
    if (in.volume_env_points > QVMOD_MAX_ENV_POINTS || in.pan_env_points > QVMOD_MAX_ENV_POINTS)
        return "QVM instrument envelope has more than 12 points";
    return nullptr;
}

const char *read_sample(Reader &r, SAMPLE &spl, SAMPLE_INFO &si)
{
    const unsigned int len = r.u32le();
    init_sample(spl, 8);
    if (r.eof()) return "QVM file is truncated (samples)";
    if (len == 0) {
        spl.data = qvmod_calloc(0);
        return spl.data ? nullptr : "Unable to allcate enough memory for sample data";
    }
    unsigned int loop_start = r.u32le();
    unsigned int loop_end = r.u32le();
    read_auto_vibrato(r, si);
    si.volume = r.u8();
    si.pan = r.u8();
    si.transpose = r.s8();
    si.c2spd = r.u16le();
    const int bits = r.u8();
    si.loop_type = r.u8();
    if (r.eof()) return "QVM file is truncated (samples)";
    if (bits != 8 && bits != 16) return "QVM sample must have 8 or 16 bits";
    const unsigned long long bytes = static_cast<unsigned long long>(len) * (bits / 8);
    if (len > INT_MAX || bytes > INT_MAX) return "QVM sample is too long";

    // The block grows with the frames actually present, so a truncated file never asks for more.
    unsigned char *data = nullptr;
    size_t capacity = 0;
    size_t done = 0;
    while (done < bytes) {
        if (!grow(data, capacity, done + 1, static_cast<size_t>(bytes))) {
            std::free(data);
            return "Unable to allocate enough memory for sample data";
        }
        if (!r.read(data + done, static_cast<int>(capacity - done))) {
            std::free(data);
            return "QVM file is truncated (sample data)";
        }
        done = capacity;
    }
#ifdef ALLEGRO_BIG_ENDIAN
    // 16-bit frames are little-endian in the file and native in memory.
    if (bits == 16)
        for (size_t i = 0; i + 1 < static_cast<size_t>(bytes); i += 2)
            std::swap(data[i], data[i + 1]);
#endif
    spl.data = data;

    spl.bits = bits;
    // A loop is kept inside the sample; one that covers no frames is no loop.
    set_sample_frames(spl, si, len, loop_start, loop_end, si.loop_type);
    return nullptr;
}

enum class Plane { Note, Sample, Volume, Command, Extcommand };

// One plane of a pattern. The cells grow with the note plane's runs (the first plane), so a
// pattern claiming many rows in a truncated file costs only what its runs cover.
const char *read_plane(Reader &r, PATTERN_INFO &pat, size_t &capacity, size_t cells, Plane plane,
                       bool notes)
{
    size_t cursor = 0;
    while (cursor < cells) {
        const int c = r.u8();
        if (r.eof()) return "QVM file is truncated (patterns)";
        const size_t n = static_cast<size_t>(c & kRunLength);
        if (cursor + n > cells) return "QVM pattern run passes the end of its plane";
        if (!grow(pat.notes, capacity, cursor + n, cells))
            return "Unable to allocate enough memory for NOTE_INFO";
        if (c & kRunValues) {
            for (size_t k = 0; k < n; k++) {
                NOTE_INFO &cell = pat.notes[cursor + k];
                switch (plane) {
                case Plane::Note:
                    if (notes) {
                        cell.note = r.s8();
                    } else {
                        const int p = r.s16le();
                        cell.note = p > 0 ? kAmigaClock / p : p;
                    }
                    break;
                case Plane::Sample: cell.sample = r.u8(); break;
                case Plane::Volume: cell.volume = r.u8(); break;
                case Plane::Command: cell.command = r.u8(); break;
                case Plane::Extcommand: cell.extcommand = r.u16le(); break;
                }
            }
            if (r.eof()) return "QVM file is truncated (patterns)";
        }
        cursor += n;
    }
    return nullptr;
}

}  // namespace

extern "C" QVMOD *load_qvm(PACKFILE *f)
{
    ModuleBuild b;
    if (!b.create()) return b.fail("Unable to allocate enough memory for QVMOD structure");
    QVMOD *m = b.get();
    if (!f) return b.fail("QVM stream is not open");
    Reader r(f);

    r.skip(QVM_SIGNATURE_SIZE);
    for (int i = 0; i < kTitleBytes; i++) m->name[i] = static_cast<char>(r.u8());
    r.skip(2);
    // The counts stay 0 until their arrays exist, so a failure frees only what was built.
    const int order_count = r.u16le();
    const int pattern_count = r.u16le();
    m->channel_count = r.u16le();
    const int instrument_count = r.u16le();
    const int sample_count = r.u16le();
    m->initial_speed = r.u16le();
    m->initial_bpm = r.u16le();
    m->initial_global_volume = r.u16le();
    m->restart_order = r.u16le();
    m->flags = r.u16le();
    if (r.eof()) return b.fail("QVM file is truncated (header)");
    if (m->channel_count < 1 || m->channel_count > QVMOD_MAX_CHANNELS)
        return b.fail("QVM module must have 1 to 64 channels");
    if (order_count < 1 || order_count > QVMOD_MAX_ORDERS)
        return b.fail("QVM module must have 1 to 256 orders");
    if (pattern_count < 1) return b.fail("QVM module has no patterns");
    if (sample_count < 1) return b.fail("QVM module has no samples");
    if (m->initial_global_volume > kMaxGlobalVolume) m->initial_global_volume = kMaxGlobalVolume;
    if (m->restart_order >= order_count) m->restart_order = 0;
    m->order_count = order_count;

    for (int i = 0; i < m->channel_count; i++) m->channel_pan[i] = r.u8();
    for (int i = 0; i < order_count; i++) m->order_table[i] = r.u8();
    if (r.eof()) return b.fail("QVM file is truncated (orders)");
    for (int i = 0; i < order_count; i++)
        if (m->order_table[i] >= pattern_count)
            return b.fail("QVM order names a pattern beyond the pattern count");

    size_t capacity = 0;
    m->instrument_info = static_cast<INSTRUMENT_INFO *>(qvmod_calloc(0));
    if (!m->instrument_info) return b.fail("Unable to allocate enough memory for INSTRUMENT_INFO");
    for (int i = 0; i < instrument_count; i++) {
        if (!grow(m->instrument_info, capacity, static_cast<size_t>(i) + 1,
                  static_cast<size_t>(instrument_count)))
            return b.fail("Unable to allocate enough memory for INSTRUMENT_INFO");
        if (const char *e = read_instrument(r, m->instrument_info[i])) return b.fail(e);
    }
    m->instrument_count = instrument_count;

    // samples and sample_info grow together; sample_count covers what exists to be freed.
    size_t spl_capacity = 0;
    size_t info_capacity = 0;
    for (int i = 0; i < sample_count; i++) {
        const size_t need = static_cast<size_t>(i) + 1;
        if (!grow(m->samples, spl_capacity, need, static_cast<size_t>(sample_count)) ||
            !grow(m->sample_info, info_capacity, need, static_cast<size_t>(sample_count)))
            return b.fail("Unable to allocate enough memory for SAMPLE or SAMPLE_INFO");
        m->sample_count = static_cast<int>(std::min(spl_capacity, info_capacity));
        if (const char *e = read_sample(r, m->samples[i], m->sample_info[i])) return b.fail(e);
    }
    m->sample_count = sample_count;

    if (!b.alloc_patterns(pattern_count))
        return b.fail("Unable to allocate enough memory for PATTERN_INFO");
    const bool notes = (m->flags & QVMOD_FLAG_NOTES) != 0;
    const int named = notes ? m->instrument_count : m->sample_count;
    for (int p = 0; p < pattern_count; p++) {
        PATTERN_INFO &pat = m->pattern_info[p];
        pat.row_count = r.u16le();
        if (r.eof()) return b.fail("QVM file is truncated (patterns)");
        if (pat.row_count < 1) return b.fail("QVM pattern has no rows");
        const size_t cells = static_cast<size_t>(pat.row_count) * m->channel_count;
        size_t cell_capacity = 0;
        pat.notes = static_cast<NOTE_INFO *>(qvmod_calloc(0));
        if (!pat.notes) return b.fail("Unable to allocate enough memory for NOTE_INFO");
        for (Plane plane :
             {Plane::Note, Plane::Sample, Plane::Volume, Plane::Command, Plane::Extcommand})
            if (const char *e = read_plane(r, pat, cell_capacity, cells, plane, notes))
                return b.fail(e);
        for (size_t c = 0; c < cells; c++)
            if (pat.notes[c].sample > named)
                return b.fail("QVM cell names a sample or instrument beyond the count");
    }
    return b.finish();
}

extern "C" int detect_qvm(const char *filename)
{
    PACKFILE *f = qvmod_fopen(filename, "rb");
    if (!f) return -1;
    char sig[QVM_SIGNATURE_SIZE];
    const int got = qvmod_fread(sig, QVM_SIGNATURE_SIZE, f);
    qvmod_fclose(f);
    return got == QVM_SIGNATURE_SIZE && std::memcmp(sig, QVM_SIGNATURE, QVM_SIGNATURE_SIZE) == 0
               ? 1
               : -1;
}

extern "C" int get_qvm_info(PACKFILE *f, QVMOD_INFO *info)
{
    if (!f || !info) {
        qvmod_set_error("No QVM stream or information record");
        return -1;
    }
    info->type = QVMOD_TYPE_QVM;
    std::snprintf(info->type_name, sizeof info->type_name, "QVM");
    qvmod_skip(f, QVM_SIGNATURE_SIZE);
    qvmod_fread(info->name, kInfoTitleBytes, f);
    return 1;
}
