// POSIX side of the file layer (host build). Names are passed as bytes.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "framework/core/file_io.h"

namespace quillan {

int LastOSError() { return errno; }

std::string SysErrorMessage(int code) {
    std::string text = strerror(code);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.')) text.pop_back();
    return text;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RenameFile(const std::string& oldPath, const std::string& newPath) {
    // link() fails when the target exists, as a Windows rename does.
    if (link(oldPath.c_str(), newPath.c_str()) != 0) return false;
    if (unlink(oldPath.c_str()) != 0) {
        int saved = errno;
        unlink(newPath.c_str());
        errno = saved;
        return false;
    }
    return true;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool CreateDir(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool RemoveDir(const std::string& path) { return rmdir(path.c_str()) == 0; }

std::vector<std::string> ListFileNames(const std::string& folder) {
    std::vector<std::string> names;
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        struct stat info;
        if (stat((base + entry->d_name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) names.push_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

std::optional<int64_t> FileWriteUnixTime(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<int64_t>(info.st_mtime);
}

namespace fileio {

intptr_t Open(const std::string& path, bool write, bool create) {
    int flags = write ? O_RDWR : O_RDONLY;
    if (create) flags |= O_CREAT | O_TRUNC;
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd >= 0) {
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            errno = EISDIR;
            return -1;
        }
    }
    return fd < 0 ? -1 : fd;
}

void Close(intptr_t handle) { ::close(static_cast<int>(handle)); }

int64_t Read(intptr_t handle, void* buffer, size_t count) { return ::read(static_cast<int>(handle), buffer, count); }

int64_t Write(intptr_t handle, const void* buffer, size_t count) {
    return ::write(static_cast<int>(handle), buffer, count);
}

int64_t Seek(intptr_t handle, int64_t offset, int origin) {
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    return ::lseek(static_cast<int>(handle), offset, whence);
}

bool Truncate(intptr_t handle, int64_t size) { return ::ftruncate(static_cast<int>(handle), size) == 0; }

bool Flush(intptr_t handle) { return ::fsync(static_cast<int>(handle)) == 0; }

bool MoveReplacing(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

}  // namespace fileio
}  // namespace quillan
