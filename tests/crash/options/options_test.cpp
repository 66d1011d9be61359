#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crash/options/carried_options.h"
#include "crash/options/current_options.h"
#include "crash/options/errors.h"
#include "crash/options/options.h"
#include "crash/options/options_ex.h"
#include "crash/options/options_stream.h"
#include "crash/options/shared_block.h"

namespace quillan::crash {
namespace {

// Builds option streams byte by byte, independently of the loader, in the field order of each
// format version.
class StreamBuilder {
public:
    StreamBuilder& U8(uint8_t v) {
        bytes_ += static_cast<char>(v);
        return *this;
    }
    StreamBuilder& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
    StreamBuilder& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    StreamBuilder& Str(const std::string& s) {
        U32(static_cast<uint32_t>(s.size()));
        for (char c : s) U8(static_cast<uint8_t>(c) ^ kOptionsStringMask);
        return *this;
    }
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

std::vector<std::string> OddTexts() {
    std::vector<std::string> texts;
    for (int i = 0; i < 96; ++i) texts.push_back("T" + std::to_string(i) + (i % 7 == 0 ? "\r\n\xC0\xFF" : ""));
    return texts;
}

// The head every version shares, with values that differ from the defaults.
void WriteHead(StreamBuilder& b, uint32_t hangTimeout, uint8_t mailMethod, const std::string& smtpHost) {
    b.U8(1).U8(0).U8(0x2D).U8(1).U8(0).U8(3).U8(1).U32(hangTimeout);
    b.Str("frozen!").Str("me@there").Str(smtpHost).U16(587).Str("usr").Str("pw\x01");
    b.U8(0).U8(0).U32(7).U32(9).Str("a@b;c@d").Str("Subj").U8(mailMethod);
}

void WriteTail(StreamBuilder& b) {
    b.U32(2).Str("EAbort").Str("").Str("EDivByZero").Str("Division!");
    b.Str("Body\r\n");
    for (const std::string& t : OddTexts()) b.Str(t);
}

void ExpectTail(const TMishapModuleOptions& o) {
    EXPECT_EQ(o.FilterClasses(), (std::vector<std::string>{"EAbort", "EDivByZero"}));
    EXPECT_EQ(o.FilterMessages(), (std::vector<std::string>{"", "Division!"}));
    EXPECT_EQ(o.MailBody(), "Body\r\n");
    std::vector<std::string> texts = OddTexts();
    for (int i = 0; i < 96; ++i) EXPECT_EQ(o.Text(i), texts[static_cast<size_t>(i)]);
}

// A version-506 stream with every field off its default.
std::string Stream506() {
    StreamBuilder b;
    WriteHead(b, 45, 3, "smtp.example");
    b.U8(0x12).U8(0x34).U8(0x56).U8(0x78).U8(0x9A);  // DetailMask
    b.Str("C:\\Logs\\").U8(2).Str("https://up").Str("uu").Str("pp").U32(8443).Str("a.txt;b.txt");
    b.U16(0x3FF).U8(0xC1).U32(30).Str("https://support").Str("<%HTML_TAG%>");
    b.U8(0x1F).U8(0x4F).U8(0).U32(5).U32(2);
    WriteTail(b);
    return b.Bytes();
}

class CountingOptions : public TMishapModuleOptions {
public:
    void Changed() override { ++changes; }
    int changes = 0;
};

TEST(MishapOptions, DefaultsAndTexts) {
    TMishapModuleOptions o;
    EXPECT_TRUE(o.Enabled());
    EXPECT_FALSE(o.LogEnabled());
    EXPECT_EQ(o.LogFlags(), 0x30);
    EXPECT_EQ(o.HangTimeout(), 60u);
    EXPECT_EQ(o.HangMessage(), "The application seems to be frozen.");
    EXPECT_EQ(o.SmtpPort(), 25);
    EXPECT_EQ(o.MaxLogReports(), 32u);
    EXPECT_EQ(o.SendFlags(), 0x51);
    EXPECT_EQ(o.DialogFlags(), 0x1F);
    EXPECT_EQ(o.StackFlags(), 0x0F);
    EXPECT_EQ(o.BehaviourFlags(), 0x30);
    EXPECT_EQ(o.DetailMask(), 0xFFFFFFFFFFull);
    EXPECT_NE(o.HtmlLayout().find("<%HTML_TAG%>"), std::string::npos);
    EXPECT_EQ(o.Text(0), "Information.");
    EXPECT_EQ(o.Text(3),
              "An error has occurred during program execution.\r\n"
              "Please read the following information for further details.");
    EXPECT_EQ(o.Text(TMishapText::StackLine), "Line");
    EXPECT_EQ(o.Text(95), "Sorry, sending the message didn't work.");
    EXPECT_EQ(o.Text(96), "");
    EXPECT_EQ(o.Text(-1), "");
}

TEST(MishapOptions, DefaultsRoundTrip) {
    TMishapModuleOptions saved;
    std::string bytes = saved.SaveToBytes();
    CountingOptions loaded;
    loaded.SetSmtpHost("changed");
    loaded.changes = 0;
    EXPECT_EQ(loaded.LoadFromBytes(bytes), bytes.size());
    EXPECT_TRUE(loaded.SameAs(saved));
    EXPECT_EQ(loaded.changes, 1);
    EXPECT_EQ(loaded.SaveToBytes(), bytes);
}

TEST(MishapOptions, Version506ByteForByte) {
    std::string bytes = Stream506();
    TMishapModuleOptions o;
    EXPECT_EQ(o.LoadFromBytes(bytes), bytes.size());
    EXPECT_TRUE(o.LogEnabled());
    EXPECT_FALSE(o.HandlingEnabled());
    EXPECT_EQ(o.LogFlags(), 0x2D);
    EXPECT_TRUE(o.AppendLogs());
    EXPECT_FALSE(o.SaveLogFile());
    EXPECT_EQ(o.InitialTab(), 3);
    EXPECT_TRUE(o.HangDetection());
    EXPECT_EQ(o.HangTimeout(), 45u);
    EXPECT_EQ(o.HangMessage(), "frozen!");
    EXPECT_EQ(o.SmtpSender(), "me@there");
    EXPECT_EQ(o.SmtpHost(), "smtp.example");
    EXPECT_EQ(o.SmtpPort(), 587);
    EXPECT_EQ(o.SmtpPassword(), "pw\x01");
    EXPECT_EQ(o.MaxLogReports(), 7u);
    EXPECT_EQ(o.ReportsBeforeTerminateButton(), 9u);
    EXPECT_EQ(o.MailMethod(), 3);
    EXPECT_EQ(o.DetailMask(), 0x9A78563412ull);
    EXPECT_EQ(o.OutputPath(), "C:\\Logs\\");
    EXPECT_EQ(o.UploadMethod(), 2);
    EXPECT_EQ(o.UploadPort(), 8443u);
    EXPECT_EQ(o.ExtraFiles(), "a.txt;b.txt");
    EXPECT_EQ(o.SendFlags(), 0x3FF);
    EXPECT_EQ(o.DialogFlags(), 0xC1);
    EXPECT_EQ(o.DialogAutoCloseSeconds(), 30u);
    EXPECT_EQ(o.SupportUrl(), "https://support");
    EXPECT_EQ(o.HtmlLayout(), "<%HTML_TAG%>");
    EXPECT_EQ(o.StackFlags(), 0x1F);
    EXPECT_EQ(o.BehaviourFlags(), 0x4F);
    EXPECT_EQ(o.CrashBurstAction(), 0);
    EXPECT_EQ(o.CrashBurstCount(), 5u);
    EXPECT_EQ(o.CrashBurstMinutes(), 2u);
    ExpectTail(o);
    // Writing gives back the very same bytes.
    EXPECT_EQ(o.SaveToBytes(), bytes);
}

TEST(MishapOptions, CarriedConfigurationIs2020Bytes) {
    std::string bytes = CarriedOptionsStream();
    // 52 bytes of numbers and flags, 14 + 1 + 96 string lengths and the filter count (500 bytes),
    // the 96 default texts (1,151 bytes), hang message, sender and page template (369 bytes).
    size_t texts = 0;
    for (const auto& t : kDefaultMishapTexts) texts += t.size();
    EXPECT_EQ(texts, 1151u);
    EXPECT_EQ(kDefaultHangMessage.size() + kDefaultSmtpSender.size() + kDefaultHtmlLayout.size(), 369u);
    ASSERT_EQ(bytes.size(), 2020u);

    TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
    TMishapModuleOptions o;
    o.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), 2020);
    EXPECT_TRUE(o.LogEnabled());
    EXPECT_EQ(o.LogFlags(), 0x31);
    EXPECT_EQ(o.InitialTab(), 1);
    EXPECT_FALSE(o.ShowTerminateButton());
    EXPECT_EQ(o.MaxLogReports(), 300u);
    EXPECT_EQ(o.SendFlags(), 0x41);
    EXPECT_EQ(o.DialogFlags(), 0xBE);
    EXPECT_EQ(o.MailMethod(), 0);
    EXPECT_EQ(o.UploadMethod(), 0);
    EXPECT_TRUE(o.FilterClasses().empty());
    TMishapModuleOptions carried;
    ApplyCarriedOptions(carried);
    EXPECT_TRUE(o.SameAs(carried));
}

TEST(MishapOptions, OlderVersionsConvert) {
    struct Case {
        int version;
        uint32_t storedTimeout, timeout;
        std::string host;
        uint8_t storedMethod, method;
    };
    const Case cases[] = {
        {421, 90000, 90, "smtp.example", 1, 2},  // milliseconds; method 1 with a host
        {421, 90000, 90, "", 1, 1},              // no host: method stays
        {449, 90, 90, "smtp.example", 1, 2},
        {499, 90, 90, "smtp.example", 1, 1},  // from 450 on method 1 is the mail client
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        StreamBuilder b;
        WriteHead(b, c.storedTimeout, c.storedMethod, c.host);
        // Old mask: every bit but 2.4 (old bit 8), 4.1 (old bit 10) and 3.3 (old bit 31).
        b.U32(~((1u << 8) | (1u << 10) | (1u << 31)));
        b.Str("D:\\L\\");
        // Dialog shown, send unchecked, screenshot checked, copy shown, no details button;
        // progress off, entire log on, screenshot off, thread on.
        for (uint8_t flag : {1, 0, 1, 1, 0, 0, 1, 0, 1}) b.U8(flag);
        WriteTail(b);

        TMishapModuleOptions o;
        ASSERT_EQ(o.LoadFromBytes(b.Bytes(), c.version), b.Bytes().size());
        EXPECT_EQ(o.HangTimeout(), c.timeout);
        EXPECT_EQ(o.MailMethod(), c.method);
        EXPECT_EQ(o.SmtpPort(), 587);
        EXPECT_EQ(o.OutputPath(), "D:\\L\\");
        EXPECT_FALSE(o.DetailShown(2, 4));
        EXPECT_FALSE(o.DetailShown(4, 1));
        EXPECT_FALSE(o.DetailShown(3, 3));
        EXPECT_FALSE(o.DetailShown(3, 4));
        EXPECT_TRUE(o.DetailShown(2, 5));
        EXPECT_TRUE(o.DetailShown(7, 1));
        EXPECT_EQ(o.DetailMask() | (1ull << DetailBit(2, 4)) | (1ull << DetailBit(4, 1)) | (1ull << DetailBit(3, 3)) |
                      (1ull << DetailBit(3, 4)),
                  kDetailMaskAll);
        EXPECT_EQ(o.DialogFlags(), dfShowDialog | dfAttachScreenshotChecked | dfShowCopyToClipboard);
        EXPECT_EQ(o.SendFlags(), sfSendEntireLog | sfAttachLastHtmlPage | sfSendInThread);
        // Fields the old layout lacks keep their defaults.
        EXPECT_EQ(o.UploadMethod(), 0);
        EXPECT_EQ(o.CrashBurstCount(), 10u);
        EXPECT_EQ(o.HtmlLayout(), kDefaultHtmlLayout);
        ExpectTail(o);
    }
}

TEST(MishapOptions, MaxLogReportsZeroIsOne) {
    TMishapModuleOptions o;
    o.SetMaxLogReports(0);
    EXPECT_EQ(o.MaxLogReports(), 1u);
    std::string bytes = o.SaveToBytes();
    TMishapModuleOptions back;
    back.LoadFromBytes(bytes);
    EXPECT_EQ(back.MaxLogReports(), 1u);
    // A stream that holds 0 (written by someone else) loads as 1 too.
    TMishapModuleOptions defaults;
    std::string raw = defaults.SaveToBytes();
    size_t at = 7 + 4 + 4 + 35 + 4 + 14 + 4 + 2 + 4 + 4 + 2;  // offset of MaxLogReports
    ASSERT_EQ(static_cast<uint8_t>(raw[at]), 32);
    raw[at] = 0;
    back.LoadFromBytes(raw);
    EXPECT_EQ(back.MaxLogReports(), 1u);
}

TEST(MishapOptions, DamagedStreamsRaiseAndChangeNothing) {
    std::string good = Stream506();
    CountingOptions o;
    o.SetSmtpHost("keep");
    o.changes = 0;
    for (size_t cut = 0; cut < good.size(); cut += (cut < 200 ? 1 : 37)) {
        EXPECT_THROW(o.LoadFromBytes(good.substr(0, cut)), EMishapOptionsError) << cut;
    }
    // A string length far beyond the stream must not be trusted.
    std::string huge = good;
    huge[11] = huge[12] = huge[13] = huge[14] = '\xFF';
    EXPECT_THROW(o.LoadFromBytes(huge), EMishapOptionsError);
    EXPECT_THROW(o.LoadFromBytes(good, 507), EMishapOptionsError);
    EXPECT_THROW(o.LoadFromBytes(good, 0), EMishapOptionsError);
    EXPECT_EQ(o.SmtpHost(), "keep");
    EXPECT_EQ(o.changes, 0);
}

TEST(MishapOptions, SettersCallTheHookAndAssignCopiesDeeply) {
    CountingOptions o;
    o.SetEnabled(false);
    o.SetHangDetection(true);
    o.SetLogFlags(1);
    o.SetMailBody("x");
    o.SetDetailMask(~0ull);
    o.SetText(TMishapText::StackLine, "Zeile");
    o.AddFilter("EFoo", "Foo!");
    o.SetMaxLogReports(5);
    EXPECT_EQ(o.changes, 8);
    EXPECT_EQ(o.DetailMask(), kDetailMaskAll);

    CountingOptions copy;
    copy.SetModuleName("other.dll");
    copy.changes = 0;
    copy.Assign(&o);
    EXPECT_EQ(copy.changes, 1);
    EXPECT_TRUE(copy.SameAs(o));
    EXPECT_FALSE(copy.Enabled());
    EXPECT_EQ(copy.ModuleName(), "other.dll");
    o.AddFilter("EBar", "");
    o.SetText(67, "Line");
    EXPECT_EQ(copy.FilterClasses().size(), 1u);
    EXPECT_EQ(copy.Text(67), "Zeile");

    try {
        copy.Assign(nullptr);
        FAIL() << "no exception";
    } catch (const EMishapLogError& e) {
        EXPECT_EQ(e.Message(), "Impossible to assign nil as TMishapModuleOptions.");
    }
    copy.Reset();
    EXPECT_TRUE(copy.SameAs(TMishapModuleOptions()));
}

TEST(MishapOptions, CurrentOptionsNeedAnActiveLibrary) {
    SetCurrentMishapLogOptions(nullptr);
    try {
        CurrentMishapLogOptions();
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(),
                  "\r\nCannot use 'CurrentMishapLogOptions' function without activate MishapLog.\r\n"
                  "To activate MishapLog use the new IDE \"Project/MishapLog Options...\" menu.");
        EXPECT_EQ(e.SourceFile(), "MishapLog");
    }
    TMishapModuleOptionsEx running;
    SetCurrentMishapLogOptions(&running);
    EXPECT_EQ(&CurrentMishapLogOptions(), &running);
    SetCurrentMishapLogOptions(nullptr);
}

