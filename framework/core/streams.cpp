#include "framework/core/streams.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/core/exceptions.h"

namespace quillan {

int64_t TStream::Size() {
    int64_t position = Seek(0, SeekOrigin::Current);
    int64_t size = Seek(0, SeekOrigin::End);
    Seek(position, SeekOrigin::Begin);
    return size;
}

void TStream::ReadBuffer(void* buffer, size_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EReadError(kSReadError);
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EWriteError(kSWriteError);
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, 61440)) + 1);
    int64_t left = count;
    while (left > 0) {
        size_t n = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(buffer.size())));
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= static_cast<int64_t>(n);
    }
    return count;
}

// --- TMemoryStream ----------------------------------------------------------

TMemoryStream::~TMemoryStream() { std::free(data_); }

size_t TMemoryStream::Read(void* buffer, size_t count) {
    if (position_ >= size_) return 0;
    size_t n = std::min(count, size_ - position_);
    std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
    if (count == 0) return 0;
    size_t end = position_ + count;
    if (end < position_) ThrowOutOfMemory();
    if (end > capacity_) Grow(end);
    if (position_ > size_) std::memset(data_ + size_, 0, position_ - size_);
    std::memcpy(data_ + position_, buffer, count);
    position_ = end;
    size_ = std::max(size_, end);
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
    int64_t base = origin == SeekOrigin::Begin     ? 0
                   : origin == SeekOrigin::Current ? static_cast<int64_t>(position_)
                                                   : static_cast<int64_t>(size_);
    int64_t target = base + offset;
    if (target < 0) target = 0;
    position_ = static_cast<size_t>(target);
    return target;
}

void TMemoryStream::SetSize(int64_t size) {
    if (size < 0) size = 0;
    size_t newSize = static_cast<size_t>(size);
    if (newSize > capacity_) SetCapacity(newSize);
    if (newSize > size_) std::memset(data_ + size_, 0, newSize - size_);
    size_ = newSize;
    if (position_ > size_) position_ = size_;
}

void TMemoryStream::Clear() {
    std::free(data_);
    data_ = nullptr;
    capacity_ = size_ = position_ = 0;
}

void TMemoryStream::LoadFromString(const std::string& bytes) {
    Clear();
    SetCapacity(bytes.size());
    Write(bytes.data(), bytes.size());
    position_ = 0;
}

void TMemoryStream::SetCapacity(size_t capacity) {
    if (capacity <= capacity_) return;
    // realloc keeps the bytes without zero-filling or copying what it can extend in place.
    void* grown = std::realloc(data_, capacity);
    if (!grown) ThrowOutOfMemory();
    data_ = static_cast<uint8_t*>(grown);
    capacity_ = capacity;
}

void TMemoryStream::Grow(size_t needed) {
    // Half again at least, so that many small writes stay linear.
    size_t target = std::max<size_t>({needed, capacity_ + capacity_ / 2, 256});
    SetCapacity(target);
}

// --- TReadOnlyMemoryStream --------------------------------------------------

size_t TReadOnlyMemoryStream::Read(void* buffer, size_t count) {
    if (position_ >= size_) return 0;
    size_t n = std::min(count, size_ - position_);
    std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    return n;
}

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
    int64_t base = origin == SeekOrigin::Begin     ? 0
                   : origin == SeekOrigin::Current ? static_cast<int64_t>(position_)
                                                   : static_cast<int64_t>(size_);
    int64_t target = std::max<int64_t>(0, base + offset);
    position_ = static_cast<size_t>(target);
    return target;
}

void TReadOnlyMemoryStream::SetSize(int64_t) { throw EWriteError(kSWriteError); }

}  // namespace quillan
