// Published properties: the small run-time view of a component's properties
// that the form storage uses to save and restore them by name. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillan {

enum class TPropKind { Integer, Enumeration, String };

struct TPropInfo {
    std::string Name;  // declared spelling, e.g. "ItemIndex"
    TPropKind Kind = TPropKind::String;
    std::vector<std::string> EnumNames;  // members of an enumeration, by ordinal ("False", "True")
};

// A component whose properties can be looked up by name. Get/Set receive the
// declared spelling of a property listed by PublishedProps; others are ignored.
class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual std::string ComponentName() const = 0;
    virtual std::vector<TPropInfo> PublishedProps() const = 0;
    // Integer value, or the ordinal of an enumeration member.
    virtual int64_t GetOrdProp(const std::string& name) const = 0;
    virtual void SetOrdProp(const std::string& name, int64_t value) = 0;
    virtual std::string GetStrProp(const std::string& name) const = 0;
    virtual void SetStrProp(const std::string& name, const std::string& value) = 0;
};

// The property named name without regard to ASCII case; nullptr when there is none.
const TPropInfo* FindPropInfo(const std::vector<TPropInfo>& props, const std::string& name);

}  // namespace quillan
