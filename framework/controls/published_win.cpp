#include "framework/controls/published.h"

#include "framework/core/convert.h"

namespace quillan {

const TPropInfo* FindPropInfo(const std::vector<TPropInfo>& props, const std::string& name) {
    std::string wanted = AsciiLowerCase(name);
    for (const TPropInfo& info : props)
        if (AsciiLowerCase(info.Name) == wanted) return &info;
    return nullptr;
}

}  // namespace quillan
