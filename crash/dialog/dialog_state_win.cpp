#include "crash/dialog/dialog_state_win.h"

#include <windows.h>

#include <vector>

#include "crash/log/log_path.h"
#include "framework/controls/inifile.h"
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan::crash {

namespace {

// Whether the file can be written without creating it for good: an existing file is opened for
// writing; otherwise a new one is made and deleted on close.
bool Writable(const std::string& path) {
    const std::wstring wide = win::Wide(path);
    win::FileHandle existing(CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (existing) return true;
    if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) return false;  // there but not writable
    win::FileHandle probe(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return static_cast<bool>(probe);
}

std::string Environment(const wchar_t* name) {
    std::vector<wchar_t> buffer(1024);
    const DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n >= buffer.size()) return {};
    return win::Narrow(std::wstring_view(buffer.data(), n));
}

}  // namespace

std::string DialogStateFilePath() {
    wchar_t folder[MAX_PATH] = {};
    const UINT n = GetWindowsDirectoryW(folder, MAX_PATH);
    std::string windows = n > 0 && n < MAX_PATH ? win::Narrow(std::wstring_view(folder, n)) : std::string();
    if (!windows.empty() && windows.back() != '\\') windows += '\\';
    const bool writable = !windows.empty() && Writable(windows + kDialogStateFile);
    std::string fallback;
    if (!writable) {
        fallback = ProfileLogFolder(Environment(L"UserProfile"), win::ModuleFileName(nullptr), false);
        CreateDir(fallback.substr(0, fallback.size() - 1));
    }
    return DialogStateFolder(windows, writable, fallback) + kDialogStateFile;
}

TDialogState ReadDialogStateFile(const std::string& path, int minWidth, int minHeight, int dpi) {
    const win::TIniFile ini(path);
    TStateReader read = [&](const std::string& key) -> std::optional<std::string> {
        if (!ini.ValueExists(kDialogStateSection, key)) return std::nullopt;
        return ini.ReadString(kDialogStateSection, key, {});
    };
    TDialogState state = LoadDialogState(read, minWidth, minHeight);
    // Defaults are pixels at 96 DPI; a stored value is the screen's own.
    const TDialogState defaults;
    auto scaleDefault = [&](int& value, int initial, const std::string& key) {
        if (value == initial && !read(key)) value = MulDiv(value, dpi, 96);
    };
    scaleDefault(state.Width, defaults.Width, "Width");
    scaleDefault(state.Height, defaults.Height, "Height");
    for (size_t i = 0; i < state.Col.size(); ++i)
        scaleDefault(state.Col[i], defaults.Col[i], "Col" + std::to_string(i));
    for (size_t i = 0; i < state.ColMod.size(); ++i)
        scaleDefault(state.ColMod[i], defaults.ColMod[i], "ColMod" + std::to_string(i));
    return state;
}

bool WriteDialogStateFile(const std::string& path, const TDialogState& state) {
    win::TIniFile ini(path);
    try {
        SaveDialogState(state, [&](const std::string& key, const std::string& value) {
            ini.WriteString(kDialogStateSection, key, value);
        });
    } catch (const Exception&) {
        return false;
    }
    return true;
}

}  // namespace quillan::crash
