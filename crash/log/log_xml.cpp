#include "crash/log/log_xml.h"

#include <cstdio>
#include <set>

#include "crash/options/options.h"
#include "crash/report/log_item.h"

namespace quillan::crash {

namespace {

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string_view::npos) {
            if (start < text.size()) lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string TrimRight(std::string_view s) {
    size_t end = s.size();
    while (end > 0 && s[end - 1] == ' ') --end;
    return std::string(s.substr(0, end));
}

std::string TrimBoth(std::string_view s) {
    size_t start = 0;
    while (start < s.size() && s[start] == ' ') ++start;
    return TrimRight(s.substr(start));
}

bool IsDashLine(std::string_view line) {
    return !line.empty() && line.find_first_not_of('-') == std::string_view::npos;
}

// Cells of "|a |b |": each without its padding.
std::vector<std::string> Cells(std::string_view row) {
    std::vector<std::string> cells;
    size_t start = 1;
    for (size_t bar; (bar = row.find('|', start)) != std::string_view::npos; start = bar + 1)
        cells.push_back(TrimRight(row.substr(start, bar - start)));
    return cells;
}

// A register line "EAX: 00000001   EDI: 00000007": two names with their values.
bool RegisterPairs(std::string_view line, std::vector<std::pair<std::string, std::string>>& out) {
    size_t first = line.find(": ");
    size_t second = line.rfind(": ");
    if (first == std::string_view::npos || second == first) return false;
    size_t nameStart = line.rfind(' ', second);
    if (nameStart == std::string_view::npos || nameStart < first + 2) return false;
    out.emplace_back(std::string(line.substr(0, first)), TrimRight(line.substr(first + 2, nameStart + 1 - first - 2)));
    out.emplace_back(std::string(line.substr(nameStart + 1, second - nameStart - 1)),
                     TrimRight(line.substr(second + 2)));
    return true;
}

// A register's name as the report writes it ("EAX", "R8"), fit to be an attribute's name: anything
// else (a log edited by hand, foreign text) would make the copy unreadable as XML.
bool RegisterName(std::string_view name) {
    if (name.empty() || name.size() > 8) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!letter && (i == 0 || c < '0' || c > '9')) return false;
    }
    return true;
}

class ReportParser {
public:
    ReportParser(std::string_view report, const TMishapModuleOptions& options)
        : lines_(Lines(report)), options_(options) {}

    std::unique_ptr<TXMLItem> Parse(std::string_view reproduction) {
        auto log = std::make_unique<TXMLItem>("Log", nullptr);
        std::string version;
        if (!lines_.empty() && lines_[0].rfind("MishapLog ", 0) == 0) version = TrimBoth(lines_[0].substr(10));
        log->AddAttribute("Version", version);
        TXMLItem* general = log->AddChild("General");
        TXMLItem* stack = nullptr;
        TXMLItem* modules = nullptr;
        TXMLItem* cpu = nullptr;
        for (size_t i = 1; i + 1 < lines_.size(); ++i) {
            if (lines_[i].empty() || !IsDashLine(lines_[i + 1]) || IsDashLine(lines_[i])) continue;
            std::string_view next = i + 2 < lines_.size() ? lines_[i + 2] : std::string_view();
            std::vector<std::pair<std::string, std::string>> registers;
            if (!next.empty() && next[0] == '|') {
                if (stack == nullptr) {
                    stack = log->AddChild("CallStack");
                    i = CallStack(i + 2, *stack);
                } else if (modules == nullptr) {
                    modules = log->AddChild("Modules");
                    i = Modules(i + 2, *modules);
                }
            } else if (cpu == nullptr && stack != nullptr && (next.empty() || RegisterPairs(next, registers))) {
                cpu = log->AddChild("CPU");
                i = Cpu(i + 2, *cpu);
            } else if (stack == nullptr && IsItemLine(next)) {
                i = Group(i, *general);
            }
        }
        TXMLItem* request = log->AddChild("HoToReproduce");
        request->AddChild("Text")->SetContent(std::string(reproduction));
        return log;
    }

private:
    // One information section: title at i, dash line, item lines.
    size_t Group(size_t i, TXMLItem& general) {
        std::string_view title = lines_[i];
        if (!title.empty() && title.back() == ':') title.remove_suffix(1);
        TXMLItem* group = general.AddChild("Group");
        std::string_view first = lines_[i + 2];
        size_t dot = first.find('.', 2);
        group->AddAttribute("ID", std::string(first.substr(2, dot == std::string_view::npos ? 0 : dot - 2)));
        group->AddAttribute("Label", std::string(title));
        size_t j = i + 2;
        while (j < lines_.size() && IsItemLine(lines_[j])) {
            std::string_view line = lines_[j];
            size_t idEnd = line.find(' ', 2);
            if (idEnd == std::string_view::npos) idEnd = line.size();
            size_t separator = line.find(": ", idEnd);
            TXMLItem* item = group->AddChild("Line");
            item->AddAttribute("ID", std::string(line.substr(2, idEnd - 2)));
            std::string value;
            if (separator == std::string_view::npos) {
                item->AddAttribute("Label", TrimBoth(line.substr(idEnd)));
            } else {
                item->AddAttribute("Label", TrimBoth(line.substr(idEnd, separator - idEnd)));
                value = line.substr(separator + 2);
            }
            for (++j; j < lines_.size() && !lines_[j].empty() && lines_[j][0] == ' ' && !IsItemLine(lines_[j]); ++j) {
                value += "\r\n";
                value += lines_[j].substr(1);
            }
            item->SetContent(std::move(value));
        }
        return j - 1;
    }

