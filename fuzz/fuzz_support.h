// SPDX-License-Identifier: MIT
// Shared pieces of the fuzz harnesses: a display-free Allegro with a hand-mixed sound driver,
// the checks every loaded module must pass, playing a module by hand, and scratch files.
#ifndef QVX_FUZZ_SUPPORT_H
#define QVX_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>

#include "qvmod.h"
#include "scratch.h"

namespace qvx_fuzz {

// Starts Allegro without a display, a sound driver mixed by hand and the module player in manual
// tick mode. Idempotent; aborts when anything fails (a harness without it tests nothing).
void start_player();

// Aborts with a message naming the broken promise when the module would let the player read
// outside an array (the tests' loaded-module check).
void check_module(const QVMOD *m);

// Plays the module for a few hundred ticks, driving the tick engine and the mixer by hand and
// calling the interface functions on the way (chosen by `choice`), then stops it.
void play_module(QVMOD *m, uint32_t choice);

// Aborts when a voice's mixing position lies outside the sample it plays.
void check_voices(const QVMOD *m, int tick);

// Renders a few blocks of the module through the library's own mixer, with settings, a seek and
// a rate chosen by `choice`; aborts on a value that is not a number.
void render_module(QVMOD *m, uint32_t choice);

// check_module, play_module, render_module and destroy_mod together; does nothing for null.
void exercise_module(QVMOD *m, uint32_t choice);

// A file holding the bytes, in memory-backed storage when there is one; removed on destruction.
// Aborts when it cannot be written.
class ScratchFile : public qvx_test::TempFile {
public:
    ScratchFile(const uint8_t *data, size_t size);
};

// Measures the peak of heap bytes held while it runs (through the sanitizer's malloc hooks).
// Readers may hold at most per_byte bytes per input byte plus a fixed amount; check() aborts past it.
class AllocationMeter {
public:
    AllocationMeter();
    ~AllocationMeter();
    long long peak() const;
    void check(const char *what, size_t input_size, long long per_byte) const;
};

// Bytes any reader may hold whatever its input: sample tables, every pattern MOD and S3M files
// can name (256 x 64 rows x 32 channels of 20 bytes), the XM budget of cells without bytes, the
// file image's first chunk.
constexpr long long kFixedAllocation = 48ll << 20;
// Held per input byte: the file image and sample data (a few times n) ...
constexpr long long kPerByte = 64;
// ... or, where QVM run-length codes are read, 127 cells of 20 bytes per byte, doubled while growing.
constexpr long long kPerByteQvm = 2 * 127 * 20 + 64;

// A small hash of the input, to pick interface calls without consuming input bytes.
uint32_t input_hash(const uint8_t *data, size_t size);

[[noreturn]] void fail(const char *what, long a = 0, long b = 0);

}  // namespace qvx_fuzz

// A harness that plays modules installs the player once, before its first input.
#define QVX_FUZZ_PLAYER_HARNESS                          \
    extern "C" int LLVMFuzzerInitialize(int *, char ***) \
    {                                                    \
        qvx_fuzz::start_player();                        \
        return 0;                                        \
    }

#endif
