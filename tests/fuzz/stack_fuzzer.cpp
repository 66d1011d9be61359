// Scans a stack made of arbitrary bytes over code made of arbitrary bytes. Input: one byte
// choosing the word size, a byte of code length (times 4), the code, then the stack: each
// 16-bit word makes a slot pointing into the code (or, with its top bit, a raw value).
// Every address found must be a call site inside the code or a procedure the code calls.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "crash/moduledata/memory_reader.h"
#include "crash/stack/stack_scan.h"

using namespace quillan::crash;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const TCallArch arch = data[0] & 1 ? TCallArch::X86_64 : TCallArch::I686;
    const size_t codeSize = std::min<size_t>(size - 2, size_t{data[1]} * 4);
    const TAddress codeBase = arch == TCallArch::I686 ? 0x00401000 : 0x140001000;
    TBufferMemoryReader code(codeBase, data + 2, codeSize);

    const uint8_t* words = data + 2 + codeSize;
    const size_t wordCount = (size - 2 - codeSize) / 2;
    const size_t slot = SlotSize(arch);
    std::vector<uint8_t> stackBytes(wordCount * slot);
    for (size_t i = 0; i < wordCount; ++i) {
        const unsigned word = words[2 * i] | words[2 * i + 1] << 8;
        TAddress value = word & 0x8000 ? word * 0x10001u : codeBase + (word % (codeSize + 8));
        for (size_t b = 0; b < slot; ++b) stackBytes[i * slot + b] = static_cast<uint8_t>(value >> (8 * b));
    }
    const TAddress stackBase = 0x00100000;
    TBufferMemoryReader stack(stackBase, stackBytes.data(), stackBytes.size());

    TMishapStackList list(1);
    TStackRequest request{codeBase, stackBase, stackBase + stackBytes.size() + 64, 7, false};
    BuildCallStack(arch, list, request, stack, code, [&](TAddress address, TMishapStackEntry& entry) {
        if (address >= codeBase && address - codeBase < codeSize) {
            entry.Kind = address % 3 ? TStackKind::LineTable : TStackKind::InModule;
            entry.ModuleHandle = address % 5 ? codeBase : 0;
        }
    });
    // Every found address lies in the code: call sites and the procedures they call alike.
    for (size_t i = 2; i < list.size(); ++i) {
        if (list[i].Address < codeBase || list[i].Address - codeBase >= codeSize) std::abort();
        if (list[i].ThreadId != 7) std::abort();
    }
    return 0;
}
