// Reads the version resource of an executable file and hands out its values.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillan::version {

class TVersionInfo {
public:
    // Reads the block of fileName (Windows-1251) at once. A file without a
    // version resource, or none at all, gives an invalid object; an allocation
    // failure raises with the object left invalid.
    explicit TVersionInfo(const std::string& fileName);

    bool Valid() const { return valid_; }
    const std::string& FileName() const { return fileName_; }
    // The first translation as 8 upper-case hex digits, language first
    // ("041904E3"); empty when invalid or missing.
    std::string Translation() const;
    // The string value key of that translation; empty when not found.
    std::string GetVerValue(const std::string& key) const;
    std::string FileDescription() const { return GetVerValue("FileDescription"); }
    // The string value, or for a valid object without one the fixed record's
    // version as "%d.%d.%d.%d".
    std::string FileVersion() const;
    std::string LegalCopyright() const { return GetVerValue("LegalCopyright"); }
    std::string ProductName() const { return GetVerValue("ProductName"); }
    std::optional<VS_FIXEDFILEINFO> FixedFileInfo() const;

private:
    // Address and length (in query units) of a value of the block; false when absent.
    bool Query(const std::wstring& subBlock, void** data, UINT* length) const;

    std::string fileName_;
    DWORD size_ = 0;
    DWORD handle_ = 0;
    std::vector<BYTE> block_;
    bool valid_ = false;
};

// "%d.%d.%d.%d" of the fixed record's file version words.
std::string FormatFixedVersion(const VS_FIXEDFILEINFO& info);

}  // namespace quillan::version
