#include "components/version/version_info_win.h"

#include <cstdio>
#include <cstring>

#include "framework/win/text.h"

namespace quillan::version {

TVersionInfo::TVersionInfo(const std::string& fileName) : fileName_(fileName) {
    std::wstring name = win::Wide(fileName_);
    size_ = GetFileVersionInfoSizeW(name.c_str(), &handle_);
    if (size_ == 0) return;
    block_.resize(size_);
    valid_ = GetFileVersionInfoW(name.c_str(), handle_, size_, block_.data()) != FALSE;
}

bool TVersionInfo::Query(const std::wstring& subBlock, void** data, UINT* length) const {
    if (!valid_) return false;
    *data = nullptr;
    *length = 0;
    // The block is not changed by a query; the API just takes a non-const pointer.
    void* block = const_cast<BYTE*>(block_.data());
    return VerQueryValueW(block, subBlock.c_str(), data, length) && *data;
}

std::string TVersionInfo::Translation() const {
    void* data = nullptr;
    UINT length = 0;
    if (!Query(L"\\VarFileInfo\\Translation", &data, &length) || length < sizeof(DWORD)) return {};
    DWORD entry = 0;
    std::memcpy(&entry, data, sizeof(entry));
    // Low word: language, high word: code page; shown language first.
    char text[16];
    std::snprintf(text, sizeof(text), "%04X%04X", static_cast<unsigned>(LOWORD(entry)),
                  static_cast<unsigned>(HIWORD(entry)));
    return text;
}

std::string TVersionInfo::GetVerValue(const std::string& key) const {
    if (!valid_) return {};
    std::wstring query = L"\\StringFileInfo\\" + win::Wide(Translation()) + L"\\" + win::Wide(key);
    void* data = nullptr;
    UINT length = 0;
    if (!Query(query, &data, &length)) return {};
    const auto* text = static_cast<const wchar_t*>(data);
    // The length counts characters and may include the terminating zero.
    size_t n = 0;
    while (n < length && text[n] != L'\0') ++n;
    return win::Narrow(std::wstring_view(text, n));
}

std::string TVersionInfo::FileVersion() const {
    std::string version = GetVerValue("FileVersion");
    if (!version.empty() || !valid_) return version;
    std::optional<VS_FIXEDFILEINFO> info = FixedFileInfo();
    return info ? FormatFixedVersion(*info) : std::string();
}

std::optional<VS_FIXEDFILEINFO> TVersionInfo::FixedFileInfo() const {
    void* data = nullptr;
    UINT length = 0;
    if (!Query(L"\\", &data, &length) || length < sizeof(VS_FIXEDFILEINFO)) return std::nullopt;
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, data, sizeof(info));
    return info;
}

std::string FormatFixedVersion(const VS_FIXEDFILEINFO& info) {
    char text[64];
    std::snprintf(text, sizeof(text), "%d.%d.%d.%d", static_cast<int>(HIWORD(info.dwFileVersionMS)),
                  static_cast<int>(LOWORD(info.dwFileVersionMS)), static_cast<int>(HIWORD(info.dwFileVersionLS)),
                  static_cast<int>(LOWORD(info.dwFileVersionLS)));
    return text;
}

}  // namespace quillan::version
