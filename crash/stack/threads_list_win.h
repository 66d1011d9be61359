// The process's threads list on Windows. Threads enter it through the program's own start
// wrapper: CreateTrackedThread for threads started with the Windows API, and pthread_create
// (which std::thread uses) wrapped at link time by every program that links this library.
// Each thread enters itself when it starts, with its stack top, and leaves when its routine
// returns; threads that end otherwise are dropped by Purge.
#pragma once

#include <windows.h>

#include <cstdint>

#include "crash/stack/threads_list.h"

namespace quillan::crash {

// Access of every handle the list keeps: suspend and resume, get context, query information.
inline constexpr DWORD kThreadsListAccess = 0x4A;

class TWinThreadHandles : public IThreadHandles {
public:
    void Close(TAddress handle) override;
    TAddress Duplicate(TAddress handle) override;
    bool Alive(TAddress handle) override;
    std::int32_t Priority(TAddress handle) override;
};

// The process's list: made on first use and never destroyed, so threads that end while the
// process shuts down still find it.
TMishapThreadsList& ProcessThreadsList();

// Enters the calling thread as the process's main thread (once; later calls do nothing).
// Called by the crash reporter's start-up, on the main thread.
void EnterMainThread();
// The id of the thread entered as main; 0 before EnterMainThread.
std::uint32_t MainThreadId();

// The stack top (the thread information block's stack base) of the calling thread.
TAddress CurrentStackTop();

// Enters the calling thread for as long as the object lives (for threads that start outside
// the wrappers). Does nothing when the thread is entered already.
class TThreadRegistration {
public:
    explicit TThreadRegistration(TAddress startRoutine = 0, TAddress parameter = 0, const void* threadObject = nullptr,
                                 const char* threadClass = nullptr);
    ~TThreadRegistration();
    TThreadRegistration(const TThreadRegistration&) = delete;
    TThreadRegistration& operator=(const TThreadRegistration&) = delete;

private:
    std::uint32_t id_ = 0;  // 0: entered by someone else
};

// CreateThread whose thread is entered in the list while its routine runs. threadObject and
// threadClass name the thread object of a thread class of ours (a framework thread).
// Result and failure as CreateThread's.
HANDLE CreateTrackedThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE routine,
                           LPVOID parameter, DWORD flags, LPDWORD threadId, const void* threadObject = nullptr,
                           const char* threadClass = nullptr);

}  // namespace quillan::crash
