// A PE image file as bytes: its headers, sections and resource tree, and the one change the
// build makes to it: the resource section rewritten with the module data resource added or
// replaced. Sections before the resource section are never moved or touched; the ones after it
// (relocations, debug sections) move up by whole alignment units.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillan::mldata {

struct TPeSection {
    std::string Name;  // long names of debug sections as "/NN"
    std::uint32_t VirtualAddress = 0;
    std::uint32_t VirtualSize = 0;
    std::uint32_t RawPointer = 0;
    std::uint32_t RawSize = 0;
    std::uint32_t Characteristics = 0;
};

// A name or a number, as a level of the resource tree is keyed.
struct TResourceKey {
    bool Named = false;
    std::uint32_t Id = 0;
    std::u16string Name;
    bool operator==(const TResourceKey& o) const { return Named == o.Named && Id == o.Id && Name == o.Name; }
};

struct TResourceNode {
    TResourceKey Key;
    bool IsData = false;
    std::string Data;  // leaf only
    std::uint32_t CodePage = 0;
    std::uint32_t TimeDateStamp = 0;
    std::vector<TResourceNode> Children;
};

class TPeImage {
public:
    // False with error when bytes are not a PE image this tool understands.
    bool Parse(std::string bytes, std::string& error);

    const std::string& Bytes() const { return bytes_; }
    bool Is64() const { return is64_; }
    std::uint64_t ImageBase() const { return imageBase_; }
    const std::vector<TPeSection>& Sections() const { return sections_; }
    const TPeSection* Section(std::string_view name) const;
    // A section's bytes as they are loaded (raw data up to the virtual size).
    std::string_view SectionData(const TPeSection& section) const;
    // File bytes at an RVA; empty when the range is not in one section's raw data.
    std::string_view AtRva(std::uint32_t rva, std::uint32_t size) const;

    // The resource tree (root node's children are the types); false when the image has none or
    // it is malformed.
    bool Resources(TResourceNode& root) const;
    // The first language's data of resource type/name; nullopt when absent.
    std::optional<std::string> FindResource(std::uint32_t type, const std::u16string& name) const;

    // Sets (or, with nullopt, removes) the resource type/name (language neutral), rewriting the
    // resource section; an image without one gets a new last section. False with error on failure.
    bool SetResource(std::uint32_t type, const std::u16string& name, const std::optional<std::string>& data,
                     std::string& error);

private:
    bool WriteResourceSection(const std::string& content, std::string& error);
    bool AddSection(const std::string& name, const std::string& content, std::uint32_t characteristics,
                    std::string& error);
    std::uint32_t ReadU32(size_t at) const;
    void WriteU32(size_t at, std::uint32_t v);
    void RecomputeChecksum();

    std::string bytes_;
    bool is64_ = false;
    std::uint64_t imageBase_ = 0;
    size_t peOffset_ = 0;
    size_t optionalOffset_ = 0;
    size_t sectionTable_ = 0;
    std::uint32_t sectionAlignment_ = 0;
    std::uint32_t fileAlignment_ = 0;
    std::uint32_t directories_ = 0;
    std::vector<TPeSection> sections_;
};

// The RCDATA resource type.
inline constexpr std::uint32_t kRtRcData = 10;

}  // namespace quillan::mldata
