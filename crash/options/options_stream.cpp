// The stored options stream: little-endian, strings as a u32 byte count and masked bytes.
#include <cstring>
#include <limits>

#include "crash/options/errors.h"
#include "crash/options/options.h"
#include "crash/options/options_stream.h"

namespace quillan::crash {

namespace {

// The stream layout of versions below 500 ends the fixed part with these separate bytes, each
// one bit of DialogFlags or SendFlags, in this order.
struct OldFlagByte {
    bool dialog;  // DialogFlags, else SendFlags
    uint16_t bit;
};
constexpr OldFlagByte kOldFlagBytes[] = {
    {true, dfShowDialog},          {true, dfSendChecked},       {true, dfAttachScreenshotChecked},
    {true, dfShowCopyToClipboard}, {true, dfShowDetailsButton}, {false, sfShowProgress},
    {false, sfSendEntireLog},      {false, sfAttachScreenshot}, {false, sfSendInThread},
};

// The 32-bit DetailMask below version 500 listed the sections in the order 1, 2, 4, 5, 6, 3
// and had no bit for 3.4 (control text), which followed 3.3.
struct OldDetailItem {
    int section;
    int item;
};

class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}
    void U8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void Bool(bool v) { U8(v ? 1 : 0); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void Str(const std::string& s) {
        if (s.size() > std::numeric_limits<uint32_t>::max()) throw EMishapOptionsError("Option text too long.");
        U32(static_cast<uint32_t>(s.size()));
        out_ += MaskOptionsString(s);
    }

private:
    std::string& out_;
};

// Reads with every length checked against what the stream still holds, so a damaged count can
// neither allocate without bound nor read past the end.
class Reader {
public:
    explicit Reader(TStream& stream) : stream_(stream) {
        int64_t size = stream.Size();
        int64_t position = stream.Position();
        left_ = size > position ? static_cast<uint64_t>(size - position) : 0;
    }
    uint8_t U8() {
        uint8_t v;
        Raw(&v, 1);
        return v;
    }
    bool Bool() { return U8() != 0; }
    uint16_t U16() {
        uint8_t b[2];
        Raw(b, 2);
        return static_cast<uint16_t>(b[0] | b[1] << 8);
    }
    uint32_t U32() {
        uint8_t b[4];
        Raw(b, 4);
        return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
               static_cast<uint32_t>(b[3]) << 24;
    }
    std::string Str() {
        uint32_t length = U32();
        if (length > left_) Truncated();
        std::string s(length, '\0');
        Raw(s.data(), length);
        return MaskOptionsString(s);
    }
    uint64_t Left() const { return left_; }

private:
    [[noreturn]] static void Truncated() { throw EMishapOptionsError("The options stream is truncated."); }
    void Raw(void* buffer, size_t count) {
        if (count > left_ || stream_.Read(buffer, count) != count) Truncated();
        left_ -= count;
    }

    TStream& stream_;
    uint64_t left_;
};

void SetBit(uint16_t& flags, uint16_t bit, bool on) { flags = static_cast<uint16_t>(on ? flags | bit : flags & ~bit); }

}  // namespace

// Gives the stream code the fields without making them public.
struct OptionsStreamAccess {
    using Fields = TMishapModuleOptions::Fields;
    static const Fields& Get(const TMishapModuleOptions& o) { return o.fields_; }
    static void Set(TMishapModuleOptions& o, Fields&& f) { o.fields_ = std::move(f); }
    static void Save(const Fields& f, std::string& out);
    static void Load(Reader& in, int version, Fields& f);
};

std::string MaskOptionsString(std::string_view bytes) {
    std::string out(bytes);
    for (char& c : out) c = static_cast<char>(static_cast<uint8_t>(c) ^ kOptionsStringMask);
    return out;
}

