#include "crash/sending/send_report.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <set>

#include "crash/log/log_file.h"
#include "crash/options/options.h"
#include "crash/packaging/tgz_writer.h"
#include "crash/sending/attachments.h"
#include "crash/sending/mailto.h"
#include "crash/sending/send_platform.h"
#include "crash/sending/smtp_send.h"
#include "crash/sending/socket_errors.h"
#include "crash/sending/upload.h"
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"

namespace quillan::crash {

namespace {

constexpr unsigned kSuccessBoxFlags = 0x242040;
constexpr unsigned kFailureBoxFlags = 0x242010;
constexpr char kBodySeparator[] = "\r\n\r\n\r\n";

// One file that travels: where it is and the name the receiver sees.
struct TAttachment {
    std::string Path;
    std::string Name;
};

class TSendRun {
public:
    TSendRun(const TSendRequest& request, ISendPlatform& platform, TSendResult& result)
        : r_(request), o_(*request.Options), platform_(platform), result_(result) {}

    void Run();

private:
    std::string TextToSend();
    void GatherAttachments();
    void Pack(const std::string& archive, std::vector<std::string>& packedFrom);
    bool RunMethod(TSendMethod method, const std::function<bool(std::string&)>& body);
    bool SendMailClient(std::string& failure);
    bool SendSmtp(bool direct, std::string& failure);
    bool Upload(TUploadMethod method, std::string& failure);
    void KeepPackedCopy();
    void Warn(TSendError code, const std::string& message);
    std::string MailText() const;
    std::vector<TMailAttachment> ReadAttachments() const;
    std::string WriteTemp(const std::string& name, const std::string& bytes);

