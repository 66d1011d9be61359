// Published properties to text and back, under value names made of the
// component's name, "_" and the property's declared spelling. Platform-free.
#pragma once

#include <functional>
#include <string>

#include "framework/controls/published.h"

namespace quillan {

class TPropsStore {
public:
    using TReadString = std::function<std::string(const std::string& section, const std::string& name,
                                                  const std::string& defaultValue)>;
    using TWriteString =
        std::function<void(const std::string& section, const std::string& name, const std::string& value)>;

    TPropsStore(std::string section, TReadString read, TWriteString write)
        : SectionName(std::move(section)), read_(std::move(read)), write_(std::move(write)) {}

    std::string SectionName;
    std::string ValuePrefix;  // the current component's name + "_"

    // Writes the property named propName (any case) of component; a property it
    // does not have is skipped, as is an empty text of a non-string property.
    void StoreProperty(TPersistent& component, const std::string& propName);
    // Reads it back; a missing value, or an enumeration text naming no member,
    // leaves the property unchanged; invalid integer text gives 0.
    void LoadProperty(TPersistent& component, const std::string& propName);

    // The text form: decimal integers, enumeration member names, strings; trimmed.
    static std::string PropToText(const TPersistent& component, const TPropInfo& info);
    // Sets the property from (trimmed) text by the rules above.
    static void TextToProp(TPersistent& component, const TPropInfo& info, const std::string& text);

private:
    TReadString read_;
    TWriteString write_;
};

}  // namespace quillan
