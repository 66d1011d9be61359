// The modules list in a running process under Wine: this program's own block and the options it
// carries, a module's shared options block, a system DLL's exports, and a module whose file
// changed on disk.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "crash/moduledata/export_names.h"
#include "crash/moduledata/module_block.h"
#include "crash/moduledata/module_password.h"
#include "crash/moduledata/modules_list.h"
#include "crash/moduledata/modules_platform_win.h"
#include "crash/options/carried_options.h"
#include "crash/options/shared_block_win.h"
#include "framework/win/text.h"

// This program hands the crash reporter the password its names were enciphered with.
extern "C" __declspec(dllexport) int MishapLog_PasswordRequestEvent(char* buffer, int size) {
    return quillan::crash::SupplyPassword(quillan::crash::kProgramModuleDataPassword, buffer, size);
}

namespace quillan::crash::wintest {

void* volatile gReturnAddress = nullptr;

__attribute__((noinline)) void Callee() { gReturnAddress = __builtin_return_address(0); }

const int kCallLine = __LINE__ + 3;
__attribute__((noinline)) int KnownFunction(int x) {
    int y = x * 3;
    Callee();
    return y + static_cast<int>(reinterpret_cast<uintptr_t>(gReturnAddress) & 1);
}

namespace {

TAddress Self() { return reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr)); }

TEST(ModulesWin, TheProgramFindsItsOwnBlockAndResolvesItsOwnFunction) {
    TProcessModulePlatform platform;
    TMishapModulesList list(platform);
    auto self = list.FindByHandle(Self());
    ASSERT_TRUE(self);
    EXPECT_TRUE(self->HasBlock) << self->BlockError;
    EXPECT_EQ(self->FormatVersion, 506);
    EXPECT_TRUE(self->Deciphered);
    EXPECT_EQ(self->Password, kProgramModuleDataPassword);
    EXPECT_GT(self->Lines.UnitCount(), 10u);
    EXPECT_GT(self->BuildDate, 44000.0);
    EXPECT_TRUE(self->Functions.empty());

    KnownFunction(2);
    TMishapStackEntry e;
    // A return address is looked up one byte back, inside the call.
    list.Resolve(reinterpret_cast<uintptr_t>(gReturnAddress) - 1, e);
    EXPECT_EQ(e.Kind, TStackKind::LineTable);
    EXPECT_EQ(e.ModuleHandle, Self());
    EXPECT_EQ(e.UnitName, "tests/crash/moduledata/modules_win_test.cpp");
    EXPECT_EQ(e.ClassName, "");
    EXPECT_EQ(e.ProcedureName, "quillan::crash::wintest::KnownFunction");
    EXPECT_EQ(e.Line, kCallLine);
    EXPECT_EQ(e.LineOffset, 2);
    // A function of a library linked into the program.
    list.Resolve(reinterpret_cast<uintptr_t>(&DecodeExportName), e);
    EXPECT_EQ(e.Kind, TStackKind::LineTable);
    EXPECT_EQ(e.UnitName, "crash/moduledata/export_names.cpp");
    EXPECT_EQ(e.ProcedureName, "quillan::crash::DecodeExportName");
}

TEST(ModulesWin, TheBlockWrittenAtLinkTimeCarriesTheProgramsConfiguration) {
    TProcessModulePlatform platform;
    std::string bytes;
    ASSERT_TRUE(platform.ResourceBlock(Self(), bytes));
    TModuleBlock block;
    ASSERT_TRUE(ReadResourceBlock(bytes, block));
    ASSERT_TRUE(block.HasOptions) << block.Error;
    // The carried configuration with the default texts, read to its last byte.
    EXPECT_EQ(block.Options.size(), 2020u);
    TMishapModuleOptions read;
    EXPECT_EQ(read.LoadFromBytes(block.Options, block.Version), 2020u);
    TMishapModuleOptions carried;
    ApplyCarriedOptions(carried);
    EXPECT_TRUE(read.SameAs(carried));

    TMishapModulesList list(platform);
    auto self = list.FindByHandle(Self());
    ASSERT_TRUE(self);
    EXPECT_TRUE(self->HasOptions);
    EXPECT_FALSE(self->SharedOptions);
    EXPECT_TRUE(self->Options.SameAs(carried));
    EXPECT_EQ(self->Options.DialogFlags() & dfShowDialog, 0);  // reports go to the log only
    EXPECT_EQ(self->Options.ModuleName(), self->FileName);
}

std::wstring Folder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L"\\/") + 1);
}

