// What the modules list needs of the system; the Windows layer implements it for the running
// process, tests with modules made of byte buffers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "crash/moduledata/memory_reader.h"
#include "crash/options/options.h"

namespace quillan::crash {

struct TModuleFileState {
    bool Exists = false;
    std::uint64_t Size = 0;
    double Modified = 0;  // days since 1899-12-30, local time
};

class IModulePlatform {
public:
    virtual ~IModulePlatform() = default;
    // The module whose image holds address; 0 when none.
    virtual TAddress ModuleOfAddress(TAddress address) = 0;
    // The file name (with its folder) of a loaded module; false when none can be had.
    virtual bool ModuleFileName(TAddress handle, std::string& path) = 0;
    virtual bool IsExecutable(TAddress handle) = 0;
    virtual TModuleFileState FileState(const std::string& path) = 0;
    // Version ("a.b.c.d") and description of the module's version resource; empty when none.
    virtual void VersionInfo(const std::string& path, std::string& version, std::string& description) = 0;
    // The module's RCDATA "MLDATA"; false when it has none.
    virtual bool ResourceBlock(TAddress handle, std::string& bytes) = 0;
    // count bytes of a file from offset; false unless all of them were read.
    virtual bool ReadFile(const std::string& path, std::uint64_t offset, size_t count, std::string& bytes) = 0;
    virtual IMemoryReader& Memory() = 0;
    // GetProcAddress; 0 when unknown.
    virtual TAddress ProcAddress(TAddress handle, const std::string& name) = 0;
    // The password the module's exported MishapLog_PasswordRequestEvent supplies; nullopt when
    // the module exports none.
    virtual std::optional<std::string> ExportedPassword(TAddress handle) = 0;
    // Loads the module's shared options block over options when that block exists and holds
    // options (its flag byte is 1); false, options untouched, otherwise.
    virtual bool OverlaySharedOptions(TAddress handle, TMishapModuleOptions& options) = 0;
};

}  // namespace quillan::crash
