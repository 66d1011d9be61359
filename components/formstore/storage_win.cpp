#include "components/formstore/storage.h"

#include <vector>

#include "framework/controls/inifile.h"
#include "framework/core/exceptions.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan {
namespace {

[[noreturn]] void Raise(const char* pattern, const std::string& name) {
    throw ERegistryException(Format(pattern, {name}));
}

HKEY RootKeyOf(TPlacementRegRoot root) {
    switch (root) {
        case prCurrentUser:
            return HKEY_CURRENT_USER;
        case prLocalMachine:
            return HKEY_LOCAL_MACHINE;
        case prCurrentConfig:
            return HKEY_CURRENT_CONFIG;
        case prClassesRoot:
            return HKEY_CLASSES_ROOT;
        case prUsers:
            return HKEY_USERS;
        case prDynData:
            return HKEY_DYN_DATA;
    }
    return HKEY_CURRENT_USER;
}

class TRegistryStorage : public TPlacementStorage {
public:
    TRegistryStorage(TPlacementRegRoot root, const std::string& key, bool forWriting) {
        HKEY rootKey = RootKeyOf(root);
        HKEY opened = nullptr;
        std::wstring path = win::Wide(key);
        LONG rc;
        if (root == prCurrentUser || forWriting)
            rc = RegCreateKeyExW(rootKey, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr);
        else
            rc = RegOpenKeyExW(rootKey, path.c_str(), 0, KEY_READ, &opened);
        // A key that cannot be opened leaves every read at its default and
        // makes every write fail with its own message.
        if (rc == ERROR_SUCCESS) key_.reset(opened);
    }

    std::string ReadString(const std::string& section, const std::string& name,
                           const std::string& defaultValue) override {
        if (!key_) return defaultValue;
        HKEY opened = nullptr;
        if (RegOpenKeyExW(key_.get(), win::Wide(section).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
            return defaultValue;
        win::RegKey sub(opened);
        std::wstring wideName = win::Wide(name);
        DWORD type = 0;
        DWORD size = 0;
        LONG rc = RegQueryValueExW(sub.get(), wideName.c_str(), nullptr, &type, nullptr, &size);
        if (rc == ERROR_FILE_NOT_FOUND) return defaultValue;
        if (rc != ERROR_SUCCESS) Raise("Failed to get data for '%s'", name);
        // A value of another type (a number where text belongs) reads as missing: were it
        // raised, the placement part would end the restore before the settings, and the
        // next save would replace every stored setting by the form's designed values.
        if (type != REG_SZ && type != REG_EXPAND_SZ) return defaultValue;
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        rc = RegQueryValueExW(sub.get(), wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                              &size);
        if (rc != ERROR_SUCCESS) Raise("Failed to get data for '%s'", name);
        return win::Narrow(std::wstring(buffer.data()));  // up to the first zero
    }

    void WriteString(const std::string& section, const std::string& name, const std::string& value) override {
        HKEY opened = nullptr;
        if (!key_ || RegCreateKeyExW(key_.get(), win::Wide(section).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                     &opened, nullptr) != ERROR_SUCCESS)
            Raise("Failed to create key %s", section);
        win::RegKey sub(opened);
        std::wstring wide = win::Wide(value);
        auto bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
        if (RegSetValueExW(sub.get(), win::Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                           bytes) != ERROR_SUCCESS)
            Raise("Failed to set data for '%s'", name);
    }

private:
    win::RegKey key_;
};

class TIniStorage : public TPlacementStorage {
public:
    explicit TIniStorage(const std::string& fileName) : ini_(fileName) {}
    std::string ReadString(const std::string& section, const std::string& name,
                           const std::string& defaultValue) override {
        return ini_.ReadString(section, name, defaultValue);
    }
    void WriteString(const std::string& section, const std::string& name, const std::string& value) override {
        ini_.WriteString(section, name, value);
    }

private:
    win::TIniFile ini_;
};

}  // namespace

std::unique_ptr<TPlacementStorage> MakeRegistryStorage(TPlacementRegRoot root, const std::string& key,
                                                       bool forWriting) {
    return std::make_unique<TRegistryStorage>(root, key, forWriting);
}

std::unique_ptr<TPlacementStorage> MakeIniStorage(const std::string& fileName) {
    return std::make_unique<TIniStorage>(fileName);
}

}  // namespace quillan
