#include "crash/report/system_gatherer_win.h"

#include <windows.h>
#include <iphlpapi.h>

#include <vector>

#include "components/version/version_info_win.h"
#include "framework/core/file_io.h"
#include "framework/win/handle_win.h"
#include "framework/win/proc_table_win.h"
#include "framework/win/text.h"

namespace quillan::crash {

namespace {

constexpr int kTextLimit = 256;

std::string RegistryText(HKEY key, const wchar_t* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0 || size > 4096) return {};
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
        return {};
    value.resize(wcsnlen(value.c_str(), value.size()));
    return win::Narrow(value);
}

std::string TrimBlanks(std::string s) {
    size_t start = s.find_first_not_of(' ');
    if (start == std::string::npos) return {};
    return s.substr(start, s.find_last_not_of(' ') - start + 1);
}

std::string ProcessorName() {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0, KEY_READ, &raw) !=
        ERROR_SUCCESS)
        return kUnknownProcessor;
    win::RegKey key(raw);
    std::string name = TrimBlanks(RegistryText(key.get(), L"ProcessorNameString"));
    if (!name.empty()) return name;
    name = TrimBlanks(TrimBlanks(RegistryText(key.get(), L"VendorIdentifier")) + " " +
                      TrimBlanks(RegistryText(key.get(), L"Identifier")));
    return name.empty() ? kUnknownProcessor : name;
}

std::string WindowText(HWND window) {
    wchar_t buffer[kTextLimit + 1] = {};
    int n = GetWindowTextW(window, buffer, kTextLimit + 1);
    return win::Narrow(std::wstring_view(buffer, n > 0 ? static_cast<size_t>(n) : 0));
}

std::string ClassName(HWND window) {
    wchar_t buffer[kTextLimit + 1] = {};
    int n = GetClassNameW(window, buffer, kTextLimit + 1);
    return win::Narrow(std::wstring_view(buffer, n > 0 ? static_cast<size_t>(n) : 0));
}

LONG WINAPI NoRtlVersion(PRTL_OSVERSIONINFOW) { return -1; }
DWORD WINAPI NoAdapters(PIP_ADAPTER_INFO, PULONG) { return ERROR_NOT_SUPPORTED; }
DWORD WINAPI NoPerAdapter(ULONG, PIP_PER_ADAPTER_INFO, PULONG) { return ERROR_NOT_SUPPORTED; }

struct TNtdll {
    win::TProcLibrary Library{L"ntdll.dll", win::TProcLibrary::TOpen::Loaded};
    win::TProc<LONG(WINAPI*)(PRTL_OSVERSIONINFOW)> RtlGetVersion{Library, "RtlGetVersion", &NoRtlVersion};
};

// Looked up at run time, so a system without the helper library still gets its report.
struct TIpHelper {
    win::TProcLibrary Library{L"iphlpapi.dll", win::TProcLibrary::TOpen::Load};
    win::TProc<DWORD(WINAPI*)(PIP_ADAPTER_INFO, PULONG)> AdaptersInfo{Library, "GetAdaptersInfo", &NoAdapters};
    win::TProc<DWORD(WINAPI*)(ULONG, PIP_PER_ADAPTER_INFO, PULONG)> PerAdapterInfo{Library, "GetPerAdapterInfo",
                                                                                   &NoPerAdapter};
};

}  // namespace

bool RealVersion(RTL_OSVERSIONINFOEXW& info) {
    static TNtdll ntdll;
    info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    return ntdll.RtlGetVersion.Get()(reinterpret_cast<PRTL_OSVERSIONINFOW>(&info)) == 0;
}

std::string WindowsTypeName(unsigned major, unsigned minor, unsigned build, bool workstation) {
    struct Name {
        unsigned major, minor;
        const char *workstation, *server;
    };
    static constexpr Name kNames[] = {
        {5, 0, "Windows 2000", "Windows 2000 Server"},   {5, 1, "Windows XP", "Windows XP"},
        {5, 2, "Windows XP x64", "Windows Server 2003"}, {6, 0, "Windows Vista", "Windows Server 2008"},
        {6, 1, "Windows 7", "Windows Server 2008 R2"},   {6, 2, "Windows 8", "Windows Server 2012"},
        {6, 3, "Windows 8.1", "Windows Server 2012 R2"}, {10, 0, "Windows 10", "Windows Server 2016"},
    };
    if (major == 10 && minor == 0) {
        if (workstation) return build >= 22000 ? "Windows 11" : "Windows 10";
        return build >= 20348 ? "Windows Server 2022" : build >= 17763 ? "Windows Server 2019" : "Windows Server 2016";
    }
    for (const Name& n : kNames)
        if (n.major == major && n.minor == minor) return workstation ? n.workstation : n.server;
    return {};
}

TWindowsSystemGatherer::TWindowsSystemGatherer(std::string executableFile) : executable_(std::move(executableFile)) {}

std::string FileVersionText(const std::string& file) {
    version::TVersionInfo info(file);
    return info.Valid() ? info.FileVersion() : std::string();
}

std::string CommandLineParameters() {
    const wchar_t* line = GetCommandLineW();
    if (line == nullptr) return {};
    // The program name ends at the closing quote, or at the first blank when it is not quoted.
    const wchar_t* p = line;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return win::Narrow(p);
}

