// An exception escaping a worker thread started with std::thread.
#include <stdexcept>
#include <thread>

#include "tests/crash/capture/probes/probe_support.h"

[[gnu::noinline]] void WorkerThrows(int step) {
    if (step > 1) throw std::runtime_error("The worker gave up.");  // THROW-WORKER
}

[[gnu::noinline]] void WorkerBody(int step) {
    WorkerThrows(step + 1);  // CALL-WORKER
    OutputDebugStringA("not reached");
}

int wmain(int argc, wchar_t** argv) {
    quillan::probe::Setup(argc, argv);
    std::thread worker([] { WorkerBody(1); });
    worker.join();
    return 0;
}
