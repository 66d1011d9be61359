#include "framework/registry/registry_win.h"

#include <vector>

#include "framework/core/exceptions.h"
#include "framework/win/text.h"

namespace quillan {

using win::Narrow;
using win::Wide;

namespace {

[[noreturn]] void Raise(const char* pattern, const std::string& name) {
    throw ERegistryException(Format(pattern, {name}));
}

}  // namespace

HKEY TRegistry::BaseKeyFor(const std::string& key, std::wstring& relative) const {
    // Windows rejects sub-key names that begin with a separator, so the leading
    // "\" only says "from the root".
    bool absolute = !key.empty() && key[0] == '\\';
    relative = Wide(absolute ? key.substr(1) : key);
    return absolute || !current_ ? root_ : current_.get();
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    std::wstring relative;
    HKEY base = BaseKeyFor(key, relative);
    HKEY opened = nullptr;
    LONG rc;
    if (canCreate) {
        rc = RegCreateKeyExW(base, relative.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access, nullptr, &opened,
                             nullptr);
    } else {
        rc = RegOpenKeyExW(base, relative.c_str(), 0, Access, &opened);
    }
    if (rc != ERROR_SUCCESS) return false;
    bool absolute = !key.empty() && key[0] == '\\';
    std::string path = absolute || !current_ ? key : path_ + "\\" + key;
    current_.reset(opened);
    path_ = path;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
    REGSAM saved = Access;
    Access = KEY_READ;
    bool ok = OpenKey(key, false);
    Access = saved;
    return ok;
}

void TRegistry::CreateKey(const std::string& key) {
    std::wstring relative;
    HKEY base = BaseKeyFor(key, relative);
    HKEY created = nullptr;
    LONG rc = RegCreateKeyExW(base, relative.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access, nullptr, &created,
                              nullptr);
    win::RegKey owned(created);
    if (rc != ERROR_SUCCESS) Raise("Failed to create key %s", key);
}

bool TRegistry::KeyExists(const std::string& key) const {
    std::wstring relative;
    HKEY base = BaseKeyFor(key, relative);
    HKEY opened = nullptr;
    LONG rc = RegOpenKeyExW(base, relative.c_str(), 0, KEY_READ, &opened);
    win::RegKey owned(opened);
    return rc == ERROR_SUCCESS;
}

void TRegistry::CloseKey() {
    current_.reset();
    path_.clear();
}

std::string TRegistry::ReadString(const std::string& name) const {
    std::wstring wname = Wide(name);
    HKEY key = current_ ? current_.get() : root_;
    for (;;) {
        DWORD type = 0;
        DWORD size = 0;
        LONG rc = RegQueryValueExW(key, wname.c_str(), nullptr, &type, nullptr, &size);
        if (rc == ERROR_FILE_NOT_FOUND) return {};
        if (rc != ERROR_SUCCESS) Raise("Failed to get data for '%s'", name);
        if (type != REG_SZ && type != REG_EXPAND_SZ) Raise("Invalid data type for '%s'", name);
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = size;
        rc = RegQueryValueExW(key, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
        // Changed between the two calls: ask again.
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) Raise("Failed to get data for '%s'", name);
        if (type != REG_SZ && type != REG_EXPAND_SZ) Raise("Invalid data type for '%s'", name);
        // The stored text need not end in a zero; the buffer has one more slot that does.
        std::wstring_view text(buffer.data(), got / sizeof(wchar_t));
        size_t zero = text.find(L'\0');
        return Narrow(text.substr(0, zero));
    }
}

std::optional<std::string> TRegistry::ReadTextValue(const std::string& name) const {
    HKEY key = current_ ? current_.get() : root_;
    DWORD type = 0;
    if (RegQueryValueExW(key, Wide(name).c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
    try {
        return ReadString(name);
    } catch (const ERegistryException&) {
        return {};  // changed under us to another type, or gone
    }
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    std::wstring text = Wide(value);
    DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    HKEY key = current_ ? current_.get() : root_;
    LONG rc = RegSetValueExW(key, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    if (rc != ERROR_SUCCESS) Raise("Failed to set data for '%s'", name);
}

bool TRegistry::ValueExists(const std::string& name) const {
    HKEY key = current_ ? current_.get() : root_;
    return RegQueryValueExW(key, Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegistry::DeleteValue(const std::string& name) {
    HKEY key = current_ ? current_.get() : root_;
    return RegDeleteValueW(key, Wide(name).c_str()) == ERROR_SUCCESS;
}

}  // namespace quillan
