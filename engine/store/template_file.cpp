// Writer of the template file and the file-level save around it.
#include "engine/store/template_file.h"

#include "framework/core/file_io.h"

namespace quillan {

namespace {

constexpr std::string_view kEol = "\r\n";

void AddLine(std::string& out, std::string_view line) {
    out.append(line);
    out.append(kEol);
}

// One element on one line (or several, when the value holds line breaks).
void AddElement(std::string& out, std::string_view indent, std::string_view name, std::string_view value, bool escape) {
    out.append(indent);
    out.append("<").append(name).append(">");
    if (escape)
        out.append(EscapeXmlText(value));
    else
        out.append(value);
    out.append("</").append(name).append(">");
    out.append(kEol);
}

void AddKept(std::string& out, const TKeptList* kept, int slot, std::string_view indent) {
    if (!kept) return;
    for (const TKeptXml& piece : *kept) {
        if (piece.Slot != slot) continue;
        out.append(piece.OwnLine ? std::string_view(piece.Indent) : indent);
        AddLine(out, piece.Text);
    }
}

void AddTemplate(std::string& out, const TTmpl& record) {
    THotPoint point = ResolveHotPoint(record.TemplateText, record.PointX, record.PointY);
    const int32_t x = point.X;
    const int32_t y = point.Y;
    const TKeptList* kept = record.Kept.empty() ? nullptr : &record.Kept;
    AddLine(out, "   <Template>");
    AddKept(out, kept, tsStart, "    ");
    AddElement(out, "    ", "MenuCaption", record.MenuCaption, true);
    AddKept(out, kept, tsAfterCaption, "    ");
    AddElement(out, "    ", "TemplateText", record.TemplateText, true);
    AddKept(out, kept, tsAfterText, "    ");
    AddElement(out, "    ", "PointX", std::to_string(x), false);
    AddKept(out, kept, tsAfterPointX, "    ");
    AddElement(out, "    ", "PointY", std::to_string(y), false);
    AddKept(out, kept, tsAfterPointY, "    ");
    AddLine(out, "   </Template>");
    AddKept(out, kept, tsAfterTemplate, "   ");
}

}  // namespace

std::vector<std::string> TemplateLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) break;
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    lines.emplace_back(text.substr(start));
    return lines;
}

THotPoint DefaultHotPoint(std::string_view text) {
    size_t lastBreak = text.find_last_of("\r\n");
    size_t lastLine = lastBreak == std::string_view::npos ? text.size() : text.size() - lastBreak - 1;
    THotPoint point;
    point.X = static_cast<int32_t>(lastLine) + 1;
    point.Y = static_cast<int32_t>(TemplateLines(text).size());
    return point;
}

THotPoint ResolveHotPoint(std::string_view text, int32_t pointX, int32_t pointY) {
    THotPoint point{pointX, pointY};
    if (pointX == 0 || pointY == 0) {
        THotPoint end = DefaultHotPoint(text);
        if (pointX == 0) point.X = end.X;
        if (pointY == 0) point.Y = end.Y;
    }
    return point;
}

std::string EscapeXmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    size_t plain = 0;  // start of the run of bytes copied as they are
    for (size_t i = 0; i < text.size(); ++i) {
        const char* entity = nullptr;
        switch (text[i]) {
            case '&':
                entity = "&amp;";
                break;
            case '<':
                entity = "&lt;";
                break;
            case '>':
                entity = "&gt;";
                break;
            case '"':
                entity = "&quot;";
                break;
            case '\'':
                entity = "&apos;";
                break;
            default:
                continue;
        }
        out.append(text.substr(plain, i - plain));
        out.append(entity);
        plain = i + 1;
    }
    out.append(text.substr(plain));
    return out;
}

std::string BuildTemplateFile(const TTemplateTree& tree) {
    std::string out;
    AddLine(out, "<?xml version=\"1.0\" encoding=\"windows-1251\"?>");
    AddLine(out, "<HOT>");
    for (const TTreeApp& app : tree) {
        AddKept(out, app.Kept, gsBefore, " ");
        AddLine(out, " <Templates>");
        AddKept(out, app.Kept, gsStart, "  ");
        AddElement(out, "  ", "Application", app.Name, true);
        if (app.PasteKeys) AddElement(out, "  ", kPasteKeysElement, *app.PasteKeys, true);
        AddKept(out, app.Kept, gsAfterApplication, "  ");
        for (const TTmpl* record : app.Templates) AddTemplate(out, *record);
        AddLine(out, " </Templates>");
        AddKept(out, app.Kept, gsAfter, " ");
    }
    AddLine(out, "</HOT>");
    return out;
}

std::string MakeTemplateFilePath(const std::string& folder) {
    std::string path = folder;
    if (!path.empty()) {
        char last = path.back();
        bool letter = (last >= 'A' && last <= 'Z') || (last >= 'a' && last <= 'z');
        if (last == ':' || last == '\\') {
            // already ends in a separator
        } else if (path.size() == 1 && letter) {
            path += ":\\";
        } else {
            path += '\\';
        }
    }
    return path + kTemplateFileName;
}

void SaveTemplateFile(const std::string& path, const TTemplateTree& tree) {
    std::string text = BuildTemplateFile(tree);
    std::string backup = path + kBackupSuffix;
    // The rename fails when a backup exists already; that keeps the oldest one.
    bool movedAside = FileExists(path) && RenameFile(path, backup);
    try {
        AtomicWriteFile(path, text);
    } catch (...) {
        // Without this the user's only copy would sit under the backup name and
        // the next hotkey press would find no template file at all.
        // If even this fails the content is still safe under the backup name.
        if (movedAside) RenameFile(backup, path);
        throw;
    }
}

}  // namespace quillan
