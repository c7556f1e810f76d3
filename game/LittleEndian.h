// SPDX-License-Identifier: MIT
// Little-endian 32-bit fields and raw bytes, in the order the game's two file formats hold them.
#ifndef QUORVEX_LITTLEENDIAN_H
#define QUORVEX_LITTLEENDIAN_H

#include <cstddef>
#include <cstdint>
#include <cstring>

class LittleEndianWriter {
public:
    explicit LittleEndianWriter(unsigned char *p) : p_(p) {}
    void Put(int32_t value)
    {
        const uint32_t v = static_cast<uint32_t>(value);
        for (int i = 0; i < 4; i++) *p_++ = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
    }
    void Bytes(const void *bytes, size_t n)
    {
        std::memcpy(p_, bytes, n);
        p_ += n;
    }

private:
    unsigned char *p_;
};

class LittleEndianReader {
public:
    explicit LittleEndianReader(const unsigned char *p) : p_(p) {}
    int32_t Get()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++) v |= uint32_t(*p_++) << (8 * i);
        return static_cast<int32_t>(v);
    }
    void Bytes(void *out, size_t n)
    {
        std::memcpy(out, p_, n);
        p_ += n;
    }

private:
    const unsigned char *p_;
};

#endif
