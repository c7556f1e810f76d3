// SPDX-License-Identifier: MIT
// Harness: get_mod_info on any file: a success names a known format with a terminated format name.
#include <cstring>

#include "fuzz_support.h"

QVX_FUZZ_PLAYER_HARNESS

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    qvx_fuzz::ScratchFile file(data, size);
    // The 15-sample test runs only when asked for; let the input's size decide.
    enable_m15 = (size & 1) ? -1 : 0;
    QVMOD_INFO info;
    std::memset(&info, 0, sizeof info);
    const int r = get_mod_info(file.path(), &info);
    if (r == 1) {
        if (info.type < QVMOD_TYPE_MOD15 || info.type > QVMOD_TYPE_UMX_IT)
            qvx_fuzz::fail("format code", info.type);
        if (std::memchr(info.type_name, 0, sizeof info.type_name) == nullptr)
            qvx_fuzz::fail("format name not terminated");
    } else if (r != -1) {
        qvx_fuzz::fail("get_mod_info answer", r);
    }
    enable_m15 = 0;
    return 0;
}
