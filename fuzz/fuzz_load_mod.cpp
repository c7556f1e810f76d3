// SPDX-License-Identifier: MIT
// Harness: load_mod on a module file, one build per format (QVX_FUZZ_FORMAT picks the signature
// the input is given, so mutations stay inside that format's reader); every module it returns
// is checked and played. With QVX_FUZZ_SCAN_CHANNELS the S3M reader finds its channels by
// scanning every stored pattern instead of trusting the channel settings.
#include <cstring>
#include <vector>

#include "fuzz_support.h"

#define QVX_FORMAT_ANY 0
#define QVX_FORMAT_MOD 1
#define QVX_FORMAT_S3M 2
#define QVX_FORMAT_XM 3
#define QVX_FORMAT_UMX 4
#define QVX_FORMAT_QVM 5
#define QVX_FORMAT_IT 6

#ifndef QVX_FUZZ_FORMAT
#define QVX_FUZZ_FORMAT QVX_FORMAT_ANY
#endif

namespace {

// Only files that reach the QVM reader may hold its run-length share.
constexpr long long kPerByte =
    (QVX_FUZZ_FORMAT == QVX_FORMAT_ANY || QVX_FUZZ_FORMAT == QVX_FORMAT_QVM) ? qvx_fuzz::kPerByteQvm
                                                                             : qvx_fuzz::kPerByte;

[[maybe_unused]] void put(std::vector<uint8_t> &bytes, size_t at, const char *text, size_t n)
{
    if (bytes.size() >= at + n) std::memcpy(bytes.data() + at, text, n);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qvx_fuzz::start_player();
#ifdef QVX_FUZZ_SCAN_CHANNELS
    fast_loading = 0;
#endif
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
#if QVX_FUZZ_FORMAT == QVX_FORMAT_MOD
    // Files without a known signature are read as 15-sample modules too.
    enable_m15 = -1;
#elif QVX_FUZZ_FORMAT == QVX_FORMAT_S3M
    put(bytes, 44, "SCRM", 4);
#elif QVX_FUZZ_FORMAT == QVX_FORMAT_XM
    put(bytes, 0, "Extended Module: ", 17);
#elif QVX_FUZZ_FORMAT == QVX_FORMAT_UMX
    put(bytes, 0, "\xC1\x83\x2A\x9E", 4);
#elif QVX_FUZZ_FORMAT == QVX_FORMAT_QVM
    put(bytes, 0, QVM_SIGNATURE, QVM_SIGNATURE_SIZE);
#elif QVX_FUZZ_FORMAT == QVX_FORMAT_IT
    put(bytes, 0, "IMPM", 4);
#endif
    qvx_fuzz::ScratchFile file(bytes.data(), bytes.size());
    QVMOD *m;
    {
        qvx_fuzz::AllocationMeter meter;
        m = load_mod(file.path());
        meter.check("load_mod held more than the bound (peak bytes, input bytes)", size, kPerByte);
    }
    if (!m && qvmod_error[0] == '\0') qvx_fuzz::fail("refused without a message");
    qvmod_error[0] = '\0';
    qvx_fuzz::exercise_module(m, qvx_fuzz::input_hash(data, size));
    return 0;
}