    // The call-stack table from its title row at i; returns the index of its closing dash line.
    size_t CallStack(size_t i, TXMLItem& stack) {
        TXMLItem* thread = nullptr;
        size_t j = i + 2;
        for (; j < lines_.size() && !IsDashLine(lines_[j]); ++j) {
            std::string_view line = lines_[j];
            if (line.empty() || line[0] != '|') {
                thread = Thread(TrimRight(line), stack);
                continue;
            }
            std::vector<std::string> cells = Cells(line);
            cells.resize(6);
            if (thread == nullptr) thread = stack.AddChild("ExceptionThread");
            TXMLItem* entry = thread->AddChild("Line");
            static const char* const kNames[] = {"Address", "Module", "Unit", "Class", "Procedure"};
            for (size_t c = 0; c < 5; ++c) entry->AddAttribute(kNames[c], cells[c]);
            std::string number = cells[5], offset;
            size_t bracket = number.find('[');
            if (bracket != std::string::npos && number.back() == ']') {
                offset = number.substr(bracket + 1, number.size() - bracket - 2);
                number.resize(bracket);
            }
            entry->AddAttribute("Number", number);
            entry->AddAttribute("Offset", offset);
        }
        return j;
    }

    TXMLItem* Thread(const std::string& line, TXMLItem& stack) {
        size_t colon = line.find(": ");
        std::string word = line.substr(0, colon);
        const char* name = stack.Children().empty() ? "ExceptionThread" : "CallingThread";
        if (word == options_.Text(TMishapText::ExceptionThread)) name = "ExceptionThread";
        if (word == options_.Text(TMishapText::RunningThread)) name = "RunningThread";
        if (word == options_.Text(TMishapText::CallingThread)) name = "CallingThread";
        TXMLItem* thread = stack.AddChild(name);
        std::string id, priority, cls;
        bool main = false;
        std::string_view rest =
            colon == std::string::npos ? std::string_view() : std::string_view(line).substr(colon + 2);
        for (int part = 0; !rest.empty(); ++part) {
            size_t end = rest.find("; ");
            std::string_view piece = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
            size_t equals = piece.find('=');
            std::string value =
                equals == std::string_view::npos ? std::string() : std::string(piece.substr(equals + 1));
            if (!piece.empty() && piece[0] == '[')
                main = true;
            else if (part == 0)
                id = value;
            else if (part == 1)
                priority = value;
            else
                cls = value;
        }
        thread->AddAttribute("ID", id);
        thread->AddAttribute("Priority", priority);
        thread->AddAttribute("Class", cls);
        thread->AddAttribute("MainThread", main ? "True" : "False");
        return thread;
    }

    size_t Modules(size_t i, TXMLItem& modules) {
        static const char* const kNames[] = {"Handle", "Name", "Description", "Version", "Size", "Modified", "Path"};
        size_t j = i + 2;
        for (; j < lines_.size() && !IsDashLine(lines_[j]); ++j) {
            std::vector<std::string> cells = Cells(lines_[j]);
            cells.resize(7);
            TXMLItem* module = modules.AddChild("Module");
            for (size_t c = 0; c < 7; ++c) module->AddAttribute(kNames[c], cells[c]);
        }
        return j;
    }

