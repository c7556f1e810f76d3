// SPDX-License-Identifier: MIT
// Harness: the "QVM " datafile object type. The input becomes the object's data in a datafile
// (as the game's quorvex.dat holds its module), which Allegro's load_datafile reads through the
// registered loader; the module it builds (a silent one for refused data) is checked, played, and
// freed by unload_datafile.
#include <vector>

#include <allegro.h>

#include "fuzz_support.h"

namespace {

void put_be32(std::vector<uint8_t> &out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void put_text(std::vector<uint8_t> &out, const char *text)
{
    while (*text) out.push_back(static_cast<uint8_t>(*text++));
}

// An uncompressed datafile with one named object of the "QVM " type.
std::vector<uint8_t> datafile_image(const uint8_t *data, size_t size)
{
    std::vector<uint8_t> out;
    put_text(out, "slh.ALL.");
    put_be32(out, 1);
    put_text(out, "propNAME");
    put_be32(out, 8);
    put_text(out, "MOD_GAME");
    put_be32(out, QVMOD_DAT_ID);
    put_be32(out, static_cast<uint32_t>(size));
    put_be32(out, static_cast<uint32_t>(size));
    out.insert(out.end(), data, data + size);
    return out;
}

}  // namespace

// install_mod registers the object type the datafile reader needs.
QVX_FUZZ_PLAYER_HARNESS

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<uint8_t> image = datafile_image(data, size);
    qvx_fuzz::ScratchFile file(image.data(), image.size());
    // A module the reader refuses becomes a silent one, so the datafile always loads.
    DATAFILE *dat;
    {
        qvx_fuzz::AllocationMeter meter;
        dat = load_datafile(file.path());
        meter.check("load_datafile held more than the bound (peak bytes, input bytes)", size,
                    qvx_fuzz::kPerByteQvm);
    }
    if (!dat) qvx_fuzz::fail("datafile refused");
    qvmod_error[0] = '\0';
    if (dat[0].type != QVMOD_DAT_ID || !dat[0].dat)
        qvx_fuzz::fail("datafile object is not a module");
    QVMOD *m = static_cast<QVMOD *>(dat[0].dat);
    qvx_fuzz::check_module(m);
    qvx_fuzz::play_module(m, qvx_fuzz::input_hash(data, size));
    unload_datafile(dat);
    return 0;
}
