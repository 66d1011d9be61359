#include "framework/controls/inifile.h"

#include <windows.h>

#include <vector>

#include "framework/core/exceptions.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan::win {
namespace {

// A default that no real value can have tells an absent key from an empty one.
constexpr wchar_t kAbsent[] = L"\x1\x2\x3";

std::wstring ReadRaw(const std::string& file, const std::string& section, const std::string& key,
                     const wchar_t* defaultValue) {
    std::vector<wchar_t> buffer(2048);
    for (;;) {
        DWORD n = GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), defaultValue, buffer.data(),
                                           static_cast<DWORD>(buffer.size()), Wide(file).c_str());
        if (n + 1 < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    std::wstring value = ReadRaw(fileName_, section, key, kAbsent);
    return value == kAbsent ? defaultValue : Narrow(value);
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    // A new file starts as UTF-16 (its byte-order mark tells the profile API so);
    // in the ANSI code page Cyrillic text would not survive on every system.
    std::wstring wideName = Wide(fileName_);
    if (GetFileAttributesW(wideName.c_str()) == INVALID_FILE_ATTRIBUTES) {
        FileHandle file(
            CreateFileW(wideName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            static const unsigned char bom[] = {0xFF, 0xFE};
            DWORD written = 0;
            WriteFile(file.get(), bom, sizeof(bom), &written, nullptr);
        }
    }
    if (!WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(value).c_str(),
                                    Wide(fileName_).c_str()))
        throw Exception(Format("Unable to write to %s", {fileName_}));
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    return ReadRaw(fileName_, section, key, kAbsent) != kAbsent;
}

}  // namespace quillan::win
