// The crash dialog, the reproduction request, the web page and sending joined to the report flow,
// in real processes under Wine: a crash program shows its dialog, asks for the steps, mails its
// report to a loopback SMTP server (aiosmtpd) in place or from its sending thread, or fails to
// and leaves the report on the clipboard, or answers as a CGI program on its standard output.
// Python's tarfile and XML parser read back what was packed.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "crash/options/options.h"
#include "resources/crash_dialog_ids.h"
#include "tests/crash/capture/probe_runner.h"
#include "tests/crash/sending/send_fixture.h"

namespace quillan::test {
namespace {

using namespace crash;

constexpr char kMessage[] = "The presented failure.";
// The carried configuration's flags, with which the tests' own are combined.
constexpr unsigned kCarriedLogFlags = lfSkipDuplicates | lfGatherModules | lfGatherCpu;
constexpr unsigned kCompactDialog = dfShowDialog | dfSendChecked | dfAttachScreenshotChecked;

std::string Option(const std::string& name, unsigned value) { return name + "=" + std::to_string(value); }

// --- Windows of the crash program.

HWND FindDialog(DWORD process, const std::string& title, bool crashDialog = false) {
    // The crash dialog is the one with the tab control.
    return FindDialogBox(process, title,
                         [&](HWND box) { return (GetDlgItem(box, ML_ID_TABS) != nullptr) == crashDialog; });
}

HWND AwaitDialog(DWORD process, const std::string& title, bool crashDialog = false, DWORD timeoutMs = 30000) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindDialog(process, title, crashDialog)) != nullptr; }, timeoutMs);
    return found;
}

// A click as the user gives it: a check box toggles, a button tells its dialog.
void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// --- What arrived.

struct TPngHeader {
    bool Valid = false;
    unsigned Width = 0, Height = 0, Depth = 0, ColourType = 0;
};

TPngHeader PngHeader(const std::string& bytes) {
    TPngHeader header;
    auto be32 = [&](size_t at) {
        return (unsigned(uint8_t(bytes[at])) << 24) | (unsigned(uint8_t(bytes[at + 1])) << 16) |
               (unsigned(uint8_t(bytes[at + 2])) << 8) | unsigned(uint8_t(bytes[at + 3]));
    };
    if (bytes.size() < 33 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || be32(8) != 13 ||
        bytes.compare(12, 4, "IHDR") != 0)
        return header;
    header.Valid = true;
    header.Width = be32(16);
    header.Height = be32(20);
    header.Depth = uint8_t(bytes[24]);
    header.ColourType = uint8_t(bytes[25]);
    return header;
}

// The screenshot of the whole desktop: an 8-bit palette picture of the virtual screen.
void ExpectDesktopScreenshot(const std::string& bytes) {
    const TPngHeader png = PngHeader(bytes);
    ASSERT_TRUE(png.Valid);
    EXPECT_EQ(png.Width, unsigned(GetSystemMetrics(SM_CXVIRTUALSCREEN)));
    EXPECT_EQ(png.Height, unsigned(GetSystemMetrics(SM_CYVIRTUALSCREEN)));
    EXPECT_EQ(png.Depth, 8u);
    EXPECT_EQ(png.ColourType, 3u);
}

// Two report texts equal, or where they part.
::testing::AssertionResult SameText(std::string_view sent, std::string_view logged) {
    if (sent == logged) return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < sent.size() && at < logged.size() && sent[at] == logged[at]) ++at;
    const size_t from = at < 40 ? 0 : at - 40;
    return ::testing::AssertionFailure() << "sizes " << sent.size() << " and " << logged.size() << ", apart from " << at
                                         << ":\n  " << ::testing::PrintToString(std::string(sent.substr(from, 80)))
                                         << "\n  " << ::testing::PrintToString(std::string(logged.substr(from, 80)));
}

// A logged report as it was made: the log keeps each one followed by its separator.
std::string ReportMade(const crash::TLogFile& log, int index) {
    std::string text(log.Report(index));
    const std::string separator = "\r\n\r\n\r\n";
    EXPECT_GE(text.size(), separator.size());
    if (text.size() >= separator.size() &&
        text.compare(text.size() - separator.size(), separator.size(), separator) == 0)
        text.resize(text.size() - separator.size());
    return text;
}

const TPart* FindPart(const std::vector<TPart>& parts, const std::string& name) {
    for (const TPart& part : parts)
        if (part.Name == name) return &part;
    return nullptr;
}

std::vector<std::string> PartNames(const std::vector<TPart>& parts) {
    std::vector<std::string> names;
    for (const TPart& part : parts) names.push_back(part.Name);
    return names;
}

