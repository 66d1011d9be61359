// Uploads through WinInet, loaded at run time so that a system without it only fails the upload.
#include <windows.h>
#include <wininet.h>

#include "crash/sending/send_platform_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/proc_table_win.h"
#include "framework/win/text.h"

namespace quillan::crash {

namespace {

constexpr char kWinInet[] = "wininet.dll";

// Loaded for one upload and freed after it.
struct TWinInet {
    win::TProcLibrary Library{L"wininet.dll", win::TProcLibrary::TOpen::Scoped};
    win::TProc<decltype(&InternetOpenW)> Open{Library, "InternetOpenW"};
    win::TProc<decltype(&InternetConnectW)> Connect{Library, "InternetConnectW"};
    win::TProc<decltype(&InternetSetOptionW)> SetOption{Library, "InternetSetOptionW"};
    win::TProc<decltype(&HttpOpenRequestW)> OpenRequest{Library, "HttpOpenRequestW"};
    win::TProc<decltype(&HttpSendRequestW)> SendRequest{Library, "HttpSendRequestW"};
    win::TProc<decltype(&HttpQueryInfoW)> QueryInfo{Library, "HttpQueryInfoW"};
    win::TProc<decltype(&InternetReadFile)> ReadFile{Library, "InternetReadFile"};
    win::TProc<decltype(&FtpPutFileW)> PutFile{Library, "FtpPutFileW"};
    win::TProc<decltype(&InternetCloseHandle)> Close{Library, "InternetCloseHandle"};

    // False (outcome filled) when the library or one of its functions is missing.
    bool Load(TUploadOutcome& outcome) {
        Library.Resolve();
        if (Open.Found() && Connect.Found() && SetOption.Found() && OpenRequest.Found() && SendRequest.Found() &&
            QueryInfo.Found() && ReadFile.Found() && PutFile.Found() && Close.Found())
            return true;
        outcome.ErrorCode = static_cast<int>(Library.Module() ? ERROR_PROC_NOT_FOUND : Library.OpenError());
        outcome.Library = kWinInet;
        return false;
    }
};

// An Internet handle, closed through the loaded library.
struct TInternetTraits {
    using Type = HINTERNET;
    decltype(&InternetCloseHandle) close = nullptr;
    static Type Invalid() { return nullptr; }
    void Close(Type h) const { close(h); }
};
class TInternetHandle : public win::UniqueHandle<TInternetTraits> {
public:
    TInternetHandle(const TWinInet& api, HINTERNET h) : UniqueHandle(h, TInternetTraits{api.Close.Get()}) {}
};

bool Fail(TUploadOutcome& outcome) {
    outcome.ErrorCode = static_cast<int>(GetLastError());
    return false;
}

// The session ("MishapLog", "<local>" bypassed) and the connection, with every limit set.
HINTERNET OpenSession(const TWinInet& api, int timeoutMs) {
    HINTERNET session = api.Open.Get()(L"MishapLog", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, L"<local>", 0);
    if (session) {
        DWORD limit = static_cast<DWORD>(timeoutMs);
        for (DWORD option :
             {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
              INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
            api.SetOption.Get()(session, option, &limit, sizeof limit);
    }
    return session;
}

}  // namespace

bool WinInetHttpPost(const TUploadTarget& target, const std::string& contentType, const std::string& extraHeaders,
                     const std::string& body, TUploadOutcome& outcome) {
    TWinInet api;
    if (!api.Load(outcome)) return false;
    TInternetHandle session(api, OpenSession(api, target.TimeoutMs));
    if (!session) return Fail(outcome);
    // Credentials travel in our own Basic header; WinInet is given none.
    TInternetHandle connection(api, api.Connect.Get()(session.get(), win::Wide(target.Host).c_str(), target.Port,
                                                      nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return Fail(outcome);
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                  INTERNET_FLAG_KEEP_CONNECTION;
    if (target.Method == TUploadMethod::Https) flags |= INTERNET_FLAG_SECURE;
    TInternetHandle request(api, api.OpenRequest.Get()(connection.get(), L"POST", win::Wide(target.Path).c_str(),
                                                       nullptr, nullptr, nullptr, flags, 0));
    if (!request) return Fail(outcome);
    const std::wstring headers = win::Wide("Content-Type: " + contentType + "\r\n" + extraHeaders);
    if (!api.SendRequest.Get()(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                               const_cast<char*>(body.data()), static_cast<DWORD>(body.size())))
        return Fail(outcome);
    DWORD status = 0, size = sizeof status;
    if (!api.QueryInfo.Get()(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return Fail(outcome);
    outcome.HttpStatus = static_cast<int>(status);
    wchar_t text[256] = {};
    size = sizeof text - sizeof(wchar_t);
    if (api.QueryInfo.Get()(request.get(), HTTP_QUERY_STATUS_TEXT, text, &size, nullptr))
        outcome.StatusText = win::Narrow(text);
    // The answer is read to its end so that the server sees the exchange finished.
    char buffer[4096];
    DWORD got = 0;
    while (api.ReadFile.Get()(request.get(), buffer, sizeof buffer, &got) && got > 0) {}
    return true;
}

bool WinInetFtpPut(const TUploadTarget& target, const std::vector<std::pair<std::string, std::string>>& files,
                   TUploadOutcome& outcome) {
    TWinInet api;
    if (!api.Load(outcome)) return false;
    TInternetHandle session(api, OpenSession(api, target.TimeoutMs));
    if (!session) return Fail(outcome);
    const std::wstring user = win::Wide(target.User), password = win::Wide(target.Password);
    TInternetHandle connection(api, api.Connect.Get()(session.get(), win::Wide(target.Host).c_str(), target.Port,
                                                      target.User.empty() ? nullptr : user.c_str(),
                                                      target.User.empty() ? nullptr : password.c_str(),
                                                      INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0));
    if (!connection) return Fail(outcome);
    std::string folder = target.Path;
    if (folder.empty() || folder.back() != '/') folder += '/';
    for (const auto& [local, remote] : files) {
        if (!api.PutFile.Get()(connection.get(), win::Wide(local).c_str(), win::Wide(folder + remote).c_str(),
                               FTP_TRANSFER_TYPE_BINARY, 0))
            return Fail(outcome);
    }
    return true;
}

}  // namespace quillan::crash
