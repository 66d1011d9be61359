#include "crash/stack/threads_list.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace quillan::crash {

bool IsFrameworkThread(const TMishapThreadEntry& entry) { return entry.Main || entry.ThreadObject != nullptr; }

bool StackWalkWanted(const TMishapThreadEntry& entry, std::uint8_t stackFlags) {
    return (stackFlags & (IsFrameworkThread(entry) ? 0x04 : 0x08)) != 0;
}

std::string ThreadPriorityText(std::int32_t priority) {
    switch (priority) {
        case kUnknownThreadPriority:
            return "Unknown";
        case -15:
            return "Idle";
        case -2:
            return "Lowest";
        case -1:
            return "Below Normal";
        case 0:
            return "Normal";
        case 1:
            return "Above Normal";
        case 2:
            return "Highest";
        case 15:
            return "Time Critical";
        default:
            return std::to_string(priority);
    }
}

TThreadSummary ThreadSummary(const TMishapThreadEntry& entry) {
    TThreadSummary summary;
    summary.Id = entry.Id;
    summary.Priority = ThreadPriorityText(entry.Priority);
    summary.ClassName = entry.ThreadClass;
    summary.Main = entry.Main;
    return summary;
}

TThreadsSnapshot::TThreadsSnapshot(TThreadsSnapshot&& other) noexcept
    : handles_(std::exchange(other.handles_, nullptr)), entries_(std::move(other.entries_)) {}

TThreadsSnapshot& TThreadsSnapshot::operator=(TThreadsSnapshot&& other) noexcept {
    if (this != &other) {
        Release();
        handles_ = std::exchange(other.handles_, nullptr);
        entries_ = std::move(other.entries_);
    }
    return *this;
}

void TThreadsSnapshot::Release() {
    if (handles_) {
        for (const TMishapThreadEntry& entry : entries_) {
            if (entry.Handle) handles_->Close(entry.Handle);
        }
    }
    entries_.clear();
    handles_ = nullptr;
}

const TMishapThreadEntry* TThreadsSnapshot::Find(std::uint32_t id) const {
    for (const TMishapThreadEntry& entry : entries_) {
        if (entry.Id == id) return &entry;
    }
    return nullptr;
}

std::vector<TThreadSummary> TThreadsSnapshot::Summaries() const {
    std::vector<TThreadSummary> summaries;
    summaries.reserve(entries_.size());
    for (const TMishapThreadEntry& entry : entries_) summaries.push_back(ThreadSummary(entry));
    return summaries;
}

TMishapThreadsList::~TMishapThreadsList() {
    for (const TMishapThreadEntry& entry : entries_) {
        if (entry.Handle) handles_.Close(entry.Handle);
    }
}

void TMishapThreadsList::Add(TMishapThreadEntry entry) {
    TAddress replaced = 0;
    {
        std::unique_lock lock(lock_);
        auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&](const TMishapThreadEntry& e) { return e.Id == entry.Id; });
        if (it != entries_.end()) {
            replaced = it->Handle;
            *it = std::move(entry);
        } else {
            entries_.push_back(std::move(entry));
        }
    }
    if (replaced) handles_.Close(replaced);
}

bool TMishapThreadsList::Remove(std::uint32_t id) {
    TAddress handle = 0;
    {
        std::unique_lock lock(lock_);
        auto it =
            std::find_if(entries_.begin(), entries_.end(), [&](const TMishapThreadEntry& e) { return e.Id == id; });
        if (it == entries_.end()) return false;
        handle = it->Handle;
        entries_.erase(it);
    }
    if (handle) handles_.Close(handle);
    return true;
}

std::optional<TMishapThreadEntry> TMishapThreadsList::FindById(std::uint32_t id) const {
    std::shared_lock lock(lock_);
    for (const TMishapThreadEntry& entry : entries_) {
        if (entry.Id == id) return entry;
    }
    return std::nullopt;
}

std::optional<TMishapThreadEntry> TMishapThreadsList::FindByHandle(TAddress handle) const {
    std::shared_lock lock(lock_);
    for (const TMishapThreadEntry& entry : entries_) {
        if (entry.Handle == handle) return entry;
    }
    return std::nullopt;
}

std::optional<TMishapThreadEntry> TMishapThreadsList::FindByObject(const void* object) const {
    std::shared_lock lock(lock_);
    for (const TMishapThreadEntry& entry : entries_) {
        if (object && entry.ThreadObject == object) return entry;
    }
    return std::nullopt;
}

bool TMishapThreadsList::Update(std::uint32_t id, const std::function<void(TMishapThreadEntry&)>& change) {
    std::unique_lock lock(lock_);
    for (TMishapThreadEntry& entry : entries_) {
        if (entry.Id != id) continue;
        const std::uint32_t keptId = entry.Id;
        const TAddress keptHandle = entry.Handle;
        change(entry);
        // Id and handle are the list's bookkeeping; a change may not move them.
        entry.Id = keptId;
        entry.Handle = keptHandle;
        return true;
    }
    return false;
}

TThreadsSnapshot TMishapThreadsList::Copy() const {
    std::vector<TMishapThreadEntry> copies;
    {
        std::shared_lock lock(lock_);
        copies = entries_;
        for (TMishapThreadEntry& entry : copies) {
            entry.Handle = entry.Handle ? handles_.Duplicate(entry.Handle) : 0;
        }
    }
    for (TMishapThreadEntry& entry : copies) {
        if (entry.Handle) entry.Priority = handles_.Priority(entry.Handle);
    }
    return TThreadsSnapshot(handles_, std::move(copies));
}

size_t TMishapThreadsList::Purge() {
    std::vector<TAddress> ended;
    {
        std::unique_lock lock(lock_);
        auto keep = std::stable_partition(entries_.begin(), entries_.end(), [&](const TMishapThreadEntry& e) {
            return e.Handle == 0 || handles_.Alive(e.Handle);
        });
        for (auto it = keep; it != entries_.end(); ++it) ended.push_back(it->Handle);
        entries_.erase(keep, entries_.end());
    }
    for (TAddress handle : ended) handles_.Close(handle);
    return ended.size();
}

size_t TMishapThreadsList::Count() const {
    std::shared_lock lock(lock_);
    return entries_.size();
}

}  // namespace quillan::crash
