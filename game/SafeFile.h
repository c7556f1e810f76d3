// Writing a whole file so that a failure never leaves a damaged or shortened file in its place.
#ifndef QUORVEX_SAFEFILE_H
#define QUORVEX_SAFEFILE_H

#include <cstddef>
#include <cstdio>
#include <memory>

// A stdio stream closed when it goes out of scope.
struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Writes size bytes to a temporary file beside path, then renames it over path. On any failure
// the temporary file is removed, path keeps its old contents, and the result is false.
bool WriteFileAtomically(const char *path, const void *bytes, size_t size);

// Test hook: when at least 0, a write fails once this many bytes have been written.
extern long safe_file_fail_after;

#endif
