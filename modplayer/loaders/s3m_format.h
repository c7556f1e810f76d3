// SPDX-License-Identifier: MIT
// The S3M reader's parts (header, patterns, samples) and the context one load passes between them.
#ifndef QVMOD_S3M_FORMAT_H
#define QVMOD_S3M_FORMAT_H

#include "loader_common.h"

#include <vector>

namespace qvmod_loader {
namespace s3m {

constexpr int kSourceChannels = 32;
constexpr int kParaUnit = 16;               // parapointers count paragraphs
constexpr int kChannelEnabledBelow = 0x20;  // settings 0..31 are channels; bit 7 or 255 disables
constexpr signed char kUnused = -1;         // remap of a channel the module does not keep
constexpr signed char kUsed = 0;            // remap mark of a used channel before numbering

// One load's reading context: what the header holds for the later parts, and the channel map
// the patterns part builds.
struct ReadContext {
    int instrument_count = 0;
    int stored_patterns = 0;
    int sample_format = 0;
    bool pan_table = false;
    unsigned char pans[kSourceChannels] = {};
    unsigned char channel_settings[kSourceChannels] = {};
    std::vector<uint64_t> instrument_at;  // absolute offsets
    std::vector<uint64_t> pattern_at;     // absolute offsets; 0 = not stored
    signed char remap[kSourceChannels];   // source channel -> module channel, or kUnused
};

// The song header, the orders, the parapointers and the pans.
void read_header(Bytes &in, QVMOD &m, ReadContext &ctx);
// Numbers the used channels (from the settings, or from the patterns unless fast_loading),
// sets the module's channels and pans and decodes the patterns the orders name.
const char *read_patterns(Bytes &in, ModuleBuild &b, ReadContext &ctx);
// Reads one instrument header at `at`, and its frames, into sample i. False when memory ran out.
bool read_sample(Bytes &in, uint64_t at, int sample_format, SAMPLE &s, SAMPLE_INFO &si);

}  // namespace s3m
}  // namespace qvmod_loader

#endif
