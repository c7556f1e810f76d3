// SPDX-License-Identifier: MIT
// The game's file calls on POSIX systems: links followed only when trusted, new files made without
// following links, regular files opened without blocking, and the lock on the table's folder.
#ifndef _WIN32

#include <cerrno>
#include <climits>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "SafeFile.h"
#include "SafeFilePlatform.h"

namespace {

using safe_file::Handle;
using safe_file::kNoHandle;

constexpr int kMaxLinkHops = 40;
constexpr int kLockPollMs = 20;
constexpr int64_t kNanosecondsPerSecond = 1000000000;

int Fd(Handle h)
{
    return static_cast<int>(h);
}

// Follows a link only when the player or the owner of the link's folder made it (the rule of
// protected links in shared folders): another user's link is never a way into the player's files.
bool TrustedLink(const std::string &path, const struct stat &link)
{
    if (link.st_uid == geteuid()) return true;
    struct stat folder;
    return stat(safe_file::OpenableFolder(path).c_str(), &folder) == 0 &&
           folder.st_uid == link.st_uid;
}

// Opens without blocking, then keeps the descriptor only for a regular file.
int OpenRegular(const std::string &path, int access)
{
    const int fd = open(path.c_str(), access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

namespace safe_file {

bool IsSeparator(char c)
{
    return c == '/';
}

std::string ResolveTrustedLinks(const std::string &start)
{
    std::string path = start;
    for (int hop = 0; hop < kMaxLinkHops; hop++) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || !TrustedLink(path, st)) break;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = readlink(path.c_str(), &target[0], target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) break;
        target.resize(static_cast<size_t>(n));
        path = target[0] == '/' ? target : FolderOf(path) + target;
    }
    return path;
}

CreateResult CreateNew(const std::string &path, const std::string &like, Handle &out)
{
    struct stat old;
    const bool replacing = stat(like.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    // Private until the old file's bits are copied; a new file gets the player's usual bits.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        replacing ? 0600 : 0666);
    if (fd < 0) {
        out = kNoHandle;
        if (errno == EEXIST) return CreateResult::NameTaken;
        if (errno == EACCES || errno == EPERM || errno == EROFS) return CreateResult::Refused;
        return CreateResult::Failed;
    }
    if (replacing) {
        // The group first: changing it may clear the set-group bit the mode then restores.
        if (fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
            // Not a member of the old group: the file keeps the player's.
        }
        fchmod(fd, old.st_mode & 07777);
    }
    out = fd;
    return CreateResult::Created;
}

Handle OpenRegularForWriting(const std::string &path)
{
    const int fd = OpenRegular(path, O_WRONLY);
    return fd < 0 ? kNoHandle : fd;
}

bool WriteAll(Handle h, const void *bytes, size_t size)
{
    const char *p = static_cast<const char *>(bytes);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(Fd(h), p + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool Rewind(Handle h)
{
    return lseek(Fd(h), 0, SEEK_SET) == 0;
}

bool CutAtPosition(Handle h)
{
    const off_t end = lseek(Fd(h), 0, SEEK_CUR);
    return end >= 0 && ftruncate(Fd(h), end) == 0;
}

bool Sync(Handle h)
{
    return fsync(Fd(h)) == 0;
}

bool Close(Handle h)
{
    return close(Fd(h)) == 0;
}

void Remove(const std::string &path)
{
    unlink(path.c_str());
}

bool Replace(const std::string &source, const std::string &target)
{
    return rename(source.c_str(), target.c_str()) == 0;
}

// The rename itself reaches the disk only with the folder's entries.
void SyncFolder(const std::string &path)
{
    const int fd = open(OpenableFolder(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

bool MayReplace(const std::string &path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode) || S_ISLNK(st.st_mode);
}

FileStamp StampOf(const std::string &path)
{
    FileStamp stamp;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return stamp;
    stamp.exists = true;
    stamp.device = static_cast<uint64_t>(st.st_dev);
    stamp.file = static_cast<uint64_t>(st.st_ino);
    stamp.size = static_cast<int64_t>(st.st_size);
    stamp.time = static_cast<int64_t>(st.st_mtim.tv_sec) * kNanosecondsPerSecond +
                 static_cast<int64_t>(st.st_mtim.tv_nsec);
    return stamp;
}

std::vector<std::string> NamesIn(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *d = opendir(folder.c_str());
    if (d == nullptr) return names;
    while (const dirent *entry = readdir(d)) names.emplace_back(entry->d_name);
    closedir(d);
    return names;
}

bool IsOwnFileOlderThan(const std::string &path, std::chrono::seconds age)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
           std::time(nullptr) - st.st_mtime >= age.count();
}

// The lock is on the folder that holds the (link-resolved) file: the file itself is replaced by
// every write, and a folder needs no extra file, even where the player may not create one.
Handle OpenLockTarget(const char *path)
{
    const int fd = open(OpenableFolder(ResolveTrustedLinks(path)).c_str(), O_RDONLY | O_CLOEXEC);
    return fd < 0 ? kNoHandle : fd;
}

LockAttempt TryLock(Handle h)
{
    if (flock(Fd(h), LOCK_EX | LOCK_NB) == 0) return LockAttempt::Taken;
    return errno == EWOULDBLOCK || errno == EINTR ? LockAttempt::Busy : LockAttempt::Failed;
}

void Unlock(Handle h)
{
    flock(Fd(h), LOCK_UN);
}

void PauseForLock()
{
    usleep(kLockPollMs * 1000);
}

}  // namespace safe_file

FilePtr OpenRegularFile(const char *path)
{
    const int fd = OpenRegular(safe_file::ResolveTrustedLinks(path), O_RDONLY);
    if (fd < 0) return nullptr;
    FilePtr f(fdopen(fd, "rb"));
    if (!f) close(fd);
    return f;
}

#endif
