// The web-page presentation: the error page written where the web host expects its answer.
#include <windows.h>

#include <cwctype>
#include <string>

#include "crash/dialog/crash_dialog_win.h"
#include "crash/dialog/html_page.h"
#include "crash/options/options.h"
#include "framework/win/proc_table_win.h"

namespace quillan::crash {

namespace {

// A program built as a web server extension exports its entry point.
struct TOwnExports {
    win::TProcLibrary Program{nullptr, win::TProcLibrary::TOpen::Loaded};
    win::TProc<void (*)()> HttpExtensionProc{Program, "HttpExtensionProc"};
};

}  // namespace

TWebHost DetectWebHost() {
    static TOwnExports exports;
    if (exports.HttpExtensionProc.Found()) return TWebHost::Isapi;
    wchar_t gateway[64] = {};
    const DWORD n = GetEnvironmentVariableW(L"GATEWAY_INTERFACE", gateway, 64);
    if (n >= 4 && n < 64 && std::towupper(gateway[0]) == L'C' && std::towupper(gateway[1]) == L'G' &&
        std::towupper(gateway[2]) == L'I' && gateway[3] == L'/')
        return TWebHost::Cgi;
    return TWebHost::None;
}

std::optional<std::string> ShowWebPage(TWebHost host, const TMishapModuleOptions& options, const std::string& message,
                                       const std::string& reportText, bool messageOnly, const std::string& reportId) {
    if (host == TWebHost::None) return std::nullopt;
    // The program is no ISAPI extension: no request's control block is ever handed to it.
    if (host == TWebHost::Isapi) return std::string("ISAPI: ServerECB = nil");
    const std::string html = messageOnly
                                 ? TextToHtml(message) + std::string(kHtmlOkButton)
                                 : TextToHtml(options.Text(TMishapText::DialogMessage) + "\r\n\r\n" + reportText);
    const std::string response =
        CgiResponse(BuildErrorPage(options.HtmlLayout(), html, options.Text(TMishapText::ErrorCaption), reportId));
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    size_t written = 0;
    while (output && output != INVALID_HANDLE_VALUE && written < response.size()) {
        DWORD n = 0;
        if (!WriteFile(output, response.data() + written, static_cast<DWORD>(response.size() - written), &n, nullptr) ||
            n == 0)
            break;
        written += n;
    }
    if (written < response.size()) return std::string("CGI: Cannot write in the ouput file.");
    return std::nullopt;
}

}  // namespace quillan::crash
