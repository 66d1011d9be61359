// The modules list's view of the running process: loaded modules, their files, resources,
// version resources, exports and password events.
#pragma once

#include <windows.h>

#include "crash/moduledata/memory_reader_win.h"
#include "crash/moduledata/module_platform.h"

namespace quillan::crash {

class TProcessModulePlatform : public IModulePlatform {
public:
    TAddress ModuleOfAddress(TAddress address) override;
    bool ModuleFileName(TAddress handle, std::string& path) override;
    bool IsExecutable(TAddress handle) override;
    TModuleFileState FileState(const std::string& path) override;
    void VersionInfo(const std::string& path, std::string& version, std::string& description) override;
    bool ResourceBlock(TAddress handle, std::string& bytes) override;
    bool ReadFile(const std::string& path, std::uint64_t offset, size_t count, std::string& bytes) override;
    IMemoryReader& Memory() override { return memory_; }
    TAddress ProcAddress(TAddress handle, const std::string& name) override;
    std::optional<std::string> ExportedPassword(TAddress handle) override;
    bool OverlaySharedOptions(TAddress handle, TMishapModuleOptions& options) override;

private:
    TProcessMemoryReader memory_;
};

// Days since 1899-12-30 of a file time, in local time.
double FileTimeToDays(const FILETIME& utc);

}  // namespace quillan::crash
