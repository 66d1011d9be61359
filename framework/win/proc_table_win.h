// Functions looked up in a library at run time, one table per library: a TProcLibrary names the
// library, each TProc beside it names one function and what stands in for it when the library or
// the function is missing. Declare the library first and its entries after it, e.g. as members
// of one struct held in a function-local static.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>

#include "framework/win/handle_win.h"

namespace quillan::win {

class TProcEntry;

class TProcLibrary {
public:
    // Loaded: a library the process already holds (kernel32, ntdll, user32, the program itself
    // when the name is nullptr), never loaded or freed here. Load: loaded at the first
    // resolution and kept until the process ends. Scoped: loaded at the first resolution and
    // freed with the table (a library used for one job, or named only at run time).
    enum class TOpen { Loaded, Load, Scoped };

    // name must outlive the table.
    TProcLibrary(const wchar_t* name, TOpen open) : name_(name), open_(open) {}
    TProcLibrary(const TProcLibrary&) = delete;
    TProcLibrary& operator=(const TProcLibrary&) = delete;

    // Opens the library and resolves every entry, the first time from whichever thread comes
    // first; later calls take no lock and allocate nothing. Never fails: what is missing gets its
    // fallback.
    void Resolve();

    // The library after Resolve; nullptr when it could not be opened.
    HMODULE Module();
    // Why it could not be opened (the loader's error code), after Resolve; 0 when it was.
    DWORD OpenError() {
        Resolve();
        return openError_;
    }

private:
    friend class TProcEntry;
    void Add(TProcEntry& entry);
    void ResolveLocked();
    void ResolveEntry(TProcEntry& entry);

    const wchar_t* name_;
    TOpen open_;
    HMODULE module_ = nullptr;
    ModuleHandle scoped_;  // module_ when the table owns it
    DWORD openError_ = 0;
    TProcEntry* first_ = nullptr;
    std::atomic<bool> resolved_{false};
    std::mutex lock_;
};

// The untyped part of an entry.
class TProcEntry {
public:
    using TAddress = void (*)();
    TProcEntry(const TProcEntry&) = delete;
    TProcEntry& operator=(const TProcEntry&) = delete;

    // True when the library has the function (resolves the library first).
    bool Found() const {
        library_.Resolve();
        return found_;
    }

protected:
    TProcEntry(TProcLibrary& library, const char* name, TAddress fallback)
        : library_(library), name_(name), fallback_(fallback) {
        library_.Add(*this);
    }
    TAddress Address() const {
        library_.Resolve();
        return address_;
    }

private:
    friend class TProcLibrary;
    TProcLibrary& library_;
    const char* name_;
    TAddress fallback_;
    TAddress address_ = nullptr;
    bool found_ = false;
    TProcEntry* next_ = nullptr;
};

// One function of the table: Get gives the library's function, else the fallback (which may be
// nullptr: then the caller checks the result or Found).
template <typename Fn>
class TProc : public TProcEntry {
public:
    TProc(TProcLibrary& library, const char* name, Fn fallback = nullptr)
        : TProcEntry(library, name, reinterpret_cast<TAddress>(fallback)) {}
    Fn Get() const { return reinterpret_cast<Fn>(Address()); }
};

}  // namespace quillan::win
