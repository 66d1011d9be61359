// Exceptions the crash reporter makes itself: a frozen main window, faults the processor or the
// system raised, abort(). Platform-free: a fault is described by its code and record fields.
#pragma once

#include <cstdint>
#include <memory>

#include "crash/options/errors.h"
#include "crash/report/report_layout.h"

namespace quillan::crash {

// The main window did not answer for HangTimeout seconds; the message is HangMessage.
QUILLAN_EXCEPTION(EApplicationFrozen, Exception);

// abort() was called (SIGABRT).
QUILLAN_EXCEPTION(EAbnormalTermination, Exception);

// An exception the processor or the system raised, not the program.
class EExternal : public Exception {
public:
    EExternal(std::string message, std::uint32_t code) : Exception(std::move(message)), code_(code) {}
    std::uint32_t Code() const noexcept { return code_; }
    const char* ClassName() const noexcept override { return "EExternal"; }
    std::vector<std::string> ClassNames() const override {
        std::vector<std::string> names;
        AppendClassNames(names);
        return names;
    }
    static void AppendClassNames(std::vector<std::string>& out) {
        out.push_back("EExternal");
        Exception::AppendClassNames(out);
    }

private:
    std::uint32_t code_;
};

QUILLAN_EXCEPTION(EAccessViolation, EExternal);
QUILLAN_EXCEPTION(EStackOverflow, EExternal);
QUILLAN_EXCEPTION(EDivByZero, EExternal);
QUILLAN_EXCEPTION(EIntOverflow, EExternal);
QUILLAN_EXCEPTION(EPrivilege, EExternal);
QUILLAN_EXCEPTION(EIllegalInstruction, EExternal);
QUILLAN_EXCEPTION(EMathError, EExternal);
// Every other code, heap corruption (0xC0000374) among them.
QUILLAN_EXCEPTION(EExternalException, EExternal);

// System exception codes the library names.
enum : std::uint32_t {
    kStatusAccessViolation = 0xC0000005,
    kStatusIllegalInstruction = 0xC000001D,
    kStatusFloatDenormal = 0xC000008D,
    kStatusFloatDivideByZero = 0xC000008E,
    kStatusFloatInexact = 0xC000008F,
    kStatusFloatInvalid = 0xC0000090,
    kStatusFloatOverflow = 0xC0000091,
    kStatusFloatStack = 0xC0000092,
    kStatusFloatUnderflow = 0xC0000093,
    kStatusIntegerDivideByZero = 0xC0000094,
    kStatusIntegerOverflow = 0xC0000095,
    kStatusPrivilegedInstruction = 0xC0000096,
    kStatusStackOverflow = 0xC00000FD,
    kStatusHeapCorruption = 0xC0000374,
    kStatusStackBufferOverrun = 0xC0000409,
    kStatusFailFast = 0xC0000602,
};

// The exception for a system exception record: code, address, and for an access violation the
// kind of access (0 read, 1 write, 8 execute) and the address accessed.
std::unique_ptr<EExternal> MakeSystemException(std::uint32_t code, TAddress address, TAddress accessKind,
                                               TAddress accessAddress, const TReportLayout& layout = NativeLayout());

}  // namespace quillan::crash
