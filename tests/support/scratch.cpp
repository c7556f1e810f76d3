// SPDX-License-Identifier: MIT
// Temporary files and folders: unique names from mkstemp and mkdtemp, removal on destruction.
#include "scratch.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include <unistd.h>

namespace qvx_test {

namespace {

// Fuzz harnesses write a file per input: memory is much faster than a disk for that.
std::string scratch_folder()
{
    return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}

}  // namespace

Bytes read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

bool write_file(const std::string &path, const void *data, size_t size)
{
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool whole = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && whole;
}

TempFile::TempFile(const void *data, size_t size, const char *suffix)
{
    std::string name = scratch_folder() + "/qvx-test-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd >= 0) close(fd);
    path_ = name + suffix;
    if (*suffix) std::remove(name.c_str());
    written_ = fd >= 0 && write_file(path_, data, size);
}

ScratchPath::~ScratchPath()
{
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

TempDir::TempDir()
{
    std::string name = "/tmp/qvx-test-XXXXXX";
    if (mkdtemp(name.data())) path_ = name;
}

}  // namespace qvx_test
