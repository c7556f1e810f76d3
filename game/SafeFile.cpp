// Writing a whole file so that a failure never leaves a damaged or shortened file in its place.
#include "SafeFile.h"

#include <cstdio>
#include <memory>
#include <string>

#include "Platform.h"

long safe_file_fail_after = -1;

namespace {

bool WriteAll(std::FILE *f, const void *bytes, size_t size)
{
    size_t allowed = size;
    if (safe_file_fail_after >= 0 && static_cast<size_t>(safe_file_fail_after) < size) {
        allowed = static_cast<size_t>(safe_file_fail_after);
    }
    if (std::fwrite(bytes, 1, allowed, f) != allowed) return false;
    return allowed == size;
}

}  // namespace

bool WriteFileAtomically(const char *path, const void *bytes, size_t size)
{
    std::string temp = std::string(path) + ".tmp";
    bool ok = false;
    {
        FilePtr f(std::fopen(temp.c_str(), "wb"));
        if (!f) return false;
        ok = WriteAll(f.get(), bytes, size) && PlatformFlushFile(f.get());
        std::FILE *raw = f.release();
        if (std::fclose(raw) != 0) ok = false;
    }
    if (ok) ok = PlatformReplaceFile(temp.c_str(), path);
    if (!ok) std::remove(temp.c_str());
    return ok;
}
