// SPDX-License-Identifier: MIT
// Module files by name: the one detector table, walked in order to load or describe a file, and the Unreal package search.
#include "loader_common.h"

#include <cstring>
#include <memory>

using namespace qvmod_loader;

extern "C" {
int enable_m15 = kFalse;
}

namespace {

constexpr unsigned char kUnrealTag[4] = {0xC1, 0x83, 0x2A, 0x9E};
constexpr int kSearchFirst = 4;          // first offset searched for an embedded module
constexpr int kSearchPositions = 500;    // offsets 4 .. 503
constexpr int kS3mSignatureOffset = 44;  // "SCRM" stands 44 bytes into an S3M
constexpr char kUnsupported[] = "Unsupported MOD type or unable to open file";

// The embedded module's signature offset in an Unreal package: -1 none, 0 cannot open.
int find_in_unreal(const char *filename, const char *signature)
{
    const size_t n = std::strlen(signature);
    unsigned char window[kSearchFirst + kSearchPositions + kLongestSignature];
    std::memset(window, 0xFF, sizeof window);  // past the end of the file nothing matches
    const int got =
        peek_file(filename, 0, window, static_cast<int>(kSearchFirst + kSearchPositions - 1 + n));
    if (got < 0) return 0;
    if (got < 4 || std::memcmp(window, kUnrealTag, 4) != 0) return -1;
    for (int p = kSearchFirst; p < kSearchFirst + kSearchPositions; p++)
        if (std::memcmp(window + p, signature, n) == 0) return p;
    return -1;
}

}  // namespace

extern "C" int detect_unreal_it(const char *filename)
{
    return find_in_unreal(filename, "IMPM");
}

extern "C" int detect_unreal_xm(const char *filename)
{
    return find_in_unreal(filename, "Extended Module: ");
}

extern "C" int detect_unreal_s3m(const char *filename)
{
    const int at = find_in_unreal(filename, "SCRM");
    return at > 0 ? at - kS3mSignatureOffset : at;
}

namespace {

// The QVM reader takes a stream.
QVMOD *load_qvm_file(const char *filename, int)
{
    std::unique_ptr<PACKFILE, PackCloser> f(qvmod_fopen(filename, "rb"));
    if (!f) {
        set_open_error(filename);
        return nullptr;
    }
    return load_qvm(f.get());
}

int get_qvm_file_info(const char *filename, int, QVMOD_INFO *info)
{
    std::unique_ptr<PACKFILE, PackCloser> f(qvmod_fopen(filename, "rb"));
    if (!f) {
        qvmod_set_error("%s", kUnsupported);
        return -1;
    }
    return get_qvm_info(f.get(), info);
}

QVMOD *load_m31(const char *filename, int)
{
    return load_m(filename, 31);
}
QVMOD *load_m15(const char *filename, int)
{
    return load_m(filename, 15);
}
int get_m31_info(const char *filename, int, QVMOD_INFO *info)
{
    return get_m_info(filename, 31, info);
}
int get_m15_info(const char *filename, int, QVMOD_INFO *info)
{
    return get_m_info(filename, 15, info);
}

// A 15-sample MOD has no signature: only tried when the host asks for it.
int detect_enabled_m15(const char *filename)
{
    return enable_m15 == kTrue ? detect_m15(filename) : -1;
}

struct Detector {
    int (*detect)(const char *filename);
    bool embedded;  // detect gives the module's offset inside an Unreal package, else 1 for a match
    QVMOD *(*load)(const char *filename, int offset);
    int (*info)(const char *filename, int offset, QVMOD_INFO *info);
};

// Tried in this order: a file is of the first format whose detector accepts it.
// clang-format off
constexpr Detector kDetectors[] = {
    {detect_qvm, false, load_qvm_file, get_qvm_file_info},
    {detect_it, false, load_it, get_it_info},
    {detect_xm, false, load_xm, get_xm_info},
    {detect_s3m, false, load_s3m, get_s3m_info},
    {detect_m31, false, load_m31, get_m31_info},
    {detect_unreal_it, true, load_it, get_it_info},
    {detect_unreal_xm, true, load_xm, get_xm_info},
    {detect_unreal_s3m, true, load_s3m, get_s3m_info},
    {detect_enabled_m15, false, load_m15, get_m15_info},
};
// clang-format on

// The format of the file and the module's offset in it, or null (qvmod_error then says so).
const Detector *find_format(const char *filename, int &offset)
{
    for (const Detector &d : kDetectors) {
        const int found = d.detect(filename);
        if (d.embedded ? found > 0 : found == 1) {
            offset = d.embedded ? found : 0;
            return &d;
        }
    }
    qvmod_set_error("%s", kUnsupported);
    return nullptr;
}

}  // namespace

extern "C" QVMOD *load_mod(const char *filename)
{
    int offset = 0;
    const Detector *d = find_format(filename, offset);
    return d ? d->load(filename, offset) : nullptr;
}

extern "C" int get_mod_info(const char *filename, QVMOD_INFO *info)
{
    if (!info) return -1;
    int offset = 0;
    const Detector *d = find_format(filename, offset);
    return d ? d->info(filename, offset, info) : -1;
}