    const TSendRequest& r_;
    const TMishapModuleOptions& o_;
    ISendPlatform& platform_;
    TSendResult& result_;
    std::string temp_;
    std::string text_;
    std::vector<std::string> files_;  // after the event, before packing
    std::vector<TAttachment> attachments_;
    std::vector<std::string> tempFiles_;
    std::string packed_;  // the packed file when one was made
    std::unique_ptr<ISendProgress> progress_;
    std::set<std::string> delivered_;  // SMTP recipients served, so a retry does not mail them again
};

void TSendRun::Warn(TSendError code, const std::string& message) {
    result_.Warnings.push_back({code, message});
    result_.LastError = code;
    result_.LastErrorMessage = message;
    if (r_.OnWarning) r_.OnWarning(code, message);
}

// A folder of this send's own in the temporary folder: its copies keep the names the receiver
// sees, yet cannot meet the log (which may live in the temporary folder) or another send's copies.
// Creating a folder fails when it exists, so two sends, even of two processes, never share one.
std::string NewSendFolder(const std::string& temp, std::uint32_t tick) {
    static std::atomic<unsigned> counter{0};
    const char separator = !temp.empty() && temp.back() == '/' ? '/' : '\\';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string folder =
            temp + "MishapLog-" + std::to_string(tick) + "-" + std::to_string(counter.fetch_add(1)) + separator;
        if (CreateDir(folder.substr(0, folder.size() - 1))) return folder;
        if (!DirectoryExists(folder.substr(0, folder.size() - 1))) break;
    }
    throw EFCreateError("Cannot create a temporary folder in \"" + temp + "\".");
}

std::string TSendRun::WriteTemp(const std::string& name, const std::string& bytes) {
    const std::string path = temp_ + name;
    AtomicWriteFile(path, bytes);
    tempFiles_.push_back(path);
    return path;
}

std::string TSendRun::TextToSend() {
    if (o_.SendFlags() & sfSendEntireLog) {
        try {
            if (!r_.LogPath.empty() && FileExists(r_.LogPath)) return ReadFileBytes(r_.LogPath);
        } catch (const std::exception&) {
            // An unreadable log leaves the current report to send.
        }
    }
    return r_.ReportText;
}

std::string TSendRun::MailText() const {
    return o_.AppendLogs() ? o_.MailBody() + kBodySeparator + text_ : o_.MailBody();
}

void TSendRun::GatherAttachments() {
    const std::string logName = r_.LogPath.empty() ? std::string("MishapLog.mlf") : ExtractFileName(r_.LogPath);
    std::vector<std::string> files = SplitList(o_.ExtraFiles(), kFileSeparators);
    if (!o_.AppendLogs()) files.push_back(WriteTemp(logName, text_));
    if ((o_.SendFlags() & sfAttachScreenshot) && r_.ScreenshotChecked && !r_.ScreenshotFile.empty())
        files.push_back(r_.ScreenshotFile);
    if ((o_.SendFlags() & sfAttachLastHtmlPage) && !r_.LastHtmlPage.empty())
        files.push_back(WriteTemp(kLastHtmlPageFileName, r_.LastHtmlPage));
    if (o_.SendFlags() & sfAttachXml) {
        TLogFile log;
        try {
            if (!r_.LogPath.empty() && FileExists(r_.LogPath)) log.LoadFromBytes(ReadFileBytes(r_.LogPath));
        } catch (const std::exception&) {
            // An unreadable log gives a copy of the current report alone.
        }
        if (log.Count() == 0 || !o_.SaveLogFile()) log.Add(r_.ReportText, 0xFFFFFFFFu);
        const std::string path = temp_ + ChangeFileExt(logName, ".xml");
        log.SaveAsXml(path, o_, r_.Reproduction);
        tempFiles_.push_back(path);
        files.push_back(path);
    }
    // Missing files are dropped before the event sees the list and again after it, for what it added.
    std::erase_if(files, [](const std::string& f) { return !FileExists(f); });
    if (r_.Events.OnAttachedFiles) r_.Events.OnAttachedFiles(files);
    for (auto& f : files)
        if (FileExists(f)) files_.push_back(f);

    const bool stamp = o_.SendFlags() & sfTimestampAttachments;
    auto name = [&](const std::string& path) {
        return stamp ? StampFileName(ExtractFileName(path), r_.ReportTime) : ExtractFileName(path);
    };
    if ((o_.SendFlags() & sfCompressAttachments) && !files_.empty()) {
        std::vector<std::string> packedFrom;
        Pack(temp_ + kPackedFileName, packedFrom);
        if (!packed_.empty()) attachments_.push_back({packed_, name(packed_)});
        return;
    }
    for (const auto& f : files_) attachments_.push_back({f, name(f)});
}

void TSendRun::Pack(const std::string& archive, std::vector<std::string>& packedFrom) {
    TTGZWriter writer(archive, o_.SendFlags() & sfTimestampAttachments, r_.ReportTime);
    for (const auto& f : files_)
        if (writer.AddFile(f)) packedFrom.push_back(f);
    if (writer.Finish()) {
        packed_ = archive;
        tempFiles_.push_back(archive);
    }
}

std::vector<TMailAttachment> TSendRun::ReadAttachments() const {
    std::vector<TMailAttachment> out;
    for (const auto& a : attachments_) {
        try {
            out.push_back({a.Name, ReadFileBytes(a.Path)});
        } catch (const std::exception&) {
            // A file gone since the list was made is left out, as a missing one is.
        }
    }
    return out;
}

bool TSendRun::RunMethod(TSendMethod method, const std::function<bool(std::string&)>& body) {
    for (;;) {
        if (r_.Events.OnBeforeSend) r_.Events.OnBeforeSend(method);
        std::string failure;
        bool sent = false;
        try {
            sent = body(failure);
        } catch (const std::exception& e) {
            failure = e.what();
        }
        if (r_.Events.OnAfterSend) r_.Events.OnAfterSend(method, sent);
        if (sent) return true;
        if (!r_.Events.OnSendError || !r_.Events.OnSendError(method, failure)) return false;
    }
}

bool TSendRun::SendMailClient(std::string& failure) {
    TMapiMail mail;
    mail.Recipients = SplitList(o_.MailRecipients(), kRecipientSeparators);
    mail.Subject = o_.MailSubject();
    mail.Body = MailText();
    for (const auto& a : attachments_)
        if (FileExists(a.Path)) mail.Attachments.push_back(a.Path);
    std::string why;
    if (platform_.SendMapi(mail, (o_.SendFlags() & sfShowProgress) ? 9u : 1u, why)) return true;
    Warn(TSendError::Mapi, why);
    // The command line cannot carry a long report whole; the log can.
    std::string note = "\r\n[The report is cut short here to fit the mail client's command line.";
    if (o_.SaveLogFile() && !r_.LogPath.empty()) note += " The whole report is in the log file \"" + r_.LogPath + "\".";
    const std::string url = MailtoUrl(mail.Recipients, o_.MailSubject(), o_.MailBody() + kBodySeparator + r_.ReportText,
                                      kMaxMailtoUrl, note + "]");
    why.clear();
    if (platform_.RunMailto(url, r_.Timeouts.MailtoIdleMs, r_.Timeouts.MailtoSettleMs, r_.Timeouts.MailClientMs, why))
        return true;
    Warn(TSendError::Shell, why);
    failure = why;
    return false;
}

bool TSendRun::SendSmtp(bool direct, std::string& failure) {
    const TSmtpMail mail = SmtpMailFromOptions(o_, direct, MailText(), ReadAttachments());
    TSmtpContext context{&platform_, progress_.get(), r_.Timeouts.SocketMs, r_.Timeouts.DnsMs,
                         TSendDeadline([this] { return platform_.TickCount(); }, r_.Timeouts.SmtpTotalMs)};
    bool all = true;
    for (const auto& recipient : SplitList(o_.MailRecipients(), kRecipientSeparators)) {
        if (delivered_.count(recipient)) continue;
        try {
            SendSmtpToRecipient(context, mail, recipient);
            delivered_.insert(recipient);
        } catch (const std::exception& e) {
            failure = std::string("[SMTP] ") + e.what();
            Warn(TSendError::Smtp, failure);
            all = false;
        }
    }
    return all;
}

bool TSendRun::Upload(TUploadMethod method, std::string& failure) {
    const TSendError code = method == TUploadMethod::Http    ? TSendError::Http
                            : method == TUploadMethod::Https ? TSendError::Https
                                                             : TSendError::Ftp;
    TUploadTarget target;
    if (!MakeUploadTarget(method, o_, target, failure)) {
        Warn(code, failure);
        return false;
    }
    target.TimeoutMs = r_.Timeouts.SocketMs;
    if (progress_) progress_->SetStatus(o_.Text(78));
    TUploadOutcome outcome;
    bool sent = false;
    if (method == TUploadMethod::Ftp) {
        std::vector<std::pair<std::string, std::string>> files;
        for (const auto& a : attachments_)
            if (FileExists(a.Path)) files.emplace_back(a.Path, a.Name);
        sent = platform_.FtpPut(target, files, outcome);
    } else {
        std::vector<TFormField> fields = {{"ml_subject", o_.MailSubject()}, {"ml_body", MailText()}};
        std::vector<TFormFile> files;
        for (auto& a : ReadAttachments()) files.push_back({std::move(a.Name), std::move(a.Bytes)});
        const std::string boundary = MakeFormBoundary(platform_.TickCount(), fields, files);
        std::string headers =
            target.User.empty() ? std::string() : BasicAuthorizationHeader(target.User, target.Password);
        if (progress_) progress_->SetStatus(o_.Text(80));
        sent = platform_.HttpPost(target, "multipart/form-data; boundary=" + boundary, headers,
                                  BuildFormBody(boundary, fields, files), outcome) &&
               outcome.HttpStatus >= 200 && outcome.HttpStatus < 300;
    }
    if (sent) return true;
    failure = UploadOutcomeText(method, outcome);
    Warn(code, failure);
    return false;
}

void TSendRun::KeepPackedCopy() {
    std::string archive = packed_;
    if (archive.empty() && !files_.empty()) {
        std::vector<std::string> packedFrom;
        Pack(temp_ + kPackedFileName, packedFrom);
        archive = packed_;
    }
    if (archive.empty()) return;
    const std::string name = (o_.SendFlags() & sfTimestampAttachments) ? StampFileName(kPackedFileName, r_.ReportTime)
                                                                       : std::string(kPackedFileName);
    const std::string folder = ExtractFilePath(r_.LogPath);
    try {
        AtomicWriteFile(folder + name, ReadFileBytes(archive));
    } catch (const std::exception&) {
        // The copy is a convenience; a folder that cannot take it changes nothing else.
    }
    PruneKeptCopies(folder);
}

void TSendRun::Run() {
    // The temporary files go on every path, a raising event or box included.
    struct TCleanUp {
        std::vector<std::string>& files;
        std::string& folder;
        ~TCleanUp() {
            for (const auto& f : files) RemoveFile(f);
            if (!folder.empty()) RemoveDir(folder.substr(0, folder.size() - 1));
        }
    } cleanUp{tempFiles_, temp_};
    text_ = TextToSend();
    const int mailMethod = o_.MailMethod();
    const int uploadMethod = o_.UploadMethod();
    bool ok = true;
    try {
        temp_ = NewSendFolder(platform_.TempFolder(), platform_.TickCount());
        GatherAttachments();
        if ((o_.SendFlags() & sfShowProgress) && r_.GuiProcess) progress_ = platform_.OpenProgress();
        if (mailMethod == 1) {
            ok &= RunMethod(TSendMethod::MailClient, [this](std::string& f) { return SendMailClient(f); });
        } else if (mailMethod == 2 || mailMethod == 3) {
            const bool direct = mailMethod == 3;
            ok &= RunMethod(direct ? TSendMethod::SmtpDirect : TSendMethod::SmtpServer,
                            [this, direct](std::string& f) { return SendSmtp(direct, f); });
        }
        if (uploadMethod >= 1 && uploadMethod <= 3) {
            const auto method = static_cast<TUploadMethod>(uploadMethod);
            const TSendMethod event = method == TUploadMethod::Http    ? TSendMethod::Http
                                      : method == TUploadMethod::Https ? TSendMethod::Https
                                                                       : TSendMethod::Ftp;
            ok &= RunMethod(event, [this, method](std::string& f) { return Upload(method, f); });
        }
    } catch (const std::exception& e) {
        // Gathering failed (a temporary file could not be written): nothing went out.
        const TSendError code = mailMethod == 1                      ? TSendError::Mapi
                                : mailMethod == 2 || mailMethod == 3 ? TSendError::Smtp
                                : uploadMethod == 2                  ? TSendError::Https
                                : uploadMethod == 3                  ? TSendError::Ftp
                                                                     : TSendError::Http;
        Warn(code, std::string("[Send] ") + e.what());
        ok = false;
    }
    progress_.reset();
    result_.Success = ok;

    if (!ok) {
        if (o_.BehaviourFlags() & bfClipboardOnSendFailure) platform_.CopyToClipboard(r_.ReportText);
        if (o_.BehaviourFlags() & bfKeepPackOnSendFailure) KeepPackedCopy();
    }
    if (o_.SendFlags() & sfShowResult)
        platform_.ShowMessageBox(o_.Text(ok ? 94 : 95), o_.Text(0), ok ? kSuccessBoxFlags : kFailureBoxFlags);
}

}  // namespace

TSendResult SendReport(const TSendRequest& request, ISendPlatform& platform) {
    TSendResult result;
    if (!request.Options || request.SendUnchecked) return result;
    const int mail = request.Options->MailMethod();
    const int upload = request.Options->UploadMethod();
    if ((mail < 1 || mail > 3) && (upload < 1 || upload > 3)) return result;
    result.Attempted = true;
    try {
        TSendRun(request, platform, result).Run();
    } catch (const std::exception& e) {
        // The events and the platform may raise anything; the report must still end normally.
        result.Success = false;
        result.LastErrorMessage = e.what();
    }
    return result;
}

}  // namespace quillan::crash
