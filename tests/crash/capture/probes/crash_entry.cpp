// The exported ExceptionManager handed what is not an exception of this program (a polymorphic
// object of another kind, code, heap bytes), then a real one. The first three go back to the
// caller unreported (result 1), the last is reported (result 0); returned.txt lists the results.
#include <windows.h>

#include <cstring>
#include <string>

#include "framework/core/exceptions.h"
#include "tests/crash/capture/probes/probe_support.h"

namespace quillan {

QUILLAN_EXCEPTION(EProbeEntry, Exception);

namespace {

using TEntry = unsigned char(__cdecl*)(const void*, const void*, int, HMODULE);

struct TNotAnException {
    virtual ~TNotAnException() = default;
    virtual int Value() const { return 0x12345678; }
    int Data = 7;
};

[[gnu::noinline]] void CodeOfThisProgram() { OutputDebugStringA("code"); }

}  // namespace
}  // namespace quillan

int wmain(int argc, wchar_t** argv) {
    using namespace quillan;
    const std::string folder = probe::Setup(argc, argv);
    auto entry = reinterpret_cast<TEntry>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), "ExceptionManager")));
    if (!entry) return 2;
    std::string results;
    TNotAnException other;
    results += std::to_string(entry(&other, nullptr, 0, nullptr));
    // A "table" that is this program's code.
    const void* code[2] = {reinterpret_cast<const void*>(&CodeOfThisProgram), nullptr};
    results += " " + std::to_string(entry(code, nullptr, 0, nullptr));
    // A "table" of heap bytes.
    auto* bytes = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, 256));
    std::memset(bytes, 0x41, 256);
    const void* heap[2] = {bytes + 128, nullptr};
    results += " " + std::to_string(entry(heap, nullptr, 0, nullptr));
    try {
        throw EProbeEntry("Handed over by the exported entry.");
    } catch (const std::exception& e) {
        results += " " + std::to_string(entry(&e, nullptr, 0, nullptr));
    }
    probe::WriteMarker(folder, "returned.txt", results);
    return 0;
}
