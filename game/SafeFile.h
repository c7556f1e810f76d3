// The game's own file calls: whole-file replacement, reading only regular files, and the lock
// that copies of the game sharing a folder take around the high-score table. Every platform file
// call of the game is behind these (SafeFilePosix.cpp, SafeFileWindows.cpp).
#ifndef QUORVEX_SAFEFILE_H
#define QUORVEX_SAFEFILE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

// A stdio stream closed when it goes out of scope.
struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens path for reading when it is a regular file; a FIFO, a device or a directory is refused
// without ever blocking, as is a symbolic link that neither the player nor the owner of its
// folder made. nullptr when the file cannot be read.
FilePtr OpenRegularFile(const char *path);

// Replaces path with size bytes so that it holds either its old or its new whole contents:
// the bytes go to a new, uniquely named file beside the target (never through a planted link
// or FIFO), reach the disk, and are renamed over the target, keeping its permission bits and,
// where allowed, its group. A symbolic link made by the player is written through to its target
// and stays a link. Where the folder refuses a new file, an existing regular target is
// overwritten in place instead. On failure the target keeps its old contents and the result is
// false.
bool WriteFileAtomically(const char *path, const void *bytes, size_t size);

// The advisory lock taken around reading and replacing a file that other copies of the game may
// write at the same time; released when it goes out of scope. It waits a few seconds at most
// for another copy, so a lock held for ever (by a stuck copy or a hostile neighbour) delays the
// write but never hangs it; held() says whether the lock was taken.
class FileLock {
public:
    explicit FileLock(const char *path);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    bool held() const { return handle_ != kNone; }

private:
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;
};

// Test hook: when at least 0, a write fails once this many bytes have been written.
extern long safe_file_fail_after;

#endif
