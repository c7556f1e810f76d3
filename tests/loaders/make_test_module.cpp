// Writes one module of each format (and an Unreal package) into a directory, for the tool tests.
#include <cstdio>
#include <fstream>
#include <string>

#include "module_writers.h"

namespace {

bool save(const std::string &path, const ModuleImage &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: qvmod_make_test_module DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = save(dir + "/test.mod", write_mod(realistic_mod(1, 6, 4, 20000))) &&
                    save(dir + "/test.s3m", write_s3m(realistic_s3m(2, 6, 8, 20000))) &&
                    save(dir + "/test.xm", write_xm(realistic_xm(3, 6, 8, 6, 20000))) &&
                    save(dir + "/test.umx", wrap_unreal(write_xm(realistic_xm(4, 2, 4, 2, 2000)), 200));
    return ok ? 0 : 1;
}
