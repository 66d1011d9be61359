// A C++ exception as the crash reporter sees it: its class with every ancestor, read from the
// program's own exception hierarchy or else from the run-time type information, and its message.
// Platform-free.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <typeinfo>
#include <vector>

#include "crash/capture/capture_types.h"

namespace quillan::crash {

// The class and its ancestors (depth first, first base first) of a class type, demangled and
// without the quillan namespaces; a non-class type gives its own name alone.
std::vector<std::string> TypeAncestry(const std::type_info& type);

// A readable type name: demangled, "quillan::" and its inner namespaces dropped.
std::string ReadableTypeName(const std::type_info& type);

class TCppException : public IMishapException {
public:
    // Keeps a reference to e, which must outlive this object.
    explicit TCppException(const std::exception& e);
    // An exception of any type; the exception pointer keeps it alive.
    explicit TCppException(std::exception_ptr exception);

    std::vector<std::string> ClassNames() const override;
    std::string Message() const override;
    // The program's own exceptions take the message; others keep it beside them.
    void SetMessage(const std::string& message) override;

    const std::exception* Object() const { return object_; }
    // The address the exception object was thrown at (the key of its throw record); null when
    // unknown.
    const void* ThrownObject() const { return thrown_; }

private:
    std::exception_ptr holder_;
    const std::exception* object_ = nullptr;
    const void* thrown_ = nullptr;
    std::vector<std::string> classes_;
    std::optional<std::string> message_;
};

// The address of the object a pointer refers to, as __cxa_throw received it; null for none.
const void* ThrownObjectOf(const std::exception_ptr& exception) noexcept;

}  // namespace quillan::crash
