// Whole-file replacement, regular-file reading and the table's lock; every platform file call
// the game makes is here, in one POSIX and one Windows section under a shared procedure.
#include "SafeFile.h"

#include <chrono>
#include <random>
#include <string>

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#else
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

long safe_file_fail_after = -1;

namespace {

constexpr int kTempAttempts = 64;    // unique names tried before giving up
constexpr size_t kTempNameMin = 8;   // every file system takes a name this short
constexpr size_t kTempNameMax = 15;  // ".~" + random + ".tmp"
constexpr const char kTempPrefix[] = ".~";
constexpr const char kTempSuffix[] = ".tmp";
constexpr auto kLockWait = std::chrono::seconds(5);
constexpr int kLockPollMs = 20;

#ifdef _WIN32
constexpr bool IsSeparator(char c)
{
    return c == '/' || c == '\\' || c == ':';
}
#else
constexpr bool IsSeparator(char c)
{
    return c == '/';
}
#endif

size_t NameStart(const std::string &path)
{
    size_t i = path.size();
    while (i > 0 && !IsSeparator(path[i - 1])) i--;
    return i;
}

// The folder part of path, with its separator ("" for a bare name).
std::string FolderOf(const std::string &path)
{
    return path.substr(0, NameStart(path));
}

std::string OpenableFolder(const std::string &path)
{
    const std::string folder = FolderOf(path);
    return folder.empty() ? std::string(".") : folder;
}

// A hidden name of the target's length (between 8 and 15 characters), so a target name the file
// system accepts never gets a temporary name it refuses.
std::string TempPathFor(const std::string &target)
{
    static std::mt19937 pick(
        std::random_device{}() ^
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    size_t length = target.size() - NameStart(target);
    if (length < kTempNameMin) length = kTempNameMin;
    if (length > kTempNameMax) length = kTempNameMax;
    std::string name = kTempPrefix;
    const size_t random_chars = length - name.size() - (sizeof kTempSuffix - 1);
    for (size_t i = 0; i < random_chars; i++) name += kChars[pick() % (sizeof kChars - 1)];
    return FolderOf(target) + name + kTempSuffix;
}

// How many of size bytes a write may put out before the test hook stops it.
size_t AllowedBytes(size_t size)
{
    if (safe_file_fail_after >= 0 && static_cast<size_t>(safe_file_fail_after) < size) {
        return static_cast<size_t>(safe_file_fail_after);
    }
    return size;
}

#ifdef _WIN32

// ---- Windows -------------------------------------------------------------------------------

using Handle = HANDLE;
const Handle kNoHandle = INVALID_HANDLE_VALUE;

enum class CreateResult { Created, NameTaken, Refused, Failed };

std::string ResolveTrustedLinks(const std::string &path)
{
    return path;  // the game's files are plain files here
}

CreateResult CreateNew(const std::string &path, const std::string & /*like*/, Handle &out)
{
    out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                      nullptr);
    if (out != kNoHandle) return CreateResult::Created;
    switch (GetLastError()) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return CreateResult::NameTaken;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return CreateResult::Refused;
    default: return CreateResult::Failed;
    }
}

Handle OpenRegularForWriting(const std::string &path)
{
    Handle h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != kNoHandle && GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return kNoHandle;
    }
    return h;
}

bool WriteAll(Handle h, const void *bytes, size_t size)
{
    const size_t allowed = AllowedBytes(size);
    const char *p = static_cast<const char *>(bytes);
    size_t done = 0;
    while (done < allowed) {
        DWORD wrote = 0;
        if (!WriteFile(h, p + done, static_cast<DWORD>(allowed - done), &wrote, nullptr)) {
            return false;
        }
        done += wrote;
    }
    return allowed == size;
}

