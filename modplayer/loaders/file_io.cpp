// Module file input: byte-order readers and writers over Allegro packed files, and the allocator.
#include "../player_internal.h"

#include <cstdlib>

// A null stream (a failed re-open in qvmod_fseek) reads as end of file everywhere.

extern "C" PACKFILE *qvmod_fopen(const char *filename, const char *mode)
{
    if (!filename || !mode) return nullptr;
    return pack_fopen(filename, mode);
}

extern "C" void qvmod_fclose(PACKFILE *f)
{
    if (f) pack_fclose(f);
}

extern "C" int qvmod_skip(PACKFILE *f, int count)
{
    if (!f) return EOF;
    return pack_fseek(f, count);
}

extern "C" void qvmod_fseek(PACKFILE **f, const char *filename, int offset)
{
    if (!f) return;
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
