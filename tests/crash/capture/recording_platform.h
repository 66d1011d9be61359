// A stand-in for the system under the report driver: it records every call in order, keeps a
// made-up process (threads, one module, a clock), and runs the report on a real second thread
// while the calling thread serves the synchronised-call slot, as the Windows layer does.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "crash/capture/capture_platform.h"
#include "crash/capture/report_driver.h"
#include "crash/capture/sync_slot.h"
#include "crash/options/options.h"
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"

namespace quillan::test {

inline constexpr crash::TAddress kExe = 0x400000;
inline constexpr crash::TAddress kInExe = 0x401234;
inline constexpr crash::TAddress kInDll = 0x7B001000;

class TRecordingPlatform : public crash::ICapturePlatform {
public:
    explicit TRecordingPlatform(std::string folder) : folder_(std::move(folder)) { ThreadNumber(); }

    // --- What the test sets up.
    bool Gui = true;
    bool Console = false;
    bool Debugger = false;
    std::uint32_t MainId = 1;  // the test's own thread is 1
    std::vector<crash::TReportThread> Threads = {{1, true, true, "Normal", "", 0},
                                                 {7, false, false, "Normal", "", 0},
                                                 {8, false, true, "Lowest", "TWorker", 0}};
    crash::TMishapModuleOptions ModuleOptions;  // what every module's data block holds
    crash::TFocusedControl Focus;
    crash::TDialogOutcome Dialog;
    bool DialogFails = false;
    int BoxAnswer = 1;  // IDOK
    std::function<void()> OnGatherModules;
    bool RecordDebugOutput = true;
    double Age = 3600;  // seconds since the start, as SecondsSinceStart says
    std::string Version = "1.0.0.0";
    std::string Profile;
    double Clock = 45000.5;          // days; every Now() advances ClockStep
    double ClockStep = 1.0 / 86400;  // one second

    // --- What it saw.
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    void ClearCalls() {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
    }
    int Count(const std::string& prefix) {
        int n = 0;
        for (const std::string& call : Calls()) n += call.rfind(prefix, 0) == 0;
        return n;
    }
    std::uint32_t ThreadNumber() {
        std::lock_guard<std::mutex> lock(mutex_);
        auto id = std::this_thread::get_id();
        auto it = numbers_.find(id);
        if (it != numbers_.end()) return it->second;
        std::uint32_t number = numbers_.empty() ? 1 : 100 + static_cast<std::uint32_t>(numbers_.size());
        numbers_[id] = number;
        return number;
    }
    std::string ExePath() const { return folder_ + "probe.exe"; }
    std::string LogPath() const { return folder_ + "probe.mlf"; }
    std::string InternalText;

