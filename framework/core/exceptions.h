// The program's exception hierarchy. Every class knows its own name and the
// names of its ancestors, which the error reporting prints.
#pragma once

#include <exception>
#include <string>
#include <vector>

namespace quillan {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}

    const std::string& Message() const noexcept { return message_; }
    void SetMessage(std::string message) { message_ = std::move(message); }
    const char* what() const noexcept override { return message_.c_str(); }

    virtual const char* ClassName() const noexcept { return "Exception"; }
    // Own class name first, then each ancestor up to "Exception".
    virtual std::vector<std::string> ClassNames() const { return {"Exception"}; }
    static void AppendClassNames(std::vector<std::string>& out) { out.push_back("Exception"); }

private:
    std::string message_;
};

// Declares an exception class NAME derived from BASE with the base's constructors.
#define QUILLAN_EXCEPTION(NAME, BASE)                                     \
    class NAME : public BASE {                                            \
    public:                                                               \
        using BASE::BASE;                                                 \
        const char* ClassName() const noexcept override { return #NAME; } \
        std::vector<std::string> ClassNames() const override {            \
            std::vector<std::string> names;                               \
            AppendClassNames(names);                                      \
            return names;                                                 \
        }                                                                 \
        static void AppendClassNames(std::vector<std::string>& out) {     \
            out.push_back(#NAME);                                         \
            BASE::AppendClassNames(out);                                  \
        }                                                                 \
    }

QUILLAN_EXCEPTION(EConvertError, Exception);
QUILLAN_EXCEPTION(EOutOfMemory, Exception);
QUILLAN_EXCEPTION(EStreamError, Exception);
QUILLAN_EXCEPTION(EReadError, EStreamError);
QUILLAN_EXCEPTION(EWriteError, EStreamError);
QUILLAN_EXCEPTION(EFileStreamError, EStreamError);
QUILLAN_EXCEPTION(EFOpenError, EFileStreamError);
QUILLAN_EXCEPTION(EFCreateError, EFileStreamError);
QUILLAN_EXCEPTION(EOSError, Exception);
QUILLAN_EXCEPTION(ERegistryException, Exception);
QUILLAN_EXCEPTION(EListError, Exception);

// Runtime message texts.
inline constexpr const char* kSReadError = "Stream read error";
inline constexpr const char* kSWriteError = "Stream write error";
inline constexpr const char* kSOutOfMemory = "Out of memory";
inline constexpr const char* kSFOpenErrorEx = "Cannot open file \"%s\". %s";
inline constexpr const char* kSFCreateErrorEx = "Cannot create file \"%s\". %s";
inline constexpr const char* kSInvalidInteger = "'%s' is not a valid integer value";

// printf-style formatting of runtime messages; %s, %d and %% only.
std::string Format(const char* pattern, const std::vector<std::string>& args);

[[noreturn]] void ThrowOutOfMemory();

}  // namespace quillan
