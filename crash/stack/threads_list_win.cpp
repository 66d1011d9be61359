#include "crash/stack/threads_list_win.h"

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <new>

namespace quillan::crash {
namespace {

HANDLE AsHandle(TAddress handle) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle)); }

std::atomic<std::uint32_t> mainThreadId{0};

// A handle of the calling thread with the list's access (not the pseudo handle, which means
// "whoever asks").
TAddress OwnHandle() {
    HANDLE handle = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &handle, kThreadsListAccess,
                         FALSE, 0)) {
        return 0;
    }
    return AsAddress(handle);
}

// Enters the calling thread unless it is listed already; returns its id, or 0 when it was.
std::uint32_t EnterCurrentThread(TAddress startRoutine, TAddress parameter, const void* threadObject,
                                 const char* threadClass, bool main) {
    TMishapThreadsList& list = ProcessThreadsList();
    const std::uint32_t id = GetCurrentThreadId();
    if (auto listed = list.FindById(id)) {
        // An entry of this id whose thread has ended belongs to an earlier thread; replace it.
        TWinThreadHandles handles;
        if (listed->Handle && handles.Alive(listed->Handle)) return 0;
    }
    TMishapThreadEntry entry;
    entry.Id = id;
    entry.Handle = OwnHandle();
    entry.StackTop = CurrentStackTop();
    entry.StartRoutine = startRoutine;
    entry.Parameter = parameter;
    entry.ThreadObject = threadObject;
    if (threadClass) entry.ThreadClass = threadClass;
    entry.Main = main;
    list.Add(std::move(entry));
    return id;
}

struct TTrackedStart {
    LPTHREAD_START_ROUTINE Routine;
    LPVOID Parameter;
    const void* ThreadObject;
    const char* ThreadClass;
};

DWORD WINAPI TrackedThreadStart(LPVOID raw) {
    const TTrackedStart start = *static_cast<TTrackedStart*>(raw);
    delete static_cast<TTrackedStart*>(raw);
    TThreadRegistration registration(AsAddress(reinterpret_cast<const void*>(start.Routine)),
                                     AsAddress(start.Parameter), start.ThreadObject, start.ThreadClass);
    return start.Routine(start.Parameter);
}

struct TPthreadStart {
    void* (*Routine)(void*);
    void* Argument;
};

void* TrackedPthreadStart(void* raw) {
    const TPthreadStart start = *static_cast<TPthreadStart*>(raw);
    delete static_cast<TPthreadStart*>(raw);
    TThreadRegistration registration(AsAddress(reinterpret_cast<const void*>(start.Routine)),
                                     AsAddress(start.Argument));
    return start.Routine(start.Argument);
}

}  // namespace

void TWinThreadHandles::Close(TAddress handle) { CloseHandle(AsHandle(handle)); }

TAddress TWinThreadHandles::Duplicate(TAddress handle) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), AsHandle(handle), GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return 0;
    }
    return AsAddress(copy);
}

bool TWinThreadHandles::Alive(TAddress handle) {
    // The list's handles carry no right to wait on them; the exit code tells instead. A thread
    // that ended with code 259 looks alive: it stays listed, and suspending it fails.
    DWORD code = 0;
    if (!GetExitCodeThread(AsHandle(handle), &code)) return true;
    return code == STILL_ACTIVE;
}

std::int32_t TWinThreadHandles::Priority(TAddress handle) {
    const int priority = GetThreadPriority(AsHandle(handle));
    return priority == THREAD_PRIORITY_ERROR_RETURN ? kUnknownThreadPriority : priority;
}

TMishapThreadsList& ProcessThreadsList() {
    static TWinThreadHandles* handles = new TWinThreadHandles;
    static TMishapThreadsList* list = new TMishapThreadsList(*handles);
    return *list;
}

void EnterMainThread() {
    std::uint32_t none = 0;
    if (!mainThreadId.compare_exchange_strong(none, GetCurrentThreadId())) return;
    EnterCurrentThread(0, 0, nullptr, nullptr, true);
}

std::uint32_t MainThreadId() { return mainThreadId.load(); }

TAddress CurrentStackTop() {
    // The information block's own address, read as NtCurrentTeb does (whose inline form GCC 12
    // takes for a read of an empty array).
    const NT_TIB* tib;
#if defined(_WIN64)
    __asm__("movq %%gs:0x30, %0" : "=r"(tib));
#else
    __asm__("movl %%fs:0x18, %0" : "=r"(tib));
#endif
    return AsAddress(tib->StackBase);
}

TThreadRegistration::TThreadRegistration(TAddress startRoutine, TAddress parameter, const void* threadObject,
                                         const char* threadClass)
    : id_(EnterCurrentThread(startRoutine, parameter, threadObject, threadClass, false)) {}

TThreadRegistration::~TThreadRegistration() {
    if (id_) ProcessThreadsList().Remove(id_);
}

HANDLE CreateTrackedThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE routine,
                           LPVOID parameter, DWORD flags, LPDWORD threadId, const void* threadObject,
                           const char* threadClass) {
    auto start = std::make_unique<TTrackedStart>(TTrackedStart{routine, parameter, threadObject, threadClass});
    HANDLE thread = CreateThread(security, stackSize, TrackedThreadStart, start.get(), flags, threadId);
    if (thread) start.release();  // the new thread frees it
    return thread;
}

}  // namespace quillan::crash

// std::thread starts its threads through pthread_create; the link maps every call of it to
// this wrapper (-Wl,--wrap=pthread_create), so those threads are entered as well.
extern "C" int __real_pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*),
                                     void* argument);

extern "C" int __wrap_pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*),
                                     void* argument) {
    using quillan::crash::TPthreadStart;
    auto* start = new (std::nothrow) TPthreadStart{routine, argument};
    if (!start) return EAGAIN;
    const int result = __real_pthread_create(thread, attributes, quillan::crash::TrackedPthreadStart, start);
    if (result != 0) delete start;
    return result;
}
