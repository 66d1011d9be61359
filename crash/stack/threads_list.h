// The threads list (TMishapThreadsList): the process's known threads with what a report needs
// to walk their stacks. Threads enter it when they start and leave it when they end; a report
// works on a snapshot. Platform-free: handles are managed through IThreadHandles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

#include "crash/report/report_types.h"

namespace quillan::crash {

// The priority of a thread nobody has asked about yet.
inline constexpr std::int32_t kUnknownThreadPriority = static_cast<std::int32_t>(0x80000000u);

struct TMishapThreadEntry {
    std::uint32_t Id = 0;
    TAddress Handle = 0;  // owned by the list (or by the snapshot holding this copy)
    std::int32_t Priority = kUnknownThreadPriority;
    const void* ThreadObject = nullptr;  // the object of a thread class of ours, if any
    std::string ThreadClass;             // that object's class name
    TAddress StackTop = 0;               // the stack's base (highest address) when the thread started
    TAddress StartRoutine = 0;
    TAddress Parameter = 0;
    bool Main = false;
};

// Main thread, or a thread with an object of a thread class of ours; others are plain threads.
bool IsFrameworkThread(const TMishapThreadEntry& entry);
// Whether the stack flags ask for this thread's stack (bit 2: framework threads, bit 3: others).
bool StackWalkWanted(const TMishapThreadEntry& entry, std::uint8_t stackFlags);
// "Normal", "Highest", ... as the report's thread line shows it; "Unknown" when never read.
std::string ThreadPriorityText(std::int32_t priority);
TThreadSummary ThreadSummary(const TMishapThreadEntry& entry);

// What the list needs of the system's thread handles.
class IThreadHandles {
public:
    virtual ~IThreadHandles() = default;
    virtual void Close(TAddress handle) = 0;
    // A second handle to the same thread with the same access; 0 on failure.
    virtual TAddress Duplicate(TAddress handle) = 0;
    // False once the thread has ended.
    virtual bool Alive(TAddress handle) = 0;
    // The thread's priority now; kUnknownThreadPriority when it cannot be read.
    virtual std::int32_t Priority(TAddress handle) = 0;
};

// A report's copy of the list. Its handles are duplicates owned by the snapshot, so a thread
// that ends meanwhile cannot leave the report with a closed (or reused) handle.
class TThreadsSnapshot {
public:
    TThreadsSnapshot() = default;
    TThreadsSnapshot(IThreadHandles& handles, std::vector<TMishapThreadEntry> entries)
        : handles_(&handles), entries_(std::move(entries)) {}
    ~TThreadsSnapshot() { Release(); }
    TThreadsSnapshot(const TThreadsSnapshot&) = delete;
    TThreadsSnapshot& operator=(const TThreadsSnapshot&) = delete;
    TThreadsSnapshot(TThreadsSnapshot&& other) noexcept;
    TThreadsSnapshot& operator=(TThreadsSnapshot&& other) noexcept;

    const std::vector<TMishapThreadEntry>& Entries() const { return entries_; }
    const TMishapThreadEntry* Find(std::uint32_t id) const;
    // The summaries of the report's thread lines.
    std::vector<TThreadSummary> Summaries() const;

private:
    void Release();

    IThreadHandles* handles_ = nullptr;
    std::vector<TMishapThreadEntry> entries_;
};

class TMishapThreadsList {
public:
    explicit TMishapThreadsList(IThreadHandles& handles) : handles_(handles) {}
    ~TMishapThreadsList();  // closes every handle
    TMishapThreadsList(const TMishapThreadsList&) = delete;
    TMishapThreadsList& operator=(const TMishapThreadsList&) = delete;

    // Enters a thread; the list takes the entry's handle. An entry of the same id (a thread that
    // ended unseen, its id reused) is replaced.
    void Add(TMishapThreadEntry entry);
    // Removes the thread's entry and closes its handle; false when it had none.
    bool Remove(std::uint32_t id);

    // Copies of an entry; the handle stays the list's (valid while the entry is listed).
    std::optional<TMishapThreadEntry> FindById(std::uint32_t id) const;
    std::optional<TMishapThreadEntry> FindByHandle(TAddress handle) const;
    std::optional<TMishapThreadEntry> FindByObject(const void* object) const;
    // Changes the thread's entry in place under the write lock; false when it has none.
    bool Update(std::uint32_t id, const std::function<void(TMishapThreadEntry&)>& change);

    // A copy for a report: entries copied under the read lock, each with a handle of its own
    // and its priority read now. Entries whose handle cannot be duplicated keep handle 0.
    TThreadsSnapshot Copy() const;
    // Removes the entries of threads that have ended; returns how many.
    size_t Purge();
    size_t Count() const;

private:
    IThreadHandles& handles_;
    mutable std::shared_mutex lock_;
    std::vector<TMishapThreadEntry> entries_;
};

}  // namespace quillan::crash
