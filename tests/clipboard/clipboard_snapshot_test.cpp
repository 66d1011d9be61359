#include "engine/clipboard/clipboard_snapshot.h"

#include <algorithm>

#include "tests/clipboard/clipboard_support.h"

#include "framework/core/exceptions.h"

namespace quillan::test {
namespace {

using Snapshot = ClipboardTest;

std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

// A 2x2 32-bit DIB: header plus four pixels.
std::string SmallDib() {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = 2;
    header.biHeight = 2;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    std::string dib(reinterpret_cast<const char*>(&header), sizeof(header));
    return dib + std::string("\x10\x20\x30\x00\x40\x50\x60\x00\x70\x80\x90\x00\xA0\xB0\xC0\x00", 16);
}

// Snapshot entries as (format, name, size) read back with the value reader.
struct Entry {
    int32_t format;
    std::string name;
    int64_t size;
    int64_t end;  // stream offset just after the entry
};
std::vector<Entry> Entries(TMemoryStream& stream) {
    std::vector<Entry> entries;
    stream.SetPosition(0);
    {
        TValueReader reader(stream);
        reader.ReadListBegin();
        while (!reader.EndOfList()) {
            Entry e{reader.ReadInteger(), reader.ReadString(), reader.ReadInt64(), 0};
            std::string skip(static_cast<size_t>(e.size), '\0');
            reader.Read(skip.data(), skip.size());
            reader.FixupBuffer();
            e.end = stream.Position();
            entries.push_back(e);
        }
        reader.ReadListEnd();
    }
    return entries;
}

TEST_F(Snapshot, EmptyClipboardIsTwoBytes) {
    PutRaw(owner_, {});
    TMemoryStream stream;
    SaveClipboardToStream(stream);
    EXPECT_EQ(stream.ToString(), std::string("\x01\x00", 2));

    PutRaw(owner_, {{CF_TEXT, std::string("x\0", 2)}});
    LoadClipboardFromStream(stream);
    EXPECT_EQ(CountClipboardFormats(), 0);
}

// Every byte of every format comes back; a registered format under its name.
TEST_F(Snapshot, RoundTripKeepsEveryFormat) {
    UINT rtf = RegisterClipboardFormatW(L"Rich Text Format");
    UINT own = RegisterClipboardFormatW(L"Quillan Snapshot Test");
    std::string binary("\x00\x01\xFF\x00zero-bytes inside", 20);
    PutRaw(owner_, {{CF_TEXT, std::string("plain text\0", 11)},
                    {CF_UNICODETEXT, Utf16Bytes(L"\u041F\u0440\u0438\u0432\u0435\u0442")},
                    {rtf, "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}"},
                    {own, binary},
                    {CF_DIB, SmallDib()}});
    std::map<UINT, std::string> before = ReadRaw(owner_);

    TMemoryStream stream;
    SaveClipboardToStream(stream);
    std::vector<Entry> entries = Entries(stream);
    EXPECT_EQ(stream.Position(), stream.Size());
    for (const Entry& e : entries) {
        EXPECT_EQ(e.name, static_cast<UINT>(e.format) == own   ? "Quillan Snapshot Test"
                          : static_cast<UINT>(e.format) == rtf ? "Rich Text Format"
                                                               : "");
    }

    PutRaw(owner_, {{CF_TEXT, std::string("other\0", 6)}});
    LoadClipboardFromStream(stream);
    std::map<UINT, std::string> after = ReadRaw(owner_);
    for (const auto& [format, bytes] : before) {
        SCOPED_TRACE(format);
        ASSERT_TRUE(after.count(format));
        if (IsHandleOnlyClipboardFormat(static_cast<uint16_t>(format))) continue;
        EXPECT_EQ(after[format], bytes);
    }
    EXPECT_EQ(after[own], binary);
    EXPECT_EQ(after[CF_DIB], SmallDib());
}

// A registered format is put back under the number its name has now.
TEST_F(Snapshot, RegisteredFormatIsRestoredByName) {
    TMemoryStream stream;
    {
        TValueWriter writer(stream);
        writer.WriteListBegin();
        writer.WriteInteger(int32_t{0xC0FE});
        writer.WriteString("Quillan Renumbered");
        writer.WriteInteger(int32_t{3});
        writer.Write("abc", 3);
        writer.WriteListEnd();
    }
    LoadClipboardFromStream(stream);
    std::map<UINT, std::string> after = ReadRaw(owner_);
    UINT format = RegisterClipboardFormatW(L"Quillan Renumbered");
    ASSERT_TRUE(after.count(format));
    EXPECT_EQ(after[format].substr(0, 3), "abc");
    EXPECT_EQ(after.count(0xC0FE), format == 0xC0FE ? 1u : 0u);
}

// Names are kept as the value writer keeps Windows-1251 text; a name it cannot
// spell still comes back under the same format.
TEST_F(Snapshot, FormatNamesKeepEveryCharacter) {
    UINT cyrillic = RegisterClipboardFormatW(L"Quillan \u0416");
    UINT foreign = RegisterClipboardFormatW(L"Quillan \u0416 \u03A9 \u4E2D");
    PutRaw(owner_, {{cyrillic, "one"}, {foreign, "two"}});
    TMemoryStream stream;
    SaveClipboardToStream(stream);
    TMemoryStream name;
    {
        TValueWriter writer(name);
        writer.WriteString("Quillan \xC6");  // "Quillan Ж" in Windows-1251
    }
    EXPECT_NE(stream.ToString().find(name.ToString()), std::string::npos);

    PutRaw(owner_, {});
    LoadClipboardFromStream(stream);
    std::map<UINT, std::string> after = ReadRaw(owner_);
    EXPECT_EQ(after[cyrillic].substr(0, 3), "one");
    EXPECT_EQ(after[foreign].substr(0, 3), "two");
    EXPECT_EQ(after.size(), 2u);
}

std::string MetaFileBits(HENHMETAFILE meta) {
    std::string bits(GetEnhMetaFileBits(meta, 0, nullptr), '\0');
    GetEnhMetaFileBits(meta, static_cast<UINT>(bits.size()), reinterpret_cast<BYTE*>(bits.data()));
    return bits;
}

// Bitmap handles cannot be copied as memory; they are skipped and the formats after
// them kept, and the system rebuilds the bitmap from the DIB entries. An enhanced
// metafile comes back from its bits.
TEST_F(Snapshot, GdiHandlesDoNotEndTheSave) {
    UINT own = RegisterClipboardFormatW(L"Quillan After Bitmap");
    HDC metaDc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    Rectangle(metaDc, 0, 0, 10, 10);
    HENHMETAFILE meta = CloseEnhMetaFile(metaDc);
    std::string metaBits = MetaFileBits(meta);
    ASSERT_TRUE(OpenClipboardPatiently(owner_));
    EmptyClipboard();
    ASSERT_NE(SetClipboardData(CF_BITMAP, CreateBitmap(4, 4, 1, 32, nullptr)), nullptr);
    ASSERT_NE(SetClipboardData(CF_ENHMETAFILE, meta), nullptr);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 5);
    std::memcpy(GlobalLock(block), "after", 5);
    GlobalUnlock(block);
    ASSERT_NE(SetClipboardData(own, block), nullptr);
    CloseClipboard();