class RecordingPublisher : public IOptionsPublisher {
public:
    void Publish(const std::string& stream) noexcept override { streams.push_back(stream); }
    std::vector<std::string> streams;
};

class RecordingHang : public IHangDetectorControl {
public:
    void Start() override { calls += "start "; }
    void Stop() override { calls += "stop "; }
    std::string calls;
};

TEST(MishapOptionsEx, PublishesEveryChangeAndSteersTheHangDetector) {
    TMishapModuleOptionsEx o;
    RecordingPublisher publisher;
    o.SetPublisher(&publisher);
    o.SetSmtpHost("mail.example");
    ASSERT_EQ(publisher.streams.size(), 2u);
    TMishapModuleOptions reader;
    reader.LoadFromBytes(publisher.streams.back());
    EXPECT_EQ(reader.SmtpHost(), "mail.example");

    // Without a hang control (not the current options) nothing is started.
    o.SetHangDetection(true);
    RecordingHang hang;
    o.SetHangControl(&hang);
    o.SetEnabled(false);
    o.SetHangDetection(true);  // Enabled is off: stays stopped
    o.SetEnabled(true);
    o.SetHangDetection(false);
    EXPECT_EQ(hang.calls, "stop start stop ");
    EXPECT_EQ(publisher.streams.size(), 7u);
}

TEST(SharedBlock, NameAndContent) {
    EXPECT_EQ(SharedBlockName(0x1A2B, 0x400000, kLayout32), "00001A2B00400000MODULE");
    EXPECT_EQ(SharedBlockName(0x1A2B, 0x140000000ull, kLayout64), "00001A2B0000000140000000MODULE");
    std::string stream = "abc";
    std::string block = EncodeSharedBlock(&stream);
    EXPECT_EQ(block, std::string("\x03\x00\x00\x00\x01"
                                 "abc",
                                 8));
    std::string back;
    ASSERT_TRUE(DecodeSharedBlock(block, back));
    EXPECT_EQ(back, "abc");
    EXPECT_FALSE(DecodeSharedBlock(EncodeSharedBlock(nullptr), back));
    EXPECT_FALSE(DecodeSharedBlock(block.substr(0, 7), back));  // length beyond the block
    std::string tooBig(kSharedBlockCapacity, 'x');
    EXPECT_EQ(EncodeSharedBlock(&tooBig).size(), 5u);
}

}  // namespace
}  // namespace quillan::crash
