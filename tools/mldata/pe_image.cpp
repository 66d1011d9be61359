#include "tools/mldata/pe_image.h"

#include <algorithm>
#include <cstring>

namespace quillan::mldata {
namespace {

constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kInitialisedData = 0x00000040;
constexpr std::uint32_t kMemRead = 0x40000000;
constexpr int kMaxResourceDepth = 8;
constexpr size_t kSectionHeaderSize = 40;

std::uint32_t AlignUp(std::uint64_t v, std::uint32_t alignment) {
    return static_cast<std::uint32_t>((v + alignment - 1) / alignment * alignment);
}

std::uint32_t Get32(std::string_view b, size_t at) {
    if (at + 4 > b.size()) return 0;
    return std::uint32_t{static_cast<std::uint8_t>(b[at])} | std::uint32_t{static_cast<std::uint8_t>(b[at + 1])} << 8 |
           std::uint32_t{static_cast<std::uint8_t>(b[at + 2])} << 16 |
           std::uint32_t{static_cast<std::uint8_t>(b[at + 3])} << 24;
}
std::uint16_t Get16(std::string_view b, size_t at) {
    if (at + 2 > b.size()) return 0;
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8);
}
void Put32(std::string& b, size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}
void Put16(std::string& b, size_t at, std::uint16_t v) {
    b[at] = static_cast<char>(v);
    b[at + 1] = static_cast<char>(v >> 8);
}
// Resource entries: names first, in ascending order, then numbers ascending; the loader
// searches them by halving.
bool KeyLess(const TResourceNode& a, const TResourceNode& b) {
    if (a.Key.Named != b.Key.Named) return a.Key.Named;
    if (a.Key.Named) return a.Key.Name < b.Key.Name;
    return a.Key.Id < b.Key.Id;
}

// Lays out a resource tree: directory tables, then name strings, then data entries, then data.
class TResourceWriter {
public:
    TResourceWriter(const TResourceNode& root, std::uint32_t sectionRva) : rva_(sectionRva) { Plan(root); }

    std::string Write() {
        std::string out(dataAt_, '\0');
        for (size_t i = 0; i < tables_.size(); ++i) WriteTable(out, *tables_[i], tableOffsets_[i]);
        for (const auto& [offset, name] : names_) {
            Put16(out, offset, static_cast<std::uint16_t>(name->size()));
            for (size_t i = 0; i < name->size(); ++i)
                Put16(out, offset + 2 + 2 * i, static_cast<std::uint16_t>((*name)[i]));
        }
        for (size_t i = 0; i < leaves_.size(); ++i) {
            const TResourceNode& leaf = *leaves_[i];
            const size_t entry = entriesAt_ + 16 * i;
            out.resize(AlignUp(out.size(), 8), '\0');
            Put32(out, entry, rva_ + static_cast<std::uint32_t>(out.size()));
            Put32(out, entry + 4, static_cast<std::uint32_t>(leaf.Data.size()));
            Put32(out, entry + 8, leaf.CodePage);
            out += leaf.Data;
        }
        return out;
    }

private:
    void Plan(const TResourceNode& root) {
        // Breadth first, so each table's children follow the tables of its level.
        std::vector<const TResourceNode*> level{&root};
        size_t at = 0;
        while (!level.empty()) {
            std::vector<const TResourceNode*> next;
            for (const TResourceNode* node : level) {
                tables_.push_back(node);
                tableOffsets_.push_back(at);
                at += 16 + 8 * node->Children.size();
                for (const TResourceNode& child : node->Children) {
                    if (!child.IsData) next.push_back(&child);
                }
            }
            level = std::move(next);
        }
        for (const TResourceNode* table : tables_) {
            for (const TResourceNode& child : table->Children) {
                if (child.Key.Named) {
                    names_.emplace_back(at, &child.Key.Name);
                    at += 2 + 2 * child.Key.Name.size();
                }
                if (child.IsData) leaves_.push_back(&child);
            }
        }
        entriesAt_ = AlignUp(at, 4);
        dataAt_ = entriesAt_ + 16 * leaves_.size();
    }

    size_t OffsetOfTable(const TResourceNode* node) const {
        for (size_t i = 0; i < tables_.size(); ++i) {
            if (tables_[i] == node) return tableOffsets_[i];
        }
        return 0;
    }
    size_t OffsetOfName(const std::u16string* name) const {
        for (const auto& [offset, n] : names_) {
            if (n == name) return offset;
        }
        return 0;
    }
    size_t OffsetOfLeaf(const TResourceNode* node) const {
        for (size_t i = 0; i < leaves_.size(); ++i) {
            if (leaves_[i] == node) return entriesAt_ + 16 * i;
        }
        return 0;
    }

