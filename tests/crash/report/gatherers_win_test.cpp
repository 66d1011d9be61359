#include <gtest/gtest.h>
#include <windows.h>
#include <iphlpapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "crash/report/gatherers.h"
#include "crash/report/system_gatherer_win.h"
#include "framework/win/text.h"

namespace quillan::crash {
namespace {

uint64_t Megabytes(const std::string& text) {
    EXPECT_EQ(text.substr(text.size() - 3), " MB") << text;
    return std::strtoull(text.c_str(), nullptr, 10);
}

TReportValues Gather() {
    TReportValues values;
    TWindowsSystemGatherer system(win::ModuleFileName());
    system.Application(values, {});
    system.Computer(values);
    system.OperatingSystem(values);
    system.Network(values);
    return values;
}

TEST(WindowsGatherer, ComputerValuesAgreeWithTheSystem) {
    TReportValues values = Gather();
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &size));
    EXPECT_EQ(values[TReportItem::ComputerName], name);
    char user[257] = {};
    DWORD userSize = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &userSize));
    EXPECT_EQ(values[TReportItem::UserName], user);

    uint64_t total = Megabytes(values[TReportItem::TotalMemory]);
    EXPECT_GT(total, 0u);
    EXPECT_LT(Megabytes(values[TReportItem::FreeMemory]), total);
    uint64_t disk = Megabytes(values[TReportItem::TotalDisk]);
    EXPECT_GT(disk, 0u);
    EXPECT_LE(Megabytes(values[TReportItem::FreeDisk]), disk);

    unsigned hours = 0, minutes = 0, seconds = 0;
    std::string upTime = values[TReportItem::SystemUpTime];
    ASSERT_EQ(std::sscanf(upTime.c_str(), "%u hour%*[s,] %u minute%*[s,] %u second", &hours, &minutes, &seconds), 3)
        << upTime;
    double reported = hours * 3600.0 + minutes * 60.0 + seconds;
    EXPECT_NEAR(reported, GetTickCount64() / 1000.0, 5.0) << upTime;

    HDC screen = GetDC(nullptr);
    std::string mode = std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " x " +
                       std::to_string(GetSystemMetrics(SM_CYSCREEN)) + ", " +
                       std::to_string(GetDeviceCaps(screen, BITSPIXEL)) + " bit";
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(values[TReportItem::DisplayMode], mode);
    EXPECT_FALSE(values[TReportItem::Processor].empty());

    char processor[256] = {};
    DWORD processorSize = sizeof processor;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", "ProcessorNameString",
                     RRF_RT_REG_SZ, nullptr, processor, &processorSize) == ERROR_SUCCESS) {
        std::string expected = processor;
        expected.erase(0, expected.find_first_not_of(' '));
        expected.erase(expected.find_last_not_of(' ') + 1);
        EXPECT_EQ(values[TReportItem::Processor], expected);
    }
}

TEST(WindowsGatherer, OperatingSystemAndApplication) {
    TReportValues values = Gather();
    EXPECT_EQ(values[TReportItem::OsType].rfind("Windows ", 0), 0u) << values[TReportItem::OsType];
    char build[32] = {};
    DWORD buildSize = sizeof build;
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentBuildNumber",
                           RRF_RT_REG_SZ, nullptr, build, &buildSize),
              ERROR_SUCCESS);
    EXPECT_EQ(values[TReportItem::OsBuild], build);
    EXPECT_FALSE(values[TReportItem::OsLanguage].empty());

    // The test program has no version resource: its file name stands for it, without a version.
    EXPECT_EQ(values[TReportItem::NameDescription], "crash_report_win_tests.exe");
    EXPECT_EQ(values[TReportItem::VersionNumber], "");
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::string expected;
    for (int i = 1; i < argc; ++i) expected += (i > 1 ? " " : "") + win::Narrow(argv[i]);
    LocalFree(argv);
    EXPECT_EQ(values[TReportItem::Parameters], expected);

    // A module with a version resource gives its version.
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::string kernel = win::Narrow(system) + "\\kernel32.dll";
    TReportValues kernelValues;
    TWindowsSystemGatherer(kernel).Application(kernelValues, {});
    EXPECT_EQ(kernelValues[TReportItem::VersionNumber], FileVersionText(kernel));
    ASSERT_FALSE(kernelValues[TReportItem::VersionNumber].empty());
    EXPECT_TRUE(isdigit(static_cast<unsigned char>(kernelValues[TReportItem::VersionNumber][0])));
}

TEST(WindowsGatherer, NetworkValuesComeFromTheAdapters) {
    TReportValues values = Gather();
    ULONG size = 0;
    std::vector<std::string> addresses;
    if (GetAdaptersInfo(nullptr, &size) == ERROR_BUFFER_OVERFLOW) {
        std::vector<unsigned char> buffer(size);
        auto* info = reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data());
        if (GetAdaptersInfo(info, &size) == NO_ERROR)
            for (auto* a = info; a != nullptr; a = a->Next) addresses.push_back(a->IpAddressList.IpAddress.String);
    }
    if (addresses.empty()) {
        GTEST_SKIP() << "no network adapter on this machine; the values stay empty: " << values[TReportItem::IpAddress];
    }
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), values[TReportItem::IpAddress]), addresses.end());
    EXPECT_FALSE(values[TReportItem::Submask].empty());
    const std::string& dhcp = values[TReportItem::Dhcp];
    EXPECT_TRUE(dhcp.rfind("ON              - ", 0) == 0 || dhcp.rfind("OFF             - ", 0) == 0) << dhcp;
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(WindowsGatherer, ActiveControlsMaskPasswords) {
    WNDCLASSW cls{};
    cls.lpfnWndProc = FormProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"TCrashTestForm";
    RegisterClassW(&cls);
    HWND form = CreateWindowExW(0, L"TCrashTestForm", L"Report form", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300,
                                200, nullptr, nullptr, cls.hInstance, nullptr);
    ASSERT_NE(form, nullptr);
    HWND password = CreateWindowExW(0, L"EDIT", L"secret", WS_CHILD | WS_VISIBLE | ES_PASSWORD, 5, 5, 100, 20, form,
                                    nullptr, cls.hInstance, nullptr);
    HWND plain = CreateWindowExW(0, L"EDIT", L"visible", WS_CHILD | WS_VISIBLE, 5, 30, 100, 20, form, nullptr,
                                 cls.hInstance, nullptr);
    ASSERT_NE(password, nullptr);
    SetFocus(password);
    ASSERT_EQ(GetFocus(), password);
    TActiveControls controls = CaptureActiveControls();
    EXPECT_EQ(controls.FormClass, "TCrashTestForm");
    EXPECT_EQ(controls.FormText, "Report form");
    EXPECT_TRUE(controls.ControlClass == "Edit" || controls.ControlClass == "EDIT") << controls.ControlClass;
    EXPECT_EQ(controls.ControlText, "******");
    SetFocus(plain);
    EXPECT_EQ(CaptureActiveControls().ControlText, "visible");
    DestroyWindow(form);
}

}  // namespace
}  // namespace quillan::crash
