// The boundary between the program's Windows-1251 text and the wide API.
#pragma once

#include <string>
#include <string_view>

namespace quillan::win {

std::wstring Wide(std::string_view text);
std::string Narrow(std::wstring_view text);

// Text of a window (GetWindowTextW), as Windows-1251.
std::string GetWindowTextA1251(void* hwnd);
void SetWindowTextA1251(void* hwnd, std::string_view text);

// Full path of the running executable, and of any module.
std::string ModuleFileName(void* module = nullptr);

}  // namespace quillan::win
