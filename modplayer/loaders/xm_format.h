// SPDX-License-Identifier: MIT
// The XM reader's parts (header, patterns, instruments, samples) and what they hand each other.
#ifndef QVMOD_XM_FORMAT_H
#define QVMOD_XM_FORMAT_H

#include "loader_common.h"

#include <vector>

namespace qvmod_loader {
namespace xm {

constexpr int kDefaultRows = 64;  // rows of the appended pattern and of a 0-row pattern
constexpr int kMaxSamples = 255;  // plus the silent one: every sample index fits a byte

// What the header tells the later parts.
struct Header {
    uint64_t first_pattern;  // absolute offset of the first pattern header
    int stored_patterns;
    int instrument_count;  // instruments read (at most a cell can name)
    bool extra_pattern;    // an order names a pattern not stored: an empty one is appended
};

// A sample header with its instrument's automatic vibrato.
struct Wave {
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
    uint64_t data_at;  // absolute offset of the data in the module image
};

// Each part gives null or the error the load fails with.

// The song header: title, counts, flags, tempo and orders into the module.
const char *read_header(Bytes &in, QVMOD &m, Header &h);
// The stored patterns (and the appended empty one); `at` ends past the last stored pattern.
const char *read_patterns(Bytes &in, ModuleBuild &b, const Header &h, uint64_t &at);
// The instruments from `at` on: their envelopes and note maps into the module, their sample
// headers onto `waves`; a note map names 1 + an index into `waves`, or 0 for no sample.
const char *read_instruments(Bytes &in, ModuleBuild &b, const Header &h, uint64_t at,
                             std::vector<Wave> &waves);
// The samples of `waves` and the silent one after them; the note maps then name samples.
const char *read_samples(Bytes &in, ModuleBuild &b, const std::vector<Wave> &waves);

}  // namespace xm
}  // namespace qvmod_loader

#endif
