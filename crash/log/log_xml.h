// The XML copy of an error log. Platform-free.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillan::crash {

class TMishapModuleOptions;
class TXMLItem;
using TXMLItems = std::vector<std::unique_ptr<TXMLItem>>;

// One XML element: name, attributes, content and children.
class TXMLItem {
public:
    TXMLItem(std::string name, TXMLItem* parent) : name_(std::move(name)), parent_(parent) {}
    TXMLItem* AddChild(std::string name);
    void AddAttribute(std::string name, std::string value) {
        attributes_.emplace_back(std::move(name), std::move(value));
    }
    void SetContent(std::string content) { content_ = std::move(content); }

    const std::string& Name() const { return name_; }
    TXMLItem* Parent() const { return parent_; }
    const TXMLItems& Children() const { return children_; }

    // The element at the given indent: "<Name a="v">content" and its children two blanks
    // deeper, or "<Name a="v"/>" when it has neither content nor children; each line ends in CR LF.
    void Write(std::string& out, size_t indent) const;

private:
    std::string name_;
    std::vector<std::pair<std::string, std::string>> attributes_;
    std::string content_;
    TXMLItem* parent_;
    TXMLItems children_;
};

// The copy is the program's own Windows-1251 bytes, declared as such, so that a standard XML
// parser reads its Cyrillic and a reader that takes bytes as they stand gets them unchanged.
inline constexpr char kLogXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n";
// The one byte that Windows-1251 leaves unassigned; written as a reference to its own code.
inline constexpr unsigned char kUnmappedWindows1251 = 0x98;

// Replaces "&", "<", ">", the quotes, TAB, CR, LF, DEL and the unassigned byte 0x98 by "&#" + three
// decimal digits + ";"; every other control character, which XML cannot carry, by "?".
std::string EscapeLogXml(std::string_view text);

// The elements of one stored report under a "Log" root (its Version attribute from the header).
// Thread lines are named by the texts of options; reproduction fills "HoToReproduce".
std::unique_ptr<TXMLItem> ReportToXml(std::string_view report, const TMishapModuleOptions& options,
                                      std::string_view reproduction = {});

// The declaration, "<Doc>", one "Log" element per report, "</Doc>". reproduction belongs to the
// last report.
std::string LogToXml(const std::vector<std::string_view>& reports, const TMishapModuleOptions& options,
                     std::string_view reproduction = {});

}  // namespace quillan::crash