void TWindowsSystemGatherer::Application(TReportValues& values, const TApplicationFacts& facts) {
    version::TVersionInfo info(executable_);
    std::string file = ExtractFileName(executable_);
    std::string name = info.Valid() ? info.ProductName() : std::string();
    std::string description = info.Valid() ? info.FileDescription() : std::string();
    if (name.empty()) name = file;
    values[TReportItem::NameDescription] = description.empty() ? name : name + " - " + description;
    values[TReportItem::VersionNumber] =
        !facts.RunningVersion.empty() ? facts.RunningVersion : (info.Valid() ? info.FileVersion() : std::string());
    values[TReportItem::Parameters] = CommandLineParameters();
}

void TWindowsSystemGatherer::Computer(TReportValues& values) {
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (GetComputerNameW(buffer, &size))
        values[TReportItem::ComputerName] = win::Narrow(std::wstring_view(buffer, size));
    wchar_t user[kTextLimit + 1] = {};
    DWORD userSize = kTextLimit + 1;
    if (GetUserNameW(user, &userSize)) values[TReportItem::UserName] = win::Narrow(user);

    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof(memory);
    if (GlobalMemoryStatusEx(&memory)) {
        values[TReportItem::TotalMemory] = MegabytesText(memory.ullTotalPhys);
        values[TReportItem::FreeMemory] = MegabytesText(memory.ullAvailPhys);
    }
    // Any folder names its volume, a share's too.
    std::string folder = ExtractFilePath(executable_);
    ULARGE_INTEGER freeToCaller, total, totalFree;
    if (GetDiskFreeSpaceExW(folder.empty() ? nullptr : win::Wide(folder).c_str(), &freeToCaller, &total, &totalFree)) {
        values[TReportItem::TotalDisk] = MegabytesText(total.QuadPart);
        values[TReportItem::FreeDisk] = MegabytesText(totalFree.QuadPart);
    }
    values[TReportItem::SystemUpTime] = UpTimeText(GetTickCount64() / 1000);
    values[TReportItem::Processor] = ProcessorName();
    win::WindowDC screen(nullptr);
    if (screen) {
        values[TReportItem::DisplayMode] =
            DisplayModeText(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                            GetDeviceCaps(screen.get(), BITSPIXEL) * GetDeviceCaps(screen.get(), PLANES));
    }
}

void TWindowsSystemGatherer::OperatingSystem(TReportValues& values) {
    RTL_OSVERSIONINFOEXW info;
    if (RealVersion(info)) {
        values[TReportItem::OsType] = WindowsTypeName(info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
                                                      info.wProductType == VER_NT_WORKSTATION);
        values[TReportItem::OsBuild] = std::to_string(info.dwBuildNumber);
        values[TReportItem::OsUpdate] = win::Narrow(info.szCSDVersion);
    }
    wchar_t language[128] = {};
    DWORD n = VerLanguageNameW(GetSystemDefaultLangID(), language, 128);
    // Wine counts the terminating NUL, which would end up in the report (and make its XML copy
    // unreadable): the name ends at the first NUL either way.
    if (n != 0)
        values[TReportItem::OsLanguage] = TrimBlanks(win::Narrow(std::wstring_view(language, wcsnlen(language, n))));
}

void TWindowsSystemGatherer::Network(TReportValues& values) {
    static TIpHelper helper;
    auto adaptersInfo = helper.AdaptersInfo.Get();
    auto perAdapterInfo = helper.PerAdapterInfo.Get();
    ULONG size = 0;
    if (adaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) return;
    std::vector<unsigned char> buffer(size);
    auto* adapters = reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data());
    if (adaptersInfo(adapters, &size) != NO_ERROR) return;
    const IP_ADAPTER_INFO* adapter = adapters;
    while (adapter != nullptr && std::string(adapter->IpAddressList.IpAddress.String) == "0.0.0.0")
        adapter = adapter->Next;
    if (adapter == nullptr) adapter = adapters;
    values[TReportItem::IpAddress] = adapter->IpAddressList.IpAddress.String;
    values[TReportItem::Submask] = adapter->IpAddressList.IpMask.String;
    values[TReportItem::Gateway] = adapter->GatewayList.IpAddress.String;
    values[TReportItem::Dhcp] =
        DhcpText(adapter->DhcpEnabled != 0, adapter->DhcpEnabled ? adapter->DhcpServer.IpAddress.String : "");
    ULONG perSize = 0;
    if (perAdapterInfo(adapter->Index, nullptr, &perSize) != ERROR_BUFFER_OVERFLOW || perSize == 0) return;
    std::vector<unsigned char> perBuffer(perSize);
    auto* per = reinterpret_cast<PIP_PER_ADAPTER_INFO>(perBuffer.data());
    if (perAdapterInfo(adapter->Index, per, &perSize) != NO_ERROR) return;
    const IP_ADDR_STRING* dns = &per->DnsServerList;
    if (dns->IpAddress.String[0] != '\0') values[TReportItem::Dns1] = dns->IpAddress.String;
    if (dns->Next != nullptr) values[TReportItem::Dns2] = dns->Next->IpAddress.String;
}

TActiveControls CaptureActiveControls() {
    TActiveControls controls;
    HWND focus = GetFocus();
    HWND form = focus != nullptr ? GetAncestor(focus, GA_ROOT) : GetActiveWindow();
    if (form != nullptr) {
        controls.FormClass = ClassName(form);
        controls.FormText = WindowText(form);
    }
    if (focus != nullptr) {
        controls.ControlClass = ClassName(focus);
        bool password = (GetWindowLongW(focus, GWL_STYLE) & ES_PASSWORD) != 0;
        controls.ControlText = MaskedControlText(controls.ControlClass, password, WindowText(focus));
    }
    return controls;
}

}  // namespace quillan::crash
