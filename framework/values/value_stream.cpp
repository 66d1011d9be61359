#include "framework/values/value_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "framework/core/convert.h"
#include "framework/core/exceptions.h"

namespace quillan {
namespace {

bool HasHighByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) >= 0x80; });
}

}  // namespace

// --- TValueWriter -----------------------------------------------------------

TValueWriter::TValueWriter(TStream& stream, size_t bufferSize)
    : stream_(stream), buffer_(std::max<size_t>(bufferSize, 16)) {}

TValueWriter::~TValueWriter() {
    try {
        Flush();
    } catch (...) {
        // A destructor cannot report it; callers that care call Flush() themselves.
    }
}

void TValueWriter::Flush() {
    size_t n = std::exchange(used_, 0);
    if (n != 0) stream_.WriteBuffer(buffer_.data(), n);
}

void TValueWriter::WriteByte(uint8_t byte) {
    if (used_ == buffer_.size()) Flush();
    buffer_[used_++] = byte;
}

void TValueWriter::WriteLittleEndian(uint64_t value, size_t bytes) {
    uint8_t out[8];
    for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
    Write(out, bytes);
}

void TValueWriter::Write(const void* data, size_t count) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (count <= buffer_.size() - used_) {
        if (count != 0) std::memcpy(buffer_.data() + used_, bytes, count);
        used_ += count;
        return;
    }
    Flush();
    if (count >= buffer_.size()) {
        // Large blocks go straight to the stream instead of through the buffer.
        stream_.WriteBuffer(bytes, count);
        return;
    }
    std::memcpy(buffer_.data(), bytes, count);
    used_ = count;
}

void TValueWriter::WriteListBegin() { WriteTag(TValueType::List); }

void TValueWriter::WriteListEnd() { WriteTag(TValueType::Null); }

void TValueWriter::WriteInteger(int32_t value) {
    if (value >= -128 && value <= 127) {
        WriteTag(TValueType::Int8);
        WriteLittleEndian(static_cast<uint32_t>(value), 1);
    } else if (value >= -32768 && value <= 32767) {
        WriteTag(TValueType::Int16);
        WriteLittleEndian(static_cast<uint32_t>(value), 2);
    } else {
        WriteTag(TValueType::Int32);
        WriteLittleEndian(static_cast<uint32_t>(value), 4);
    }
}

void TValueWriter::WriteInteger(int64_t value) {
    if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max()) {
        WriteInteger(static_cast<int32_t>(value));
        return;
    }
    WriteTag(TValueType::Int64);
    WriteLittleEndian(static_cast<uint64_t>(value), 8);
}

void TValueWriter::WriteString(std::string_view text) {
    if (HasHighByte(text)) {
        std::string utf8 = Cp1251ToUtf8(text);
        if (utf8.size() > std::numeric_limits<uint32_t>::max()) throw EWriteError(kSWriteError);
        WriteTag(TValueType::Utf8String);
        WriteLittleEndian(utf8.size(), 4);
        Write(utf8.data(), utf8.size());
        return;
    }
    if (text.size() <= 255) {
        WriteTag(TValueType::String);
        WriteLittleEndian(text.size(), 1);
    } else {
        if (text.size() > std::numeric_limits<uint32_t>::max()) throw EWriteError(kSWriteError);
        WriteTag(TValueType::LString);
        WriteLittleEndian(text.size(), 4);
    }
    Write(text.data(), text.size());
}

// --- TValueReader -----------------------------------------------------------

TValueReader::TValueReader(TStream& stream, size_t bufferSize)
    : stream_(stream), buffer_(std::max<size_t>(bufferSize, 16)) {}

TValueReader::~TValueReader() {
    try {
        FixupBuffer();
    } catch (...) {
        // Only a stream that cannot seek fails here; there is nothing to give back then.
    }
}

void TValueReader::FixupBuffer() {
    size_t unread = end_ - pos_;
    pos_ = end_ = 0;
    if (unread != 0) stream_.Seek(-static_cast<int64_t>(unread), SeekOrigin::Current);
}

void TValueReader::Refill() {
    pos_ = 0;
    end_ = stream_.Read(buffer_.data(), buffer_.size());
    if (end_ == 0) throw EReadError(kSReadError);
}

uint8_t TValueReader::ReadByte() {
    if (pos_ == end_) Refill();
    return buffer_[pos_++];
}

void TValueReader::Read(void* data, size_t count) {
    uint8_t* out = static_cast<uint8_t*>(data);
    for (;;) {
        size_t n = std::min(count, end_ - pos_);
        if (n != 0) std::memcpy(out, buffer_.data() + pos_, n);
        pos_ += n;
        out += n;
        count -= n;
        if (count == 0) return;
        if (count >= buffer_.size()) {
            // The buffer is empty here; large blocks skip it.
            stream_.ReadBuffer(out, count);
            return;
        }
        Refill();
    }
}

uint64_t TValueReader::ReadLittleEndian(size_t bytes) {
    uint8_t in[8];
    Read(in, bytes);
    uint64_t value = 0;
    for (size_t i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
    return value;
}

TValueType TValueReader::NextValue() {
    if (pos_ == end_) Refill();
    return static_cast<TValueType>(buffer_[pos_]);
}

bool TValueReader::EndOfList() { return NextValue() == TValueType::Null; }

void TValueReader::ReadListBegin() {
    if (ReadTag() != TValueType::List) throw EReadError(kSInvalidPropertyValue);
}

void TValueReader::ReadListEnd() {
    if (ReadTag() != TValueType::Null) throw EReadError(kSInvalidPropertyValue);
}

int32_t TValueReader::ReadInteger() {
    switch (ReadTag()) {
        case TValueType::Int8:
            return static_cast<int8_t>(ReadLittleEndian(1));
        case TValueType::Int16:
            return static_cast<int16_t>(ReadLittleEndian(2));
        case TValueType::Int32:
            return static_cast<int32_t>(ReadLittleEndian(4));
        default:
            throw EReadError(kSInvalidPropertyValue);
    }
}

int64_t TValueReader::ReadInt64() {
    if (NextValue() != TValueType::Int64) return ReadInteger();
    ReadByte();
    return static_cast<int64_t>(ReadLittleEndian(8));
}

std::string TValueReader::ReadString() {
    TValueType tag = ReadTag();
    size_t length;
    switch (tag) {
        case TValueType::String:
            length = static_cast<size_t>(ReadLittleEndian(1));
            break;
        case TValueType::LString:
        case TValueType::Utf8String:
            length = static_cast<size_t>(ReadLittleEndian(4));
            break;
        default:
            throw EReadError(kSInvalidPropertyValue);
    }
    CheckAvailable(length);
    std::string text(length, '\0');
    Read(text.data(), length);
    return tag == TValueType::Utf8String ? Utf8ToCp1251(text) : text;
}

void TValueReader::CheckAvailable(uint64_t count) {
    // A damaged length must end in the read error, not in a huge allocation.
    uint64_t buffered = end_ - pos_;
    if (count <= buffered) return;
    int64_t left = stream_.Size() - stream_.Position();
    if (left < 0 || count - buffered > static_cast<uint64_t>(left)) throw EReadError(kSReadError);
}

}  // namespace quillan
