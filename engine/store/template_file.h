// The text of the template file "hot.ini" as the options dialog writes it, and
// the rules that go with it: where the file lives and where an unset hot point goes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/store/template.h"

namespace quillan {

inline constexpr const char* kTemplateFileName = "hot.ini";
inline constexpr const char* kBackupSuffix = ".backup";
inline constexpr const char* kPasteKeysElement = "PasteKeys";

// One application of the dialog's tree with its templates in tree order. The
// records are only referred to; the tree that holds them owns them.
// Slots of an application group: before its start tag, before its Application, after
// Application (and PasteKeys), after its end tag.
enum TGroupSlot { gsBefore, gsStart, gsAfterApplication, gsAfter };

struct TTreeApp {
    std::string Name;
    std::vector<const TTmpl*> Templates;
    // Written as "  <PasteKeys>...</PasteKeys>" after the Application when set.
    std::optional<std::string> PasteKeys = std::nullopt;
    const TKeptList* Kept = nullptr;  // the group's unknown elements; nullptr: none
};
using TTemplateTree = std::vector<TTreeApp>;

struct THotPoint {
    int32_t X = 1;  // column, 1-based
    int32_t Y = 1;  // row, 1-based
};

// A template's lines as a paste places them: split at CR LF, CR or LF (LF CR is two
// breaks), each break starting a line, so a text with k breaks has k + 1 lines, the
// last one empty after a final break; the empty text is one empty line.
std::vector<std::string> TemplateLines(std::string_view text);

// The end of the text: column just after the last line's last character, on the
// last line (the empty one after a final break). Written for an unset (0) hot
// point, and where a paste leaves the caret for one.
THotPoint DefaultHotPoint(std::string_view text);

// The hot point a paste aims at: each coordinate that is 0 (unset, or missing from
// the file) replaced by DefaultHotPoint's, as the writer writes it; others as they are.
THotPoint ResolveHotPoint(std::string_view text, int32_t pointX, int32_t pointY);

// The five predefined entities for & < > " '; every other byte as it is.
std::string EscapeXmlText(std::string_view text);

// The whole file text, CR LF after every line. A record's 0 hot point
// coordinate is written as DefaultHotPoint's; the record is not changed. Kept
// elements go in their slots, each on a line of its own after its own indent (the
// layout's indent of that level when it had none).
std::string BuildTemplateFile(const TTemplateTree& tree);

// Folder + "hot.ini": an empty folder stays empty, one ending in ":" or "\" is
// kept, a lone drive letter gets ":\", any other folder gets "\".
std::string MakeTemplateFilePath(const std::string& folder);

// Renames path to path + ".backup" (ignored when that fails, so the first backup
// ever made is kept), then replaces path by the tree's text in one step. On a
// failed write the file is put back as it was and the runtime's error is raised
// (EFCreateError "Cannot create file ..." or EWriteError).
void SaveTemplateFile(const std::string& path, const TTemplateTree& tree);

}  // namespace quillan
