// Windows-1251 <-> Unicode, independent of the system's ANSI code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillan {

char16_t Cp1251ToUnicode(uint8_t byte);
// The Windows-1251 byte of a code point, or '?' when it has none.
uint8_t UnicodeToCp1251(char32_t codePoint);

std::u16string Cp1251ToUtf16(std::string_view text);
std::string Utf16ToCp1251(std::u16string_view text);

}  // namespace quillan
