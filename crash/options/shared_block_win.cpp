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
    view_ = static_cast<unsigned char*>(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, kSharedBlockCapacity));
    Clear();
}

TSharedOptionsBlock::~TSharedOptionsBlock() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
}

void TSharedOptionsBlock::Clear() noexcept {
    if (view_ == nullptr) return;
    std::string empty = EncodeSharedBlock(nullptr);
    std::memcpy(view_, empty.data(), empty.size());
}

void TSharedOptionsBlock::Publish(const std::string& stream) noexcept {
    if (view_ == nullptr) return;
    try {
        std::string block = EncodeSharedBlock(&stream);
        // The flag goes last so that a reader never takes a half-written stream for options.
        view_[4] = 0;
        std::memcpy(view_ + 5, block.data() + 5, block.size() - 5);
        std::memcpy(view_, block.data(), 4);
        view_[4] = static_cast<unsigned char>(block[4]);
    } catch (...) {
        // Out of memory while serialising: the block says "no options" rather than stale ones.
        view_[4] = 0;
    }
}

bool LoadSharedOptions(HMODULE module, TMishapModuleOptions& options, DWORD processId) {
    win::KernelHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, win::Wide(BlockName(processId, module)).c_str()));
    if (!mapping) return false;
    void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) return false;
    // The section may have been made by someone else with another size: read only what is mapped.
    MEMORY_BASIC_INFORMATION info{};
    size_t size = VirtualQuery(view, &info, sizeof(info)) != 0 ? info.RegionSize : 0;
    std::string_view block(static_cast<const char*>(view), size < kSharedBlockCapacity ? size : kSharedBlockCapacity);
    std::string stream;
    bool present = DecodeSharedBlock(block, stream);
    UnmapViewOfFile(view);
    if (!present) return false;
    try {
        options.LoadFromBytes(stream);
    } catch (const EMishapOptionsError&) {
        return false;
    }
    return true;
}

}  // namespace quillan::crash
