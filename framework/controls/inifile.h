// An INI file of Windows-1251 sections, keys and values (the profile API).
#pragma once

#include <string>

namespace quillan::win {

class TIniFile {
public:
    explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
    const std::string& FileName() const { return fileName_; }

    // The value, or defaultValue when the key is absent.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
    // Raises EIniFileException "Unable to write to %s" when the file cannot be written.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool ValueExists(const std::string& section, const std::string& key) const;

private:
    std::string fileName_;
};

}  // namespace quillan::win
