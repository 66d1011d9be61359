// The error log: a text file of stored reports, read back, limited, checked for duplicates and
// saved. Platform-free.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillan::crash {

class TMishapModuleOptions;

// At most this many bytes of a log file are read: the newest part of a bigger file.
inline constexpr size_t kMaxLogReadBytes = 16 * 1024 * 1024;

// Items compared by the duplicate check: address, module, type and message of the exception.
inline const std::vector<std::string> kDuplicateItems = {"2.2", "2.3", "2.4", "2.5"};

// Every lone CR and every lone LF becomes CR LF.
std::string NormaliseLineEnds(std::string_view text);

// The stored reports of a log file's text, oldest first: the text is cut after each run of four
// or more line breaks, and only pieces holding "-\r\n|" (a table line) are kept. Each kept piece
// is the report text followed by its three line breaks. keepNewest > 0 keeps only that many.
std::vector<std::string> SplitLogText(std::string_view bytes, size_t keepNewest = 0);

// The value of an item ("2.5") in a report's text: what follows the ": " on its line, with its
// continuation lines. nullopt when the report does not show the item.
std::optional<std::string> FindItemValue(std::string_view report, std::string_view item);

// Where the log goes when its own place cannot be written.
struct TLogFallback {
    std::string ProfileFolder;   // the user's profile folder; empty: no fallback
    std::string ExecutableFile;  // names the subfolder
    bool Subfolder = false;
};

class TLogFile {
public:
    // Chooses the file: path when it can be opened for reading and writing (or created), else
    // the same file name in the profile's "MishapLog" folder (created when missing). Reads the
    // chosen file when it exists; an unreadable file gives an empty list. Returns false when no
    // place can be written: the log is then not written. keepNewest as for SplitLogText.
    bool Open(const std::string& path, const TLogFallback& fallback = {}, size_t keepNewest = 0);
    // Replaces the list by the reports of a log file's bytes (the reader, without a file).
    void LoadFromBytes(std::string_view bytes, size_t keepNewest = 0);

    const std::string& Path() const { return path_; }
    int Count() const { return static_cast<int>(reports_.size()); }
    // A stored report with its three trailing line breaks; valid until the list changes.
    std::string_view Report(int index) const { return reports_.at(static_cast<size_t>(index)); }

    // Deletes the oldest reports while maxReports (at least 1) or more are stored, then appends.
    void Add(std::string_view reportText, uint32_t maxReports);
    // Writes every report, joined by CR LF, through a temporary file that replaces the log in one
    // step. Raises the file layer's error on failure; the file on disk is then unchanged.
    void Save() const;
    // The whole file as Save writes it.
    std::string Bytes() const;

    // Value of an item of a stored report.
    std::optional<std::string> ItemValue(int report, std::string_view item) const;
    // True when a stored report has the candidate's values of items 2.2 to 2.5, read from its own
    // text (an item a report does not show counts as empty). False when the candidate shows none
    // of them: such a report cannot be recognised.
    bool IsDuplicateOf(std::string_view reportText) const;
    // Whether the last stored report shows item 1.3 with another version than runningVersion.
    bool VersionChanged(std::string_view runningVersion) const;
    // When VersionChanged, deletes the file and empties the list; returns whether it did.
    bool DeleteIfVersionChanged(std::string_view runningVersion);
    // Writes the XML copy of the stored reports to path; reproduction belongs to the last one.
    // Raises the file layer's error on failure.
    void SaveAsXml(const std::string& path, const TMishapModuleOptions& options,
                   std::string_view reproduction = {}) const;

private:
    bool TryUse(const std::string& path, size_t keepNewest);
    // Takes a log's bytes as the stored reports.
    void Adopt(std::string bytes, size_t keepNewest, bool dropFirst);

    std::string path_;
    // The reports are views of the text read from the file, or of the reports added since; a
    // log of megabytes is then held once, not twice.
    std::string text_;
    std::deque<std::string> added_;
    std::vector<std::string_view> reports_;
    size_t loaded_ = 0;  // how many of reports_ are views of text_
};

// Adds the report and saves. On failure returns the "Log" warning message "[Log] ..." and keeps
// the file on disk as it was; the list then holds the report.
std::optional<std::string> AppendReportToLog(TLogFile& log, std::string_view reportText, uint32_t maxReports) noexcept;

}  // namespace quillan::crash
