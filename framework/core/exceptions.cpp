#include "framework/core/exceptions.h"

namespace quillan {

std::string Format(const char* pattern, const std::vector<std::string>& args) {
    std::string out;
    size_t next = 0;
    for (const char* p = pattern; *p; ++p) {
        if (*p != '%' || p[1] == '\0') {
            out += *p;
            continue;
        }
        ++p;
        if (*p == '%') {
            out += '%';
        } else if (next < args.size()) {
            out += args[next++];
        }
    }
    return out;
}

void ThrowOutOfMemory() { throw EOutOfMemory(kSOutOfMemory); }

}  // namespace quillan