// A folder under the Linux /tmp, for Python to read from and write to.
class TUnixFolder {
public:
    TUnixFolder() {
        static int counter = 0;
        unix_ = "/tmp/quillan-present-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) + "/";
        CreateDirectoryA(Local("").c_str(), nullptr);
    }
    ~TUnixFolder() {
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA(Local("*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(Local(found.cFileName).c_str());
            } while (FindNextFileA(find, &found));
            FindClose(find);
        }
        RemoveDirectoryA(Local("").c_str());
    }
    std::string Unix(const std::string& name) const { return unix_ + name; }
    std::string Local(const std::string& name) const { return TLoopbackLab::LocalPath(unix_ + name); }
    std::string Read(const std::string& name) const {
        return FileExists(Local(name)) ? ReadFileBytes(Local(name)) : std::string("<missing>");
    }

private:
    std::string unix_;
};

// Runs report_oracle.py (Linux Python, started as a Unix program) and waits for its outcome.
bool RunOracle(const std::string& command, const std::string& input, const TUnixFolder& out) {
    const char* source = std::getenv("QUILLAN_SOURCE_DIR");
    std::string line = "/usr/bin/python3 " + std::string(source ? source : ".") +
                       "/tests/crash/capture/report_oracle.py " + command + " " + input + " " + out.Unix("");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA("Z:\\usr\\bin\\python3", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "cannot start /usr/bin/python3: " << GetLastError();
        return false;
    }
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    const bool ended = WaitFor([&] { return FileExists(out.Local("done")) || FileExists(out.Local("failed")); }, 30000);
    if (!ended || FileExists(out.Local("failed"))) {
        ADD_FAILURE() << "oracle " << command << ": " << (ended ? out.Read("failed") : "no answer");
        return false;
    }
    return true;
}

// The one message the SMTP server received, or an empty record.
std::vector<TLabLine> OnlyMessage(TLoopbackLab& lab) {
    auto messages = lab.Records("smtp", "message");
    EXPECT_EQ(messages.size(), 1u);
    return messages.empty() ? std::vector<TLabLine>() : messages.front();
}

// --- The crash dialog.

TEST(Presentation, TheDialogShowsTheMessageAndTheReportIsLoggedOnceItIsClosed) {
    TProbe probe("crash_present", {Option("dialog", kCompactDialog)});
    ASSERT_TRUE(probe.Start());
    HWND dialog = AwaitDialog(probe.ProcessId(), "Error.", true);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(win::GetWindowTextA1251(GetDlgItem(dialog, ML_ID_MESSAGE)), kMessage);
    // The report waits for the user: nothing is logged yet and the handler has not gone on.
    EXPECT_EQ(probe.Log().Count(), 0);
    EXPECT_FALSE(probe.HasMarker("handled.txt"));
    Click(dialog, ML_ID_OK);
    EXPECT_EQ(probe.WaitForExit(), 0);
    EXPECT_TRUE(probe.HasMarker("handled.txt"));
    crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.ItemValue(0, "2.5"), kMessage);
    // Nothing is configured to send.
    EXPECT_FALSE(probe.HasMarker("before-send.txt"));
}

TEST(Presentation, TerminateAsksTheHostsEventOnTheWaitingThreadAndAVetoShowsTheDialogAgain) {
    TProbe probe("crash_present", {Option("dialog", kCompactDialog), "veto=1", "terminate=0"});
    ASSERT_TRUE(probe.Start());
    HWND dialog = AwaitDialog(probe.ProcessId(), "Error.", true);
    ASSERT_NE(dialog, nullptr);
    HWND button = GetDlgItem(dialog, ML_ID_TERMINATE);
    ASSERT_TRUE(button != nullptr && IsWindowVisible(button));
    EXPECT_EQ(win::GetWindowTextA1251(button), "&Terminate");
    Click(dialog, ML_ID_TERMINATE);
    // The host kept the process: the same report's dialog again.
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 10000));
    dialog = AwaitDialog(probe.ProcessId(), "Error.", true);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ReadFileBytes(probe.Marker("before-terminate.txt")), "main\n");
    EXPECT_EQ(probe.Log().Count(), 0);
    Click(dialog, ML_ID_TERMINATE);
    // Now it ends, once the report is logged (the program's handler never went on).
    EXPECT_EQ(probe.WaitForExit(), 1);
    EXPECT_EQ(ReadFileBytes(probe.Marker("before-terminate.txt")), "main\nmain\n");
    EXPECT_EQ(probe.Log().Count(), 1);
    EXPECT_FALSE(probe.HasMarker("handled.txt"));
}

