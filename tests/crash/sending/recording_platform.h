// A send platform for the host tests: real POSIX sockets, and a record of everything else that
// the Windows layer would do (mail client, uploads, clipboard, boxes, progress).
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "crash/sending/send_platform.h"
#include "crash/sending/socket_posix.h"

namespace quillan::test {

class TRecordingPlatform : public crash::ISendPlatform {
public:
    explicit TRecordingPlatform(std::string temp) : temp_(std::move(temp)) {}

    // What the mail client and uploads answer.
    bool MapiResult = false;
    std::string MapiFailure = "Cannot open the MAPI dll.";
    bool MailtoResult = false;
    bool UploadResult = true;
    crash::TUploadOutcome UploadOutcome{0, {}, 200, "OK"};
    std::string Dns;

    // What was asked of it.
    std::vector<crash::TMapiMail> MapiMails;
    std::vector<unsigned> MapiFlags;
    std::vector<std::string> MailtoUrls;
    struct TPost {
        crash::TUploadTarget Target;
        std::string ContentType, Headers, Body;
    };
    std::vector<TPost> Posts;
    std::vector<std::vector<std::pair<std::string, std::string>>> FtpPuts;
    std::vector<std::string> Clipboard;
    struct TBox {
        std::string Text, Caption;
        unsigned Flags;
    };
    std::vector<TBox> Boxes;
    std::vector<std::string> Statuses;
    std::vector<int> Positions;
    int ProgressOpened = 0;

    std::string TempFolder() override { return temp_; }
    std::string LocalHostName() override { return "quillan-host"; }
    std::uint32_t TickCount() override {
        return static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
    }
    crash::TMailDate Now() override { return {2024, 1, 2, 2, 3, 4, 5, 180}; }
    std::string DnsServer() override { return Dns; }
    std::unique_ptr<crash::ITcpSocket> NewTcpSocket() override { return crash::NewPosixTcpSocket(); }
    std::unique_ptr<crash::IUdpSocket> NewUdpSocket() override { return crash::NewPosixUdpSocket(); }

    bool SendMapi(const crash::TMapiMail& mail, unsigned flags, std::string& failure) override {
        MapiMails.push_back(mail);
        MapiFlags.push_back(flags);
        if (!MapiResult) failure = MapiFailure;
        return MapiResult;
    }
    bool RunMailto(const std::string& url, int, int, int, std::string& failure) override {
        MailtoUrls.push_back(url);
        if (!MailtoResult) failure = "Cannot find the \"mailto:\" command.";
        return MailtoResult;
    }
    bool HttpPost(const crash::TUploadTarget& target, const std::string& contentType, const std::string& headers,
                  const std::string& body, crash::TUploadOutcome& outcome) override {
        Posts.push_back({target, contentType, headers, body});
        outcome = UploadOutcome;
        return UploadResult;
    }
    bool FtpPut(const crash::TUploadTarget&, const std::vector<std::pair<std::string, std::string>>& files,
                crash::TUploadOutcome& outcome) override {
        FtpPuts.push_back(files);
        outcome = UploadOutcome;
        return UploadResult;
    }
    void CopyToClipboard(const std::string& text) override { Clipboard.push_back(text); }
    void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
        Boxes.push_back({text, caption, flags});
    }

    class TProgress : public crash::ISendProgress {
    public:
        explicit TProgress(TRecordingPlatform& owner) : owner_(owner) {}
        void SetStatus(const std::string& text) override { owner_.Statuses.push_back(text); }
        void SetPosition(int percent) override { owner_.Positions.push_back(percent); }

    private:
        TRecordingPlatform& owner_;
    };
    std::unique_ptr<crash::ISendProgress> OpenProgress() override {
        ++ProgressOpened;
        return std::make_unique<TProgress>(*this);
    }

private:
    std::string temp_;
};

}  // namespace quillan::test
