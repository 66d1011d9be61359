#include "engine/clipboard/clipboard_snapshot.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "framework/clipboard/clipboard_win.h"
#include "framework/core/exceptions.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan {
namespace {

constexpr size_t kValueBufferSize = 4096;
constexpr int kFormatNameBuffer = 129;         // a registered name has at most 128 characters
constexpr UINT kClipboardAllocFlags = 0x2042;  // GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE
constexpr const char* kSCouldNotLock = "CopyStreamFromClipboard: could not lock global handle obtained from clipboard!";

// The registered name of format; empty for predefined formats.
std::wstring ClipboardFormatName(uint16_t format) {
    wchar_t name[kFormatNameBuffer] = {};
    int n = GetClipboardFormatNameW(format, name, kFormatNameBuffer);
    if (n <= 0) return {};
    return std::wstring(name, wcsnlen(name, static_cast<size_t>(n)));
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// A format name is stored as the value writer stores text, but its UTF-8 form is
// made from the system's UTF-16 name: for every name Windows-1251 can spell the
// bytes are the same, and other names (Greek, CJK) come back intact, not as '?'.
void WriteFormatName(TValueWriter& writer, const std::wstring& name) {
    std::string utf8 = ToUtf8(name);
    bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
    if (ascii) {
        writer.WriteString(utf8);
        return;
    }
    uint32_t length = static_cast<uint32_t>(utf8.size());
    uint8_t head[5] = {static_cast<uint8_t>(TValueType::Utf8String), static_cast<uint8_t>(length),
                       static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length >> 16),
                       static_cast<uint8_t>(length >> 24)};
    writer.Write(head, sizeof(head));
    writer.Write(utf8.data(), utf8.size());
}

std::wstring ReadFormatName(TValueReader& reader) {
    if (reader.NextValue() != TValueType::Utf8String) return win::Wide(reader.ReadString());
    uint8_t head[5];
    reader.Read(head, sizeof(head));
    uint32_t length = head[1] | (head[2] << 8) | (head[3] << 16) | (static_cast<uint32_t>(head[4]) << 24);
    reader.CheckAvailable(length);
    std::string utf8(length, '\0');
    reader.Read(utf8.data(), utf8.size());
    return FromUtf8(utf8);
}

// An enhanced metafile is a GDI handle: its entry holds the metafile's bits,
// which make an equal metafile again on restore. No metafile: stream unchanged.
void CopyEnhMetaFileFromClipboard(TStream& stream) {
    win::TClipboardScope open(win::Clipboard());
    HENHMETAFILE meta = static_cast<HENHMETAFILE>(win::Clipboard().GetAsHandle(CF_ENHMETAFILE));
    UINT size = meta ? GetEnhMetaFileBits(meta, 0, nullptr) : 0;
    if (size == 0) return;
    std::string bits(size, '\0');
    if (GetEnhMetaFileBits(meta, size, reinterpret_cast<BYTE*>(bits.data())) != size) return;
    stream.WriteBuffer(bits.data(), bits.size());
    stream.SetPosition(0);
}

void CopyEnhMetaFileToClipboard(TMemoryStream& stream) {
    HENHMETAFILE meta = SetEnhMetaFileBits(static_cast<UINT>(stream.Size()), stream.Memory());
    if (!meta) return;  // not a metafile after all: nothing sensible to place
    try {
        win::Clipboard().SetAsHandle(CF_ENHMETAFILE, meta);
    } catch (...) {
        DeleteEnhMetaFile(meta);
        throw;
    }
}

}  // namespace

bool IsHandleOnlyClipboardFormat(uint16_t format) {
    switch (format) {
        case CF_BITMAP:
        case CF_METAFILEPICT:  // a global block, but holding an HMETAFILE owned by the clipboard
        case CF_PALETTE:
        case CF_OWNERDISPLAY:
        case CF_DSPBITMAP:
        case CF_DSPMETAFILEPICT:
        case CF_DSPENHMETAFILE:
            return true;
        default:
            return format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST;
    }
}

