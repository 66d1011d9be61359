// Reads the running process's memory after asking the memory manager whether the bytes are
// committed and readable; the last region's answer is kept, so scanning a stack costs one query
// per region rather than one per read.
#pragma once

#include <windows.h>

#include "crash/moduledata/memory_reader.h"

namespace quillan::crash {

class TProcessMemoryReader : public IMemoryReader {
public:
    bool Read(TAddress address, void* buffer, size_t size) override;
    // True when size bytes at address are committed and readable (no guard page).
    bool Readable(TAddress address, size_t size);

private:
    bool RegionOf(TAddress address, TAddress& end, bool& readable);

    TAddress regionStart_ = 0;
    TAddress regionEnd_ = 0;  // 0: nothing cached
    bool regionReadable_ = false;
};

}  // namespace quillan::crash