    TMemoryStream stream;
    SaveClipboardToStream(stream);
    bool hasDib = false;
    for (const Entry& e : Entries(stream)) {  // Entries also checks the list end
        EXPECT_FALSE(IsHandleOnlyClipboardFormat(static_cast<uint16_t>(e.format))) << e.format;
        hasDib = hasDib || e.format == CF_DIB;
    }
    EXPECT_TRUE(hasDib);  // the system offers the bitmap as a DIB as well
    PutRaw(owner_, {});
    LoadClipboardFromStream(stream);
    std::map<UINT, std::string> after = ReadRaw(owner_);
    EXPECT_EQ(after[own].substr(0, 5), "after");
    EXPECT_TRUE(after.count(CF_BITMAP));
    ASSERT_TRUE(OpenClipboardPatiently(owner_));
    HENHMETAFILE restored = static_cast<HENHMETAFILE>(GetClipboardData(CF_ENHMETAFILE));
    EXPECT_EQ(restored ? MetaFileBits(restored) : "", metaBits);
    CloseClipboard();
}

// Only CF_UNICODETEXT is placed; the formats the system derives from it are saved
// too and restoring them all gives back the same text.
TEST_F(Snapshot, DerivedTextFormatsRestore) {
    std::string text = Utf16Bytes(L"\u0428\u0430\u0431\u043B\u043E\u043D 1");
    PutRaw(owner_, {{CF_UNICODETEXT, text}});
    std::map<UINT, std::string> before = ReadRaw(owner_);
    TMemoryStream stream;
    SaveClipboardToStream(stream);
    LoadClipboardFromStream(stream);
    std::map<UINT, std::string> after = ReadRaw(owner_);
    EXPECT_EQ(after[CF_UNICODETEXT], text);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(after[CF_TEXT], before[CF_TEXT]);
}

// A save cut short after its first entry restores that entry, then fails with the
// read error; the clipboard is left closed.
TEST_F(Snapshot, InterruptedStreamRestoresCompleteEntries) {
    UINT own = RegisterClipboardFormatW(L"Quillan Interrupted");
    PutRaw(owner_, {{CF_TEXT, std::string("first\0", 6)}, {own, "second"}});
    TMemoryStream stream;
    SaveClipboardToStream(stream);
    std::vector<Entry> entries = Entries(stream);
    ASSERT_GE(entries.size(), 2u);
    UINT kept = static_cast<UINT>(entries[0].format);
    std::string keptBytes = ReadRaw(owner_)[kept];

    for (int64_t cut : {entries[0].end, entries[0].end - 2}) {
        SCOPED_TRACE(cut);
        stream.SetSize(cut);
        PutRaw(owner_, {{CF_PRIVATEFIRST, "stale"}});
        try {
            LoadClipboardFromStream(stream);
            ADD_FAILURE() << "no error for a stream without its list end";
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message(), "Stream read error");
        }
        std::map<UINT, std::string> after = ReadRaw(owner_);
        EXPECT_FALSE(after.count(CF_PRIVATEFIRST));  // emptied before the first entry
        EXPECT_EQ(after.count(kept), cut == entries[0].end ? 1u : 0u);
        if (cut == entries[0].end) {
            EXPECT_EQ(after[kept], keptBytes);
        }
        EXPECT_EQ(win::Clipboard().OpenCount(), 0);
        EXPECT_TRUE(ClipboardLeftClosed());
    }
}

