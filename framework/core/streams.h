// Byte streams of the runtime: the abstract stream, memory and file streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillan {

enum class SeekOrigin { Begin, Current, End };

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes up to count bytes; returns how many were written.
    virtual size_t Write(const void* buffer, size_t count) = 0;
    virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
    virtual int64_t Size();
    virtual void SetSize(int64_t size) = 0;

    int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(int64_t position) { Seek(position, SeekOrigin::Begin); }

    // Exactly count bytes or EReadError "Stream read error".
    void ReadBuffer(void* buffer, size_t count);
    // Exactly count bytes or EWriteError "Stream write error".
    void WriteBuffer(const void* buffer, size_t count);
    // Copies count bytes from source's position (count 0: all of source from its start).
    int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
public:
    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(size_); }
    void SetSize(int64_t size) override;

    TMemoryStream() = default;
    ~TMemoryStream() override;

    uint8_t* Memory() { return data_; }
    const uint8_t* Memory() const { return data_; }
    void Clear();
    std::string ToString() const { return std::string(reinterpret_cast<const char*>(data_), size_); }
    void LoadFromString(const std::string& bytes);
    // Makes room for capacity bytes without changing the size; EOutOfMemory on failure.
    void SetCapacity(size_t capacity);

private:
    void Grow(size_t needed);

    uint8_t* data_ = nullptr;  // capacity_ bytes; only the first size_ count
    size_t capacity_ = 0;
    size_t size_ = 0;
    size_t position_ = 0;
};

// A read-only stream over bytes owned by someone else.
class TReadOnlyMemoryStream : public TStream {
public:
    TReadOnlyMemoryStream(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void*, size_t) override { return 0; }
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(size_); }
    void SetSize(int64_t) override;

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

enum class FileMode { OpenRead, OpenReadWrite, Create };

// A file on disk. The name is Windows-1251 text; opening failures raise
// EFOpenError / EFCreateError with the runtime's texts and the system's reason.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& fileName, FileMode mode);
    ~TFileStream() override;

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    void SetSize(int64_t size) override;
    // Pushes written data to the disk; raises EWriteError when the system refuses.
    void Flush();
    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
    intptr_t handle_;
};

}  // namespace quillan
