// SPDX-License-Identifier: MIT
// Module file input: byte-order readers and writers over Allegro packed files, and the allocator.
#include "loader_common.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#ifdef _WIN32
#include <wchar.h>
#endif

// A null stream (a failed re-open in qvmod_fseek) reads as end of file everywhere.
//
// A named file opened for reading is read whole in one go and served from memory: Allegro's own
// streams copy byte by byte, and a re-opening seek on a memory stream is only a new position.
// Names with '#' (objects inside a datafile) and every other mode stay with Allegro.

namespace {

constexpr size_t kUnknownSizeChunk = 64 * 1024;
constexpr size_t kNativeNameBytes = 1024;  // as much as Allegro converts for its own opens

// Opens a file for binary reading, the name converted as Allegro converts it for its own opens.
// The one platform-dependent spot of the file input.
std::FILE *open_for_reading(const char *filename)
{
    char native[kNativeNameBytes];
    const char *name =
        uconvert(filename, U_CURRENT, native, get_filename_encoding(), sizeof native);
    std::FILE *f = nullptr;
#ifdef _WIN32
    if (get_filename_encoding() == U_UNICODE)
        f = _wfopen(reinterpret_cast<const wchar_t *>(name), L"rb");
    else
#endif
        f = std::fopen(name, "rb");
    // Reads go straight into the caller's memory, without a stdio buffer in between.
    if (f) std::setvbuf(f, nullptr, _IONBF, 0);
    return f;
}

bool plain_read(const char *filename, const char *mode)
{
    return std::strchr(filename, '#') == nullptr && std::strpbrk(mode, "wWpP!") == nullptr;
}

enum class WholeFile { kRead, kCannotOpen, kTooLarge };

// A whole file in one heap block.
WholeFile read_whole_file(const char *filename, qvmod_loader::FileBytes &out)
{
    std::FILE *f = open_for_reading(filename);
    if (!f) return WholeFile::kCannotOpen;
    // One byte more than the file's size lets the single read see the end. A size the int-counted
    // stream could not address is no file's (a directory claims the largest long): then the block
    // grows only with the bytes actually read.
    size_t capacity = kUnknownSizeChunk;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        const long end = std::ftell(f);
        if (end >= 0 && end < INT_MAX) capacity = static_cast<size_t>(end) + 1;
    }
    std::rewind(f);
    std::unique_ptr<unsigned char[]> block;
    size_t done = 0;
    for (;;) {
        std::unique_ptr<unsigned char[]> grown(new (std::nothrow) unsigned char[capacity]);
        if (!grown) {
            std::fclose(f);
            return WholeFile::kTooLarge;
        }
        if (done) std::memcpy(grown.get(), block.get(), done);
        block = std::move(grown);
        done += std::fread(block.get() + done, 1, capacity - done, f);
        if (done < capacity) break;
        // The file grew, or its size could not be told: read on.
        capacity *= 2;
    }
    std::fclose(f);
    out.block = std::move(block);
    out.held = done;
    out.start = 0;
    return WholeFile::kRead;
}

struct MemoryStream {
    qvmod_loader::FileBytes bytes;  // `start` is the read position
    std::string name;

    size_t left() const { return bytes.held - bytes.start; }
};

int memory_fclose(void *userdata)
{
    delete static_cast<MemoryStream *>(userdata);
    return 0;
}

int memory_getc(void *userdata)
{
    auto *s = static_cast<MemoryStream *>(userdata);
    return s->left() ? s->bytes.block[s->bytes.start++] : EOF;
}

int memory_ungetc(int c, void *userdata)
{
    auto *s = static_cast<MemoryStream *>(userdata);
    if (s->bytes.start == 0) return EOF;
    s->bytes.block[--s->bytes.start] = static_cast<unsigned char>(c);
    return static_cast<unsigned char>(c);
}

long memory_fread(void *p, long n, void *userdata)
{
    auto *s = static_cast<MemoryStream *>(userdata);
    if (n <= 0) return 0;
    const size_t k = std::min(static_cast<size_t>(n), s->left());
    if (k) std::memcpy(p, s->bytes.data(), k);
    s->bytes.start += k;
    return static_cast<long>(k);
}

int memory_putc(int, void *)
{
    return EOF;
}

long memory_fwrite(const void *, long, void *)
{
    return 0;
}

// Forward only, as Allegro's streams; a skip past the end stops at the end.
int memory_fseek(void *userdata, int offset)
{
    auto *s = static_cast<MemoryStream *>(userdata);
    if (offset < 0) return -1;
    s->bytes.start += std::min(static_cast<size_t>(offset), s->left());
    return 0;
}

int memory_feof(void *userdata)
{
    return static_cast<MemoryStream *>(userdata)->left() == 0;
}

int memory_ferror(void *)
{
    return 0;
}

const PACKFILE_VTABLE kMemoryVtable = {memory_fclose, memory_getc, memory_ungetc,
                                       memory_fread,  memory_putc, memory_fwrite,
                                       memory_fseek,  memory_feof, memory_ferror};

MemoryStream *as_memory(PACKFILE *f)
{
    return f && f->vtable == &kMemoryVtable ? static_cast<MemoryStream *>(f->userdata) : nullptr;
}