// A memory stream with room for limit bytes only, as when memory runs out.
class TLimitedStream : public TMemoryStream {
public:
    explicit TLimitedStream(int64_t limit) : limit_(limit) {}
    size_t Write(const void* buffer, size_t count) override {
        const int64_t room = limit_ - Position();
        if (room <= 0) return 0;
        return TMemoryStream::Write(buffer, std::min(count, static_cast<size_t>(room)));
    }

private:
    int64_t limit_;
};

// A save that fails in the middle of its second entry: the error comes out, the
// clipboard is closed, and the first entry, complete, is what a restore gives back.
TEST_F(Snapshot, SaveFailingPartWayKeepsCompleteEntriesAndClosesTheClipboard) {
    UINT big = RegisterClipboardFormatW(L"Quillan Save Cut Short");
    const std::string small("first entry", 11);
    const std::string large(20000, 'x');  // larger than the writer's buffer
    PutRaw(owner_, {{CF_PRIVATEFIRST, small}, {big, large}});
    TMemoryStream whole;
    SaveClipboardToStream(whole);
    std::vector<Entry> entries = Entries(whole);
    ASSERT_EQ(entries.size(), 2u);
    ASSERT_EQ(entries[0].format, static_cast<int32_t>(CF_PRIVATEFIRST));

    TLimitedStream cut(entries[0].end + 100);
    try {
        SaveClipboardToStream(cut);
        ADD_FAILURE() << "the save did not fail";
    } catch (const EWriteError& e) {
        EXPECT_EQ(e.Message(), "Stream write error");
    }
    EXPECT_EQ(win::Clipboard().OpenCount(), 0);
    EXPECT_TRUE(ClipboardLeftClosed());
    EXPECT_EQ(cut.ToString().substr(0, static_cast<size_t>(entries[0].end)),
              whole.ToString().substr(0, static_cast<size_t>(entries[0].end)));

    PutRaw(owner_, {{CF_PRIVATEFIRST + 1, "stale"}});
    EXPECT_THROW(LoadClipboardFromStream(cut), EReadError);
    std::map<UINT, std::string> after = ReadRaw(owner_);
    ASSERT_EQ(after.count(CF_PRIVATEFIRST), 1u);
    EXPECT_EQ(after[CF_PRIVATEFIRST].substr(0, small.size()), small);
    EXPECT_EQ(after.count(big), 0u);
    EXPECT_EQ(after.count(CF_PRIVATEFIRST + 1), 0u);
    EXPECT_TRUE(ClipboardLeftClosed());
}

TEST_F(Snapshot, SingleFormatCopies) {
    PutRaw(owner_, {{CF_PRIVATEFIRST, "payload"}});
    TMemoryStream stream;
    stream.LoadFromString("head:");
    stream.Seek(0, SeekOrigin::End);
    CopyStreamFromClipboard(CF_PRIVATEFIRST, stream);
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_EQ(stream.ToString().substr(0, 12), "head:payload");
    CopyStreamFromClipboard(CF_PRIVATEFIRST + 1, stream);  // absent: unchanged
    EXPECT_EQ(stream.ToString().substr(0, 12), "head:payload");

    stream.LoadFromString("to the clipboard");
    stream.Seek(3, SeekOrigin::Begin);
    CopyStreamToClipboard(CF_PRIVATEFIRST + 1, stream);
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_EQ(ReadRaw(owner_)[CF_PRIVATEFIRST + 1], "to the clipboard");
}

}  // namespace
}  // namespace quillan::test
