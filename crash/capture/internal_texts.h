// The crash reporter's own failures: internal warnings, the internal-error report, the start-up
// and shut-down guard, hook failures. Platform-free.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "crash/capture/capture_types.h"
#include "crash/options/errors.h"

namespace quillan::crash {

inline constexpr char kGeneralInternalError[] = "General internal error.";
inline constexpr char kInitSection[] = "MishapLog.Init";
inline constexpr char kDoneSection[] = "MishapLog.Done";
inline constexpr char kInternalBugCaption[] = "Probably internal bug";
inline constexpr unsigned kInternalBugBoxFlags = 0x242014;  // yes/no, stop icon, task-modal, top-most, service
inline constexpr unsigned kStepErrorBoxFlags = 0x242010;
inline constexpr unsigned kFilterBoxFlags = 0x242040;
inline constexpr char kInternalBugSubject[] = "MishapLog 5.0.6 RC 6 critical bug.";
// Where the internal-error file goes when the user agrees to send it.
inline constexpr char kSupportAddress[] = "mishaplog-support@quillan.invalid";

// "[WARNING] - Code: eeLogError - Address: 0040123C - Message: "...""
std::string WarningLine(TMishapLogErrorCode code, TAddress address, const std::string& message,
                        const TReportLayout& layout = NativeLayout());
// The message of a warning raised by a failing step: "[Log] message", or "General 'Log' error."
// when the failure was no exception (e is null).
std::string StepWarningMessage(const std::string& step, const std::exception* e);
// "[ERROR] - Section: 703 - Address: 0040123C - Message: "...""
std::string InternalErrorLine(int section, TAddress address, const std::string& message,
                              const TReportLayout& layout = NativeLayout());

struct TInternalErrorInfo {
    std::string Date;
    std::string OperatingSystem;
    std::vector<std::uint8_t> CodeBytes;  // up to 32 bytes at the address
    int Section = 0;
    std::string LastExceptionClass;  // of the exception being reported
    TAddress Address = 0;
    std::string ErrorClass;  // of the library's own failure
    std::string ErrorMessage;
};
// The text of the internal-error file (the block ending with "Message   : ...").
std::string InternalErrorFileText(const TInternalErrorInfo& info, const TReportLayout& layout = NativeLayout());
// "$8B $45 $FC " for the bytes given.
std::string CodeBytesText(const std::vector<std::uint8_t>& bytes);
// The text of the "Probably internal bug" box.
std::string InternalBugBoxText(const std::string& error);
// The information box shown when the internal-error file cannot be mailed.
std::string SendByHandText(const std::string& file);

// "Critical error at: "MishapLog.Init"\r\nError: "message"."
std::string CriticalErrorMessage(const std::string& where, const std::string& error);

// Runs fn; any exception leaves as EMishapLogError with the critical-error message.
template <typename Fn>
void CriticalGuard(const char* where, Fn&& fn) {
    std::string error;
    try {
        fn();
        return;
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = kGeneralInternalError;
    }
    throw EMishapLogError(CriticalErrorMessage(where, error));
}

}  // namespace quillan::crash