    // --- The platform.
    std::uint32_t CurrentThreadId() override { return ThreadNumber(); }
    std::uint32_t MainThreadId() override { return MainId; }
    bool GuiProcess() override { return Gui; }
    bool ConsoleProcess() override { return Console; }
    bool InsideDllEntryPoint() override { return false; }
    bool DebuggerPresent() override { return Debugger; }
    void BringApplicationToFront() override { Record("BringToFront"); }
    crash::TFocusedControl FocusedControl(std::uint32_t threadId) override {
        Record("Focus " + std::to_string(threadId));
        return Focus;
    }
    int RunReportThread(const std::function<int()>& body, crash::TSyncCallSlot& slot) override {
        Record("RunReportThread");
        std::atomic<bool> done{false};
        int result = 0;
        // Served before the report starts, or its first event could run on the report thread.
        slot.SetServed(true);
        std::thread report([&] {
            result = body();
            done = true;
        });
        while (!done) {
            slot.RunPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        report.join();
        slot.SetServed(false);
        slot.RunPending();
        return result;
    }
    double Now() override {
        std::lock_guard<std::mutex> lock(mutex_);
        double now = Clock;
        Clock += ClockStep;
        return now;
    }
    std::vector<crash::TReportThread> BeginReport() override {
        Record("BeginReport");
        return Threads;
    }
    crash::TAddress ModuleOfAddress(crash::TAddress address) override {
        return address >= kExe && address < kExe + 0x100000 ? kExe : 0;
    }
    crash::TAddress ExecutableModule() override { return kExe; }
    bool ModuleCarriesData(crash::TAddress module) override { return module == kExe; }
    void LoadModuleOptions(crash::TAddress module, crash::TMishapModuleOptions& options) override {
        Record("LoadModuleOptions " + std::to_string(module));
        options.Assign(&ModuleOptions);
    }
    std::string ModuleFileName(crash::TAddress module) override { return module == kExe ? ExePath() : ""; }
    void BuildStacks(const crash::TExceptionCall& call, std::uint32_t exceptionThreadId, std::uint8_t stackFlags,
                     crash::TMishapStackList& stack) override {
        Record("BuildStacks " + std::to_string(exceptionThreadId) + " " + std::to_string(stackFlags));
        crash::TMishapStackEntry entry;
        entry.Kind = crash::TStackKind::LineTable;
        entry.ThreadId = exceptionThreadId;
        entry.Address = call.Address;
        entry.ModuleHandle = kExe;
        entry.ModuleFile = ExePath();
        entry.UnitName = "probe.cpp";
        entry.ProcedureName = "Fail";
        entry.Line = 12;
        stack.push_back(entry);
    }
    bool SuspendThread(std::uint32_t id) override {
        Record("Suspend " + std::to_string(id));
        return true;
    }
    void ResumeThread(std::uint32_t id) override { Record("Resume " + std::to_string(id)); }
    void GatherModules(std::vector<crash::TModuleSummary>& modules) override {
        Record("GatherModules");
        if (OnGatherModules) OnGatherModules();
        modules.push_back({kExe, ExePath(), "Probe", Version, 1000, 45000});
    }
    crash::ISystemGatherer& SystemGatherer() override {
        Record("GatherValues");
        return gatherer_;
    }
    crash::TApplicationFacts ApplicationFacts() override {
        crash::TApplicationFacts facts;
        facts.StartTime = 45000.25;
        facts.RunningVersion = Version;
        return facts;
    }
    void ReadCpu(const crash::TExceptionCall&, crash::TCpuSnapshot&) override { Record("ReadCpu"); }
    bool CaptureScreenshot(bool foregroundOnly, const crash::TFocusedControl&) override {
        Record(std::string("CaptureScreenshot ") + (foregroundOnly ? "window" : "desktop"));
        return true;
    }
    bool SaveScreenshot(const std::string& path) override {
        Record("SaveScreenshot " + path);
        return true;
    }
    void FreeScreenshot() override { Record("FreeScreenshot"); }
    std::string TempFolder() override { return folder_; }
    void DeleteTempFile(const std::string& path) override { Record("DeleteTempFile " + path); }
    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
        Record("Box " + caption + "|" + text + "|" + std::to_string(flags));
        return BoxAnswer;
    }
    void DebugOutput(const std::string& line) override {
        if (RecordDebugOutput) Record("Debug " + line);
    }
    std::string ComputerName() override { return "HOST"; }
    std::string ProfileFolder() override { return Profile; }
    void WriteConsoleText(const std::string&) override { Record("WriteConsoleText"); }
    crash::TDialogOutcome ShowDialog(const crash::TReportJob& job) override {
        Record("ShowDialog " + std::to_string(job.ExceptionCount));
        if (DialogFails) throw Exception("The dialog could not be shown");
        return Dialog;
    }
    bool WebHost() override { return false; }
    void ShowWebPage(const crash::TReportJob&, bool) override { Record("ShowWebPage"); }
    bool AskReproduction(const crash::TReportJob&, std::string&) override {
        Record("AskReproduction");
        return false;
    }
    void CopyToClipboard(const std::string&) override { Record("CopyToClipboard"); }
    bool SendingProgressOpen() override { return false; }
    void Send(const crash::TReportJob&, bool inThread) override {
        Record(std::string("Send ") + (inThread ? "thread" : "here"));
    }
    double SecondsSinceStart() override { return Age; }
    void Restart(const std::string& startDirectory, const std::string& logPath) override {
        Record("Restart " + startDirectory + " log=" + logPath);
    }
    void Terminate() override { Record("Terminate"); }
    std::string InternalErrorFile() override { return folder_ + "probe.log"; }
    void WriteTextFile(const std::string& path, const std::string& text) override {
        Record("WriteTextFile " + path);
        InternalText = text;
    }
    std::vector<std::uint8_t> CodeBytes(crash::TAddress, size_t) override { return {0x8B, 0x45, 0xFC}; }
    std::string OperatingSystem() override { return "Test OS"; }
    bool MailFile(const std::string& path, const std::string& recipient, const std::string&) override {
        Record("MailFile " + path + " " + recipient);
        return false;
    }

private:
    // The machine's values: fixed ones.
    class TGatherer : public crash::ISystemGatherer {
    public:
        explicit TGatherer(TRecordingPlatform& owner) : owner_(owner) {}
        void Application(crash::TReportValues& values, const crash::TApplicationFacts&) override {
            values[crash::TReportItem::NameDescription] = "probe.exe";
            values[crash::TReportItem::VersionNumber] = owner_.Version;
        }
        void Computer(crash::TReportValues& values) override { values[crash::TReportItem::ComputerName] = "HOST"; }
        void OperatingSystem(crash::TReportValues&) override {}
        void Network(crash::TReportValues&) override {}

    private:
        TRecordingPlatform& owner_;
    };

    void Record(std::string call) {
        std::uint32_t thread = ThreadNumber();
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(std::move(call));
        threadsOfCalls_.push_back(thread);
    }

    std::string folder_;
    TGatherer gatherer_{*this};
    std::mutex mutex_;
    std::vector<std::string> calls_;
    std::vector<std::uint32_t> threadsOfCalls_;
    std::map<std::thread::id, std::uint32_t> numbers_;
};

}  // namespace quillan::test