    void WriteTable(std::string& out, const TResourceNode& node, size_t at) {
        Put32(out, at + 4, node.TimeDateStamp);
        std::uint16_t named = 0, numbered = 0;
        for (const TResourceNode& c : node.Children) (c.Key.Named ? named : numbered)++;
        Put16(out, at + 12, named);
        Put16(out, at + 14, numbered);
        size_t entry = at + 16;
        for (const TResourceNode& c : node.Children) {
            const std::uint32_t key =
                c.Key.Named ? 0x80000000u | static_cast<std::uint32_t>(OffsetOfName(&c.Key.Name)) : c.Key.Id;
            const std::uint32_t target = c.IsData ? static_cast<std::uint32_t>(OffsetOfLeaf(&c))
                                                  : 0x80000000u | static_cast<std::uint32_t>(OffsetOfTable(&c));
            Put32(out, entry, key);
            Put32(out, entry + 4, target);
            entry += 8;
        }
    }

    std::uint32_t rva_;
    std::vector<const TResourceNode*> tables_;
    std::vector<size_t> tableOffsets_;
    std::vector<std::pair<size_t, const std::u16string*>> names_;
    std::vector<const TResourceNode*> leaves_;
    size_t entriesAt_ = 0;
    size_t dataAt_ = 0;
};

}  // namespace

std::uint32_t TPeImage::ReadU32(size_t at) const { return Get32(bytes_, at); }
void TPeImage::WriteU32(size_t at, std::uint32_t v) { Put32(bytes_, at, v); }

bool TPeImage::Parse(std::string bytes, std::string& error) {
    bytes_ = std::move(bytes);
    sections_.clear();
    if (bytes_.size() < 64 || bytes_[0] != 'M' || bytes_[1] != 'Z') {
        error = "not an executable image (no MZ header)";
        return false;
    }
    peOffset_ = Get32(bytes_, 60);
    if (peOffset_ + 24 > bytes_.size() || Get32(bytes_, peOffset_) != 0x00004550) {
        error = "not a PE image";
        return false;
    }
    const std::uint16_t count = Get16(bytes_, peOffset_ + 6);
    const std::uint16_t optionalSize = Get16(bytes_, peOffset_ + 20);
    optionalOffset_ = peOffset_ + 24;
    sectionTable_ = optionalOffset_ + optionalSize;
    const std::uint16_t magic = Get16(bytes_, optionalOffset_);
    if (magic != 0x10B && magic != 0x20B) {
        error = "unknown optional header";
        return false;
    }
    is64_ = magic == 0x20B;
    imageBase_ = is64_ ? (std::uint64_t{Get32(bytes_, optionalOffset_ + 24)} |
                          std::uint64_t{Get32(bytes_, optionalOffset_ + 28)} << 32)
                       : Get32(bytes_, optionalOffset_ + 28);
    sectionAlignment_ = Get32(bytes_, optionalOffset_ + 32);
    fileAlignment_ = Get32(bytes_, optionalOffset_ + 36);
    directories_ = Get32(bytes_, optionalOffset_ + (is64_ ? 108 : 92));
    if (sectionTable_ + kSectionHeaderSize * count > bytes_.size() || sectionAlignment_ == 0 || fileAlignment_ == 0) {
        error = "truncated section table";
        return false;
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        const size_t at = sectionTable_ + kSectionHeaderSize * i;
        TPeSection s;
        s.Name = std::string(bytes_.data() + at, strnlen(bytes_.data() + at, 8));
        s.VirtualSize = Get32(bytes_, at + 8);
        s.VirtualAddress = Get32(bytes_, at + 12);
        s.RawSize = Get32(bytes_, at + 16);
        s.RawPointer = Get32(bytes_, at + 20);
        s.Characteristics = Get32(bytes_, at + 36);
        if (s.RawPointer + std::uint64_t{s.RawSize} > bytes_.size()) {
            error = "section " + s.Name + " reaches past the end of the file";
            return false;
        }
        sections_.push_back(s);
    }
    return true;
}

const TPeSection* TPeImage::Section(std::string_view name) const {
    for (const TPeSection& s : sections_) {
        if (s.Name == name) return &s;
    }
    return nullptr;
}

