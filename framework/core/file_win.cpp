// Win32 side of the file layer. Names are Windows-1251 and go to the wide API,
// so they work whatever the system's ANSI code page is.
#include <windows.h>

#include "framework/core/codepage.h"
#include "framework/core/file_io.h"
#include "framework/win/handle_win.h"

namespace quillan {
namespace {

std::wstring Wide(const std::string& text) {
    std::u16string w = Cp1251ToUtf16(text);
    return std::wstring(w.begin(), w.end());
}

}  // namespace

int LastOSError() { return static_cast<int>(GetLastError()); }

std::string SysErrorMessage(int code) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                             nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    win::LocalMemory<wchar_t> owned(buffer);
    std::string text;
    if (n != 0 && buffer) text = Utf16ToCp1251(std::u16string(buffer, buffer + n));
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.')) text.pop_back();
    return text;
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RenameFile(const std::string& oldPath, const std::string& newPath) {
    return MoveFileW(Wide(oldPath).c_str(), Wide(newPath).c_str()) != 0;
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Wide(path).c_str()) != 0; }

bool CreateDir(const std::string& path) { return CreateDirectoryW(Wide(path).c_str(), nullptr) != 0; }

bool RemoveDir(const std::string& path) { return RemoveDirectoryW(Wide(path).c_str()) != 0; }

std::vector<std::string> ListFileNames(const std::string& folder) {
    std::vector<std::string> names;
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    WIN32_FIND_DATAW found;
    win::FindHandle search(FindFirstFileW(Wide(pattern + "*").c_str(), &found));
    if (!search) return names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::u16string name(found.cFileName, found.cFileName + wcslen(found.cFileName));
        names.push_back(Utf16ToCp1251(name));
    } while (FindNextFileW(search.get(), &found));
    return names;
}

std::optional<int64_t> FileWriteUnixTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    const uint64_t ticks = (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    // 100-ns ticks since 1601-01-01; 11,644,473,600 s lie between 1601 and 1970.
    return static_cast<int64_t>(ticks / 10000000) - int64_t(11644473600);
}

namespace fileio {

intptr_t Open(const std::string& path, bool write, bool create) {
    DWORD access = GENERIC_READ | (write ? GENERIC_WRITE : 0);
    DWORD share = write ? FILE_SHARE_READ : (FILE_SHARE_READ | FILE_SHARE_WRITE);
    HANDLE h = CreateFileW(Wide(path).c_str(), access, share, nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(h);
}

// The stream hands its handle back here; the one handle owner lets it go.
void Close(intptr_t handle) { win::FileHandle(reinterpret_cast<HANDLE>(handle)).reset(); }

int64_t Read(intptr_t handle, void* buffer, size_t count) {
    DWORD done = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle), buffer, static_cast<DWORD>(count), &done, nullptr)) return -1;
    return done;
}

int64_t Write(intptr_t handle, const void* buffer, size_t count) {
    DWORD done = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle), buffer, static_cast<DWORD>(count), &done, nullptr)) return -1;
    return done;
}

int64_t Seek(intptr_t handle, int64_t offset, int origin) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    DWORD method = origin == 0 ? FILE_BEGIN : origin == 1 ? FILE_CURRENT : FILE_END;
    if (!SetFilePointerEx(reinterpret_cast<HANDLE>(handle), distance, &result, method)) return -1;
    return result.QuadPart;
}

bool Truncate(intptr_t handle, int64_t size) {
    if (Seek(handle, size, 0) < 0) return false;
    return SetEndOfFile(reinterpret_cast<HANDLE>(handle)) != 0;
}

bool Flush(intptr_t handle) { return FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0; }

bool MoveReplacing(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace fileio
}  // namespace quillan
