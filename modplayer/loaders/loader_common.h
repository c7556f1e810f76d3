// SPDX-License-Identifier: MIT
// What the format readers share: the library's constants, the file image in memory, bounded reads, module building.
#ifndef QVMOD_LOADER_COMMON_H
#define QVMOD_LOADER_COMMON_H

#include "../module_record.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qvmod_loader {

constexpr int kRowsPerPattern = 64;    // MOD and S3M patterns
constexpr int kMaxCellSample = 255;    // a cell's sample or instrument number is one byte
constexpr int kLongestSignature = 17;  // XM's "Extended Module: "
constexpr int kSignFlip = 0x80;        // a signed 8-bit frame <-> Allegro's unsigned form

// Closes an Allegro stream when it goes out of scope.
struct PackCloser {
    void operator()(PACKFILE *f) const { qvmod_fclose(f); }
};

// Bytes read from a file, in one heap block; the wanted ones begin `start` bytes into it.
struct FileBytes {
    std::unique_ptr<unsigned char[]> block;
    size_t held = 0;
    size_t start = 0;

    const unsigned char *data() const { return block.get() + start; }
    size_t size() const { return held - start; }
};

// The bytes of a file from a start offset on, read whole through the packed-file primitives so
// every later read is a bounds-checked look into memory. False when the file cannot be opened.
bool read_file(const char *filename, long offset, FileBytes &out);

// Reads up to n bytes at an absolute offset: the count read, or -1 when the file cannot be opened.
int peek_file(const char *filename, long offset, void *buffer, int n);

// Hands over what a stream opened by qvmod_fopen for reading holds from its position on, without
// copying; the stream then reads as ended. False for streams that are not held in memory.
bool take_stream_bytes(PACKFILE *f, FileBytes &out);

// A cursor over a byte image. Reads past the end give 0 and set `ran_out`; the cursor never
// moves beyond the end, so a loop that reads until the end always finishes.
class Bytes {
public:
    Bytes(const unsigned char *data, size_t size) : data_(data), size_(size) {}
    explicit Bytes(const std::vector<unsigned char> &v) : data_(v.data()), size_(v.size()) {}
    explicit Bytes(const FileBytes &f) : data_(f.data()), size_(f.size()) {}

    size_t size() const { return size_; }
    size_t pos() const { return pos_; }
    size_t left() const { return size_ - pos_; }
    bool at_end() const { return pos_ >= size_; }
    bool ran_out() const { return ran_out_; }

    void seek(uint64_t offset) { pos_ = offset < size_ ? static_cast<size_t>(offset) : size_; }
    void skip(uint64_t count) { seek(static_cast<uint64_t>(pos_) + count); }

    int u8()
    {
        if (pos_ >= size_) {
            ran_out_ = true;
            return 0;
        }
        return data_[pos_++];
    }
    int s8() { return static_cast<signed char>(u8()); }
    int u16le()
    {
        const int lo = u8();
        return lo | (u8() << 8);
    }
    int u16be()
    {
        const int hi = u8();
        return (hi << 8) | u8();
    }
    uint32_t u32le()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++) v |= static_cast<uint32_t>(u8()) << (8 * i);
        return v;
    }
    uint32_t u32be()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++) v = (v << 8) | static_cast<uint32_t>(u8());
        return v;
    }
    // Copies up to n bytes; returns how many the image held.
    size_t read(void *dst, size_t n);
    // Address of the next byte (valid for left() bytes).
    const unsigned char *here() const { return data_ + pos_; }
    // Bytes at an absolute offset, without moving; false when they are not all there.
    bool equals_at(uint64_t offset, const char *text, size_t n) const;

private:
    const unsigned char *data_;
    size_t size_;
    size_t pos_ = 0;
    bool ran_out_ = false;
};

// The module under construction: destroyed on every path that does not hand it over.
class ModuleBuild {
public:
    ModuleBuild() = default;
    ~ModuleBuild() { free_module(m_); }
    ModuleBuild(const ModuleBuild &) = delete;
    ModuleBuild &operator=(const ModuleBuild &) = delete;

    bool create();  // the zeroed QVMOD
    QVMOD *get() const { return m_; }
    QVMOD *operator->() const { return m_; }
    // Sets qvmod_error to the message and gives null.
    QVMOD *fail(const char *message);
    // Final repairs shared by all readers, the consistency check, lock_mod; hands the module over.
    QVMOD *finish();

    // sample_info and samples for `count` samples; sample_count is set once both exist.
    bool alloc_samples(int count);
    // pattern_info for `count` patterns (cells not yet allocated); pattern_count set.
    bool alloc_patterns(int count);
    // Zeroed cells for one pattern.
    bool alloc_cells(int pattern, int rows);
    bool alloc_instruments(int count);

private:
    QVMOD *m_ = nullptr;
};

