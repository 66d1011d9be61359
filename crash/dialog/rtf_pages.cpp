#include "crash/dialog/rtf_pages.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "crash/options/options.h"
#include "crash/report/report_text.h"

namespace quillan::crash {

namespace {

// Courier New advances 0.6 em: twips per character at the page's size.
constexpr int kCharTwips = kRtfFontHalfPoints * 10 * 6 / 10;

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

std::string TabStops(const std::vector<int>& columns) {
    std::string out = "\\pard";
    int at = 0;
    for (int width : columns) {
        at += width * kCharTwips;
        out += "\\tx" + std::to_string(at);
    }
    return out + ' ';
}

// Appends each piece; GCC 12 warns falsely (-Wrestrict) on long chains of + over strings.
void Add(std::string& out, std::initializer_list<std::string_view> pieces) {
    for (std::string_view piece : pieces) out.append(piece);
}

std::string Title(std::string_view text) {
    std::string out;
    Add(out, {"\\cf1\\b ", RtfEscape(text), "\\b0\\par\r\n"});
    return out;
}

}  // namespace

std::string RtfHeader(int charset, std::string_view font) {
    std::string out;
    Add(out, {"{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1040{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset",
              std::to_string(charset), " ", RtfEscape(font),
              ";}}\r\n{\\colortbl ;\\red0\\green100\\blue100;\\red0\\green0\\blue0;\\red40\\green40\\blue40;"
              "\\red0\\green0\\blue160;}\r\n"});
    return out;
}

std::string RtfEscape(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += c;
        } else if (byte >= 0x80) {
            out += "\\'";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else if (c == '\t') {
            out += "\\tab ";
        } else if (byte >= 0x20 && byte != 0x7F) {
            out += c;
        }
    }
    return out;
}

std::string GeneralPageRtf(const TReportContext& context, int charset, std::string_view font) {
    const TMishapModuleOptions& options = *context.Options;
    struct Item {
        std::string number;
        std::string_view label;
        std::string_view value;
    };
    struct Section {
        std::string_view title;
        std::vector<Item> items;
    };
    std::vector<Section> sections;
    size_t numberWidth = 0, labelWidth = 0;
    size_t value = 0;
    for (int s = 0; s < 6; ++s) {
        Section section{options.Text(kReportSections[s].Title), {}};
        const int first = static_cast<int>(kReportSections[s].FirstLabel);
        for (int i = 0; i < kDetailSectionItems[static_cast<size_t>(s)]; ++i, ++value) {
            if (!options.DetailShown(s + 1, i + 1)) continue;
            Item item{std::to_string(s + 1) + "." + std::to_string(i + 1), options.Text(first + i),
                      context.Values.Values[value]};
            numberWidth = std::max(numberWidth, item.number.size());
            labelWidth = std::max(labelWidth, item.label.size());
            section.items.push_back(std::move(item));
        }
        if (!section.items.empty()) sections.push_back(std::move(section));
    }
    std::string out = RtfHeader(charset, font);
    Add(out, {"\\fs", std::to_string(kRtfFontHalfPoints), " "});
    out += TabStops({static_cast<int>(numberWidth) + 4, static_cast<int>(labelWidth) + 2});
    for (size_t s = 0; s < sections.size(); ++s) {
        if (s > 0) out += "\\par\r\n";
        out += Title(std::string(sections[s].title) + ":");
        for (const Item& item : sections[s].items) {
            Add(out, {"\\cf3  ", item.number, "\\tab ", RtfEscape(item.label), "\\tab \\cf4 "});
            const std::vector<std::string_view> lines = Lines(item.value);
            for (size_t l = 0; l < lines.size(); ++l) {
                if (l > 0) out += "\\tab \\tab ";
                Add(out, {RtfEscape(lines[l]), "\\par\r\n"});
            }
        }
    }
    return out + "}";
}

std::string CpuPageRtf(const TReportContext& context, int charset, std::string_view font) {
    const TMishapModuleOptions& options = *context.Options;
    const TReportLayout& layout = *context.Layout;
    const TCpuSnapshot& cpu = context.Cpu;
    const int hex = layout.HexDigits;
    std::string out = RtfHeader(charset, font);
    Add(out, {"\\fs", std::to_string(kRtfFontHalfPoints), " "});
    // Columns: stack address, its value, memory address, the 16 bytes, the characters. The
    // register rows use the first four.
    out += TabStops({hex + 2, hex + 3, hex + 2, 16 * 3 + 1});
    out += Title(options.Text(TMishapText::Registers) + ":");
    auto reg = [&](TRegister r) { return cpu.HasRegisters ? HexText(cpu.Registers[r], layout) : std::string("????"); };
    static constexpr TRegister kPairs[4][2] = {{rgAx, rgDi}, {rgBx, rgSi}, {rgCx, rgSp}, {rgDx, rgIp}};
    for (const auto& pair : kPairs) {
        Add(out, {"\\cf3 ", layout.Registers[pair[0]], ":\\tab \\cf4 ", reg(pair[0]), "\\tab \\cf3 ",
                  layout.Registers[pair[1]], ":\\tab \\cf4 ", reg(pair[1]), "\\par\r\n"});
    }
    Add(out, {"\\par\r\n\\cf1\\b ", RtfEscape(options.Text(TMishapText::Stack)), ":\\tab \\tab ",
              RtfEscape(options.Text(TMishapText::MemoryDump)), ":\\b0\\par\r\n"});
    if (cpu.HasDump) {
        for (size_t line = 0; line < 16; ++line) {
            const TAddress slot = cpu.StackAddress + line * static_cast<TAddress>(layout.SlotSize);
            std::string bytes, chars;
            for (size_t i = 0; i < 16; ++i) {
                const uint8_t byte = cpu.Memory[line * 16 + i];
                static constexpr char kDigits[] = "0123456789ABCDEF";
                if (i > 0) bytes += ' ';
                bytes += kDigits[byte >> 4];
                bytes += kDigits[byte & 15];
                chars += byte < 32 || byte > 126 ? '.' : static_cast<char>(byte);
            }
            Add(out, {"\\cf3 ", HexText(slot, layout), ":\\tab \\cf4 ", HexText(cpu.StackValues[line], layout),
                      "\\tab \\cf3 ", HexText(cpu.MemoryAddress + line * 16, layout), ":\\tab \\cf4 ", bytes,
                      "\\tab \\cf2 ", RtfEscape(chars), "\\par\r\n"});
        }
    }
    return out + "}";
}

}  // namespace quillan::crash
