#include "crash/stack/process_modules_win.h"

#include <windows.h>
#include <tlhelp32.h>

#include "framework/win/handle_win.h"
#include "framework/win/proc_table_win.h"

namespace quillan::crash {
namespace {

using TEnumProcessModules = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
using TCreateToolhelp32Snapshot = HANDLE(WINAPI*)(DWORD, DWORD);
using TModule32 = BOOL(WINAPI*)(HANDLE, LPMODULEENTRY32W);

HANDLE WINAPI NoSnapshot(DWORD, DWORD) { return INVALID_HANDLE_VALUE; }
BOOL WINAPI NoModule(HANDLE, LPMODULEENTRY32W) { return FALSE; }

// Both looked up at run time: psapi may be missing, and Tool Help was once missing from some
// systems' kernel32.
struct TPsapi {
    win::TProcLibrary Library{L"PSAPI.DLL", win::TProcLibrary::TOpen::Load};
    win::TProc<TEnumProcessModules> EnumProcessModules{Library, "EnumProcessModules"};
};

struct TToolHelp {
    win::TProcLibrary Kernel{L"kernel32.dll", win::TProcLibrary::TOpen::Loaded};
    win::TProc<TCreateToolhelp32Snapshot> CreateSnapshot{Kernel, "CreateToolhelp32Snapshot", &NoSnapshot};
    win::TProc<TModule32> First{Kernel, "Module32FirstW", &NoModule};
    win::TProc<TModule32> Next{Kernel, "Module32NextW", &NoModule};
};

bool PsapiModules(std::vector<HMODULE>& modules) {
    static TPsapi psapi;
    if (!psapi.EnumProcessModules.Found()) return false;
    const auto enumerate = psapi.EnumProcessModules.Get();
    // Modules may load between the two calls; ask again until the buffer was big enough.
    modules.resize(256);
    for (int tries = 0; tries < 8; ++tries) {
        DWORD needed = 0;
        const DWORD size = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        if (!enumerate(GetCurrentProcess(), modules.data(), size, &needed)) return false;
        if (needed <= size) {
            modules.resize(needed / sizeof(HMODULE));
            return true;
        }
        modules.resize(needed / sizeof(HMODULE) + 16);
    }
    return false;
}

bool ToolHelpModules(std::vector<HMODULE>& modules) {
    static TToolHelp help;
    const auto snapshot = help.CreateSnapshot.Get();
    const auto first = help.First.Get();
    const auto next = help.Next.Get();
    win::FileHandle list(snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId()));
    if (!list) return false;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    modules.clear();
    for (BOOL more = first(list.get(), &entry); more; more = next(list.get(), &entry)) {
        modules.push_back(entry.hModule);
    }
    return !modules.empty();
}

}  // namespace

std::vector<TModuleSummary> ProcessModules(IModulePlatform& platform, TModuleEnumeration how) {
    std::vector<HMODULE> handles;
    bool listed = false;
    if (how != TModuleEnumeration::ToolHelp) listed = PsapiModules(handles);
    if (!listed && how != TModuleEnumeration::Psapi) listed = ToolHelpModules(handles);
    std::vector<TModuleSummary> modules;
    if (!listed) return modules;
    modules.reserve(handles.size());
    for (HMODULE handle : handles) {
        TModuleSummary module;
        module.Handle = reinterpret_cast<uintptr_t>(handle);
        // A module unloaded since it was listed has no file name any more: leave it out.
        if (!platform.ModuleFileName(module.Handle, module.Path)) continue;
        const TModuleFileState state = platform.FileState(module.Path);
        module.Size = state.Size;
        module.Modified = state.Modified;
        platform.VersionInfo(module.Path, module.Version, module.Description);
        modules.push_back(std::move(module));
    }
    return modules;
}

}  // namespace quillan::crash
