// The runtime's binary value writer and reader: tagged integers, tagged strings
// and list markers over a byte stream, each side with its own buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/core/streams.h"

namespace quillan {

// Tag bytes that precede every value.
enum class TValueType : uint8_t {
    Null = 0,         // list end
    List = 1,         // list start
    Int8 = 2,         // 1 byte
    Int16 = 3,        // 2 bytes
    Int32 = 4,        // 4 bytes
    String = 6,       // 1-byte length + bytes
    LString = 12,     // 4-byte length + bytes
    Int64 = 19,       // 8 bytes
    Utf8String = 20,  // 4-byte length + UTF-8 bytes
};

// Writes values into a stream through a buffer of bufferSize bytes. The stream
// is not owned. Stream failures (EWriteError, EOutOfMemory) propagate from the
// call that flushes.
class TValueWriter {
public:
    explicit TValueWriter(TStream& stream, size_t bufferSize = 4096);
    // Flushes what is still buffered; a failure here is swallowed (destructors
    // must not throw), so call Flush() first when it matters.
    ~TValueWriter();
    TValueWriter(const TValueWriter&) = delete;
    TValueWriter& operator=(const TValueWriter&) = delete;

    void WriteListBegin();  // tag 1
    void WriteListEnd();    // tag 0
    // Smallest of tag 2/3/4 (1, 2, 4 bytes, little-endian); 64-bit values
    // outside the 32-bit range take tag 19 and 8 bytes.
    void WriteInteger(int32_t value);
    void WriteInteger(int64_t value);
    // Windows-1251 text: tag 20 + 4-byte length + UTF-8 when it has a byte >= 128;
    // else tag 6 + 1-byte length (up to 255 bytes); else tag 12 + 4-byte length.
    void WriteString(std::string_view text);
    // Raw bytes, no tag.
    void Write(const void* data, size_t count);
    // Hands the buffered bytes to the stream.
    void Flush();

private:
    void WriteTag(TValueType tag) { WriteByte(static_cast<uint8_t>(tag)); }
    void WriteByte(uint8_t byte);
    void WriteLittleEndian(uint64_t value, size_t bytes);

    TStream& stream_;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
};

// Reads values from a stream through a buffer of bufferSize bytes. The stream is
// not owned; on destruction it is moved back to just after the last value read,
// so unread buffered bytes are not lost. Errors: EReadError "Stream read error"
// at the end of the data, EReadError "Invalid property value" for a wrong tag.
class TValueReader {
public:
    explicit TValueReader(TStream& stream, size_t bufferSize = 4096);
    ~TValueReader();
    TValueReader(const TValueReader&) = delete;
    TValueReader& operator=(const TValueReader&) = delete;

    void ReadListBegin();
    void ReadListEnd();
    // True when the next tag is the list end (it is not consumed).
    bool EndOfList();
    // The next tag, not consumed.
    TValueType NextValue();
    // Tags 2/3/4; ReadInt64 accepts tag 19 as well.
    int32_t ReadInteger();
    int64_t ReadInt64();
    // Any of the three string forms; the UTF-8 form comes back as Windows-1251.
    std::string ReadString();
    // Exactly count raw bytes.
    void Read(void* data, size_t count);
    // Raises EReadError "Stream read error" unless count more bytes can be read;
    // lets a caller check a stored size before allocating for it.
    void CheckAvailable(uint64_t count);
    // Puts the stream just after the last value read and empties the buffer.
    void FixupBuffer();

private:
    uint8_t ReadByte();
    TValueType ReadTag() { return static_cast<TValueType>(ReadByte()); }
    uint64_t ReadLittleEndian(size_t bytes);
    void Refill();

    TStream& stream_;
    std::vector<uint8_t> buffer_;
    size_t pos_ = 0;  // next unread byte of buffer_
    size_t end_ = 0;  // bytes of buffer_ that hold data
};

// The runtime's texts of the reader's failures.
inline constexpr const char* kSInvalidPropertyValue = "Invalid property value";

}  // namespace quillan
