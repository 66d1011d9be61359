#include "crash/capture/capture_errors.h"

namespace quillan::crash {

std::unique_ptr<EExternal> MakeSystemException(std::uint32_t code, TAddress address, TAddress accessKind,
                                               TAddress accessAddress, const TReportLayout& layout) {
    const std::string at = HexText(address, layout);
    switch (code) {
        case kStatusAccessViolation: {
            const char* access = accessKind == 1 ? "Write of" : accessKind == 8 ? "Execution of" : "Read of";
            return std::make_unique<EAccessViolation>("Access violation at address " + at + ". " + access +
                                                          " address " + HexText(accessAddress, layout) + ".",
                                                      code);
        }
        case kStatusStackOverflow:
            return std::make_unique<EStackOverflow>("Stack overflow.", code);
        case kStatusIntegerDivideByZero:
            return std::make_unique<EDivByZero>("Division by zero.", code);
        case kStatusIntegerOverflow:
            return std::make_unique<EIntOverflow>("Integer overflow.", code);
        case kStatusPrivilegedInstruction:
            return std::make_unique<EPrivilege>("Privileged instruction at address " + at + ".", code);
        case kStatusIllegalInstruction:
            return std::make_unique<EIllegalInstruction>("Illegal instruction at address " + at + ".", code);
        case kStatusFloatDenormal:
        case kStatusFloatDivideByZero:
        case kStatusFloatInexact:
        case kStatusFloatInvalid:
        case kStatusFloatOverflow:
        case kStatusFloatStack:
        case kStatusFloatUnderflow:
            return std::make_unique<EMathError>("Floating point exception " + HexText(code, 8) + ".", code);
        default:
            return std::make_unique<EExternalException>("External exception " + HexText(code, 8) + ".", code);
    }
}

}  // namespace quillan::crash
