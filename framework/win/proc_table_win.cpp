#include "framework/win/proc_table_win.h"

namespace quillan::win {

void TProcLibrary::Resolve() {
    if (resolved_.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> guard(lock_);
    if (resolved_.load(std::memory_order_relaxed)) return;
    ResolveLocked();
    resolved_.store(true, std::memory_order_release);
}

HMODULE TProcLibrary::Module() {
    Resolve();
    return module_;
}

void TProcLibrary::Add(TProcEntry& entry) {
    std::lock_guard<std::mutex> guard(lock_);
    entry.next_ = first_;
    first_ = &entry;
    // An entry that comes after the resolution is resolved at once, under the lock.
    if (resolved_.load(std::memory_order_relaxed)) ResolveEntry(entry);
}

void TProcLibrary::ResolveEntry(TProcEntry& entry) {
    // FARPROC to the untyped pointer type of the entries: both are plain code addresses.
    FARPROC found = module_ ? GetProcAddress(module_, entry.name_) : nullptr;
    entry.found_ = found != nullptr;
    entry.address_ = found ? reinterpret_cast<TProcEntry::TAddress>(found) : entry.fallback_;
}

void TProcLibrary::ResolveLocked() {
    if (open_ != TOpen::Loaded)
        module_ = LoadLibraryW(name_);
    else
        module_ = GetModuleHandleW(name_);
    if (!module_) openError_ = GetLastError();
    if (open_ == TOpen::Scoped) scoped_.reset(module_);
    for (TProcEntry* entry = first_; entry; entry = entry->next_) ResolveEntry(*entry);
}

}  // namespace quillan::win
