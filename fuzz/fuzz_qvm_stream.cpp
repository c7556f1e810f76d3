// SPDX-License-Identifier: MIT
// Harness: load_qvm on a packed-file stream over the input bytes in memory; the module it returns
// is checked and played, and the reader must stop within the stream.
#include <algorithm>
#include <cstring>

#include <allegro.h>

#include "fuzz_support.h"

namespace {

struct Memory {
    const uint8_t *data;
    size_t size;
    size_t pos;
};

int mem_fclose(void *)
{
    return 0;
}
int mem_getc(void *u)
{
    auto *m = static_cast<Memory *>(u);
    return m->pos < m->size ? m->data[m->pos++] : EOF;
}
int mem_ungetc(int c, void *u)
{
    auto *m = static_cast<Memory *>(u);
    if (m->pos == 0) return EOF;
    m->pos--;
    return c;
}
long mem_fread(void *p, long n, void *u)
{
    auto *m = static_cast<Memory *>(u);
    if (n <= 0) return 0;
    const size_t k = std::min(static_cast<size_t>(n), m->size - m->pos);
    if (k) std::memcpy(p, m->data + m->pos, k);
    m->pos += k;
    return static_cast<long>(k);
}
int mem_putc(int, void *)
{
    return EOF;
}
long mem_fwrite(AL_CONST void *, long, void *)
{
    return 0;
}
int mem_fseek(void *u, int offset)
{
    auto *m = static_cast<Memory *>(u);
    if (offset < 0) return -1;
    m->pos = std::min(m->size, m->pos + static_cast<size_t>(offset));
    return 0;
}
int mem_feof(void *u)
{
    auto *m = static_cast<Memory *>(u);
    return m->pos >= m->size;
}
int mem_ferror(void *)
{
    return 0;
}

PACKFILE_VTABLE memory_vtable = {mem_fclose, mem_getc,  mem_ungetc, mem_fread, mem_putc,
                                 mem_fwrite, mem_fseek, mem_feof,   mem_ferror};

}  // namespace

QVX_FUZZ_PLAYER_HARNESS

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Memory memory{data, size, 0};
    PACKFILE *f = pack_fopen_vtable(&memory_vtable, &memory);
    if (!f) qvx_fuzz::fail("no memory stream");
    QVMOD *m;
    {
        qvx_fuzz::AllocationMeter meter;
        m = load_qvm(f);
        meter.check("load_qvm held more than the bound (peak bytes, input bytes)", size,
                    qvx_fuzz::kPerByteQvm);
    }
    if (!m && qvmod_error[0] == '\0') qvx_fuzz::fail("refused without a message");
    qvmod_error[0] = '\0';
    if (memory.pos > size) qvx_fuzz::fail("read past the stream", static_cast<long>(memory.pos));
    pack_fclose(f);
    qvx_fuzz::exercise_module(m, qvx_fuzz::input_hash(data, size));
    return 0;
}