    // Register lines from i, an empty line, the stack/dump titles, a dash line and dump lines.
    size_t Cpu(size_t i, TXMLItem& cpu) {
        std::vector<std::pair<std::string, std::string>> registers;
        size_t j = i;
        while (j < lines_.size() && RegisterPairs(lines_[j], registers)) ++j;
        TXMLItem* element = cpu.AddChild("Registers");
        // Attributes in the order accumulator, base, counter, data, indexes, stack, instruction;
        // each name once (a second one would make the element unreadable).
        static constexpr int kOrder[] = {0, 2, 4, 6, 1, 3, 5, 7};
        std::set<std::string> used;
        for (int index : kOrder) {
            if (static_cast<size_t>(index) >= registers.size()) continue;
            const auto& [name, value] = registers[static_cast<size_t>(index)];
            if (value != "????" && RegisterName(name) && used.insert(name).second) element->AddAttribute(name, value);
        }
        if (registers.empty() || j + 2 >= lines_.size() || !lines_[j].empty()) return j;
        TXMLItem* stack = cpu.AddChild("Stack");
        TXMLItem* dump = cpu.AddChild("MemoryDump");
        for (j += 3; j < lines_.size() && !lines_[j].empty(); ++j) {
            std::string_view line = lines_[j];
            size_t colon = line.find(": ");
            size_t gap = line.find("   ", colon == std::string_view::npos ? 0 : colon);
            if (colon == std::string_view::npos || gap == std::string_view::npos) break;
            TXMLItem* slot = stack->AddChild("Line");
            slot->AddAttribute("Address", std::string(line.substr(0, colon)));
            slot->AddAttribute("Value", std::string(line.substr(colon + 2, gap - colon - 2)));
            size_t memory = gap + 3;
            size_t memoryColon = line.find(": ", memory);
            if (memoryColon == std::string_view::npos) break;
            std::string_view bytes = line.substr(memoryColon + 2);
            TXMLItem* row = dump->AddChild("Line");
            row->AddAttribute("Address", std::string(line.substr(memory, memoryColon - memory)));
            row->AddAttribute("Bytes", TrimBoth(bytes.substr(0, 48)));
            row->AddAttribute("Chars", bytes.size() > 49 ? std::string(bytes.substr(49)) : std::string());
        }
        return j;
    }

    std::vector<std::string_view> lines_;
    const TMishapModuleOptions& options_;
};

}  // namespace

TXMLItem* TXMLItem::AddChild(std::string name) {
    children_.push_back(std::make_unique<TXMLItem>(std::move(name), this));
    return children_.back().get();
}

void TXMLItem::Write(std::string& out, size_t indent) const {
    out.append(indent, ' ');
    out += '<';
    out += name_;
    for (const auto& [name, value] : attributes_) {
        out += ' ';
        out += name;
        out += "=\"";
        out += EscapeLogXml(value);
        out += '"';
    }
    if (content_.empty() && children_.empty()) {
        out += "/>\r\n";
        return;
    }
    out += '>';
    out += EscapeLogXml(content_);
    if (!children_.empty()) {
        out += "\r\n";
        for (const auto& child : children_) child->Write(out, indent + 2);
        out.append(indent, ' ');
    }
    out += "</";
    out += name_;
    out += ">\r\n";
}

std::string EscapeLogXml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        // XML 1.0 has no way at all to carry other control characters, not even as references.
        if (byte < 32 && byte != '\t' && byte != '\r' && byte != '\n') {
            out += '?';
        } else if (byte < 32 || byte == 127 || byte == kUnmappedWindows1251 || c == '&' || c == '<' || c == '>' ||
                   c == '"' || c == '\'') {
            char code[8];
            std::snprintf(code, sizeof code, "&#%03u;", byte);
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

std::unique_ptr<TXMLItem> ReportToXml(std::string_view report, const TMishapModuleOptions& options,
                                      std::string_view reproduction) {
    return ReportParser(report, options).Parse(reproduction);
}

std::string LogToXml(const std::vector<std::string_view>& reports, const TMishapModuleOptions& options,
                     std::string_view reproduction) {
    std::string out = kLogXmlDeclaration;
    out += "<Doc>\r\n";
    for (size_t i = 0; i < reports.size(); ++i)
        ReportToXml(reports[i], options, i + 1 == reports.size() ? reproduction : std::string_view())->Write(out, 0);
    out += "</Doc>";
    return out;
}

}  // namespace quillan::crash