uint64_t ConvertOldDetailMask(uint32_t oldMask) {
    static constexpr OldDetailItem kOrder[] = {
        {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {4, 1},
        {4, 2}, {4, 3}, {4, 4}, {4, 5}, {4, 6}, {4, 7}, {4, 8}, {4, 9}, {5, 1}, {5, 2}, {5, 3},
        {5, 4}, {6, 1}, {6, 2}, {6, 3}, {6, 4}, {6, 5}, {6, 6}, {3, 1}, {3, 2}, {3, 3},
    };
    static_assert(std::size(kOrder) == 32);
    uint64_t mask = kDetailMaskAll;
    for (size_t i = 0; i < std::size(kOrder); ++i) {
        if (oldMask >> i & 1) continue;
        mask &= ~(1ull << DetailBit(kOrder[i].section, kOrder[i].item));
        if (kOrder[i].section == 3 && kOrder[i].item == 3) mask &= ~(1ull << DetailBit(3, 4));
    }
    return mask;
}

void OptionsStreamAccess::Save(const Fields& f, std::string& out) {
    Writer w(out);
    w.Bool(f.LogEnabled);
    w.Bool(f.HandlingEnabled);
    w.U8(f.LogFlags);
    w.Bool(f.AppendLogs);
    w.Bool(f.SaveLogFile);
    w.U8(f.InitialTab);
    w.Bool(f.HangDetection);
    w.U32(f.HangTimeout);
    w.Str(f.HangMessage);
    w.Str(f.SmtpSender);
    w.Str(f.SmtpHost);
    w.U16(f.SmtpPort);
    w.Str(f.SmtpUser);
    w.Str(f.SmtpPassword);
    w.U8(f.TerminateAction);
    w.Bool(f.ShowTerminateButton);
    w.U32(f.MaxLogReports);
    w.U32(f.ReportsBeforeTerminateButton);
    w.Str(f.MailRecipients);
    w.Str(f.MailSubject);
    w.U8(f.MailMethod);
    for (int i = 0; i < 5; ++i) w.U8(static_cast<uint8_t>(f.DetailMask >> (8 * i)));
    w.Str(f.OutputPath);
    w.U8(f.UploadMethod);
    w.Str(f.UploadUrl);
    w.Str(f.UploadUser);
    w.Str(f.UploadPassword);
    w.U32(f.UploadPort);
    w.Str(f.ExtraFiles);
    w.U16(f.SendFlags);
    w.U8(f.DialogFlags);
    w.U32(f.DialogAutoCloseSeconds);
    w.Str(f.SupportUrl);
    w.Str(f.HtmlLayout);
    w.U8(f.StackFlags);
    w.U8(f.BehaviourFlags);
    w.U8(f.CrashBurstAction);
    w.U32(f.CrashBurstCount);
    w.U32(f.CrashBurstMinutes);
    w.U32(static_cast<uint32_t>(f.FilterClasses.size()));
    for (size_t i = 0; i < f.FilterClasses.size(); ++i) {
        w.Str(f.FilterClasses[i]);
        w.Str(f.FilterMessages[i]);
    }
    w.Str(f.MailBody);
    for (const std::string& text : f.Texts) w.Str(text);
}

void OptionsStreamAccess::Load(Reader& in, int version, Fields& f) {
    const bool old = version < 500;
    f.LogEnabled = in.Bool();
    f.HandlingEnabled = in.Bool();
    f.LogFlags = in.U8();
    f.AppendLogs = in.Bool();
    f.SaveLogFile = in.Bool();
    f.InitialTab = in.U8();
    f.HangDetection = in.Bool();
    f.HangTimeout = in.U32();
    if (version < 422) f.HangTimeout /= 1000;  // stored in milliseconds then
    f.HangMessage = in.Str();
    f.SmtpSender = in.Str();
    f.SmtpHost = in.Str();
    f.SmtpPort = in.U16();
    f.SmtpUser = in.Str();
    f.SmtpPassword = in.Str();
    f.TerminateAction = in.U8();
    f.ShowTerminateButton = in.Bool();
    f.MaxLogReports = in.U32();
    if (f.MaxLogReports == 0) f.MaxLogReports = 1;
    f.ReportsBeforeTerminateButton = in.U32();
    f.MailRecipients = in.Str();
    f.MailSubject = in.Str();
    f.MailMethod = in.U8();
    // Method 1 once meant the built-in SMTP client whenever a host was given.
    if (version < 450 && f.MailMethod == 1 && !f.SmtpHost.empty()) f.MailMethod = 2;
    if (old) {
        f.DetailMask = ConvertOldDetailMask(in.U32());
    } else {
        uint64_t mask = 0;
        for (int i = 0; i < 5; ++i) mask |= static_cast<uint64_t>(in.U8()) << (8 * i);
        f.DetailMask = mask;
    }
    f.OutputPath = in.Str();
    if (old) {
        uint16_t dialog = f.DialogFlags;
        uint16_t send = f.SendFlags;
        for (const OldFlagByte& flag : kOldFlagBytes) SetBit(flag.dialog ? dialog : send, flag.bit, in.Bool());
        f.DialogFlags = static_cast<uint8_t>(dialog);
        f.SendFlags = send;
    } else {
        f.UploadMethod = in.U8();
        f.UploadUrl = in.Str();
        f.UploadUser = in.Str();
        f.UploadPassword = in.Str();
        f.UploadPort = in.U32();
        f.ExtraFiles = in.Str();
        f.SendFlags = in.U16();
        f.DialogFlags = in.U8();
        f.DialogAutoCloseSeconds = in.U32();
        f.SupportUrl = in.Str();
        f.HtmlLayout = in.Str();
        f.StackFlags = in.U8();
        f.BehaviourFlags = in.U8();
        f.CrashBurstAction = in.U8();
        f.CrashBurstCount = in.U32();
        f.CrashBurstMinutes = in.U32();
    }
    uint32_t filters = in.U32();
    // Each pair takes at least its two length fields.
    if (filters > in.Left() / 8) throw EMishapOptionsError("The options stream is truncated.");
    f.FilterClasses.clear();
    f.FilterMessages.clear();
    for (uint32_t i = 0; i < filters; ++i) {
        f.FilterClasses.push_back(in.Str());
        f.FilterMessages.push_back(in.Str());
    }
    f.MailBody = in.Str();
    for (std::string& text : f.Texts) text = in.Str();
}

void TMishapModuleOptions::SaveToStream(TStream& stream) const {
    std::string bytes = SaveToBytes();
    stream.WriteBuffer(bytes.data(), bytes.size());
}

std::string TMishapModuleOptions::SaveToBytes() const {
    std::string out;
    out.reserve(2048);
    OptionsStreamAccess::Save(fields_, out);
    return out;
}

void TMishapModuleOptions::LoadFromStream(TStream& stream, int version) {
    if (version <= 0 || version > kOptionsStreamVersion) {
        throw EMishapOptionsError(Format("Options stream version %s cannot be read.", {std::to_string(version)}));
    }
    Reader in(stream);
    Fields loaded;
    loaded.Enabled = fields_.Enabled;  // not part of the stream
    OptionsStreamAccess::Load(in, version, loaded);
    fields_ = std::move(loaded);
    Changed();
}

size_t TMishapModuleOptions::LoadFromBytes(std::string_view bytes, int version) {
    TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
    LoadFromStream(stream, version);
    return static_cast<size_t>(stream.Position());
}

}  // namespace quillan::crash