// Allegro sample record defaults used by every reader (data left to the caller).
void init_sample(SAMPLE &s, int bits);
// An empty sample: a one-byte zero block, no frames, no loop.
bool make_empty_sample(SAMPLE &s);

// Clips a loop into [0, len]; a loop that covers no frames is switched off (loop_type 0).
void repair_loop(unsigned long len, unsigned long &loop_start, unsigned long &loop_end,
                 int &loop_type);

// Length and loop of a sample whose `len` frames are in place, in frames on both records; the
// loop is repaired first.
void set_sample_frames(SAMPLE &s, SAMPLE_INFO &si, unsigned long len, unsigned long loop_start,
                       unsigned long loop_end, int loop_type);

// Puts "Unable to open NAME" into qvmod_error, keeping the end of a name too long to fit.
void set_open_error(const char *filename);

// 1 when the `n` bytes at `offset` are `signature`, -1 when they are not (or not all there), 0 when
// the file cannot be opened.
int detect_signature(const char *filename, long offset, const char *signature, int n);

// How a format describes itself in QVMOD_INFO, plain and inside an Unreal package.
struct FormatInfo {
    int type;
    const char *type_name;
    int umx_type;
    const char *umx_type_name;
    int title_offset;  // into the module
    int title_bytes;
};

// Fills `info` for a module of the format that starts `offset` bytes into the file (0: a plain
// file); 1, or -1 when there is no record or the file cannot be opened.
int describe_module(const char *filename, int offset, QVMOD_INFO *info, const FormatInfo &format);

// Empty when the module keeps every promise the player relies on, else what is broken.
const char *check_loaded_module(const QVMOD *m);

// The highest pattern named by the first `count` orders plus one (at least 1).
int patterns_needed(const int *orders, int count);

// The bytes of a cell decoder, read from an Allegro stream.
struct PackSource {
    PACKFILE *f;
    int next() { return qvmod_getc(f); }
};

// In a format's command table: a command the player does not run, so the cell gets none.
constexpr signed char kDropCommand = -1;

// A format's command and parameter through its tables: `commands` maps the format's command
// numbers to command codes, and the sub-command in the high nibble of its extended command's
// parameter goes through `extended` (kDropCommand drops the whole command). Tables instead of
// switches: cells come by the tens of thousands, their commands in no order.
template <size_t N>
inline void convert_by_tables(int &command, int &param, const signed char (&commands)[N],
                              int extended_command, const signed char (&extended)[16])
{
    const int p = param & 0xFF;
    const int c = command >= 0 && command < static_cast<int>(N) ? commands[command] : kDropCommand;
    if (c == kDropCommand) {
        command = param = 0;
    } else if (command == extended_command) {
        const int sub = extended[p >> 4];
        command = sub == kDropCommand ? 0 : c;
        param = sub == kDropCommand ? 0 : (sub << 4) + (p & 15);
    } else {
        command = c;
        param = p;
    }
}

// One of an instrument's two envelopes, field by field.
struct Envelope {
    int *value;
    int *pos;
    int &points;
    int &flags;
    int &sustain_start;
    int &sustain_end;
    int &loop_start;
    int &loop_end;
};

inline Envelope volume_envelope(INSTRUMENT_INFO &i)
{
    return {i.volume_env_value,      i.volume_env_pos,           i.volume_env_points,
            i.volume_env_flags,      i.volume_env_sustain_start, i.volume_env_sustain_end,
            i.volume_env_loop_start, i.volume_env_loop_end};
}

inline Envelope pan_envelope(INSTRUMENT_INFO &i)
{
    return {i.pan_env_value,      i.pan_env_pos,           i.pan_env_points,
            i.pan_env_flags,      i.pan_env_sustain_start, i.pan_env_sustain_end,
            i.pan_env_loop_start, i.pan_env_loop_end};
}

// The points of a stored envelope, a position word and a value word each; values above the
// envelope range are cut to it. `Source` reads like Bytes.
template <typename Source>
void read_envelope_points(Source &in, const Envelope &e)
{
    for (int i = 0; i < QVMOD_MAX_ENV_POINTS; i++) {
        e.pos[i] = in.u16le();
        e.value[i] = std::min(in.u16le(), kEnvVolumeDefault);
    }
}

// A sample's automatic vibrato as XM and QVM store it: type, sweep, depth and rate bytes.
template <typename Source, typename Target>
void read_auto_vibrato(Source &in, Target &to)
{
    to.vibrato_type = in.u8();
    to.vibrato_sweep = in.u8();
    to.vibrato_depth = in.u8();
    to.vibrato_rate = in.u8();
}

}  // namespace qvmod_loader

#endif
