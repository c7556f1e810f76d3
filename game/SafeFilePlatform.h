// SPDX-License-Identifier: MIT
// The file calls each platform gives the portable procedures of SafeFile.cpp: one file per
// platform implements them (SafeFilePosix.cpp, SafeFileWindows.cpp).
#ifndef QUORVEX_SAFEFILEPLATFORM_H
#define QUORVEX_SAFEFILEPLATFORM_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "SafeFile.h"

namespace safe_file {

// An open file or folder: a descriptor or a handle, widened to one integer type.
using Handle = intptr_t;
constexpr Handle kNoHandle = -1;  // also the value of Windows' INVALID_HANDLE_VALUE

// ---- Portable, in SafeFile.cpp --------------------------------------------------------------

// The folder part of path, with its separator ("" for a bare name).
std::string FolderOf(const std::string &path);
// The folder part of path as a name that can be opened ("." for a bare name).
std::string OpenableFolder(const std::string &path);

// ---- One file per platform --------------------------------------------------------------------

bool IsSeparator(char c);

// The path a write or read goes to: symbolic links followed only where they may be trusted.
std::string ResolveTrustedLinks(const std::string &path);

enum class CreateResult { Created, NameTaken, Refused, Failed };
// Creates path as a new file for writing, never through an existing name; `like` is the file it
// is to replace, whose permission bits and group it takes where it can.
CreateResult CreateNew(const std::string &path, const std::string &like, Handle &out);
// Opens an existing regular file for writing; kNoHandle for anything else.
Handle OpenRegularForWriting(const std::string &path);

bool WriteAll(Handle h, const void *bytes, size_t size);
bool Rewind(Handle h);
bool CutAtPosition(Handle h);  // the file ends where the next write would go
bool Sync(Handle h);           // the contents reach the disk
bool Close(Handle h);
void Remove(const std::string &path);
// Renames source over target in one step.
bool Replace(const std::string &source, const std::string &target);
// Makes a rename in path's folder reach the disk, where the platform needs it.
void SyncFolder(const std::string &path);
// False when path names something a new file must not be renamed over: a device, a FIFO, a
// folder. A regular file, a link that was not followed, or nothing at all may be replaced.
bool MayReplace(const std::string &path);
// What tells one version of path from the next (nothing followed: path is already resolved).
FileStamp StampOf(const std::string &path);

// The names in a folder (none when it cannot be read).
std::vector<std::string> NamesIn(const std::string &folder);
// True for a regular file of the player's (not a link) last written at least `age` ago.
bool IsOwnFileOlderThan(const std::string &path, std::chrono::seconds age);

// What the lock of a file is taken on, opened; kNoHandle when it cannot be.
Handle OpenLockTarget(const char *path);
enum class LockAttempt { Taken, Busy, Failed };
LockAttempt TryLock(Handle h);
void Unlock(Handle h);
// Waits a moment before the lock is tried again.
void PauseForLock();

}  // namespace safe_file

#endif
