// The modules section's list of loaded modules, through psapi and through Tool Help, checked
// against what the system says of each module and its file.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "crash/moduledata/modules_platform_win.h"
#include "crash/stack/process_modules_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan::crash::stacktest {
namespace {

const TModuleSummary* Find(const std::vector<TModuleSummary>& modules, HMODULE handle) {
    for (const auto& module : modules) {
        if (module.Handle == reinterpret_cast<uintptr_t>(handle)) return &module;
    }
    return nullptr;
}

std::uint64_t FileSize(const std::string& path) {
    win::FileHandle file(CreateFileW(win::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) return 0;
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::set<TAddress> Handles(const std::vector<TModuleSummary>& modules) {
    std::set<TAddress> handles;
    for (const auto& module : modules) handles.insert(module.Handle);
    return handles;
}

TEST(ProcessModules, KernelAndThisProgramWithTheirFiles) {
    TProcessModulePlatform platform;
    for (TModuleEnumeration how :
         {TModuleEnumeration::Automatic, TModuleEnumeration::Psapi, TModuleEnumeration::ToolHelp}) {
        SCOPED_TRACE(static_cast<int>(how));
        const auto modules = ProcessModules(platform, how);
        ASSERT_GT(modules.size(), 3u);

        const TModuleSummary* self = Find(modules, GetModuleHandleW(nullptr));
        ASSERT_TRUE(self);
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        EXPECT_EQ(self->Path, win::Narrow(path));
        EXPECT_EQ(self->Size, FileSize(self->Path));
        // Written by this build: a date of this century, not in the future.
        SYSTEMTIME now;
        GetLocalTime(&now);
        FILETIME nowFile;
        SystemTimeToFileTime(&now, &nowFile);
        EXPECT_GT(self->Modified, 36526.0);  // 2000-01-01
        EXPECT_LE(self->Modified, FileTimeToDays(nowFile) + 1);

        const TModuleSummary* kernel = Find(modules, GetModuleHandleW(L"kernel32.dll"));
        ASSERT_TRUE(kernel);
        std::string lower = kernel->Path;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        EXPECT_NE(lower.find("kernel32.dll"), std::string::npos);
        EXPECT_EQ(kernel->Size, FileSize(kernel->Path));
        EXPECT_GT(kernel->Size, 10000u);
        // "a.b.c.d" from its version resource.
        EXPECT_EQ(std::count(kernel->Version.begin(), kernel->Version.end(), '.'), 3) << kernel->Version;
    }
    // Both ways see the same modules.
    EXPECT_EQ(Handles(ProcessModules(platform, TModuleEnumeration::Psapi)),
              Handles(ProcessModules(platform, TModuleEnumeration::ToolHelp)));
}

TEST(ProcessModules, ALoadedAndUnloadedModuleComesAndGoes) {
    TProcessModulePlatform platform;
    HMODULE loaded = LoadLibraryW(L"msimg32.dll");
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(Find(ProcessModules(platform), loaded));
    FreeLibrary(loaded);
    // Unless something else of the process holds it too, it is gone from the list.
    if (!GetModuleHandleW(L"msimg32.dll")) {
        EXPECT_FALSE(Find(ProcessModules(platform), loaded));
    }
}

}  // namespace
}  // namespace quillan::crash::stacktest