TEST(Presentation, TheDialogClosesByItselfAndTheStepsAskedAfterwardsTravelInTheXmlCopy) {
    TLoopbackLab lab;
    const auto port = lab.Start("smtp");
    TProbe probe("crash_present", {Option("dialog", kCompactDialog), "autoclose=1",
                                   Option("log", kCarriedLogFlags | lfAskReproduceSteps), Option("send", sfAttachXml),
                                   Option("smtp", port)});
    ASSERT_TRUE(probe.Start());
    HWND dialog = AwaitDialog(probe.ProcessId(), "Error.", true);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 15000)) << "the dialog did not close by itself";
    HWND request = AwaitDialog(probe.ProcessId(), "Request");
    ASSERT_NE(request, nullptr);
    const std::string steps = "Open the window; the failure comes at once.";
    SendMessageW(GetDlgItem(request, ML_ID_REQUEST_TEXT), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(win::Wide(steps).c_str()));
    Click(request, ML_ID_OK);
    EXPECT_EQ(probe.WaitForExit(), 0);
    ASSERT_EQ(probe.Log().Count(), 1);

    const auto parts = Parts(OnlyMessage(lab));
    EXPECT_EQ(PartNames(parts), (std::vector<std::string>{"", "crash_present.mlf", "crash_present.xml"}));
    const TPart* xml = FindPart(parts, "crash_present.xml");
    ASSERT_NE(xml, nullptr);
    TUnixFolder folder;
    WriteBytes(folder.Local("copy.xml"), xml->Bytes);
    ASSERT_TRUE(RunOracle("xml", folder.Unix("copy.xml"), folder));
    EXPECT_EQ(folder.Read("steps.txt"), steps);
    // In place, the host's event ran on the thread that waited for the report.
    EXPECT_EQ(ReadFileBytes(probe.Marker("before-send.txt")), "main");
}

TEST(Presentation, WhatTheUserClearsInTheDialogIsNotSent) {
    TLoopbackLab lab;
    const auto port = lab.Start("smtp");
    {
        TProbe probe("crash_present",
                     {Option("dialog", kCompactDialog), Option("send", sfAttachScreenshot), Option("smtp", port)});
        ASSERT_TRUE(probe.Start());
        HWND dialog = AwaitDialog(probe.ProcessId(), "Error.", true);
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(IsDlgButtonChecked(dialog, ML_ID_SCREENSHOT), BST_CHECKED);
        Click(dialog, ML_ID_SCREENSHOT);
        Click(dialog, ML_ID_OK);
        EXPECT_EQ(probe.WaitForExit(), 0);
        const auto parts = Parts(OnlyMessage(lab));
        EXPECT_EQ(PartNames(parts), (std::vector<std::string>{"", "crash_present.mlf"}));
    }
    TProbe probe("crash_present",
                 {Option("dialog", kCompactDialog), Option("send", sfAttachScreenshot), Option("smtp", port)});
    ASSERT_TRUE(probe.Start());
    HWND dialog = AwaitDialog(probe.ProcessId(), "Error.", true);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, ML_ID_SEND);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, ML_ID_SCREENSHOT)));
    Click(dialog, ML_ID_OK);
    EXPECT_EQ(probe.WaitForExit(), 0);
    EXPECT_EQ(probe.Log().Count(), 1);
    EXPECT_FALSE(probe.HasMarker("before-send.txt"));
    // Still only the first program's message.
    EXPECT_EQ(lab.Records("smtp", "message").size(), 1u);
}

// --- Sending.

TEST(Presentation, SmtpInPlaceCarriesTheReportAndTheDesktopScreenshot) {
    TLoopbackLab lab;
    const auto port = lab.Start("smtp");
    TProbe probe("crash_present", {Option("dialog", 0), Option("send", sfAttachScreenshot), Option("smtp", port)});
    EXPECT_EQ(probe.Run(), 0);
    crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 1);
    const auto message = OnlyMessage(lab);
    EXPECT_EQ(Header(message, "Subject"), "Crash report");
    EXPECT_EQ(test::Field(message, "rcpt"), std::vector<std::string>{"dev@example.test"});
    const auto parts = Parts(message);
    ASSERT_EQ(PartNames(parts), (std::vector<std::string>{"", "crash_present.mlf", "Screenshot.png"}));
    EXPECT_EQ(parts[0].Bytes.rfind("Something broke.", 0), 0u);
    EXPECT_TRUE(SameText(parts[1].Bytes, ReportMade(log, 0)));
    EXPECT_EQ(parts[2].Type, "image/png");
    ExpectDesktopScreenshot(parts[2].Bytes);
    EXPECT_EQ(ReadFileBytes(probe.Marker("before-send.txt")), "main");
    EXPECT_EQ(ReadFileBytes(probe.Marker("after-send.txt")), "sent=1");
}

