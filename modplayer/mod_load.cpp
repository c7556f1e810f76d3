// Module files by name: format detection in a fixed order, Unreal package search, dispatch to the readers.
#include "loaders/loader_util.h"

#include <cstring>
#include <memory>

using namespace qvmod_loader;

namespace {

constexpr unsigned char kUnrealTag[4] = {0xC1, 0x83, 0x2A, 0x9E};
constexpr int kSearchFirst = 4;             // first offset searched for an embedded module
constexpr int kSearchPositions = 500;       // offsets 4 .. 503
constexpr int kS3mSignatureOffset = 44;     // "SCRM" stands 44 bytes into an S3M
constexpr int kLongestSignature = 17;

struct PackCloser {
    void operator()(PACKFILE *f) const { qvmod_fclose(f); }
};

// The embedded module's signature offset in an Unreal package: -1 none, 0 cannot open.
int find_in_unreal(const char *filename, const char *signature)
{
    const size_t n = std::strlen(signature);
    unsigned char window[kSearchFirst + kSearchPositions + kLongestSignature];
    std::memset(window, 0xFF, sizeof window);   // past the end of the file nothing matches
    const int got = peek_file(filename, 0, window, static_cast<int>(kSearchFirst + kSearchPositions - 1 + n));
    if (got < 0) return 0;
    if (got < 4 || std::memcmp(window, kUnrealTag, 4) != 0) return -1;
    for (int p = kSearchFirst; p < kSearchFirst + kSearchPositions; p++)
        if (std::memcmp(window + p, signature, n) == 0) return p;
    return -1;
}

} // namespace

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

extern "C" QVMOD *load_mod(const char *filename)
{
    if (detect_qvm(filename) == 1) {
        std::unique_ptr<PACKFILE, PackCloser> f(qvmod_fopen(filename, "rb"));
        if (!f) {
            set_open_error(filename);
            return nullptr;
        }
        return load_qvm(f.get());
    }
    if (detect_it(filename) == 1) return load_it(filename, 0);
    if (detect_xm(filename) == 1) return load_xm(filename, 0);
    if (detect_s3m(filename) == 1) return load_s3m(filename, 0);
    if (detect_m31(filename) == 1) return load_m(filename, 31);
    int at = detect_unreal_it(filename);
    if (at > 0) return load_it(filename, at);
    at = detect_unreal_xm(filename);
    if (at > 0) return load_xm(filename, at);
    at = detect_unreal_s3m(filename);
    if (at > 0) return load_s3m(filename, at);
    if (enable_m15 == kTrue && detect_m15(filename) == 1) return load_m(filename, 15);
    qvmod_set_error("Unsupported MOD type or unable to open file");
    return nullptr;
}

extern "C" int get_mod_info(const char *filename, QVMOD_INFO *info)
{
    if (!info) return -1;
    if (detect_qvm(filename) == 1) {
        std::unique_ptr<PACKFILE, PackCloser> f(qvmod_fopen(filename, "rb"));
        if (f) return get_qvm_info(f.get(), info);
    }
    if (detect_it(filename) == 1) return get_it_info(filename, 0, info);
    if (detect_xm(filename) == 1) return get_xm_info(filename, 0, info);
    if (detect_s3m(filename) == 1) return get_s3m_info(filename, 0, info);
    if (detect_m31(filename) == 1) return get_m_info(filename, 31, info);
    int at = detect_unreal_it(filename);
    if (at > 0) return get_it_info(filename, at, info);
    at = detect_unreal_xm(filename);
    if (at > 0) return get_xm_info(filename, at, info);
    at = detect_unreal_s3m(filename);
    if (at > 0) return get_s3m_info(filename, at, info);
    if (enable_m15 == kTrue && detect_m15(filename) == 1) return get_m_info(filename, 15, info);
    qvmod_set_error("Unsupported MOD type or unable to open file");
    return -1;
}
