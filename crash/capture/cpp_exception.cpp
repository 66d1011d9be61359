#include "crash/capture/cpp_exception.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

#include "framework/core/exceptions.h"

namespace quillan::crash {

namespace {

std::string Demangle(const char* name) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> plain(abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
    return status == 0 && plain ? std::string(plain.get()) : std::string(name);
}

void AddAncestry(const std::type_info& type, std::vector<std::string>& out, int depth) {
    out.push_back(ReadableTypeName(type));
    // A hostile or broken hierarchy cannot make this loop: class hierarchies are finite, but
    // the depth is bounded anyway.
    if (depth > 32) return;
    if (auto* single = dynamic_cast<const abi::__si_class_type_info*>(&type)) {
        AddAncestry(*single->__base_type, out, depth + 1);
    } else if (auto* multiple = dynamic_cast<const abi::__vmi_class_type_info*>(&type)) {
        for (unsigned i = 0; i < multiple->__base_count; ++i)
            AddAncestry(*multiple->__base_info[i].__base_type, out, depth + 1);
    }
}

}  // namespace

std::string ReadableTypeName(const std::type_info& type) {
    std::string name = Demangle(type.name());
    // Our own classes are known by their short names ("ESimpleXMLError"), as their ClassName says.
    if (name.rfind("quillan::", 0) == 0) {
        size_t last = name.rfind("::");
        size_t templ = name.find('<');
        if (templ == std::string::npos || last < templ) name = name.substr(last + 2);
    }
    return name;
}

std::vector<std::string> TypeAncestry(const std::type_info& type) {
    std::vector<std::string> out;
    AddAncestry(type, out, 0);
    return out;
}

const void* ThrownObjectOf(const std::exception_ptr& exception) noexcept {
    // libstdc++ keeps exactly the thrown object's address in an exception_ptr.
    static_assert(sizeof(std::exception_ptr) == sizeof(void*));
    const void* object = nullptr;
    __builtin_memcpy(&object, &exception, sizeof(object));
    return object;
}

TCppException::TCppException(const std::exception& e) : object_(&e), thrown_(dynamic_cast<const void*>(&e)) {
    if (auto* own = dynamic_cast<const Exception*>(&e)) {
        classes_ = own->ClassNames();
    } else {
        classes_ = TypeAncestry(typeid(e));
    }
}

TCppException::TCppException(std::exception_ptr exception) : holder_(std::move(exception)) {
    thrown_ = ThrownObjectOf(holder_);
    try {
        std::rethrow_exception(holder_);
    } catch (const Exception& e) {
        object_ = &e;
        classes_ = e.ClassNames();
    } catch (const std::exception& e) {
        object_ = &e;
        classes_ = TypeAncestry(typeid(e));
    } catch (...) {
        const std::type_info* type = holder_.__cxa_exception_type();
        if (type) classes_ = TypeAncestry(*type);
    }
}

std::vector<std::string> TCppException::ClassNames() const { return classes_; }

std::string TCppException::Message() const {
    if (message_) return *message_;
    return object_ ? std::string(object_->what()) : std::string();
}

void TCppException::SetMessage(const std::string& message) {
    if (auto* own = dynamic_cast<const Exception*>(object_)) {
        // The object is the program's own; the report's prefix belongs on it.
        const_cast<Exception*>(own)->SetMessage(message);
        message_.reset();
        return;
    }
    message_ = message;
}

}  // namespace quillan::crash
