// SPDX-License-Identifier: MIT
// The game's own file calls: whole-file replacement, reading only regular files, and the lock
// that copies of the game sharing a folder take around the high-score table. Every platform file
// call of the game is behind these (SafeFilePosix.cpp, SafeFileWindows.cpp).
#ifndef QUORVEX_SAFEFILE_H
#define QUORVEX_SAFEFILE_H

#include <chrono>
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

// What identifies one version of a file: it is replaced (not rewritten) by every write, so a
// new version is another file, and its size and time tell even a rewrite in place apart.
struct FileStamp {
    bool exists = false;
    uint64_t device = 0, file = 0;  // the file's identity, where the platform has one
    int64_t size = 0;
    int64_t time = 0;  // last write, in the platform's finest unit
    bool operator==(const FileStamp &o) const
    {
        return exists == o.exists && device == o.device && file == o.file && size == o.size &&
               time == o.time;
    }
    bool operator!=(const FileStamp &o) const { return !(*this == o); }
};
// The stamp of what path names now (after the links that are followed).
FileStamp StampFile(const char *path);

// Replaces path with size bytes so that it holds either its old or its new whole contents:
// the bytes go to a new, uniquely named file beside the target (never through a planted link
// or FIFO), reach the disk, and are renamed over the target, keeping its permission bits and,
// where allowed, its group. A symbolic link made by the player is written through to its target
// and stays a link; a target that is not a regular file (a device or FIFO the link leads to) is
// never replaced. Where the folder refuses a new file, an existing regular target is
// overwritten in place instead. With `unchanged_since`, the new file is put in place only while
// the target still has that stamp (checked just before the rename). On failure the target keeps
// its old contents and the result is false.
bool WriteFileAtomically(const char *path, const void *bytes, size_t size,
                         const FileStamp *unchanged_since = nullptr);

// Removes the temporary files that writes killed on the way left in the folders of these paths
// (after the links that are followed): files of the writer's own pattern that belong to the
// player, are regular files and have not been written to for STALE_TEMPORARY_AGE, so that
// another copy's write in progress is left alone.
constexpr std::chrono::minutes STALE_TEMPORARY_AGE{10};
void RemoveStaleTemporaryFiles(const char *const *paths, size_t count);

// The advisory lock taken around reading and replacing a file that other copies of the game may
// write at the same time; released when it goes out of scope. It waits a few seconds at most
// for another copy, so a lock held for ever (by a stuck copy or a hostile neighbour) delays the
// write but never hangs it; held() says whether the lock was taken. `on_wait`, when given, is
// called once if the lock is busy, before the wait (to show that the program waits).
class FileLock {
public:
    explicit FileLock(const char *path, void (*on_wait)() = nullptr);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    bool held() const { return handle_ != kNone; }

private:
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;
};

// False when the working folder has been removed while the program runs.
bool WorkingFolderExists();

// Test hook: when at least 0, a write fails once this many bytes have been written.
extern long safe_file_fail_after;

#endif
