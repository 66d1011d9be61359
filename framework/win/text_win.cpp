#include "framework/win/text.h"

#include <windows.h>

#include <vector>

#include "framework/core/codepage.h"

namespace quillan::win {

std::wstring Wide(std::string_view text) {
    std::u16string w = Cp1251ToUtf16(text);
    return std::wstring(w.begin(), w.end());
}

std::string Narrow(std::wstring_view text) {
    return Utf16ToCp1251(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

std::string GetWindowTextA1251(void* hwnd) {
    HWND window = static_cast<HWND>(hwnd);
    int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    int n = GetWindowTextW(window, buffer.data(), length + 1);
    return Narrow(std::wstring_view(buffer.data(), static_cast<size_t>(n < 0 ? 0 : n)));
}

void SetWindowTextA1251(void* hwnd, std::string_view text) {
    SetWindowTextW(static_cast<HWND>(hwnd), Wide(text).c_str());
}

std::string ModuleFileName(void* module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(static_cast<HMODULE>(module), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) return Narrow(std::wstring_view(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace quillan::win
