// SPDX-License-Identifier: MIT
// The game's file calls on Windows: new files made exclusively, regular files told from devices,
// renames written through, and the lock in a hidden file beside the table.
#ifdef _WIN32

#include <windows.h>
#include <io.h>

#include "SafeFile.h"
#include "SafeFilePlatform.h"

namespace {

using safe_file::Handle;
using safe_file::kNoHandle;

constexpr DWORD kLockPollMs = 20;

HANDLE Native(Handle h)
{
    return reinterpret_cast<HANDLE>(h);
}

Handle Wide(HANDLE h)
{
    return reinterpret_cast<Handle>(h);
}

}  // namespace

namespace safe_file {

bool IsSeparator(char c)
{
    return c == '/' || c == '\\' || c == ':';
}

std::string ResolveTrustedLinks(const std::string &path)
{
    return path;  // the game's files are plain files here
}

CreateResult CreateNew(const std::string &path, const std::string & /*like*/, Handle &out)
{
    out = Wide(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
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
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return kNoHandle;
    }
    return Wide(h);
}

bool WriteAll(Handle h, const void *bytes, size_t size)
{
    const char *p = static_cast<const char *>(bytes);
    size_t done = 0;
    while (done < size) {
        DWORD wrote = 0;
        if (!WriteFile(Native(h), p + done, static_cast<DWORD>(size - done), &wrote, nullptr)) {
            return false;
        }
        done += wrote;
    }
    return true;
}

bool Rewind(Handle h)
{
    return SetFilePointer(Native(h), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool CutAtPosition(Handle h)
{
    return SetEndOfFile(Native(h)) != 0;
}

bool Sync(Handle h)
{
    return FlushFileBuffers(Native(h)) != 0;
}

bool Close(Handle h)
{
    return CloseHandle(Native(h)) != 0;
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

bool MayReplace(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

FileStamp StampOf(const std::string &path)
{
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info)) return stamp;
    stamp.exists = true;
    stamp.size =
        static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    stamp.time =
        static_cast<int64_t>((static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                             info.ftLastWriteTime.dwLowDateTime);
    return stamp;
}

std::vector<std::string> NamesIn(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const std::string pattern = folder + (IsSeparator(folder.back()) ? "*" : "\\*");
    const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        names.emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// The files in the player's folders are the player's: there is no owner to compare.
bool IsOwnFileOlderThan(const std::string &path, std::chrono::seconds age)
{
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info)) return false;
    constexpr DWORD kNotPlain =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT;
    if ((info.dwFileAttributes & kNotPlain) != 0) return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME &t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    constexpr uint64_t kTicksPerSecond = 10000000;  // FILETIME counts 100 ns
    const uint64_t written = ticks(info.ftLastWriteTime), current = ticks(now);
    return current >= written &&
           current - written >= static_cast<uint64_t>(age.count()) * kTicksPerSecond;
}

// Windows cannot replace a file that is open, so the lock is a hidden file of its own beside it.
Handle OpenLockTarget(const char *path)
{
    const std::string lock_path = std::string(path) + ".lock";
    return Wide(CreateFileA(lock_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
}

LockAttempt TryLock(Handle h)
{
    OVERLAPPED at = {};
    return LockFileEx(Native(h), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)
               ? LockAttempt::Taken
               : LockAttempt::Busy;
}

void Unlock(Handle h)
{
    OVERLAPPED at = {};
    UnlockFileEx(Native(h), 0, 1, 0, &at);
}

void PauseForLock()
{
    Sleep(kLockPollMs);
}

}  // namespace safe_file

FilePtr OpenRegularFile(const char *path)
{
    FilePtr f(std::fopen(path, "rb"));
    if (f &&
        GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f.get())))) != FILE_TYPE_DISK) {
        f.reset();
    }
    return f;
}

#endif