TEST(Presentation, OnTheSendingThreadTheAttachmentsArePackedIntoOneArchive) {
    TLoopbackLab lab;
    const auto port = lab.Start("smtp");
    TProbe probe("crash_present",
                 {Option("dialog", 0), Option("send", sfAttachScreenshot | sfCompressAttachments | sfSendInThread),
                  Option("smtp", port)});
    EXPECT_EQ(probe.Run(), 0);
    crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 1);
    const auto parts = Parts(OnlyMessage(lab));
    ASSERT_EQ(PartNames(parts), (std::vector<std::string>{"", "CompressFiles.tgz"}));
    TUnixFolder folder;
    WriteBytes(folder.Local("sent.tgz"), parts[1].Bytes);
    ASSERT_TRUE(RunOracle("untar", folder.Unix("sent.tgz"), folder));
    const std::string report = ReportMade(log, 0);
    const std::string png = folder.Read("Screenshot.png");
    EXPECT_EQ(folder.Read("members.txt"), "crash_present.mlf " + std::to_string(report.size()) + "\nScreenshot.png " +
                                              std::to_string(png.size()) + "\n");
    EXPECT_TRUE(SameText(folder.Read("crash_present.mlf"), report));
    ExpectDesktopScreenshot(png);
    // The program ended at once after the report; the sending thread was waited for at its exit.
    EXPECT_TRUE(probe.HasMarker("handled.txt"));
    // The host's events ran on the sending thread: no report was waiting any more.
    EXPECT_EQ(ReadFileBytes(probe.Marker("before-send.txt")), "other");
    EXPECT_EQ(ReadFileBytes(probe.Marker("after-send.txt")), "sent=1");
}

std::string ClipboardText() {
    std::string text = "<clipboard busy>";
    WaitFor(
        [&] {
            if (!OpenClipboard(nullptr)) return false;
            HANDLE data = GetClipboardData(CF_TEXT);
            const char* bytes = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
            text = bytes ? bytes : "<no text>";
            if (bytes) GlobalUnlock(data);
            CloseClipboard();
            return true;
        },
        5000);
    return text;
}

void SetClipboardText(const std::string& text) {
    ASSERT_TRUE(WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 5000));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
}

TEST(Presentation, AFailedSendIsWarnedInABoxOverTheProgressAndLeavesTheReportOnTheClipboard) {
    SetClipboardText("before the report");
    const unsigned short port = TLoopbackLab::RefusedPort();
    TProbe probe("crash_present",
                 {Option("dialog", 0), Option("send", sfShowProgress),
                  Option("behaviour", bfPreferMainModule | bfClipboardOnSendFailure), Option("smtp", port)});
    ASSERT_TRUE(probe.Start());
    HWND box = AwaitDialog(probe.ProcessId(), "Error.");
    ASSERT_NE(box, nullptr);
    const auto texts = ChildTexts(box);
    bool smtp = false;
    for (const std::string& text : texts)
        smtp |= text.rfind("[SMTP] ", 0) == 0 && text.find("Connection error") != std::string::npos;
    EXPECT_TRUE(smtp) << ::testing::PrintToString(texts);
    // The warning is shown while the progress box is still open.
    EXPECT_NE(FindDialog(probe.ProcessId(), "SMTP sending..."), nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(probe.WaitForExit(), 0);
    crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(ReadFileBytes(probe.Marker("after-send.txt")), "sent=0");
    EXPECT_TRUE(SameText(ClipboardText(), ReportMade(log, 0)));
}

// Opens the clipboard for a window on a thread of its own, as another program would, and holds it
// until released. (Wine lets a second opener without a window in while the holder has none either.)
struct TClipboardHolder {
    HANDLE Opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE Release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool Held = false;
    static DWORD WINAPI Hold(void* self) {
        auto* holder = static_cast<TClipboardHolder*>(self);
        HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        holder->Held = WaitFor([owner] { return OpenClipboard(owner) != FALSE; }, 5000);
        SetEvent(holder->Opened);
        if (holder->Held) {
            WaitForSingleObject(holder->Release, 10000);
            CloseClipboard();
        }
        DestroyWindow(owner);
        return 0;
    }
};

// "Copy to Clipboard" in the dialog while another program holds the clipboard for a moment: the
// copy waits for it instead of giving up at once.
TEST(Presentation, TheDialogsCopyWaitsForAClipboardHeldAMoment) {
    SetClipboardText("before the report");
    TProbe probe("crash_present", {Option("dialog", kCompactDialog | dfShowCopyToClipboard)});
    ASSERT_TRUE(probe.Start());
    HWND dialog = AwaitDialog(probe.ProcessId(), "Error.", true);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, ML_ID_COPY);
    TClipboardHolder holder;
    HANDLE thread = CreateThread(nullptr, 0, TClipboardHolder::Hold, &holder, 0, nullptr);
    WaitForSingleObject(holder.Opened, 10000);
    ASSERT_TRUE(holder.Held);
    Click(dialog, ML_ID_OK);
    // Once the dialog is gone the report is copied at once; the clipboard comes free a moment later,
    // well within the copy's patience.
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 10000));
    Sleep(100);
    SetEvent(holder.Release);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    CloseHandle(holder.Opened);
    CloseHandle(holder.Release);
    EXPECT_EQ(probe.WaitForExit(), 0);
    crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_TRUE(SameText(ClipboardText(), ReportMade(log, 0)));
}

