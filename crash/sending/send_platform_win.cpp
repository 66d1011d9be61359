// The send step's system on Windows.
#include <winsock2.h>
#include <iphlpapi.h>

#include <vector>

#include "crash/sending/send_platform_win.h"
#include "framework/clipboard/clipboard_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/proc_table_win.h"
#include "framework/win/text.h"

namespace quillan::crash {

namespace {

class TWinSendPlatform : public ISendPlatform {
public:
    explicit TWinSendPlatform(TWinSendSettings settings) : settings_(std::move(settings)) {}

    std::string TempFolder() override {
        wchar_t path[MAX_PATH + 1];
        const DWORD n = GetTempPathW(MAX_PATH + 1, path);
        std::string folder = n ? win::Narrow(std::wstring_view(path, n)) : std::string(".\\");
        if (folder.back() != '\\') folder += '\\';
        return folder;
    }

    std::string LocalHostName() override {
        wchar_t name[256];
        DWORD size = 256;
        if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return "localhost";
        return win::Narrow(std::wstring_view(name, size));
    }

    std::uint32_t TickCount() override { return GetTickCount(); }

    TMailDate Now() override {
        FILETIME utc, local;
        GetSystemTimeAsFileTime(&utc);
        FileTimeToLocalFileTime(&utc, &local);
        SYSTEMTIME t;
        FileTimeToSystemTime(&local, &t);
        const auto ticks = [](const FILETIME& f) {
            return static_cast<long long>(ULARGE_INTEGER{{f.dwLowDateTime, f.dwHighDateTime}}.QuadPart);
        };
        TMailDate d;
        d.Year = t.wYear;
        d.Month = t.wMonth;
        d.Day = t.wDay;
        d.DayOfWeek = t.wDayOfWeek;
        d.Hour = t.wHour;
        d.Minute = t.wMinute;
        d.Second = t.wSecond;
        d.OffsetMinutes = static_cast<int>((ticks(local) - ticks(utc)) / 600000000LL);
        return d;
    }

    std::string DnsServer() override { return settings_.DnsServer.empty() ? SystemDnsServer() : settings_.DnsServer; }
    std::unique_ptr<ITcpSocket> NewTcpSocket() override { return NewWinsockTcpSocket(); }
    std::unique_ptr<IUdpSocket> NewUdpSocket() override { return NewWinsockUdpSocket(); }

    bool SendMapi(const TMapiMail& mail, unsigned flags, std::string& failure) override {
        return SendMapiMail(mail, flags, failure);
    }
    bool RunMailto(const std::string& url, int idleMs, int settleMs, int totalMs, std::string& failure) override {
        return RunMailtoCommand(url, idleMs, settleMs, failure, totalMs);
    }
    bool HttpPost(const TUploadTarget& target, const std::string& contentType, const std::string& extraHeaders,
                  const std::string& body, TUploadOutcome& outcome) override {
        return WinInetHttpPost(target, contentType, extraHeaders, body, outcome);
    }
    bool FtpPut(const TUploadTarget& target, const std::vector<std::pair<std::string, std::string>>& files,
                TUploadOutcome& outcome) override {
        return WinInetFtpPut(target, files, outcome);
    }

    void CopyToClipboard(const std::string& text) override {
        // A clipboard that stays busy leaves the report in the log only, as the failure box says.
        (void)win::CopyTextToClipboard(text);
    }

    void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
        MessageBoxW(nullptr, win::Wide(text).c_str(), win::Wide(caption).c_str(), flags);
    }

    std::unique_ptr<ISendProgress> OpenProgress() override {
        return settings_.OpenProgress ? settings_.OpenProgress() : nullptr;
    }

private:
    TWinSendSettings settings_;
};

DWORD WINAPI NoNetworkParams(PFIXED_INFO, PULONG) { return ERROR_NOT_SUPPORTED; }

}  // namespace

std::unique_ptr<ISendPlatform> NewWindowsSendPlatform(TWinSendSettings settings) {
    return std::make_unique<TWinSendPlatform>(std::move(settings));
}

std::string SystemDnsServer() {
    // Loaded for this one question: a system without it sends through the mail client instead.
    win::TProcLibrary library(L"IPHLPAPI.DLL", win::TProcLibrary::TOpen::Scoped);
    win::TProc<DWORD(WINAPI*)(PFIXED_INFO, PULONG)> network(library, "GetNetworkParams", &NoNetworkParams);
    const auto get = network.Get();
    ULONG size = 0;
    if (get(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) return {};
    std::vector<char> buffer(size);
    auto* info = reinterpret_cast<PFIXED_INFO>(buffer.data());
    if (get(info, &size) != ERROR_SUCCESS) return {};
    return info->DnsServerList.IpAddress.String;
}

}  // namespace quillan::crash
