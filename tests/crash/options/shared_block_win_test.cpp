#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "crash/options/carried_options.h"
#include "crash/options/shared_block.h"
#include "crash/options/shared_block_win.h"

namespace quillan::crash {
namespace {

TEST(SharedOptionsBlock, ChangesAreSeenThroughTheNamedSection) {
    HMODULE exe = GetModuleHandleW(nullptr);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    TSharedOptionsBlock block(exe);
    ASSERT_TRUE(block.Valid());

    // The section exists under the name built from this process and module, as the system sees it.
    char expected[64];
    std::snprintf(expected, sizeof expected, "%08lX%0*llXMODULE", GetCurrentProcessId(),
                  static_cast<int>(sizeof(void*) * 2),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(exe)));
    EXPECT_EQ(block.Name(), expected);
    HANDLE opened = OpenFileMappingA(FILE_MAP_READ, FALSE, expected);
    ASSERT_NE(opened, nullptr);
    CloseHandle(opened);

    // A fresh block holds no options: a reader keeps what the module data gave it.
    TMishapModuleOptions reader;
    ApplyCarriedOptions(reader);
    EXPECT_FALSE(LoadSharedOptions(exe, reader));
    EXPECT_EQ(reader.MaxLogReports(), 300u);

    TMishapModuleOptionsEx options;
    ApplyCarriedOptions(options);
    options.SetPublisher(&block);
    options.SetMaxLogReports(12);
    options.SetText(TMishapText::StackLine, "Zeile");
    ASSERT_TRUE(LoadSharedOptions(exe, reader));
    EXPECT_TRUE(reader.SameAs(options));

    // Another module's handle names another block: none exists yet, then its own.
    TMishapModuleOptions other;
    EXPECT_FALSE(LoadSharedOptions(kernel, other));
    TSharedOptionsBlock kernelBlock(kernel);
    TMishapModuleOptionsEx kernelOptions;
    kernelOptions.SetPublisher(&kernelBlock);
    kernelOptions.SetMaxLogReports(2);
    ASSERT_TRUE(LoadSharedOptions(kernel, other));
    EXPECT_EQ(other.MaxLogReports(), 2u);
    ASSERT_TRUE(LoadSharedOptions(exe, reader));
    EXPECT_EQ(reader.MaxLogReports(), 12u);

    // Another process id finds nothing.
    EXPECT_FALSE(LoadSharedOptions(exe, other, GetCurrentProcessId() + 4));
    options.SetPublisher(nullptr);
    block.Clear();
    EXPECT_FALSE(LoadSharedOptions(exe, other));
}

TEST(SharedOptionsBlock, DamagedBlockIsIgnored) {
    HMODULE exe = GetModuleHandleW(nullptr);
    TSharedOptionsBlock block(exe);
    ASSERT_TRUE(block.Valid());
    // Bytes that claim options but are not a stream.
    block.Publish(std::string("\x05garbage", 8));
    TMishapModuleOptions reader;
    reader.SetSmtpHost("kept");
    EXPECT_FALSE(LoadSharedOptions(exe, reader));
    EXPECT_EQ(reader.SmtpHost(), "kept");
}

}  // namespace
}  // namespace quillan::crash
