// What sending needs of the system: sockets, the mail client, WinInet, the clipboard, boxes and the
// progress box. The Windows layer implements it; host tests use real POSIX sockets and record the
// rest. Platform-free.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillan::crash {

// A TCP connection with a limit on every call. Failures raise EMishapSocketError with the texts
// of socket_errors.h.
class ITcpSocket {
public:
    virtual ~ITcpSocket() = default;
    // Resolves host (a name or a dotted IPv4 address) and connects within timeoutMs.
    virtual void Connect(const std::string& host, std::uint16_t port, int timeoutMs) = 0;
    // The connected peer's IPv4 address, most significant byte first.
    virtual std::uint32_t PeerAddress() const = 0;
    virtual void SendAll(std::string_view bytes, int timeoutMs) = 0;
    // Waits at most timeoutMs for data; returns how many bytes arrived, 0 when the peer closed.
    virtual size_t Receive(char* buffer, size_t size, int timeoutMs) = 0;
    // Safe to call twice; raises only when the system refuses to close.
    virtual void Close() = 0;
};

// A UDP socket for name lookups.
class IUdpSocket {
public:
    virtual ~IUdpSocket() = default;
    // address is a dotted IPv4 address. Raises EMishapSocketError.
    virtual void SendTo(const std::string& address, std::uint16_t port, std::string_view datagram) = 0;
    // One datagram, or false when none came within timeoutMs.
    virtual bool ReceiveFrom(std::string& datagram, int timeoutMs) = 0;
};

// The sending progress box as the send step drives it.
class ISendProgress {
public:
    virtual ~ISendProgress() = default;
    virtual void SetStatus(const std::string& text) = 0;  // texts 77 to 80
    virtual void SetPosition(int percent) = 0;            // 0 to 100
};

// The broken-down local date and time of a mail's "Date:" header.
struct TMailDate {
    int Year = 1970, Month = 1, Day = 1;  // Month 1 to 12
    int DayOfWeek = 4;                    // 0 Sunday to 6 Saturday
    int Hour = 0, Minute = 0, Second = 0;
    int OffsetMinutes = 0;  // local time minus UTC
};

// A mail for the mail client's Simple MAPI.
struct TMapiMail {
    std::vector<std::string> Recipients;  // plain addresses; the platform adds "SMTP:"
    std::string Subject;
    std::string Body;
    std::vector<std::string> Attachments;  // paths
};

enum class TUploadMethod : int { Http = 1, Https = 2, Ftp = 3 };

// Where an upload goes, after the URL split and the option overrides.
struct TUploadTarget {
    TUploadMethod Method = TUploadMethod::Http;
    std::string Host;
    std::uint16_t Port = 0;
    std::string Path;  // starts with "/"
    std::string User;
    std::string Password;
    int TimeoutMs = 30000;  // connect, send and receive
};

// How an upload ended.
struct TUploadOutcome {
    int ErrorCode = 0;       // WinInet's code, or the system's when WinInet is missing; 0: none
    std::string Library;     // set when WinInet could not be loaded: its file name
    int HttpStatus = 0;      // the server's answer to a POST; 0: none came
    std::string StatusText;  // its reason phrase
};

class ISendPlatform {
public:
    virtual ~ISendPlatform() = default;

    virtual std::string TempFolder() = 0;  // ends in a separator
    virtual std::string LocalHostName() = 0;
    virtual std::uint32_t TickCount() = 0;
    virtual TMailDate Now() = 0;
    // The system's DNS server as a dotted IPv4 address, optionally followed by ":" and a port;
    // empty when there is none.
    virtual std::string DnsServer() = 0;
    virtual std::unique_ptr<ITcpSocket> NewTcpSocket() = 0;
    virtual std::unique_ptr<IUdpSocket> NewUdpSocket() = 0;

    // Simple MAPI through the mail client's library. On failure returns false with one of the
    // four MAPI texts in failure. flags go to MAPISendMail.
    virtual bool SendMapi(const TMapiMail& mail, unsigned flags, std::string& failure) = 0;
    // Starts the "mailto:" command of the system with url and waits for the client to end, at most
    // totalMs in all (a client still running then counts as having taken the mail).
    virtual bool RunMailto(const std::string& url, int idleMs, int settleMs, int totalMs, std::string& failure) = 0;

    // One multipart POST; false when it could not be sent (outcome says why). A sent request
    // returns true with the server's status in outcome.
    virtual bool HttpPost(const TUploadTarget& target, const std::string& contentType, const std::string& extraHeaders,
                          const std::string& body, TUploadOutcome& outcome) = 0;
    // Stores each local file under its remote name; stops at the first failure.
    virtual bool FtpPut(const TUploadTarget& target, const std::vector<std::pair<std::string, std::string>>& files,
                        TUploadOutcome& outcome) = 0;

    virtual void CopyToClipboard(const std::string& text) = 0;
    virtual void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
    // The progress box, open; null when it cannot be shown.
    virtual std::unique_ptr<ISendProgress> OpenProgress() = 0;
};

}  // namespace quillan::crash
