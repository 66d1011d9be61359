#include "components/formstore/props_store.h"

#include "framework/core/convert.h"

namespace quillan {

std::string TPropsStore::PropToText(const TPersistent& component, const TPropInfo& info) {
    switch (info.Kind) {
        case TPropKind::Integer:
            return IntToStr(component.GetOrdProp(info.Name));
        case TPropKind::Enumeration: {
            int64_t ordinal = component.GetOrdProp(info.Name);
            if (ordinal < 0 || ordinal >= static_cast<int64_t>(info.EnumNames.size())) return IntToStr(ordinal);
            return info.EnumNames[static_cast<size_t>(ordinal)];
        }
        case TPropKind::String:
            return Trim(component.GetStrProp(info.Name));
    }
    return {};
}

void TPropsStore::TextToProp(TPersistent& component, const TPropInfo& info, const std::string& raw) {
    std::string text = Trim(raw);
    switch (info.Kind) {
        case TPropKind::Integer:
            component.SetOrdProp(info.Name, TryStrToInt64(text).value_or(0));
            break;
        case TPropKind::Enumeration:
            // Only a member name counts: "1" names no member of False/True.
            for (size_t i = 0; i < info.EnumNames.size(); ++i)
                if (SameTextAscii(info.EnumNames[i], text)) {
                    component.SetOrdProp(info.Name, static_cast<int64_t>(i));
                    break;
                }
            break;
        case TPropKind::String:
            component.SetStrProp(info.Name, text);
            break;
    }
}

void TPropsStore::StoreProperty(TPersistent& component, const std::string& propName) {
    const auto props = component.PublishedProps();
    const TPropInfo* info = FindPropInfo(props, propName);
    if (!info) return;
    ValuePrefix = component.ComponentName() + "_";
    std::string text = PropToText(component, *info);
    if (text.empty() && info->Kind != TPropKind::String) return;
    write_(SectionName, ValuePrefix + info->Name, text);
}

void TPropsStore::LoadProperty(TPersistent& component, const std::string& propName) {
    const auto props = component.PublishedProps();
    const TPropInfo* info = FindPropInfo(props, propName);
    if (!info) return;
    ValuePrefix = component.ComponentName() + "_";
    // The current value is the default, so a missing value changes nothing.
    std::string current = PropToText(component, *info);
    std::string text = read_(SectionName, ValuePrefix + info->Name, current);
    if (Trim(text) == current) return;
    TextToProp(component, *info, text);
}

}  // namespace quillan
