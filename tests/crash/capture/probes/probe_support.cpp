#include "tests/crash/capture/probes/probe_support.h"

#include <shellapi.h>

#include <map>
#include <vector>

#include "crash/capture/mishaplog_win.h"
#include "crash/options/carried_options.h"
#include "crash/options/current_options.h"
#include "framework/win/text.h"

namespace quillan::probe {

namespace {

std::map<std::string, std::string> g_arguments;
bool g_restarted = false;
constexpr wchar_t kChildVariable[] = L"QUILLAN_PROBE_RESTARTED";

// One line per start of the program: its process id and the restart mark it found.
void AppendStart(const std::string& folder) {
    HANDLE file = CreateFileW(win::Wide(folder + "starts.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string log;
    const std::string mark = crash::MishapLogTakeRestartNotice(log) ? "restarted " + log : "first";
    const std::string line = std::to_string(GetCurrentProcessId()) + " " + mark + "\r\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

void WriteMarker(const std::string& folder, const std::string& name, const std::string& text) {
    HANDLE file = CreateFileW(win::Wide(folder + name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

bool Restarted() { return g_restarted; }

std::string Argument(const std::string& name) {
    auto it = g_arguments.find(name);
    return it == g_arguments.end() ? std::string() : it->second;
}

std::string Setup(int argc, wchar_t** argv) {
    std::string folder = argc > 1 ? win::Narrow(argv[1]) : std::string(".");
    if (folder.back() != '\\') folder += '\\';
    for (int i = 2; i < argc; ++i) {
        std::string argument = win::Narrow(argv[i]);
        size_t equals = argument.find('=');
        if (equals != std::string::npos) g_arguments[argument.substr(0, equals)] = argument.substr(equals + 1);
    }
    const bool everyStart = Argument("everystart") == "1";
    if (everyStart) AppendStart(folder);
    wchar_t flag[8] = {};
    g_restarted = GetEnvironmentVariableW(kChildVariable, flag, 8) > 0;
    if (!everyStart && g_restarted) {
        wchar_t directory[MAX_PATH + 1] = {};
        GetCurrentDirectoryW(MAX_PATH + 1, directory);
        WriteMarker(folder, "restarted.txt", win::Narrow(GetCommandLineW()) + "\r\n" + win::Narrow(directory));
        ExitProcess(0);
    }
    // A restart of this process inherits the mark.
    SetEnvironmentVariableW(kChildVariable, L"1");

    if (!Argument("minrun").empty())
        crash::MishapLogDriver()->SetRestartMinimumSeconds(std::stod(Argument("minrun")));
    crash::TMishapModuleOptionsEx& options = crash::CurrentMishapLogOptions();
    crash::ApplyCarriedOptions(options);
    options.SetOutputPath(folder);
    if (!Argument("terminate").empty())
        options.SetTerminateAction(static_cast<uint8_t>(std::stoi(Argument("terminate"))));
    if (Argument("burst") == "1") options.SetBehaviourFlags(options.BehaviourFlags() | crash::bfCrashBurst);
    if (!Argument("filter").empty()) options.AddFilter(Argument("filter"), Argument("filtermsg"));
    if (!Argument("hang").empty()) {
        options.SetHangTimeout(static_cast<uint32_t>(std::stoi(Argument("hang"))));
        options.SetHangDetection(true);
    }
    return folder;
}

std::string SetupFromCommandLine() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::string folder = Setup(count, arguments);
    LocalFree(arguments);
    return folder;
}

}  // namespace quillan::probe
