// SPDX-License-Identifier: MIT
// Helpers shared by the format readers: whole-file reading, bounded cursor, module building and checks.
#include "loader_common.h"

#include <algorithm>
#include <cstring>

namespace qvmod_loader {

namespace {

constexpr size_t kReadChunk = 64 * 1024;

}  // namespace

bool read_file(const char *filename, long offset, FileBytes &out)
{
    out = FileBytes{};
    PACKFILE *f = qvmod_fopen(filename, "rb");
    if (!f) return false;
    while (offset > 0) {
        const int step = static_cast<int>(std::min<long>(offset, 1L << 30));
        qvmod_skip(f, step);
        offset -= step;
    }
    if (!take_stream_bytes(f, out)) {
        // A stream Allegro serves: the image grows only with bytes actually read, so no size
        // claimed by the file matters here.
        std::vector<unsigned char> chunks;
        size_t done = 0;
        for (;;) {
            chunks.resize(done + kReadChunk);
            const int got = qvmod_fread(chunks.data() + done, static_cast<int>(kReadChunk), f);
            if (got <= 0) break;
            done += static_cast<size_t>(got);
            if (static_cast<size_t>(got) < kReadChunk) break;
        }
        out.block.reset(new unsigned char[done ? done : 1]);
        if (done) std::memcpy(out.block.get(), chunks.data(), done);
        out.held = done;
    }
    qvmod_fclose(f);
    return true;
}

size_t Bytes::read(void *dst, size_t n)
{
    const size_t k = std::min(n, left());
    if (k) std::memcpy(dst, data_ + pos_, k);
    pos_ += k;
    if (k < n) ran_out_ = true;
    return k;
}

bool Bytes::equals_at(uint64_t offset, const char *text, size_t n) const
{
    if (offset > size_ || size_ - offset < n) return false;
    return std::memcmp(data_ + offset, text, n) == 0;
}

namespace {

// count zeroed records of T from the library's allocator (nullptr when it fails).
template <typename T>
T *alloc_records(int count)
{
    return static_cast<T *>(qvmod_calloc(static_cast<size_t>(std::max(count, 0)) * sizeof(T)));
}

// Points records at count new zeroed records and sets their count; false when out of memory.
template <typename T>
bool alloc_counted(T *&records, int &record_count, int count)
{
    records = alloc_records<T>(count);
    if (!records) return false;
    record_count = count;
    return true;
}

}  // namespace

bool ModuleBuild::create()
{
    m_ = static_cast<QVMOD *>(qvmod_calloc(sizeof(QVMOD)));
    return m_ != nullptr;
}

QVMOD *ModuleBuild::fail(const char *message)
{
    qvmod_set_error("%s", message);
    return nullptr;
}

bool ModuleBuild::alloc_samples(int count)
{
    m_->sample_info = alloc_records<SAMPLE_INFO>(count);
    m_->samples = alloc_records<SAMPLE>(count);
    if (!m_->sample_info || !m_->samples) return false;
    m_->sample_count = count;
    return true;
}

bool ModuleBuild::alloc_patterns(int count)
{
    return alloc_counted(m_->pattern_info, m_->pattern_count, count);
}

bool ModuleBuild::alloc_cells(int pattern, int rows)
{
    PATTERN_INFO &p = m_->pattern_info[pattern];
    p.notes = static_cast<NOTE_INFO *>(qvmod_calloc(
        static_cast<size_t>(rows) * static_cast<size_t>(m_->channel_count) * sizeof(NOTE_INFO)));
    if (!p.notes) return false;
    p.row_count = rows;
    return true;
}

bool ModuleBuild::alloc_instruments(int count)
{
    return alloc_counted(m_->instrument_info, m_->instrument_count, count);
}

QVMOD *ModuleBuild::finish()
{
    if (const char *e = check_loaded_module(m_)) return fail(e);
    lock_mod(m_);
    QVMOD *m = m_;
    m_ = nullptr;
    return m;
}

void init_sample(SAMPLE &s, int bits)
{
    s.bits = bits;
    s.stereo = 0;
    s.freq = kFakeSampleFreq;
    s.priority = kSamplePriority;
    s.param = static_cast<unsigned long>(-1);
}

bool make_empty_sample(SAMPLE &s)
{
    init_sample(s, 8);
    s.len = s.loop_start = s.loop_end = 0;
    s.data = qvmod_calloc(0);
    return s.data != nullptr;
}

void repair_loop(unsigned long len, unsigned long &loop_start, unsigned long &loop_end,
                 int &loop_type)
{
    if (loop_end > len) loop_end = len;
    if (loop_start > loop_end) loop_start = loop_end;
    if (loop_start == loop_end) loop_type = 0;
}

void set_sample_frames(SAMPLE &s, SAMPLE_INFO &si, unsigned long len, unsigned long loop_start,
                       unsigned long loop_end, int loop_type)
{
    repair_loop(len, loop_start, loop_end, loop_type);
    s.len = len;
    s.loop_start = loop_start;
    s.loop_end = loop_end;
    si.length = static_cast<int>(len);
    si.loop_start = static_cast<int>(loop_start);
    si.loop_end = static_cast<int>(loop_end);
    si.loop_type = loop_type;
}

void set_open_error(const char *filename)
{
    static const char kPrefix[] = "Unable to open ";
    static const char kCut[] = "...";
    const char *name = filename ? filename : "";
    const size_t room = QVMOD_ERROR_SIZE - 1 - (sizeof kPrefix - 1);
    const size_t len = std::strlen(name);
    if (len <= room) {
        qvmod_set_error("%s%s", kPrefix, name);
    } else {
        // The end of a path names the file; keep it and mark the cut.
        qvmod_set_error("%s%s%s", kPrefix, kCut, name + len - (room - (sizeof kCut - 1)));
    }
}

int detect_signature(const char *filename, long offset, const char *signature, int n)
{
    char found[kLongestSignature];
    if (n > kLongestSignature) return -1;
    const int got = peek_file(filename, offset, found, n);
    if (got < 0) return 0;
    return got == n && std::memcmp(found, signature, static_cast<size_t>(n)) == 0 ? 1 : -1;
}

int describe_module(const char *filename, int offset, QVMOD_INFO *info, const FormatInfo &format)
{
    if (!info) return -1;
    if (peek_file(filename, 0, nullptr, 0) < 0) {
        set_open_error(filename);
        return -1;
    }
    info->type = offset ? format.umx_type : format.type;
    std::strcpy(info->type_name, offset ? format.umx_type_name : format.type_name);
    peek_file(filename, std::max(offset, 0) + format.title_offset, info->name, format.title_bytes);
    return 1;
}

const char *check_loaded_module(const QVMOD *m)
{
    if (m->channel_count < 1 || m->channel_count > QVMOD_MAX_CHANNELS)
        return "Module channel count out of range";
    if (m->order_count < 1 || m->order_count > QVMOD_MAX_ORDERS)
        return "Module order count out of range";
    if (m->sample_count < 1 || !m->samples || !m->sample_info) return "Module has no samples";
    if (m->pattern_count < 1 || !m->pattern_info) return "Module has no patterns";
    for (int i = 0; i < m->order_count; i++)
        if (m->order_table[i] < 0 || m->order_table[i] >= m->pattern_count)
            return "Module order names a missing pattern";
    const bool notes = (m->flags & QVMOD_FLAG_NOTES) != 0;
    const int named = notes ? m->instrument_count : m->sample_count;
    for (int p = 0; p < m->pattern_count; p++) {
        const PATTERN_INFO &pat = m->pattern_info[p];
        if (pat.row_count < 1 || !pat.notes) return "Module pattern has no rows";
        const size_t cells = static_cast<size_t>(pat.row_count) * m->channel_count;
        for (size_t c = 0; c < cells; c++)
            if (pat.notes[c].sample < 0 || pat.notes[c].sample > named)
                return "Module cell names a missing sample";
    }
    for (int i = 0; i < m->sample_count; i++) {
        const SAMPLE &s = m->samples[i];
        if (!s.data || s.loop_start > s.loop_end || s.loop_end > s.len)
            return "Module sample loop outside the sample";
    }
    return nullptr;
}

int patterns_needed(const int *orders, int count)
{
    int highest = 0;
    for (int i = 0; i < count; i++) highest = std::max(highest, orders[i]);
    return highest + 1;
}

}  // namespace qvmod_loader
