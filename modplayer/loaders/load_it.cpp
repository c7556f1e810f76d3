// SPDX-License-Identifier: MIT
// Impulse Tracker modules (IT): recognised and described, but loading is refused.
#include "loader_common.h"

#include <algorithm>

using namespace qvmod_loader;

namespace {

constexpr int kTitleOffset = 4;
constexpr int kTitleBytes = 26;
constexpr FormatInfo kInfo = {QVMOD_TYPE_IT,     "IT",         QVMOD_TYPE_UMX_IT,
                              "Unreal IT (UMX)", kTitleOffset, kTitleBytes};

}  // namespace

extern "C" int detect_it(const char *filename)
{
    return detect_signature(filename, 0, "IMPM", 4);
}

extern "C" int get_it_info(const char *filename, int offset, QVMOD_INFO *info)
{
    return describe_module(filename, offset, info, kInfo);
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
