// SPDX-License-Identifier: MIT
// Harness: the stream cell decoders (S3M_get_num_chn, S3M_load_pat, load_note) on fuzzed bytes.
// The input is an S3M header followed by the stream. load_s3m reads the header, which gives the
// decoders their channel map and a module to decode into; the header's title is a script, one
// byte per call (low bits: which call, the rest: its argument). The filled module is then checked
// and played, and every XM cell must name only what exists.
#include <allegro.h>

#include <cstring>
#include <vector>

#include "fuzz_support.h"

namespace {

constexpr size_t kHeaderBytes = 96;   // the S3M header up to the order list
constexpr size_t kScriptBytes = 28;   // its title
constexpr size_t kStreamKindAt = 29;  // a byte the reader skips: bit 0 picks Allegro's own stream
constexpr size_t kSignatureAt = 44;
constexpr int kOperations = 4;
constexpr int kXmKeyOff = 97;

enum Operation { kScanChannels, kLoadPattern, kLoadNote, kSkip };

void check_xm_cell(const NOTE_INFO &n, int instrument_count)
{
    if (n.sample < 0 || n.sample > instrument_count)
        qvx_fuzz::fail("XM cell names a missing instrument", n.sample);
    if (n.note != QVMOD_NOTE_KEY_OFF && (n.note < 0 || n.note >= kXmKeyOff))
        qvx_fuzz::fail("XM cell note", n.note);
    if (n.command < 0 || n.extcommand < 0)
        qvx_fuzz::fail("XM cell command", n.command, n.extcommand);
}

}  // namespace

QVX_FUZZ_PLAYER_HARNESS

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Shorter headers are refused before the channel map is set, which would then be the last input's.
    if (size < kHeaderBytes) return 0;
    std::vector<uint8_t> header(data, data + kHeaderBytes);
    std::memcpy(header.data() + kSignatureAt, "SCRM", 4);
    QVMOD *m;
    {
        qvx_fuzz::ScratchFile file(header.data(), header.size());
        m = load_s3m(file.path(), 0);
    }
    if (!m) {
        qvmod_error[0] = '\0';
        return 0;
    }

    qvx_fuzz::ScratchFile stream(data + kHeaderBytes, size - kHeaderBytes);
    PACKFILE *f = (data[kStreamKindAt] & 1) ? pack_fopen(stream.path(), F_READ)
                                            : qvmod_fopen(stream.path(), "rb");
    if (!f) qvx_fuzz::fail("cannot open the stream");
    // load_note judges instrument numbers by the module's count alone.
    QVMOD xm{};
    xm.instrument_count = data[kStreamKindAt] >> 1;
    for (size_t i = 0; i < kScriptBytes; i++) {
        const int op = data[i] % kOperations;
        const int arg = data[i] / kOperations;
        switch (op) {
        case kScanChannels: {
            const int r = S3M_get_num_chn(f);
            if (r != 1 && r != -1) qvx_fuzz::fail("S3M_get_num_chn answer", r);
            break;
        }
        case kLoadPattern: {
            NOTE_INFO *cells = m->pattern_info[arg % m->pattern_count].notes;
            const int r = S3M_load_pat(f, m, cells, m->channel_count);
            if (r != 1 && r != -1) qvx_fuzz::fail("S3M_load_pat answer", r);
            break;
        }
        case kLoadNote: {
            NOTE_INFO cell{};
            load_note(&xm, f, &cell);
            check_xm_cell(cell, xm.instrument_count);
            break;
        }
        case kSkip: qvmod_skip(f, arg); break;
        }
    }
    pack_fclose(f);
    qvx_fuzz::exercise_module(m, qvx_fuzz::input_hash(data, size));
    return 0;
}
