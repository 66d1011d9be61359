// The platform-independent half of the file layer.
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/core/streams.h"

namespace quillan {

std::string ExtractFilePath(const std::string& path) {
    size_t pos = path.find_last_of("\\/:");
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string ExtractFileName(const std::string& path) {
    size_t pos = path.find_last_of("\\/:");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string ExecutableStem(const std::string& exePath) {
    std::string name = ExtractFileName(exePath);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

TFileStream::TFileStream(const std::string& fileName, FileMode mode) : fileName_(fileName) {
    bool create = mode == FileMode::Create;
    handle_ = fileio::Open(fileName, mode != FileMode::OpenRead, create);
    if (handle_ == -1) {
        std::string reason = SysErrorMessage(LastOSError());
        if (create) throw EFCreateError(Format(kSFCreateErrorEx, {fileName, reason}));
        throw EFOpenError(Format(kSFOpenErrorEx, {fileName, reason}));
    }
}

TFileStream::~TFileStream() {
    if (handle_ != -1) fileio::Close(handle_);
}

size_t TFileStream::Read(void* buffer, size_t count) {
    int64_t n = fileio::Read(handle_, buffer, count);
    return n < 0 ? 0 : static_cast<size_t>(n);
}

size_t TFileStream::Write(const void* buffer, size_t count) {
    int64_t n = fileio::Write(handle_, buffer, count);
    return n < 0 ? 0 : static_cast<size_t>(n);
}

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin) {
    return fileio::Seek(handle_, offset, static_cast<int>(origin));
}

void TFileStream::SetSize(int64_t size) {
    if (!fileio::Truncate(handle_, size)) throw EWriteError(kSWriteError);
}

void TFileStream::Flush() {
    if (!fileio::Flush(handle_)) throw EWriteError(kSWriteError);
}

std::string ReadFileBytes(const std::string& path) {
    TFileStream file(path, FileMode::OpenRead);
    int64_t size = file.Size();
    std::string bytes(static_cast<size_t>(size), '\0');
    file.ReadBuffer(bytes.data(), bytes.size());
    return bytes;
}

void AtomicWriteFile(const std::string& path, const std::string& bytes) {
    std::string_view whole = bytes;
    AtomicWriteFile(path, std::span<const std::string_view>(&whole, 1));
}

void AtomicWriteFile(const std::string& path, std::span<const std::string_view> pieces) {
    // The temporary lives beside the target so that the final step is a rename
    // within one volume, which the system does atomically.
    std::string temp;
    for (int attempt = 0;; ++attempt) {
        temp = path + ".~" + std::to_string(attempt) + ".tmp";
        if (!FileExists(temp)) break;
        if (attempt > 100) throw EFCreateError(Format(kSFCreateErrorEx, {path, "too many temporary files"}));
    }
    {
        intptr_t handle = fileio::Open(temp, true, true);
        if (handle == -1) {
            throw EFCreateError(Format(kSFCreateErrorEx, {path, SysErrorMessage(LastOSError())}));
        }
        bool ok = true;
        auto writeAll = [&](std::string_view bytes) {
            size_t done = 0;
            while (ok && done < bytes.size()) {
                int64_t n = fileio::Write(handle, bytes.data() + done, bytes.size() - done);
                if (n <= 0)
                    ok = false;
                else
                    done += static_cast<size_t>(n);
            }
        };
        // Small pieces are gathered so that a file of many pieces costs few system calls.
        constexpr size_t kGather = 64 * 1024;
        std::string gathered;
        for (std::string_view bytes : pieces) {
            if (gathered.size() + bytes.size() > kGather && !gathered.empty()) {
                writeAll(gathered);
                gathered.clear();
            }
            if (bytes.size() >= kGather)
                writeAll(bytes);
            else
                gathered.append(bytes);
        }
        writeAll(gathered);
        int error = ok ? 0 : LastOSError();
        if (ok && !fileio::Flush(handle)) {
            ok = false;
            error = LastOSError();
        }
        fileio::Close(handle);
        if (!ok) {
            RemoveFile(temp);
            throw EWriteError(Format("Cannot write file \"%s\". %s", {path, SysErrorMessage(error)}));
        }
    }
    if (!fileio::MoveReplacing(temp, path)) {
        int error = LastOSError();
        RemoveFile(temp);
        throw EWriteError(Format("Cannot write file \"%s\". %s", {path, SysErrorMessage(error)}));
    }
}

}  // namespace quillan