TEST(ModulesWin, AModulesSharedOptionsBlockOverlaysTheOptionsOfItsBlock) {
    HMODULE module = LoadLibraryW((Folder() + L"mldata_test_module.dll").c_str());
    ASSERT_NE(module, nullptr);
    const TAddress handle = reinterpret_cast<uintptr_t>(module);
    TMishapModuleOptions carried;
    ApplyCarriedOptions(carried);
    TSharedOptionsBlock shared(module);  // made empty: "no options"
    ASSERT_TRUE(shared.Valid());
    TProcessModulePlatform platform;
    {
        TMishapModulesList list(platform);
        auto entry = list.FindByHandle(handle);
        ASSERT_TRUE(entry);
        EXPECT_FALSE(entry->SharedOptions);
        EXPECT_TRUE(entry->Options.SameAs(carried));
    }
    // The module changes its options: every change reaches its shared block.
    TMishapModuleOptionsEx changed;
    changed.Assign(&carried);
    changed.SetPublisher(&shared);
    changed.SetSmtpHost("mail.example");
    changed.SetMaxLogReports(7);
    TMishapModulesList list(platform);
    auto entry = list.FindByHandle(handle);
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->SharedOptions);
    EXPECT_EQ(entry->Options.SmtpHost(), "mail.example");
    EXPECT_EQ(entry->Options.MaxLogReports(), 7u);
    EXPECT_TRUE(entry->BlockOptions.SameAs(carried));
    // A report reads the shared block as it is then.
    changed.SetMaxLogReports(9);
    TMishapModuleOptions now;
    ASSERT_TRUE(list.LoadOptions(handle, now));
    EXPECT_EQ(now.MaxLogReports(), 9u);
    EXPECT_EQ(now.SmtpHost(), "mail.example");
    shared.Clear();
    ASSERT_TRUE(list.LoadOptions(handle, now));
    EXPECT_TRUE(now.SameAs(carried));
    changed.SetPublisher(nullptr);
    FreeLibrary(module);
}

TEST(ModulesWin, ASystemDllResolvesThroughItsExports) {
    TProcessModulePlatform platform;
    TMishapModulesList list(platform);
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    ASSERT_NE(user32, nullptr);
    const TAddress address = reinterpret_cast<uintptr_t>(GetProcAddress(user32, "GetWindowTextW"));
    ASSERT_NE(address, 0u);
    TMishapStackEntry e;
    list.Resolve(address, e);
    EXPECT_EQ(e.Kind, TStackKind::PlainExport);
    ASSERT_FALSE(e.ProcedureName.empty());
    // Several names may stand for one address; whichever was found is exported at it.
    const TAddress module = e.ModuleHandle;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(GetProcAddress(reinterpret_cast<HMODULE>(module), e.ProcedureName.c_str())),
              address);
    auto entry = list.FindByHandle(module);
    ASSERT_TRUE(entry);
    EXPECT_GT(entry->Functions.size(), 100u);
    EXPECT_FALSE(entry->HasBlock);
    EXPECT_NE(win::Wide(entry->FileName).find(L".dll"), std::wstring::npos);
}

TEST(ModulesWin, AModuleWhoseFileChangedIsReadAgain) {
    const std::wstring copy = Folder() + L"mldata_changed_copy.dll";
    ASSERT_TRUE(CopyFileW((Folder() + L"mldata_test_module.dll").c_str(), copy.c_str(), FALSE));
    HMODULE module = LoadLibraryW(copy.c_str());
    ASSERT_NE(module, nullptr);
    const TAddress handle = reinterpret_cast<uintptr_t>(module);
    TProcessModulePlatform platform;
    TMishapModulesList list(platform);
    auto before = list.FindByHandle(handle);
    ASSERT_TRUE(before);
    EXPECT_TRUE(before->HasBlock);  // the DLL carries its own block
    TMishapStackEntry e;
    list.Resolve(reinterpret_cast<uintptr_t>(GetProcAddress(module, "MldataTestExport")), e);
    EXPECT_EQ(e.Kind, TStackKind::LineTable);
    EXPECT_EQ(e.UnitName, "tests/crash/moduledata/test_module.cpp");
    EXPECT_EQ(e.ProcedureName, "MldataTestExport");

    list.DropChanged();
    EXPECT_EQ(list.FindByHandle(handle), before);
    // The file gets a new date while loaded: the next report reads the module again.
    HANDLE file =
        CreateFileW(copy.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME time;
    GetSystemTimeAsFileTime(&time);
    ULARGE_INTEGER t;
    t.LowPart = time.dwLowDateTime;
    t.HighPart = time.dwHighDateTime;
    t.QuadPart += 10000000ull * 3600;  // an hour on
    time.dwLowDateTime = t.LowPart;
    time.dwHighDateTime = t.HighPart;
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
    CloseHandle(file);
    list.DropChanged();
    auto after = list.FindByHandle(handle);
    ASSERT_TRUE(after);
    EXPECT_NE(after, before);
    EXPECT_NEAR(after->Modified, FileTimeToDays(time), 1.0 / 86400);
    EXPECT_TRUE(after->HasBlock);
    FreeLibrary(module);
    DeleteFileW(copy.c_str());
}

}  // namespace
}  // namespace quillan::crash::wintest