// A stream over the file read whole, or null when it cannot be opened; null with `no_room` set
// when it opened but memory could not hold it.
PACKFILE *open_memory(const char *filename, bool &no_room)
{
    no_room = true;
    std::unique_ptr<MemoryStream> s(new (std::nothrow) MemoryStream);
    if (!s) return nullptr;
    const WholeFile r = read_whole_file(filename, s->bytes);
    if (r == WholeFile::kTooLarge) return nullptr;
    no_room = false;
    if (r == WholeFile::kCannotOpen) return nullptr;
    s->name = filename;
    PACKFILE *f = pack_fopen_vtable(&kMemoryVtable, s.get());
    no_room = f == nullptr;
    if (f) s.release();
    return f;
}

}  // namespace

namespace qvmod_loader {

bool take_stream_bytes(PACKFILE *f, FileBytes &out)
{
    MemoryStream *s = as_memory(f);
    if (!s) return false;
    out = std::move(s->bytes);
    s->bytes = FileBytes{};
    return true;
}

int peek_file(const char *filename, long offset, void *buffer, int n)
{
    if (!filename) return -1;
    if (!plain_read(filename, "rb")) {
        PACKFILE *f = qvmod_fopen(filename, "rb");
        if (!f) return -1;
        if (offset > 0) qvmod_skip(f, static_cast<int>(offset));
        const int got = qvmod_fread(buffer, n, f);
        qvmod_fclose(f);
        return got;
    }
    // A few bytes need no whole-file read.
    std::FILE *f = open_for_reading(filename);
    if (!f) return -1;
    size_t got = 0;
    if (buffer && n > 0 && std::fseek(f, std::max(offset, 0L), SEEK_SET) == 0)
        got = std::fread(buffer, 1, static_cast<size_t>(n), f);
    std::fclose(f);
    return static_cast<int>(got);
}

}  // namespace qvmod_loader

extern "C" PACKFILE *qvmod_fopen(const char *filename, const char *mode)
{
    if (!filename || !mode) return nullptr;
    if (plain_read(filename, mode)) {
        bool no_room = false;
        PACKFILE *f = open_memory(filename, no_room);
        // A file too large to hold is still read as a stream.
        if (!no_room) return f;
    }
    return pack_fopen(filename, mode);
}

extern "C" void qvmod_fclose(PACKFILE *f)
{
    if (f) pack_fclose(f);
}

extern "C" int qvmod_skip(PACKFILE *f, int count)
{
    // Forward only: Allegro's own streams would move their buffer position back before the buffer.
    if (!f || count < 0) return EOF;
    return pack_fseek(f, count);
}

extern "C" void qvmod_fseek(PACKFILE **f, const char *filename, int offset)
{
    if (!f) return;
    // The same file held in memory: opening it again and skipping lands on the same byte.
    if (MemoryStream *s = as_memory(*f); s && s->bytes.block && filename && s->name == filename) {
        s->bytes.start = std::min(static_cast<size_t>(std::max(offset, 0)), s->bytes.held);
        return;
    }
    qvmod_fclose(*f);
    *f = qvmod_fopen(filename, "r");
    if (*f) qvmod_skip(*f, offset);
}

extern "C" int qvmod_fread(void *buffer, int count, PACKFILE *f)
{
    if (!f || !buffer || count <= 0) return 0;
    return static_cast<int>(pack_fread(buffer, count, f));
}

extern "C" void *qvmod_calloc(size_t size)
{
    // calloc(1, 0) may return NULL; an empty request still gets a real block.
    return std::calloc(1, size ? size : 1);
}

extern "C" int qvmod_getc(PACKFILE *f)
{
    if (!f) return EOF;
    return pack_getc(f);
}

extern "C" int qvmod_igetw(PACKFILE *f)
{
    const int b0 = qvmod_getc(f);
    if (b0 == EOF) return EOF;
    const int b1 = qvmod_getc(f);
    if (b1 == EOF) return EOF;
    return b0 | (b1 << 8);
}

extern "C" int qvmod_mgetw(PACKFILE *f)
{
    const int b0 = qvmod_getc(f);
    if (b0 == EOF) return EOF;
    const int b1 = qvmod_getc(f);
    if (b1 == EOF) return EOF;
    return (b0 << 8) | b1;
}

extern "C" int qvmod_igetl(PACKFILE *f)
{
    unsigned int v = 0;
    for (int i = 0; i < 4; i++) {
        const int b = qvmod_getc(f);
        if (b == EOF) return EOF;
        v |= static_cast<unsigned int>(b) << (8 * i);
    }
    return static_cast<int>(v);
}

extern "C" int qvmod_mgetl(PACKFILE *f)
{
    unsigned int v = 0;
    for (int i = 0; i < 4; i++) {
        const int b = qvmod_getc(f);
        if (b == EOF) return EOF;
        v = (v << 8) | static_cast<unsigned int>(b);
    }
    return static_cast<int>(v);
}

extern "C" int qvmod_putc(int c, PACKFILE *f)
{
    if (!f) return EOF;
    return pack_putc(c & 0xFF, f);
}

extern "C" int qvmod_iputw(int w, PACKFILE *f)
{
    if (qvmod_putc(w, f) == EOF) return EOF;
    if (qvmod_putc(w >> 8, f) == EOF) return EOF;
    return w;
}

extern "C" int qvmod_iputl(int l, PACKFILE *f)
{
    const unsigned int v = static_cast<unsigned int>(l);
    for (int i = 0; i < 4; i++)
        if (qvmod_putc(static_cast<int>((v >> (8 * i)) & 0xFF), f) == EOF) return EOF;
    return l;
}

extern "C" int qvmod_fwrite(const void *buffer, int count, PACKFILE *f)
{
    if (!f || !buffer || count <= 0) return 0;
    return static_cast<int>(pack_fwrite(buffer, count, f));
}
