// Errors raised by the crash reporter itself.
#pragma once

#include "framework/core/exceptions.h"

namespace quillan::crash {

// Base of every error the crash-reporting library raises on its own account.
QUILLAN_EXCEPTION(EMishapLogError, Exception);
// A stored options stream that cannot be read (truncated, damaged, unknown version).
QUILLAN_EXCEPTION(EMishapOptionsError, EMishapLogError);
// A broken precondition of the library's interface; SourceFile names the library unit.
class EAssertionFailed : public Exception {
public:
    EAssertionFailed(std::string message, std::string sourceFile)
        : Exception(std::move(message)), sourceFile_(std::move(sourceFile)) {}
    const std::string& SourceFile() const noexcept { return sourceFile_; }
    const char* ClassName() const noexcept override { return "EAssertionFailed"; }
    std::vector<std::string> ClassNames() const override {
        std::vector<std::string> names;
        AppendClassNames(names);
        return names;
    }
    static void AppendClassNames(std::vector<std::string>& out) {
        out.push_back("EAssertionFailed");
        Exception::AppendClassNames(out);
    }

private:
    std::string sourceFile_;
};

}  // namespace quillan::crash
