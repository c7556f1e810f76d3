// SPDX-License-Identifier: MIT
// MOD patterns: 64 rows of four-byte cells, Amiga periods turned into pitches.
#include "mod_format.h"

namespace qvmod_loader::mod {

namespace {

constexpr int kCellBytes = 4;

}  // namespace

const char *read_patterns(Bytes &in, ModuleBuild &b, int pattern_count, int samples)
{
    QVMOD *m = b.get();
    if (!b.alloc_patterns(pattern_count))
        return "Unable to allocate enough memory for PATTERN_INFO";
    for (int p = 0; p < pattern_count; p++) {
        if (!b.alloc_cells(p, kRowsPerPattern))
            return "Unable to allocate enough memory for NOTE_INFO";
        // Cells the file no longer holds stay empty.
        NOTE_INFO *cells = m->pattern_info[p].notes;
        const int count = kRowsPerPattern * m->channel_count;
        for (int c = 0; c < count && in.left() >= kCellBytes; c++) {
            const uint32_t e = in.u32be();
            NOTE_INFO &n = cells[c];
            const int sample = static_cast<int>(((e >> 24) & 0xF0) | ((e >> 12) & 0x0F));
            const int period = static_cast<int>((e >> 16) & 0x0FFF);
            n.sample = sample <= samples ? sample : 0;
            n.note = period ? kAmigaClock / period : 0;
            n.command = static_cast<int>((e >> 8) & 0x0F);
            n.extcommand = static_cast<int>(e & 0xFF);
        }
        if (in.left() < kCellBytes) in.seek(in.size());
    }
    return nullptr;
}

}  // namespace qvmod_loader::mod
