#include "crash/moduledata/modules_list.h"

#include "crash/codec/tea.h"
#include "crash/moduledata/byte_io.h"
#include "crash/moduledata/export_names.h"
#include "crash/moduledata/module_data_format.h"
#include "crash/options/errors.h"
#include "crash/options/options_stream.h"

namespace quillan::crash {

TModuleSummary TMishapModuleEntry::Summary() const {
    TModuleSummary s;
    s.Handle = Handle;
    s.Path = FileName;
    s.Description = Description;
    s.Version = Version;
    s.Size = Size;
    s.Modified = Modified;
    return s;
}

TMishapModulesList::TMishapModulesList(IModulePlatform& platform) : platform_(platform) {}

void TMishapModulesList::SetPasswordRequestEvent(TPasswordRequestEvent event) {
    std::lock_guard lock(mutex_);
    passwordEvent_ = std::move(event);
}

void TMishapModulesList::SetCallRunner(TCallRunner runner) {
    std::lock_guard lock(mutex_);
    runner_ = std::move(runner);
}

size_t TMishapModulesList::Count() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

std::vector<std::shared_ptr<const TMishapModuleEntry>> TMishapModulesList::Entries() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<const TMishapModuleEntry>> out;
    for (const auto& [handle, entry] : entries_) out.push_back(entry);
    return out;
}

std::shared_ptr<const TMishapModuleEntry> TMishapModulesList::FindByHandle(TAddress handle) {
    if (handle == 0) return nullptr;
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(handle);
        if (it != entries_.end()) return it->second;
    }
    std::string path;
    if (!platform_.ModuleFileName(handle, path)) return nullptr;
    // Built outside the lock: the password event may run in another thread's context.
    std::shared_ptr<const TMishapModuleEntry> made = Load(handle, path);
    std::lock_guard lock(mutex_);
    return entries_.emplace(handle, std::move(made)).first->second;
}

std::shared_ptr<const TMishapModuleEntry> TMishapModulesList::FindByAddress(TAddress address) {
    return FindByHandle(platform_.ModuleOfAddress(address));
}

