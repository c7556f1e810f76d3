// SPDX-License-Identifier: MIT
// modconv: writes any module the QVMOD library loads (QVM, MOD, S3M, XM, Unreal packages) as a QVM file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <allegro.h>

#include "modconv_core.h"
#include "qvmod.h"

namespace {

void usage()
{
    std::puts(
        "usage: modconv [--m15] [--force] IN OUT.qvm\n"
        "Writes the module IN (QVM, MOD, S3M, XM, or an S3M/XM inside an Unreal package) as a QVM "
        "file\n"
        "and checks that OUT loads back as the same module.\n"
        "  --m15     also try files without a signature as 15-sample MODs\n"
        "  --force   write OUT even where a file of that name exists\n"
        "  --version the version");
}

struct ModDeleter {
    void operator()(QVMOD *m) const { destroy_mod(m); }
};

}  // namespace

int main(int argc, char **argv)
{
    int arg = 1;
    bool force = false;
    for (; arg < argc; arg++) {
        if (std::strcmp(argv[arg], "--m15") == 0)
            enable_m15 = -1;
        else if (std::strcmp(argv[arg], "--force") == 0)
            force = true;
        else
            break;
    }
    if (argc - arg == 1 && std::strcmp(argv[arg], "--version") == 0) {
        std::printf("modconv (QVMOD) %s\n", QVX_VERSION);
        return 0;
    }
    if (argc - arg != 2 || std::strcmp(argv[arg], "--help") == 0) {
        usage();
        return argc - arg == 1 && std::strcmp(argv[arg], "--help") == 0 ? 0 : 2;
    }
    const char *in = argv[arg];
    const char *out = argv[arg + 1];
    // An existing output is someone's file: it is replaced only when asked.
    if (!force) {
        if (std::FILE *existing = std::fopen(out, "rb")) {
            std::fclose(existing);
            std::fprintf(stderr, "modconv: %s exists; --force replaces it\n", out);
            return 1;
        }
    }
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "modconv: cannot start Allegro\n");
        return 1;
    }
    const std::string error = convert_to_qvm(in, out);
    if (!error.empty()) {
        std::fprintf(stderr, "modconv: %s: %s\n", in, error.c_str());
        return 1;
    }
    std::unique_ptr<QVMOD, ModDeleter> original(load_mod(in));
    std::unique_ptr<QVMOD, ModDeleter> written(load_mod(out));
    if (!original || !written) {
        std::fprintf(stderr, "modconv: %s does not load back: %s\n", out, qvmod_error);
        return 1;
    }
    prepare_for_qvm(original.get());
    const std::string diff = compare_modules(original.get(), written.get());
    if (!diff.empty()) {
        std::fprintf(stderr, "modconv: %s differs from %s: %s\n", out, in, diff.c_str());
        return 1;
    }
    QVMOD_INFO info{};
    get_mod_info(in, &info);
    std::printf("%s (%s) -> %s: %d orders, %d patterns, %d channels, %d samples, %d instruments\n",
                in, info.type_name, out, written->order_count, written->pattern_count,
                written->channel_count, written->sample_count, written->instrument_count);
    return 0;
}
