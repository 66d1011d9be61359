// The send step's system on Windows: Winsock, the mail client (Simple MAPI and the "mailto:"
// command), WinInet, the clipboard and message boxes.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "crash/sending/send_platform.h"

namespace quillan::crash {

struct TWinSendSettings {
    // The DNS server of the direct method ("a.b.c.d" or "a.b.c.d:port"); empty: the system's, as
    // GetNetworkParams names it. Tests set their own server here.
    std::string DnsServer;
    // Opens the sending progress box; unset: none is shown. The driver plugs the crash dialog's
    // box in through OpenProgressBox (send_progress_adapter.h).
    std::function<std::unique_ptr<ISendProgress>()> OpenProgress;
};

std::unique_ptr<ISendPlatform> NewWindowsSendPlatform(TWinSendSettings settings = {});

// The first DNS server of GetNetworkParams ("IPHLPAPI.DLL", loaded at run time), or empty.
std::string SystemDnsServer();

// Winsock sockets (Winsock is started once, on first use).
std::unique_ptr<ITcpSocket> NewWinsockTcpSocket();
std::unique_ptr<IUdpSocket> NewWinsockUdpSocket();

// Simple MAPI through the mail client's library (registry "SOFTWARE\Clients\Mail", else
// "mapi32.dll").
bool SendMapiMail(const TMapiMail& mail, unsigned flags, std::string& failure);
// The library Simple MAPI is loaded from.
std::string MapiLibraryPath();

// Starts the "mailto:" command of HKEY_CLASSES_ROOT with url, waits for the client's input idle
// (idleMs), pauses settleMs, makes its first window top-most and waits for it to end; all of it
// within totalMs, after which a client still running is taken to have the mail (true). A command
// line longer than a process can be given fails before anything is started.
inline constexpr int kMailClientWaitMs = 120000;
bool RunMailtoCommand(const std::string& url, int idleMs, int settleMs, std::string& failure,
                      int totalMs = kMailClientWaitMs);

// WinInet uploads.
bool WinInetHttpPost(const TUploadTarget& target, const std::string& contentType, const std::string& extraHeaders,
                     const std::string& body, TUploadOutcome& outcome);
bool WinInetFtpPut(const TUploadTarget& target, const std::vector<std::pair<std::string, std::string>>& files,
                   TUploadOutcome& outcome);

}  // namespace quillan::crash
