// The crash reporter's unit: linked into every program that links the library (the link pulls
// it in by its exported ExceptionManager), it installs the library before main runs and removes
// it after main returns.
#include <windows.h>

#include "crash/capture/mishaplog_win.h"
#include "crash/moduledata/module_password.h"
#include "framework/win/text.h"

// The central entry, exported by name: a module without the library (or another module of the
// process) hands its exceptions over here. object: a const std::exception* of this module.
extern "C" __declspec(dllexport) unsigned char ExceptionManager(const void* object, const void* address, int hostKind,
                                                                HMODULE module) {
    return quillan::crash::ExceptionManagerEntry(object, address, hostKind, module);
}

// The password of this program's module data, for the names in its line tables.
extern "C" __declspec(dllexport) int MishapLog_PasswordRequestEvent(char* buffer, int size) {
    return quillan::crash::SupplyPassword(quillan::crash::kProgramModuleDataPassword, buffer, size);
}

namespace {

struct TMishapLogUnit {
    TMishapLogUnit() {
        try {
            quillan::crash::MishapLogInit();
        } catch (const std::exception& e) {
            // As any failing unit initialisation: the message, and the program does not start.
            OutputDebugStringA(e.what());
            MessageBoxW(nullptr, quillan::win::Wide(e.what()).c_str(), L"Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
            ExitProcess(1);
        }
    }
    ~TMishapLogUnit() {
        try {
            quillan::crash::MishapLogDone();
        } catch (const std::exception& e) {
            // The process is ending: the message goes to the debugger only.
            OutputDebugStringA(e.what());
        }
    }
};

TMishapLogUnit g_unit;

}  // namespace