void TMishapModulesList::DropChanged() {
    std::lock_guard lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end();) {
        const TModuleFileState now = platform_.FileState(it->second->FileName);
        if (now.Modified != it->second->Modified) {
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
}

std::string TMishapModulesList::RequestPassword(TAddress handle) {
    TPasswordRequestEvent event;
    TCallRunner runner;
    {
        std::lock_guard lock(mutex_);
        event = passwordEvent_;
        runner = runner_;
    }
    std::string password;
    auto ask = [&] {
        if (std::optional<std::string> exported = platform_.ExportedPassword(handle)) {
            password = std::move(*exported);
        } else if (event) {
            std::string given;
            if (event(handle, given)) password = std::move(given);
        }
    };
    // A failing host callback leaves the password empty; the names then show as "?" + Base64.
    try {
        if (runner) {
            runner(ask);
        } else {
            ask();
        }
    } catch (...) {
        password.clear();
    }
    return password;
}

bool TMishapModulesList::ReadBlock(TMishapModuleEntry& entry, TModuleBlock& block, bool lineTables) {
    std::string bytes;
    if (platform_.ResourceBlock(entry.Handle, bytes) && ReadResourceBlock(bytes, block, lineTables)) return true;
    if (entry.Size < 8) return false;
    std::string tail;
    if (!platform_.ReadFile(entry.FileName, entry.Size - 8, 8, tail)) return false;
    const std::optional<TAppendedPlace> place = FindAppendedBlock(entry.Size, tail);
    if (!place || place->Length > kMaxOptionsBytes + kMaxLineTableBytes + 16) return false;
    return platform_.ReadFile(entry.FileName, place->Offset, place->Length, bytes) && ReadAppendedBlock(bytes, block);
}

void TMishapModulesList::LoadBlockOptions(TMishapModuleEntry& entry, const TModuleBlock& block) {
    if (!block.HasOptions) return;
    try {
        // The options stream has the block's format version.
        entry.BlockOptions.LoadFromBytes(block.Options, block.Version);
        entry.HasOptions = true;
    } catch (const EMishapOptionsError& e) {
        // A damaged stream leaves the defaults, as a missing one does; the rest of the block stays.
        if (!entry.BlockError.empty()) entry.BlockError += "; ";
        entry.BlockError += std::string("options: ") + e.what();
    }
}

void TMishapModulesList::SetUpNames(TMishapModuleEntry& entry, TModuleBlock& block) {
    std::optional<TTeaChain> chain;
    if (block.Version >= kFirstTeaVersion) {
        entry.Password = RequestPassword(entry.Handle);
        TTeaChain candidate(TeaKeyFromPassword(entry.Password), kNameChainStart);
        if (block.CheckValue) {
            const std::string plain = candidate.Decipher(*block.CheckValue);
            TByteReader in(plain);
            if (in.U32() == kModuleDataMagic) chain = candidate;
        } else {
            // The appended form carries no check value: the password is taken on trust.
            chain = candidate;
        }
        entry.Deciphered = chain.has_value();
    } else {
        entry.Deciphered = true;
    }
    if (block.HasLineTables)
        entry.Lines = TLineTables(std::move(block.LineTables), TNameDecoder(block.Version, chain, kOptionsStringMask));
}

std::shared_ptr<TMishapModuleEntry> TMishapModulesList::Load(TAddress handle, const std::string& path) {
    auto entry = std::make_shared<TMishapModuleEntry>();
    entry->Handle = handle;
    entry->FileName = path;
    const TModuleFileState state = platform_.FileState(path);
    entry->Size = state.Size;
    entry->Modified = state.Modified;
    platform_.VersionInfo(path, entry->Version, entry->Description);
    entry->FormatVersion = kModuleDataVersion;

    TModuleBlock block;
    if (ReadBlock(*entry, block)) {
        entry->HasBlock = true;
        entry->FormatVersion = block.Version;
        entry->BuildDate = block.BuildDate;
        entry->Routines = block.Routines;
        entry->BlockError = block.Error;
        LoadBlockOptions(*entry, block);
        SetUpNames(*entry, block);
    }
    entry->BlockOptions.SetModuleName(path);
    entry->Options.Assign(&entry->BlockOptions);
    entry->Options.SetModuleName(path);
    entry->SharedOptions = platform_.OverlaySharedOptions(handle, entry->Options);
    if (!platform_.IsExecutable(handle)) {
        entry->Functions = ReadExportedFunctions(platform_.Memory(), handle, [this, handle](const std::string& name) {
            return platform_.ProcAddress(handle, name);
        });
    }
    return entry;
}

bool TMishapModulesList::LoadOptions(TAddress handle, TMishapModuleOptions& options) {
    if (handle == 0) return false;
    std::shared_ptr<const TMishapModuleEntry> module;
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(handle);
        if (it != entries_.end()) module = it->second;
    }
    if (module) {
        options.Assign(&module->BlockOptions);
        options.SetModuleName(module->FileName);
    } else {
        TMishapModuleEntry read;
        read.Handle = handle;
        if (!platform_.ModuleFileName(handle, read.FileName)) return false;
        read.Size = platform_.FileState(read.FileName).Size;
        TModuleBlock block;
        if (ReadBlock(read, block, false)) LoadBlockOptions(read, block);
        options.Assign(&read.BlockOptions);
        options.SetModuleName(read.FileName);
    }
    platform_.OverlaySharedOptions(handle, options);
    return true;
}

void TMishapModulesList::Resolve(TAddress address, TMishapStackEntry& entry) {
    entry.Kind = TStackKind::Unknown;
    entry.Address = address;
    entry.ModuleHandle = 0;
    entry.ModuleFile.clear();
    entry.UnitName.clear();
    entry.ClassName.clear();
    entry.ProcedureName.clear();
    entry.Line = 0;
    entry.LineOffset = 0;
    const std::shared_ptr<const TMishapModuleEntry> module = FindByAddress(address);
    if (!module) return;
    entry.Kind = TStackKind::InModule;
    entry.ModuleHandle = module->Handle;
    entry.ModuleFile = module->FileName;
    const TAddress codeBase = module->Handle + kCodeOffsetBase;
    if (!module->Lines.Empty() && address >= codeBase && address - codeBase <= 0xFFFFFFFFu) {
        TLineLocation where;
        if (module->Lines.Resolve(static_cast<std::uint32_t>(address - codeBase), where)) {
            entry.Kind = TStackKind::LineTable;
            entry.UnitName = std::move(where.Unit);
            entry.ClassName = std::move(where.Class);
            entry.ProcedureName = std::move(where.Procedure);
            entry.Line = where.Line;
            entry.LineOffset = where.LineOffset;
            return;
        }
    }
    if (const TExportedFunction* function = FindExportedFunction(module->Functions, address)) {
        DecodeExportName(function->Name, entry);
    }
}

}  // namespace quillan::crash
