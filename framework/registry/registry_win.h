// Windows-1251 access to registry keys and text values through the wide API.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "framework/win/handle_win.h"

namespace quillan {

// One open key at a time below HKEY_CURRENT_USER. Key paths starting with "\" are taken
// from the root; others from the open key (or the root when none is open).
class TRegistry {
public:
    // access: the rights keys are opened with (KEY_READ for reading only).
    explicit TRegistry(REGSAM access = KEY_ALL_ACCESS) : Access(access) {}

    HKEY CurrentKey() const { return current_.get(); }
    const std::string& CurrentPath() const { return path_; }
    REGSAM Access;

    // Opens the key (creating it when canCreate) and makes it current; false on failure.
    bool OpenKey(const std::string& key, bool canCreate);
    // Opens an existing key with KEY_READ; false on failure.
    bool OpenKeyReadOnly(const std::string& key);
    // Creates the key without opening it; raises ERegistryException "Failed to create key %s".
    void CreateKey(const std::string& key);
    bool KeyExists(const std::string& key) const;
    void CloseKey();

    // REG_SZ or REG_EXPAND_SZ text up to its first zero; "" for an absent value.
    // Raises ERegistryException "Invalid data type for '%s'" for another type and
    // "Failed to get data for '%s'" when it cannot be read.
    std::string ReadString(const std::string& name) const;
    // The text of a REG_SZ or REG_EXPAND_SZ value; nullopt when the value is absent,
    // of another type or cannot be read, so that one damaged value reads as unset
    // instead of failing whoever asks for it.
    std::optional<std::string> ReadTextValue(const std::string& name) const;
    // Writes REG_SZ with its terminating zero; raises "Failed to set data for '%s'".
    void WriteString(const std::string& name, const std::string& value);
    bool ValueExists(const std::string& name) const;
    bool DeleteValue(const std::string& name);

private:
    HKEY BaseKeyFor(const std::string& key, std::wstring& relative) const;

    HKEY root_ = HKEY_CURRENT_USER;
    win::RegKey current_;
    std::string path_;
};

}  // namespace quillan
