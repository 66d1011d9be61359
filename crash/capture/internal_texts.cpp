#include "crash/capture/internal_texts.h"

#include "crash/report/report_text.h"

namespace quillan::crash {

namespace {

// The name of the toolchain that built the library, fixed at build time.
#if defined(__clang__)
constexpr const char* kToolchain = "clang " __clang_version__;
#elif defined(__GNUC__)
constexpr const char* kToolchain = "GCC " __VERSION__;
#else
constexpr const char* kToolchain = "unknown compiler";
#endif

}  // namespace

const char* ErrorCodeName(TMishapLogErrorCode code) {
    static constexpr const char* kNames[] = {"eeNone",           "eeShowError",       "eeLogError",
                                             "eeEmailMAPIError", "eeEmailShellError", "eeEmailSMTPError",
                                             "eeWebHTTPError",   "eeWebHTTPSError",   "eeWebFTPError"};
    auto index = static_cast<size_t>(code);
    return index < std::size(kNames) ? kNames[index] : "eeNone";
}

std::string WarningLine(TMishapLogErrorCode code, TAddress address, const std::string& message,
                        const TReportLayout& layout) {
    return std::string("[WARNING] - Code: ") + ErrorCodeName(code) + " - Address: " + HexText(address, layout) +
           " - Message: \"" + message + "\"";
}

std::string StepWarningMessage(const std::string& step, const std::exception* e) {
    if (!e) return "General '" + step + "' error.";
    return "[" + step + "] " + e->what();
}

std::string InternalErrorLine(int section, TAddress address, const std::string& message, const TReportLayout& layout) {
    return "[ERROR] - Section: " + std::to_string(section) + " - Address: " + HexText(address, layout) +
           " - Message: \"" + message + "\"";
}

std::string CodeBytesText(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    for (std::uint8_t b : bytes) out += "$" + HexText(b, 2) + " ";
    return out;
}

std::string InternalErrorFileText(const TInternalErrorInfo& info, const TReportLayout& layout) {
    std::string text;
    text += "Version   : " + std::string(kMishapLogVersion) + "\r\n";
    text += "Date      : " + info.Date + "\r\n";
    text += "OS        : " + info.OperatingSystem + "\r\n";
    text += "RAD       : " + std::string(kToolchain) + "\r\n";
    text += "Dump      : " + CodeBytesText(info.CodeBytes) + "\r\n";
    text += "Section   : " + std::to_string(info.Section) + "\r\n";
    text += "LastExcept: " + info.LastExceptionClass + "\r\n";
    text += "Address   : $" + HexText(info.Address, layout) + "\r\n";
    text += "Exception : " + info.ErrorClass + "\r\n";
    text += "Message   : " + info.ErrorMessage;
    return text;
}

std::string InternalBugBoxText(const std::string& error) {
    return "Error: '" + error +
           "'\r\n\r\nThis is an internal MishapLog bug.\r\nDo you want to send the bug information to MishapLog "
           "author?";
}

std::string SendByHandText(const std::string& file) {
    return "The mail program could not be started.\r\nPlease send the file \"" + file + "\" to " + kSupportAddress +
           " by hand.";
}

std::string CriticalErrorMessage(const std::string& where, const std::string& error) {
    return "Critical error at: \"" + where + "\"\r\nError: \"" + error + "\".";
}

}  // namespace quillan::crash
