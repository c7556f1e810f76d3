// SPDX-License-Identifier: MIT
// Temporary files and folders for tests and fuzz harnesses, removed when they go out of scope.
#ifndef QVX_TEST_SCRATCH_H
#define QVX_TEST_SCRATCH_H

#include <cstddef>
#include <string>
#include <vector>

namespace qvx_test {

using Bytes = std::vector<unsigned char>;

Bytes read_file(const std::string &path);
// False when the file could not be written whole.
bool write_file(const std::string &path, const void *data, size_t size);
inline bool write_file(const std::string &path, const Bytes &bytes)
{
    return write_file(path, bytes.data(), bytes.size());
}

// A path removed, with everything below it, when the owner goes.
class ScratchPath {
public:
    ScratchPath(const ScratchPath &) = delete;
    ScratchPath &operator=(const ScratchPath &) = delete;
    const char *path() const { return path_.c_str(); }

protected:
    ScratchPath() = default;
    ~ScratchPath();
    std::string path_;
};

// A uniquely named file holding the bytes, in memory-backed storage when there is one. The suffix
// ends the name (readers that go by the extension see it).
class TempFile : public ScratchPath {
public:
    TempFile(const void *data, size_t size, const char *suffix = "");
    explicit TempFile(const Bytes &bytes, const char *suffix = "")
        : TempFile(bytes.data(), bytes.size(), suffix)
    {
    }
    bool written() const { return written_; }
    Bytes bytes() const { return read_file(path_); }

private:
    bool written_ = false;
};

// A fresh folder (empty path() when none could be made).
class TempDir : public ScratchPath {
public:
    TempDir();
    std::string file(const std::string &name) const { return path_ + "/" + name; }
};

}  // namespace qvx_test

#endif