bool Rewind(Handle h)
{
    return SetFilePointer(h, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}
bool CutAtPosition(Handle h)
{
    return SetEndOfFile(h) != 0;
}
bool Sync(Handle h)
{
    return FlushFileBuffers(h) != 0;
}
bool Close(Handle h)
{
    return CloseHandle(h) != 0;
}
void Remove(const std::string &path)
{
    DeleteFileA(path.c_str());
}

bool Replace(const std::string &source, const std::string &target)
{
    return MoveFileExA(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void SyncFolder(const std::string &) {}  // the write-through move has reached the disk

void PauseForLock()
{
    Sleep(kLockPollMs);
}

#else

// ---- POSIX ---------------------------------------------------------------------------------

using Handle = int;
constexpr Handle kNoHandle = -1;
constexpr int kMaxLinkHops = 40;

enum class CreateResult { Created, NameTaken, Refused, Failed };

// Follows a link only when the player or the owner of the link's folder made it (the rule of
// protected links in shared folders): another user's link is never a way into the player's files.
bool TrustedLink(const std::string &path, const struct stat &link)
{
    if (link.st_uid == geteuid()) return true;
    struct stat folder;
    return stat(OpenableFolder(path).c_str(), &folder) == 0 && folder.st_uid == link.st_uid;
}

std::string ResolveTrustedLinks(std::string path)
{
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
    out = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
               replacing ? 0600 : 0666);
    if (out < 0) {
        if (errno == EEXIST) return CreateResult::NameTaken;
        if (errno == EACCES || errno == EPERM || errno == EROFS) return CreateResult::Refused;
        return CreateResult::Failed;
    }
    if (replacing) {
        // The group first: changing it may clear the set-group bit the mode then restores.
        if (fchown(out, static_cast<uid_t>(-1), old.st_gid) != 0) {
            // Not a member of the old group: the file keeps the player's.
        }
        fchmod(out, old.st_mode & 07777);
    }
    return CreateResult::Created;
}

// Opens without blocking, then keeps the handle only for a regular file.
Handle OpenRegular(const std::string &path, int access)
{
    const Handle fd = open(path.c_str(), access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kNoHandle;
    struct stat st;
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return kNoHandle;
    }
    return fd;
}

Handle OpenRegularForWriting(const std::string &path)
{
    return OpenRegular(path, O_WRONLY);
}

bool WriteAll(Handle fd, const void *bytes, size_t size)
{
    const size_t allowed = AllowedBytes(size);
    const char *p = static_cast<const char *>(bytes);
    size_t done = 0;
    while (done < allowed) {
        const ssize_t n = write(fd, p + done, allowed - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return allowed == size;
}

bool Rewind(Handle fd)
{
    return lseek(fd, 0, SEEK_SET) == 0;
}
bool CutAtPosition(Handle fd)
{
    const off_t end = lseek(fd, 0, SEEK_CUR);
    return end >= 0 && ftruncate(fd, end) == 0;
}
bool Sync(Handle fd)
{
    return fsync(fd) == 0;
}
bool Close(Handle fd)
{
    return close(fd) == 0;
}
void Remove(const std::string &path)
{
    unlink(path.c_str());
}
bool Replace(const std::string &source, const std::string &target)
{
    return rename(source.c_str(), target.c_str()) == 0;
}

void PauseForLock()
{
    usleep(kLockPollMs * 1000);
}

// The rename itself reaches the disk only with the folder's entries.
void SyncFolder(const std::string &path)
{
    const int fd = open(OpenableFolder(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

#endif

// Overwrites a regular target where it stands: used only where no new file can be made beside
// it (a shared table in a folder the player may not write).
bool WriteInPlace(const std::string &target, const void *bytes, size_t size)
{
    const Handle h = OpenRegularForWriting(target);
    if (h == kNoHandle) return false;
    bool ok = Rewind(h) && WriteAll(h, bytes, size) && CutAtPosition(h) && Sync(h);
    return Close(h) && ok;
}

}  // namespace

bool WriteFileAtomically(const char *path, const void *bytes, size_t size)
{
    const std::string target = ResolveTrustedLinks(path);
    std::string temp;
    Handle h = kNoHandle;
    for (int attempt = 0; attempt < kTempAttempts && h == kNoHandle; attempt++) {
        temp = TempPathFor(target);
        switch (CreateNew(temp, target, h)) {
        case CreateResult::Created: break;
        case CreateResult::NameTaken: continue;
        case CreateResult::Refused: return WriteInPlace(target, bytes, size);
        case CreateResult::Failed: return false;
        }
    }
    if (h == kNoHandle) return false;
    bool ok = WriteAll(h, bytes, size) && Sync(h);
    ok = Close(h) && ok;
    if (ok) ok = Replace(temp, target);
    if (!ok) {
        Remove(temp);
        return false;
    }
    SyncFolder(target);
    return true;
}

#ifdef _WIN32

FilePtr OpenRegularFile(const char *path)
{
    FilePtr f(std::fopen(path, "rb"));
    if (f &&
        GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f.get())))) != FILE_TYPE_DISK) {
        f.reset();
    }
    return f;
}

// Windows cannot replace a file that is open, so the lock is a hidden file of its own beside it.
FileLock::FileLock(const char *path)
{
    const std::string lock_path = std::string(path) + ".lock";
    HANDLE h = CreateFileA(lock_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    const auto give_up = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        OVERLAPPED at = {};
        if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            handle_ = reinterpret_cast<intptr_t>(h);
            return;
        }
        if (std::chrono::steady_clock::now() >= give_up) break;
        PauseForLock();
    }
    CloseHandle(h);
}

FileLock::~FileLock()
{
    if (!held()) return;
    HANDLE h = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED at = {};
    UnlockFileEx(h, 0, 1, 0, &at);
    CloseHandle(h);
}

#else

FilePtr OpenRegularFile(const char *path)
{
    const int fd = OpenRegular(ResolveTrustedLinks(path), O_RDONLY);
    if (fd < 0) return nullptr;
    FilePtr f(fdopen(fd, "rb"));
    if (!f) close(fd);
    return f;
}

// The lock is on the folder that holds the (link-resolved) file: the file itself is replaced by
// every write, and a folder needs no extra file, even where the player may not create one.
FileLock::FileLock(const char *path)
{
    const int fd = open(OpenableFolder(ResolveTrustedLinks(path)).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    const auto give_up = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            handle_ = fd;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        if (std::chrono::steady_clock::now() >= give_up) break;
        PauseForLock();
    }
    close(fd);
}

FileLock::~FileLock()
{
    if (!held()) return;
    flock(static_cast<int>(handle_), LOCK_UN);
    close(static_cast<int>(handle_));
}

#endif
