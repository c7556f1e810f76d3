// SPDX-License-Identifier: MIT
// Whole-file replacement and the table's lock, as one procedure on every platform; the platform's
// own file calls are in SafeFilePosix.cpp and SafeFileWindows.cpp.
#include "SafeFile.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "SafeFilePlatform.h"

using namespace safe_file;

long safe_file_fail_after = -1;

namespace {

constexpr int kTempAttempts = 64;    // unique names tried before giving up
constexpr size_t kTempNameMin = 8;   // every file system takes a name this short
constexpr size_t kTempNameMax = 15;  // ".~" + random + ".tmp"
constexpr const char kTempPrefix[] = ".~";
constexpr const char kTempSuffix[] = ".tmp";
constexpr auto kLockWait = std::chrono::seconds(5);

size_t NameStart(const std::string &path)
{
    size_t i = path.size();
    while (i > 0 && !IsSeparator(path[i - 1])) i--;
    return i;
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

// True for a name TempPathFor makes: the prefix, letters and digits, the suffix, of its lengths.
bool IsTemporaryName(const std::string &name)
{
    if (name.size() < kTempNameMin || name.size() > kTempNameMax) return false;
    if (name.compare(0, sizeof kTempPrefix - 1, kTempPrefix) != 0) return false;
    if (name.compare(name.size() - (sizeof kTempSuffix - 1), std::string::npos, kTempSuffix) != 0)
        return false;
    for (size_t i = sizeof kTempPrefix - 1; i < name.size() - (sizeof kTempSuffix - 1); i++) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

// Writes size bytes, or as many as the test hook allows and then fails.
bool WriteAllowed(Handle h, const void *bytes, size_t size)
{
    if (safe_file_fail_after >= 0 && static_cast<size_t>(safe_file_fail_after) < size) {
        WriteAll(h, bytes, static_cast<size_t>(safe_file_fail_after));
        return false;
    }
    return WriteAll(h, bytes, size);
}

// Overwrites a regular target where it stands: used only where no new file can be made beside
// it (a shared table in a folder the player may not write).
bool WriteInPlace(const std::string &target, const void *bytes, size_t size,
                  const FileStamp *unchanged_since)
{
    if (unchanged_since != nullptr && StampOf(target) != *unchanged_since) return false;
    const Handle h = OpenRegularForWriting(target);
    if (h == kNoHandle) return false;
    bool ok = Rewind(h) && WriteAllowed(h, bytes, size) && CutAtPosition(h) && Sync(h);
    return Close(h) && ok;
}

}  // namespace

namespace safe_file {

std::string FolderOf(const std::string &path)
{
    return path.substr(0, NameStart(path));
}

std::string OpenableFolder(const std::string &path)
{
    const std::string folder = FolderOf(path);
    return folder.empty() ? std::string(".") : folder;
}

}  // namespace safe_file

bool WorkingFolderExists()
{
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    return !error && !here.empty();
}

FileStamp StampFile(const char *path)
{
    return StampOf(ResolveTrustedLinks(path));
}

bool WriteFileAtomically(const char *path, const void *bytes, size_t size,
                         const FileStamp *unchanged_since)
{
    const std::string target = ResolveTrustedLinks(path);
    // A link of the player's may lead to a device or a FIFO: that is never turned into a file.
    if (!MayReplace(target)) return false;
    std::string temp;
    Handle h = kNoHandle;
    for (int attempt = 0; attempt < kTempAttempts && h == kNoHandle; attempt++) {
        temp = TempPathFor(target);
        switch (CreateNew(temp, target, h)) {
        case CreateResult::Created: break;
        case CreateResult::NameTaken: continue;
        case CreateResult::Refused: return WriteInPlace(target, bytes, size, unchanged_since);
        case CreateResult::Failed: return false;
        }
    }
    if (h == kNoHandle) return false;
    bool ok = WriteAllowed(h, bytes, size) && Sync(h);
    ok = Close(h) && ok;
    if (ok && unchanged_since != nullptr) ok = StampOf(target) == *unchanged_since;
    if (ok) ok = MayReplace(target) && Replace(temp, target);
    if (!ok) {
        Remove(temp);
        return false;
    }
    SyncFolder(target);
    return true;
}

void RemoveStaleTemporaryFiles(const char *const *paths, size_t count)
{
    std::vector<std::string> done;
    for (size_t i = 0; i < count; i++) {
        const std::string folder = FolderOf(ResolveTrustedLinks(paths[i]));
        if (std::find(done.begin(), done.end(), folder) != done.end()) continue;
        done.push_back(folder);
        for (const std::string &name : NamesIn(OpenableFolder(folder))) {
            const std::string path = folder + name;
            if (IsTemporaryName(name) && IsOwnFileOlderThan(path, STALE_TEMPORARY_AGE)) {
                Remove(path);
            }
        }
    }
}

FileLock::FileLock(const char *path, void (*on_wait)())
{
    const Handle h = OpenLockTarget(path);
    if (h == kNoHandle) return;
    const auto give_up = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        const LockAttempt attempt = TryLock(h);
        if (attempt == LockAttempt::Taken) {
            handle_ = h;
            return;
        }
        if (attempt == LockAttempt::Failed || std::chrono::steady_clock::now() >= give_up) break;
        if (on_wait != nullptr) {
            on_wait();
            on_wait = nullptr;
        }
        PauseForLock();
    }
    Close(h);
}

FileLock::~FileLock()
{
    if (!held()) return;
    Unlock(handle_);
    Close(handle_);
}
