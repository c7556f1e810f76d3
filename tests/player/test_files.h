// Temporary files for the player tests, removed when the test ends.
#ifndef QVMOD_TEST_FILES_H
#define QVMOD_TEST_FILES_H

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

class TempFile {
public:
    // A suffix is added to the unique name (the name without it is not kept).
    explicit TempFile(const std::vector<unsigned char> &bytes, const char *suffix = "")
    {
        char name[] = "/tmp/qvmod-test-XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        path_ = std::string(name) + suffix;
        if (*suffix) std::remove(name);
        std::ofstream out(path_, std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ~TempFile() { std::remove(path_.c_str()); }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;
    const char *path() const { return path_.c_str(); }
    std::vector<unsigned char> bytes() const
    {
        std::ifstream in(path_, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
    }
private:
    std::string path_;
};

#endif