std::string_view TPeImage::SectionData(const TPeSection& s) const {
    return std::string_view(bytes_).substr(s.RawPointer,
                                           std::min(s.RawSize, s.VirtualSize ? s.VirtualSize : s.RawSize));
}

std::string_view TPeImage::AtRva(std::uint32_t rva, std::uint32_t size) const {
    for (const TPeSection& s : sections_) {
        if (rva >= s.VirtualAddress && std::uint64_t{rva} + size <= std::uint64_t{s.VirtualAddress} + s.RawSize) {
            return std::string_view(bytes_).substr(s.RawPointer + (rva - s.VirtualAddress), size);
        }
    }
    return {};
}

bool TPeImage::Resources(TResourceNode& root) const {
    if (directories_ <= kResourceDirectory) return false;
    const size_t dir = optionalOffset_ + (is64_ ? 112 : 96) + 8 * kResourceDirectory;
    const std::uint32_t rva = Get32(bytes_, dir), size = Get32(bytes_, dir + 4);
    if (rva == 0 || size == 0) return false;
    const std::string_view rsrc = AtRva(rva, size);
    if (rsrc.size() != size) return false;
    struct TReader {
        const TPeImage& image;
        std::string_view rsrc;
        std::uint32_t rva;
        bool Table(size_t at, TResourceNode& node, int depth) {
            if (depth > kMaxResourceDepth || at + 16 > rsrc.size()) return false;
            node.TimeDateStamp = Get32(rsrc, at + 4);
            const size_t count = size_t{Get16(rsrc, at + 12)} + Get16(rsrc, at + 14);
            for (size_t i = 0; i < count; ++i) {
                const size_t entry = at + 16 + 8 * i;
                if (entry + 8 > rsrc.size()) return false;
                TResourceNode child;
                const std::uint32_t key = Get32(rsrc, entry), target = Get32(rsrc, entry + 4);
                if (key & 0x80000000u) {
                    const size_t name = key & 0x7FFFFFFFu;
                    const size_t length = Get16(rsrc, name);
                    if (name + 2 + 2 * length > rsrc.size()) return false;
                    child.Key.Named = true;
                    for (size_t c = 0; c < length; ++c)
                        child.Key.Name += static_cast<char16_t>(Get16(rsrc, name + 2 + 2 * c));
                } else {
                    child.Key.Id = key;
                }
                if (target & 0x80000000u) {
                    if (!Table(target & 0x7FFFFFFFu, child, depth + 1)) return false;
                } else {
                    if (target + 16 > rsrc.size()) return false;
                    const std::uint32_t dataRva = Get32(rsrc, target), dataSize = Get32(rsrc, target + 4);
                    const std::string_view data = image.AtRva(dataRva, dataSize);
                    if (data.size() != dataSize) return false;
                    child.IsData = true;
                    child.Data = std::string(data);
                    child.CodePage = Get32(rsrc, target + 8);
                }
                node.Children.push_back(std::move(child));
            }
            return true;
        }
    } reader{*this, rsrc, rva};
    root = {};
    return reader.Table(0, root, 0);
}

std::optional<std::string> TPeImage::FindResource(std::uint32_t type, const std::u16string& name) const {
    TResourceNode root;
    if (!Resources(root)) return std::nullopt;
    for (const TResourceNode& t : root.Children) {
        if (t.Key.Named || t.Key.Id != type) continue;
        for (const TResourceNode& n : t.Children) {
            if (!n.Key.Named || n.Key.Name != name) continue;
            for (const TResourceNode& lang : n.Children) {
                if (lang.IsData) return lang.Data;
            }
        }
    }
    return std::nullopt;
}