void SaveClipboardToStream(TMemoryStream& stream) {
    TValueWriter writer(stream, kValueBufferSize);  // flushes on every way out
    win::TClipboard& clipboard = win::Clipboard();
    {
        win::TClipboardScope open(clipboard);
        writer.WriteListBegin();
        int count = clipboard.FormatCount();
        for (int i = 0; i < count; ++i) {
            WriteClipboardFormat(static_cast<uint16_t>(clipboard.Formats(i)), writer);
        }
        writer.WriteListEnd();
    }
    writer.Flush();
}

void WriteClipboardFormat(uint16_t format, TValueWriter& writer) {
    // Bitmaps, palettes and old-style metafiles are GDI handles that GlobalLock cannot
    // read. Skipping them keeps the formats after them; the system makes a bitmap
    // again from the CF_DIB entry and an old metafile from the enhanced one.
    if (IsHandleOnlyClipboardFormat(format)) return;
    std::wstring name = ClipboardFormatName(format);
    TMemoryStream data;
    if (format == CF_ENHMETAFILE) {
        CopyEnhMetaFileFromClipboard(data);
    } else {
        CopyStreamFromClipboard(format, data);
    }
    if (data.Size() == 0) return;
    writer.WriteInteger(static_cast<int32_t>(format));
    WriteFormatName(writer, name);
    writer.WriteInteger(data.Size());
    writer.Write(data.Memory(), static_cast<size_t>(data.Size()));
}

void CopyStreamFromClipboard(uint16_t format, TStream& stream) {
    // Held open until the copy is done, so the handle stays valid meanwhile.
    win::TClipboardScope open(win::Clipboard());
    HANDLE handle = win::Clipboard().GetAsHandle(format);
    if (!handle) return;
    win::GlobalLockScope data(handle);
    if (!data) {
        // A moveable block of size 0 has no memory to lock: it is empty data, not a fault.
        if (GlobalSize(handle) == 0) return;
        throw Exception(kSCouldNotLock);
    }
    stream.WriteBuffer(data.get(), GlobalSize(handle));
    stream.SetPosition(0);
}

void LoadClipboardFromStream(TMemoryStream& stream) {
    stream.SetPosition(0);
    TValueReader reader(stream, kValueBufferSize);
    win::TClipboard& clipboard = win::Clipboard();
    win::TClipboardScope open(clipboard);
    clipboard.Clear();  // once, before the first format; never between two formats
    reader.ReadListBegin();
    while (!reader.EndOfList()) ReadClipboardFormat(reader);
    reader.ReadListEnd();
}

void ReadClipboardFormat(TValueReader& reader) {
    int32_t stored = reader.ReadInteger();
    std::wstring name = ReadFormatName(reader);
    int64_t size = reader.ReadInt64();
    if (size < 0) throw EReadError(kSReadError);
    reader.CheckAvailable(static_cast<uint64_t>(size));
    TMemoryStream data;
    data.SetSize(size);
    reader.Read(data.Memory(), static_cast<size_t>(size));
    // Registered formats are numbered anew by each session: their name is what counts.
    UINT format = name.empty() ? static_cast<UINT>(stored) : RegisterClipboardFormatW(name.c_str());
    if (format == 0 || format > 0xFFFF || size == 0) return;
    if (IsHandleOnlyClipboardFormat(static_cast<uint16_t>(format))) return;
    if (format == CF_ENHMETAFILE) {
        CopyEnhMetaFileToClipboard(data);
    } else {
        CopyStreamToClipboard(static_cast<uint16_t>(format), data);
    }
}

void CopyStreamToClipboard(uint16_t format, TStream& stream) {
    stream.SetPosition(0);
    int64_t size = stream.Size();
    if (size < 0 || static_cast<uint64_t>(size) > SIZE_MAX) ThrowOutOfMemory();
    win::GlobalHandle block(GlobalAlloc(kClipboardAllocFlags, static_cast<SIZE_T>(size)));
    if (!block) ThrowOutOfMemory();
    {
        // Unlocked before the clipboard takes the block.
        win::GlobalLockScope data(block.get());
        if (!data) ThrowOutOfMemory();  // the block is freed by its owner here
        stream.ReadBuffer(data.get(), static_cast<size_t>(size));
        stream.SetPosition(0);
    }
    win::TClipboardScope open(win::Clipboard());
    win::Clipboard().SetAsHandle(format, block.get());
    block.release();  // the clipboard owns it now
}

}  // namespace quillan