// --- The web page.

// Runs crash_cgi as a CGI program; returns what it wrote to its standard output.
std::string RunCgi(TProbe& probe, int& exitCode) {
    const std::string output = probe.Folder() + "stdout.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(win::Wide(output).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(out, INVALID_HANDLE_VALUE);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring command = win::Wide(probe.CommandLine());
    PROCESS_INFORMATION process = {};
    SetEnvironmentVariableW(L"GATEWAY_INTERFACE", L"CGI/1.1");
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        win::Wide(probe.Folder()).c_str(), &startup, &process);
    SetEnvironmentVariableW(L"GATEWAY_INTERFACE", nullptr);
    CloseHandle(out);
    exitCode = -1;
    if (!started) {
        ADD_FAILURE() << "cannot start " << probe.CommandLine();
        return {};
    }
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        exitCode = static_cast<int>(code);
    } else {
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ReadFileBytes(output);
}

// The page after the CGI header, checked against the header's length.
std::string CgiPage(const std::string& response) {
    const std::string head = "Status: 200 Error\r\nContent-Type: text/html\r\nContent-Length: ";
    EXPECT_EQ(response.rfind(head, 0), 0u) << response.substr(0, 200);
    const size_t end = response.find("\r\n\r\n");
    if (response.rfind(head, 0) != 0 || end == std::string::npos) return {};
    const std::string page = response.substr(end + 4);
    EXPECT_EQ(response.substr(head.size(), end - head.size()), std::to_string(page.size()));
    return page;
}

TEST(Presentation, ACgiProgramAnswersWithThePageOnItsStandardOutput) {
    const std::string escaped = "Total &lt;sum&gt; &amp; &quot;more&quot;&nbsp;&nbsp;&#039;twice&#039;";
    {
        // Without the dialog bit: the message with the button that goes back.
        TProbe probe("crash_cgi", {"terminate=0"});
        int exitCode = 0;
        const std::string page = CgiPage(RunCgi(probe, exitCode));
        EXPECT_EQ(exitCode, 1);
        EXPECT_NE(page.find(escaped + "<br><input type=button value=\"Ok\" OnClick=\"history.go(-1)\""),
                  std::string::npos)
            << page;
        EXPECT_EQ(probe.Log().Count(), 1);
    }
    // With it: the whole report, under the header message.
    TProbe probe("crash_cgi", {"terminate=0", Option("dialog", dfShowDialog)});
    int exitCode = 0;
    const std::string page = CgiPage(RunCgi(probe, exitCode));
    EXPECT_EQ(exitCode, 1);
    crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(page.find("history.go(-1)"), std::string::npos);
    EXPECT_NE(page.find("&nbsp;&nbsp;2.5 Message: " + escaped + "<br>"), std::string::npos) << page;
    // The ID names the report: its time to the second, then its number in the run.
    const size_t id = page.find("<!-- MishapLog ID: ");
    ASSERT_NE(id, std::string::npos) << page;
    const std::string stamp = page.substr(id + 19, 14);
    EXPECT_EQ(stamp.find_first_not_of("0123456789"), std::string::npos) << stamp;
    EXPECT_EQ(page.substr(id + 19 + 14, 6), "-1 -->");
}

}  // namespace
}  // namespace quillan::test
