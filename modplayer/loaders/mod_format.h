// SPDX-License-Identifier: MIT
// The MOD reader's parts (header, patterns, samples) and what they hand each other.
#ifndef QVMOD_MOD_FORMAT_H
#define QVMOD_MOD_FORMAT_H

#include "loader_common.h"

namespace qvmod_loader {
namespace mod {

constexpr int kMaxSamples = 31;

// A sample header's lengths, in bytes, kept until the sample data is read.
struct SampleHeader {
    unsigned long length;
    unsigned long repeat_start;
    unsigned long repeat_length;  // 0 = no loop
};

// Each part gives null or the error the load fails with.

// Title, sample headers, orders and the channel count of a module of 15 or 31 samples;
// `pattern_count` is how many patterns the orders need.
void read_header(Bytes &in, QVMOD &m, int samples, SampleHeader (&heads)[kMaxSamples],
                 int &pattern_count);
// The patterns, as far as the file holds them.
const char *read_patterns(Bytes &in, ModuleBuild &b, int pattern_count, int samples);
// The sample data after the patterns, as far as the file holds it.
const char *read_samples(Bytes &in, ModuleBuild &b, const SampleHeader (&heads)[kMaxSamples]);

}  // namespace mod
}  // namespace qvmod_loader

#endif
