// The text of the template file "hot.ini" as the options dialog writes it, and
// the rules that go with it: where the file lives and where an unset hot point goes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/store/template.h"

namespace quillan {

inline constexpr const char* kTemplateFileName = "hot.ini";
inline constexpr const char* kBackupSuffix = ".backup";

// One application of the dialog's tree with its templates in tree order. The
// records are only referred to; the tree that holds them owns them.
struct TTreeApp {
    std::string Name;
    std::vector<const TTmpl*> Templates;
};
using TTemplateTree = std::vector<TTreeApp>;

struct THotPoint {
    int32_t X = 1;  // column: length of the last non-empty line + 1
    int32_t Y = 0;  // row: number of non-empty lines
};

// The end-of-text position written for an unset (0) hot point. Lines are the
// pieces between CR and LF characters; empty pieces are not counted.
THotPoint DefaultHotPoint(std::string_view text);

// The five predefined entities for & < > " '; every other byte as it is.
std::string EscapeXmlText(std::string_view text);

// The whole file text, CR LF after every line. A record's 0 hot point
// coordinate is written as DefaultHotPoint's; the record is not changed.
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
