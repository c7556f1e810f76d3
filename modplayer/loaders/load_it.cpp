// Impulse Tracker modules (IT): recognised and described, but loading is refused.
#include "loader_util.h"

#include <algorithm>
#include <cstring>

using namespace qvmod_loader;

namespace {

constexpr int kTitleOffset = 4;
constexpr int kTitleBytes = 26;

} // namespace

extern "C" int detect_it(const char *filename)
{
    char sig[4];
    const int got = peek_file(filename, 0, sig, 4);
    if (got < 0) return 0;
    return got == 4 && std::memcmp(sig, "IMPM", 4) == 0 ? 1 : -1;
}

extern "C" int get_it_info(const char *filename, int offset, QVMOD_INFO *info)
{
    if (!info) return -1;
    if (peek_file(filename, 0, nullptr, 0) < 0) {
        set_open_error(filename);
        return -1;
    }
    info->type = offset ? QVMOD_TYPE_UMX_IT : QVMOD_TYPE_IT;
    std::strcpy(info->type_name, offset ? "Unreal IT (UMX)" : "IT");
    peek_file(filename, std::max(offset, 0) + kTitleOffset, info->name, kTitleBytes);
    return 1;
}

// The title is read as the format has it, but the library prints nothing: the caller that
// wants it asks get_mod_info.
extern "C" QVMOD *load_it(const char *filename, int offset)
{
    ModuleBuild b;
    if (peek_file(filename, 0, nullptr, 0) < 0) return nullptr;
    if (!b.create()) return b.fail("Unable to allocate enough memory for QVMOD structure");
    peek_file(filename, std::max(offset, 0) + kTitleOffset, b->name, kTitleBytes);
    return b.fail("IT support is not completed yet. Wait a few more versions");
}