bool TPeImage::SetResource(std::uint32_t type, const std::u16string& name, const std::optional<std::string>& data,
                           std::string& error) {
    TResourceNode root;
    const TPeSection* rsrc = Section(".rsrc");
    if (rsrc && !Resources(root)) {
        error = "the resource section cannot be read";
        return false;
    }
    TResourceNode* typeNode = nullptr;
    for (TResourceNode& t : root.Children) {
        if (!t.Key.Named && t.Key.Id == type) typeNode = &t;
    }
    if (!typeNode && data) {
        TResourceNode t;
        t.Key.Id = type;
        root.Children.push_back(t);
        typeNode = &root.Children.back();
    }
    if (typeNode) {
        auto& names = typeNode->Children;
        names.erase(std::remove_if(names.begin(), names.end(),
                                   [&](const TResourceNode& n) { return n.Key.Named && n.Key.Name == name; }),
                    names.end());
        if (data) {
            TResourceNode n;
            n.Key.Named = true;
            n.Key.Name = name;
            TResourceNode leaf;
            leaf.Key.Id = 0;  // language neutral
            leaf.IsData = true;
            leaf.Data = *data;
            n.Children.push_back(std::move(leaf));
            names.push_back(std::move(n));
        }
        std::sort(names.begin(), names.end(), KeyLess);
        if (names.empty()) {
            root.Children.erase(std::remove_if(root.Children.begin(), root.Children.end(),
                                               [&](const TResourceNode& t) { return &t == typeNode; }),
                                root.Children.end());
        }
    }
    std::sort(root.Children.begin(), root.Children.end(), KeyLess);
    if (!rsrc) {
        if (!data) return true;
        const std::uint32_t rva = AlignUp(std::uint64_t{sections_.back().VirtualAddress} +
                                              std::max(sections_.back().VirtualSize, sections_.back().RawSize),
                                          sectionAlignment_);
        return AddSection(".rsrc", TResourceWriter(root, rva).Write(), kInitialisedData | kMemRead, error);
    }
    return WriteResourceSection(TResourceWriter(root, rsrc->VirtualAddress).Write(), error);
}

bool TPeImage::WriteResourceSection(const std::string& content, std::string& error) {
    size_t index = 0;
    while (sections_[index].Name != ".rsrc") ++index;
    const TPeSection old = sections_[index];
    const std::uint32_t oldRawEnd = old.RawPointer + old.RawSize;
    const std::uint32_t oldVirtualEnd =
        AlignUp(std::uint64_t{old.VirtualAddress} + std::max(old.VirtualSize, old.RawSize), sectionAlignment_);
    const std::uint32_t newRawSize = std::max(AlignUp(content.size(), fileAlignment_), old.RawSize);
    const std::uint32_t newVirtualEnd = AlignUp(std::uint64_t{old.VirtualAddress} + content.size(), sectionAlignment_);
    const std::uint32_t shiftRaw = newRawSize - old.RawSize;
    const std::uint32_t shiftVirtual = newVirtualEnd > oldVirtualEnd ? newVirtualEnd - oldVirtualEnd : 0;
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (i != index && sections_[i].VirtualAddress > old.VirtualAddress && sections_[i].RawSize != 0 &&
            sections_[i].RawPointer < oldRawEnd) {
            error = "a section after the resources lies before them in the file";
            return false;
        }
    }
    // New file: everything up to the resources, the new resources, everything after them.
    std::string rsrcBytes = content;
    rsrcBytes.resize(newRawSize, '\0');
    std::string out = bytes_.substr(0, old.RawPointer) + rsrcBytes + bytes_.substr(oldRawEnd);
    bytes_ = std::move(out);

    const size_t header = sectionTable_ + kSectionHeaderSize * index;
    WriteU32(header + 8, static_cast<std::uint32_t>(content.size()));
    WriteU32(header + 16, newRawSize);
    sections_[index].VirtualSize = static_cast<std::uint32_t>(content.size());
    sections_[index].RawSize = newRawSize;
    for (size_t i = 0; i < sections_.size(); ++i) {
        TPeSection& s = sections_[i];
        const size_t at = sectionTable_ + kSectionHeaderSize * i;
        if (i == index) continue;
        if (s.VirtualAddress > old.VirtualAddress) {
            s.VirtualAddress += shiftVirtual;
            WriteU32(at + 12, s.VirtualAddress);
        }
        if (s.RawSize != 0 && s.RawPointer >= oldRawEnd) {
            s.RawPointer += shiftRaw;
            WriteU32(at + 20, s.RawPointer);
        }
    }
    // Data directories that point behind the resources (base relocations) follow them.
    const size_t dirs = optionalOffset_ + (is64_ ? 112 : 96);
    for (std::uint32_t d = 0; d < directories_ && d < 16; ++d) {
        const std::uint32_t rva = ReadU32(dirs + 8 * d);
        if (d != kResourceDirectory && rva >= oldVirtualEnd) WriteU32(dirs + 8 * d, rva + shiftVirtual);
    }
    WriteU32(dirs + 8 * kResourceDirectory, old.VirtualAddress);
    WriteU32(dirs + 8 * kResourceDirectory + 4, static_cast<std::uint32_t>(content.size()));
    // The symbol table, kept behind the sections, moves with them.
    const std::uint32_t symbols = ReadU32(peOffset_ + 12);
    if (symbols != 0 && symbols >= oldRawEnd) WriteU32(peOffset_ + 12, symbols + shiftRaw);
    std::uint32_t imageEnd = 0;
    for (const TPeSection& s : sections_) {
        imageEnd = std::max(
            imageEnd, AlignUp(std::uint64_t{s.VirtualAddress} + std::max(s.VirtualSize, s.RawSize), sectionAlignment_));
    }
    WriteU32(optionalOffset_ + 56, imageEnd);
    WriteU32(optionalOffset_ + 8, ReadU32(optionalOffset_ + 8) + shiftRaw);  // SizeOfInitializedData
    RecomputeChecksum();
    return true;
}

