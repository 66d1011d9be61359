// String and integer conversions of the runtime.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillan {

// Decimal or "$"-hexadecimal text to a 64-bit integer. Leading blanks and one
// sign are accepted; anything else, an empty text or an overflow gives nullopt.
std::optional<int64_t> TryStrToInt64(std::string_view text);

// The 64-bit conversion cut to its low 32 bits; Default when not a number.
int32_t StrToIntDef(std::string_view text, int32_t defaultValue);

// As StrToIntDef, but raises EConvertError for text that is not a number.
int32_t StrToInt(std::string_view text);

std::string IntToStr(int64_t value);

// ASCII-only case mapping: other bytes (Cyrillic included) are left unchanged.
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
std::string AsciiLowerCase(std::string_view text);
std::string AsciiUpperCase(std::string_view text);
bool SameTextAscii(std::string_view a, std::string_view b);

// Removes leading and trailing blanks and control characters (bytes <= 32).
std::string Trim(std::string_view text);

// Windows-1251 <-> UTF-8, byte for byte reversible for every defined code.
std::string Cp1251ToUtf8(std::string_view text);
std::string Utf8ToCp1251(std::string_view text);

}  // namespace quillan
