// The shared options block as a named section of the paging file.
#pragma once

#include <windows.h>

#include <string>

#include "crash/options/options_ex.h"
#include "framework/win/handle_win.h"

namespace quillan::crash {

// The block of one module of this process; publishes every change of the options it is
// attached to. Starts empty (flag 0). When the section cannot be created, publishing does nothing.
class TSharedOptionsBlock : public IOptionsPublisher {
public:
    explicit TSharedOptionsBlock(HMODULE module);
    TSharedOptionsBlock(const TSharedOptionsBlock&) = delete;
    TSharedOptionsBlock& operator=(const TSharedOptionsBlock&) = delete;

    void Publish(const std::string& stream) noexcept override;
    // Marks the block as holding no options.
    void Clear() noexcept;
    bool Valid() const { return static_cast<bool>(view_); }
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    win::KernelHandle mapping_;
    win::MappedView<unsigned char> view_;  // unmapped before the mapping closes
};

// Overlays options with the module's shared block of the given process when that block exists
// and holds options. Returns false, options untouched, otherwise (also for a damaged stream).
bool LoadSharedOptions(HMODULE module, TMishapModuleOptions& options, DWORD processId = GetCurrentProcessId());

}  // namespace quillan::crash
