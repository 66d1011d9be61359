#include "framework/core/convert.h"

#include "framework/core/exceptions.h"

namespace quillan {

std::optional<int64_t> TryStrToInt64(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i < text.size() && text[i] == '$') {
        ++i;
        if (i == text.size()) return std::nullopt;
        uint64_t value = 0;
        for (; i < text.size(); ++i) {
            char c = text[i];
            int digit = (c >= '0' && c <= '9')   ? c - '0'
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                 : -1;
            if (digit < 0 || (value >> 60) != 0) return std::nullopt;
            value = (value << 4) | static_cast<uint64_t>(digit);
        }
        // Hexadecimal takes all 64 bits: $FFFFFFFFFFFFFFFF is -1.
        uint64_t result = negative ? (~value + 1) : value;
        return static_cast<int64_t>(result);
    }
    if (i == text.size()) return std::nullopt;
    uint64_t value = 0;
    const uint64_t limit = negative ? (uint64_t{1} << 63) : (uint64_t{1} << 63) - 1;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (limit - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return negative ? static_cast<int64_t>(~value + 1) : static_cast<int64_t>(value);
}

int32_t StrToIntDef(std::string_view text, int32_t defaultValue) {
    auto value = TryStrToInt64(text);
    if (!value) return defaultValue;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(*value)));
}

int32_t StrToInt(std::string_view text) {
    auto value = TryStrToInt64(text);
    if (!value) throw EConvertError(Format(kSInvalidInteger, {std::string(text)}));
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(*value)));
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string AsciiLowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

std::string AsciiUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = AsciiUpper(c);
    return out;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

std::string Trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<uint8_t>(text[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<uint8_t>(text[end - 1]) <= ' ') --end;
    return std::string(text.substr(begin, end - begin));
}

}  // namespace quillan
