// The attachment list of a send and the kept copies of failed sends. Platform-free.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillan::crash {

// Separators of MailRecipients and of ExtraFiles.
inline constexpr char kRecipientSeparators[] = ";,";
inline constexpr char kFileSeparators[] = ";";

inline constexpr char kPackedFileName[] = "CompressFiles.tgz";
inline constexpr char kScreenshotFileName[] = "Screenshot.png";
inline constexpr char kLastHtmlPageFileName[] = "LastHTMLPage.html";
// At most this many packed copies of failed sends stay in the log's folder.
inline constexpr size_t kMaxKeptCopies = 10;

// The items of a list split at any of separators, each trimmed of blanks and control characters at
// both ends; empty items are dropped.
std::vector<std::string> SplitList(std::string_view text, std::string_view separators);

// The names of the files (not folders) in folder, sorted; empty when it cannot be read.
std::vector<std::string> ListFiles(const std::string& folder);

// Deletes the oldest kept copies in folder (by sorted name) until at most keep remain. Kept copies
// are the files named "CompressFiles*.tgz" (any case): other ".tgz" files of the folder are the
// user's and are never touched. Returns the names deleted.
std::vector<std::string> PruneKeptCopies(const std::string& folder, size_t keep = kMaxKeptCopies);

}  // namespace quillan::crash