bool TPeImage::AddSection(const std::string& name, const std::string& content, std::uint32_t characteristics,
                          std::string& error) {
    const size_t header = sectionTable_ + kSectionHeaderSize * sections_.size();
    const std::uint32_t headersSize = ReadU32(optionalOffset_ + 60);
    std::uint32_t firstRaw = headersSize;
    for (const TPeSection& s : sections_) {
        if (s.RawSize != 0) firstRaw = std::min(firstRaw, s.RawPointer);
    }
    if (header + kSectionHeaderSize > firstRaw) {
        error = "no room for another section header";
        return false;
    }
    for (size_t i = header; i < header + kSectionHeaderSize; ++i) {
        if (bytes_[i] != '\0') {
            error = "no room for another section header";
            return false;
        }
    }
    std::uint32_t rawEnd = 0;
    std::uint32_t virtualEnd = 0;
    for (const TPeSection& s : sections_) {
        rawEnd = std::max(rawEnd, s.RawPointer + s.RawSize);
        virtualEnd = std::max(virtualEnd, AlignUp(std::uint64_t{s.VirtualAddress} + std::max(s.VirtualSize, s.RawSize),
                                                  sectionAlignment_));
    }
    rawEnd = AlignUp(rawEnd, fileAlignment_);
    const std::uint32_t rawSize = AlignUp(content.size(), fileAlignment_);
    std::string raw = content;
    raw.resize(rawSize, '\0');
    // What follows the sections (the symbol table) moves behind the new one.
    const std::string tail = bytes_.size() > rawEnd ? bytes_.substr(rawEnd) : std::string();
    bytes_.resize(rawEnd, '\0');
    bytes_ += raw + tail;
    const std::uint32_t symbols = ReadU32(peOffset_ + 12);
    if (symbols != 0 && symbols >= rawEnd) WriteU32(peOffset_ + 12, symbols + rawSize);

    std::memcpy(bytes_.data() + header, name.data(), std::min<size_t>(name.size(), 8));
    WriteU32(header + 8, static_cast<std::uint32_t>(content.size()));
    WriteU32(header + 12, virtualEnd);
    WriteU32(header + 16, rawSize);
    WriteU32(header + 20, rawEnd);
    WriteU32(header + 36, characteristics);
    TPeSection s;
    s.Name = name;
    s.VirtualAddress = virtualEnd;
    s.VirtualSize = static_cast<std::uint32_t>(content.size());
    s.RawPointer = rawEnd;
    s.RawSize = rawSize;
    s.Characteristics = characteristics;
    sections_.push_back(s);
    Put16(bytes_, peOffset_ + 6, static_cast<std::uint16_t>(sections_.size()));
    const size_t dirs = optionalOffset_ + (is64_ ? 112 : 96);
    WriteU32(dirs + 8 * kResourceDirectory, virtualEnd);
    WriteU32(dirs + 8 * kResourceDirectory + 4, static_cast<std::uint32_t>(content.size()));
    WriteU32(optionalOffset_ + 56, AlignUp(std::uint64_t{virtualEnd} + content.size(), sectionAlignment_));
    WriteU32(optionalOffset_ + 8, ReadU32(optionalOffset_ + 8) + rawSize);
    RecomputeChecksum();
    return true;
}

void TPeImage::RecomputeChecksum() {
    const size_t field = optionalOffset_ + 64;
    if (ReadU32(field) == 0) return;  // the linker left it unset; so do we
    WriteU32(field, 0);
    std::uint64_t sum = 0;
    for (size_t i = 0; i + 1 < bytes_.size(); i += 2) {
        sum += Get16(bytes_, i);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    if (bytes_.size() % 2) {
        sum += static_cast<std::uint8_t>(bytes_.back());
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    WriteU32(field, static_cast<std::uint32_t>(sum + bytes_.size()));
}

}  // namespace quillan::mldata
