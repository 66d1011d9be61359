// The modules list (TMishapModulesList): one entry per module looked up so far, made on first
// lookup from the module's data block, version resource and export table; and the resolution
// of an address to module, unit, class, procedure and line.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "crash/moduledata/line_tables.h"
#include "crash/moduledata/module_block.h"
#include "crash/moduledata/module_platform.h"
#include "crash/moduledata/pe_exports.h"
#include "crash/options/options_ex.h"
#include "crash/report/report_types.h"

namespace quillan::crash {

struct TMishapModuleEntry {
    TAddress Handle = 0;
    std::string FileName;  // with its folder
    std::string Version;
    std::string Description;
    std::uint64_t Size = 0;
    double Modified = 0;
    TMishapFunctionsList Functions;  // exported functions; empty for the executable
    TLineTables Lines;
    bool HasOptions = false;            // the block's options could be read
    TMishapModuleOptions BlockOptions;  // the block's options; defaults when it has none
    TMishapModuleOptionsEx Options;     // BlockOptions overlaid by the shared options block
    bool SharedOptions = false;         // the shared options block held options at first lookup
    std::uint16_t FormatVersion = 0;
    double BuildDate = 0;
    std::vector<TRoutineEntry> Routines;
    bool HasBlock = false;
    std::string BlockError;  // why the block was only partly read
    std::string Password;
    bool Deciphered = false;  // the names could be deciphered

    TModuleSummary Summary() const;
};

// Supplies the password for a module that exports no password event; false when it has none.
using TPasswordRequestEvent = std::function<bool(TAddress module, std::string& password)>;
// Runs a call where the host's callbacks must run (the synchronised-call slot); by default in place.
using TCallRunner = std::function<void(const std::function<void()>& call)>;

class TMishapModulesList {
public:
    explicit TMishapModulesList(IModulePlatform& platform);

    // The entry of a module, made on first use; nullptr when the handle has no file name.
    std::shared_ptr<const TMishapModuleEntry> FindByHandle(TAddress handle);
    // The entry of the module holding address; nullptr when none.
    std::shared_ptr<const TMishapModuleEntry> FindByAddress(TAddress address);
    // Drops every entry whose file's date changed; called at the start of every report.
    void DropChanged();
    // Fills kind, module, address and location of entry for address (thread fields untouched).
    void Resolve(TAddress address, TMishapStackEntry& entry);
    // The options of a module as they are now: its block's options overlaid by its shared options
    // block, read again (the module may have changed them since its entry was made). False,
    // options untouched, when the handle has no module. A module without an entry yet keeps none:
    // only its block's options are read (its line tables, megabytes once inflated, wait for the
    // first lookup of an address).
    bool LoadOptions(TAddress handle, TMishapModuleOptions& options);
    size_t Count() const;
    std::vector<std::shared_ptr<const TMishapModuleEntry>> Entries() const;

    void SetPasswordRequestEvent(TPasswordRequestEvent event);
    void SetCallRunner(TCallRunner runner);

private:
    std::shared_ptr<TMishapModuleEntry> Load(TAddress handle, const std::string& path);
    bool ReadBlock(TMishapModuleEntry& entry, TModuleBlock& block, bool lineTables = true);
    void LoadBlockOptions(TMishapModuleEntry& entry, const TModuleBlock& block);
    void SetUpNames(TMishapModuleEntry& entry, TModuleBlock& block);
    std::string RequestPassword(TAddress handle);

    IModulePlatform& platform_;
    mutable std::mutex mutex_;
    std::map<TAddress, std::shared_ptr<const TMishapModuleEntry>> entries_;
    TPasswordRequestEvent passwordEvent_;
    TCallRunner runner_;
};

}  // namespace quillan::crash
