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

}  // namespace

void TSyncCallSlot::Call(const TProcedure& procedure, bool callerIsWaiter) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!callerIsWaiter && served_) {
            pending_ = &procedure;
        } else {
            callerIsWaiter = true;
        }
    }
    if (callerIsWaiter) {
        RunSwallowing(procedure);
        return;
    }
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (pending_ == nullptr) return;
            // The waiter stopped serving before it got to the procedure: run it here.
            if (!served_) {
                pending_ = nullptr;
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    RunSwallowing(procedure);
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
    }
    if (!procedure) return;
    RunSwallowing(*procedure);
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = nullptr;
}

bool TSyncCallSlot::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pending_ != nullptr;
}

}  // namespace quillan::crash
