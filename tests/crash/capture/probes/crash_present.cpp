// A C++ exception thrown in a window's message handler and handed to the application's exception
// handling, with the options of a program that shows the crash dialog, asks for the steps and
// sends the report (from its arguments):
//   dialog=N  DialogFlags      autoclose=N  DialogAutoCloseSeconds
//   send=N    SendFlags        log=N        LogFlags
//   behaviour=N BehaviourFlags smtp=PORT    SMTP through 127.0.0.1:PORT to dev@example.test
//   veto=N    the Terminate button offered from the first report; the host's before-terminate
//             event keeps the process the first N times ("before-terminate.txt" gets a line
//             "main" or "other" per call)
// Markers: "before-send.txt" ("main" or "other": the thread the host's event ran on),
// "after-send.txt" ("sent=0|1"), "handled.txt" once the report returned; the program then ends.
#include <windows.h>

#include <string>

#include "crash/capture/mishaplog_win.h"
#include "crash/capture/presentation_win.h"
#include "crash/options/current_options.h"
#include "framework/core/exceptions.h"
#include "framework/win/application_win.h"
#include "framework/win/window_win.h"
#include "tests/crash/capture/probes/probe_support.h"

namespace quillan {

QUILLAN_EXCEPTION(EProbePresented, Exception);

namespace {

constexpr UINT kThrow = WM_APP + 1;
std::string g_folder;
DWORD g_mainThread = 0;

[[gnu::noinline]] void ThrowPresented() {
    throw EProbePresented("The presented failure.");  // THROW-PRESENTED
}

void ApplyArguments() {
    crash::TMishapModuleOptionsEx& options = crash::CurrentMishapLogOptions();
    auto number = [](const std::string& name, unsigned fallback) {
        const std::string value = probe::Argument(name);
        return value.empty() ? fallback : static_cast<unsigned>(std::stoul(value, nullptr, 0));
    };
    options.SetDialogFlags(static_cast<uint8_t>(number("dialog", options.DialogFlags())));
    options.SetDialogAutoCloseSeconds(number("autoclose", 0));
    options.SetSendFlags(static_cast<uint16_t>(number("send", options.SendFlags())));
    options.SetLogFlags(static_cast<uint8_t>(number("log", options.LogFlags())));
    options.SetBehaviourFlags(static_cast<uint8_t>(number("behaviour", options.BehaviourFlags())));
    if (!probe::Argument("smtp").empty()) {
        options.SetMailMethod(2);
        options.SetSmtpHost("127.0.0.1");
        options.SetSmtpPort(static_cast<uint16_t>(number("smtp", 25)));
        options.SetSmtpSender("app@quillan.test");
        options.SetMailRecipients("dev@example.test");
        options.SetMailSubject("Crash report");
        options.SetMailBody("Something broke.");
    }
    if (!probe::Argument("veto").empty()) {
        options.SetShowTerminateButton(true);
        options.SetReportsBeforeTerminateButton(0);
        static int vetoes = static_cast<int>(number("veto", 0));
        static std::string calls;
        crash::MishapLogDriver()->Events.OnBeforeTerminate = [](const crash::TReportJob&) {
            calls += GetCurrentThreadId() == g_mainThread ? "main\n" : "other\n";
            probe::WriteMarker(g_folder, "before-terminate.txt", calls);
            return vetoes-- <= 0;
        };
    }
    crash::TSendEvents& events = crash::MishapLogSendEvents();
    events.OnBeforeSend = [](crash::TSendMethod) {
        probe::WriteMarker(g_folder, "before-send.txt", GetCurrentThreadId() == g_mainThread ? "main" : "other");
    };
    events.OnAfterSend = [](crash::TSendMethod, bool sent) {
        probe::WriteMarker(g_folder, "after-send.txt", sent ? "sent=1" : "sent=0");
    };
}

class TPresentForm : public win::TWindow {
public:
    void Create() {
        RegisterWindowClass(L"TPresentForm");
        CreateHandle(0, L"TPresentForm", "Present form", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 320, 200, nullptr);
        PostMessageW(hwnd_, kThrow, 0, 0);
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg != kThrow) return TWindow::HandleMessage(msg, wParam, lParam);
        try {
            ThrowPresented();
        } catch (const std::exception& e) {
            win::Application().HandleException(e);
        }
        probe::WriteMarker(g_folder, "handled.txt");
        // Ends at once: a report still being sent from its thread is waited for at the exit.
        PostQuitMessage(0);
        return 0;
    }
};

}  // namespace
}  // namespace quillan

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    quillan::g_folder = quillan::probe::SetupFromCommandLine();
    quillan::g_mainThread = GetCurrentThreadId();
    quillan::ApplyArguments();
    quillan::TPresentForm form;
    form.Create();
    return quillan::win::Application().Run();
}
