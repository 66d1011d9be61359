#include "crash/options/shared_block_win.h"

#include <cstring>

#include "crash/options/errors.h"
#include "crash/options/shared_block.h"
#include "framework/win/text.h"

namespace quillan::crash {

namespace {

std::string BlockName(DWORD processId, HMODULE module) {
    return SharedBlockName(processId, reinterpret_cast<uintptr_t>(module));
}

}  // namespace

TSharedOptionsBlock::TSharedOptionsBlock(HMODULE module) : name_(BlockName(GetCurrentProcessId(), module)) {
    mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(kSharedBlockCapacity), win::Wide(name_).c_str()));
    if (!mapping_) return;
    view_.reset(static_cast<unsigned char*>(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, kSharedBlockCapacity)));
    Clear();
}

void TSharedOptionsBlock::Clear() noexcept {
    if (!view_) return;
    std::string empty = EncodeSharedBlock(nullptr);
    std::memcpy(view_.get(), empty.data(), empty.size());
}

void TSharedOptionsBlock::Publish(const std::string& stream) noexcept {
    if (!view_) return;
    unsigned char* view = view_.get();
    try {
        std::string block = EncodeSharedBlock(&stream);
        // The flag goes last so that a reader never takes a half-written stream for options.
        view[4] = 0;
        std::memcpy(view + 5, block.data() + 5, block.size() - 5);
        std::memcpy(view, block.data(), 4);
        view[4] = static_cast<unsigned char>(block[4]);
    } catch (...) {
        // Out of memory while serialising: the block says "no options" rather than stale ones.
        view[4] = 0;
    }
}

bool LoadSharedOptions(HMODULE module, TMishapModuleOptions& options, DWORD processId) {
    win::KernelHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, win::Wide(BlockName(processId, module)).c_str()));
    if (!mapping) return false;
    win::MappedView<const char> view(static_cast<const char*>(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0)));
    if (!view) return false;
    // The section may have been made by someone else with another size: read only what is mapped.
    MEMORY_BASIC_INFORMATION info{};
    size_t size = VirtualQuery(view.get(), &info, sizeof(info)) != 0 ? info.RegionSize : 0;
    std::string_view block(view.get(), size < kSharedBlockCapacity ? size : kSharedBlockCapacity);
    std::string stream;
    bool present = DecodeSharedBlock(block, stream);
    view.reset();
    if (!present) return false;
    try {
        options.LoadFromBytes(stream);
    } catch (const EMishapOptionsError&) {
        return false;
    }
    return true;
}

}  // namespace quillan::crash
