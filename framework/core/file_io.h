// File system operations on Windows-1251 path names. Two implementations:
// POSIX (host build and its tests) and Win32 (wide API, names converted at the boundary).
#pragma once

#include <cstdint>
#include <span>
#include <optional>
#include <string>
#include <vector>
#include <string_view>

namespace quillan {

// The system's text for an error code, trailing blanks and dots removed.
std::string SysErrorMessage(int code);
// The calling thread's last system error code.
int LastOSError();

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Renames; fails (returns false) when newPath already exists.
bool RenameFile(const std::string& oldPath, const std::string& newPath);
bool RemoveFile(const std::string& path);
// Creates one folder (its parent must exist); false when it cannot.
bool CreateDir(const std::string& path);
// Removes an empty folder; false when it cannot.
bool RemoveDir(const std::string& path);
// The names of the plain files in a folder (no folders), unsorted; empty when it cannot be read.
std::vector<std::string> ListFileNames(const std::string& folder);
// A file's last write time in seconds since 1970-01-01 UTC; nullopt when it cannot be read.
std::optional<int64_t> FileWriteUnixTime(const std::string& path);

// Whole-file read; raises EFOpenError "Cannot open file "%s". %s" on failure.
std::string ReadFileBytes(const std::string& path);

// Replaces path by bytes in one step: the bytes go to a temporary file in the
// same folder, are flushed, and the temporary replaces path. On any failure the
// old file is untouched, the temporary is removed, and EFCreateError (cannot
// create) or EWriteError (write/flush/replace failed) is raised.
void AtomicWriteFile(const std::string& path, const std::string& bytes);
// The same with the file's bytes given as consecutive pieces.
void AtomicWriteFile(const std::string& path, std::span<const std::string_view> pieces);

// Folder part of a path including its last separator ("\", "/" or ":").
std::string ExtractFilePath(const std::string& path);
std::string ExtractFileName(const std::string& path);
// The file name without its folder and its last extension ("C:\x\a.b.exe" -> "a.b"):
// the program's settings key and the form storage's default key and INI name.
std::string ExecutableStem(const std::string& exePath);

// Low-level handle operations used by TFileStream; -1 is no handle.
namespace fileio {
intptr_t Open(const std::string& path, bool write, bool create);
void Close(intptr_t handle);
int64_t Read(intptr_t handle, void* buffer, size_t count);
int64_t Write(intptr_t handle, const void* buffer, size_t count);
int64_t Seek(intptr_t handle, int64_t offset, int origin);
bool Truncate(intptr_t handle, int64_t size);
bool Flush(intptr_t handle);
// Moves from over to, replacing to when it exists, in one step.
bool MoveReplacing(const std::string& from, const std::string& to);
}  // namespace fileio

}  // namespace quillan
