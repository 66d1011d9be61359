#include "crash/capture/sync_slot.h"

#include <chrono>
#include <thread>

namespace quillan::crash {

namespace {

void RunSwallowing(const TSyncCallSlot::TProcedure& procedure) {
    try {
        if (procedure) procedure();
    } catch (...) {
        // A host handler's failure must not end the report that called it.
    }
}

void Nap(std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    lock.lock();
}

}  // namespace

void TSyncCallSlot::Call(const TProcedure& procedure, bool callerIsWaiter) {
    bool here = callerIsWaiter;
    if (!here) {
        std::unique_lock<std::mutex> lock(mutex_);
        // One procedure at a time: storing over another caller's would lose it.
        while (served_ && (pending_ || running_)) Nap(lock);
        if (served_) {
            pending_ = &procedure;
            for (;;) {
                Nap(lock);
                if (pending_ == &procedure) {
                    // The waiter stopped serving before it got to the procedure: run it here.
                    if (served_) continue;
                    pending_ = nullptr;
                    here = true;
                    break;
                }
                if (running_ != &procedure) break;  // ran, or abandoned by a failed waiter
            }
        } else {
            here = true;
        }
    }
    if (here) RunSwallowing(procedure);
}

void TSyncCallSlot::SetServed(bool served) {
    std::lock_guard<std::mutex> lock(mutex_);
    served_ = served;
}

void TSyncCallSlot::RunPending() {
    const TProcedure* procedure = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        procedure = pending_;
        pending_ = nullptr;
        running_ = procedure;
    }
    if (!procedure) return;
    RunSwallowing(*procedure);
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ == procedure) running_ = nullptr;
}

bool TSyncCallSlot::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pending_ != nullptr;
}

void TSyncCallSlot::Abandon() {
    std::lock_guard<std::mutex> lock(mutex_);
    served_ = false;
    running_ = nullptr;
}

}  // namespace quillan::crash
