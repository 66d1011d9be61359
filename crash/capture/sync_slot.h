// The synchronised-call slot: the report thread hands work that must run in the context of the
// thread waiting for the report (the host program's event handlers) to that thread. Platform-free.
#pragma once

#include <functional>
#include <mutex>

namespace quillan::crash {

class TSyncCallSlot {
public:
    using TProcedure = std::function<void()>;

    // Runs procedure on the waiting thread: stores it and sleeps in 10 ms steps until the waiting
    // thread has run it. The slot holds one procedure: a second caller waits for it to be free.
    // Runs it in place when the caller is the waiting thread itself or when no thread waits.
    // Exceptions of the procedure are swallowed wherever it runs.
    void Call(const TProcedure& procedure, bool callerIsWaiter);

    // The waiting thread: starts or ends serving the slot.
    void SetServed(bool served);
    // The waiting thread: runs the stored procedure, if any, and empties the slot.
    void RunPending();
    bool Pending() const;
    // The waiting thread failed and will never serve the slot again, not even to end a procedure
    // it had started: callers run their procedures in place from now on, and the caller of that
    // one goes on without it.
    void Abandon();

private:
    mutable std::mutex mutex_;  // the slot's critical section
    const TProcedure* pending_ = nullptr;  // stored, not yet taken by the waiting thread
    const TProcedure* running_ = nullptr;  // taken, running on the waiting thread
    bool served_ = false;
};

}  // namespace quillan::crash
