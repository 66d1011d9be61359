#include "crash/log/log_file.h"

#include <algorithm>
#include <cstring>

#include "crash/log/log_path.h"
#include "crash/log/log_xml.h"
#include "crash/report/log_item.h"
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/core/streams.h"

namespace quillan::crash {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kBoundary = "\r\n\r\n\r\n\r\n";
constexpr std::string_view kStoredTail = "\r\n\r\n\r\n";

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool LineEndsAreNormal(std::string_view text) {
    if (text.empty()) return true;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = text.size();
    // Every LF follows a CR and every CR is followed by an LF: one pass without branches, which
    // the compiler turns into vector code, over a log of megabytes.
    unsigned bad = (p[0] == '\n') | (p[n - 1] == '\r');
    for (size_t i = 1; i < n; ++i) bad |= static_cast<unsigned>(p[i] == '\n') ^ static_cast<unsigned>(p[i - 1] == '\r');
    return bad == 0;
}

// Where the next run of four line breaks starts, or npos. Looks at every eighth byte first:
// a run of eight line-break bytes cannot pass by unseen, and text between runs is skipped fast.
size_t FindBoundary(std::string_view text, size_t from) {
    const size_t n = text.size();
    size_t i = from;
    while (i + kBoundary.size() <= n) {
        char c = text[i + kBoundary.size() - 1];
        if (c != '\r' && c != '\n') {
            i += kBoundary.size();
            continue;
        }
        // Back up over the line breaks before the probe: the run may start among them. It cannot
        // start before i: the byte before i is no line break (or i is where the search began).
        size_t start = i + kBoundary.size() - 1;
        while (start > i && (text[start - 1] == '\r' || text[start - 1] == '\n')) --start;
        size_t end = start;
        while (end < n && (text[end] == '\r' || text[end] == '\n')) ++end;
        size_t hit = text.substr(start, end - start).find(kBoundary);
        if (hit != std::string_view::npos) return start + hit;
        i = end;
    }
    return std::string_view::npos;
}

// Whether text holds "-\r\n|". Looks for the "|" first: it is rare outside tables, while dash
// lines are long.
bool HasTableLine(std::string_view text) {
    for (size_t bar = text.find('|', 3); bar != std::string_view::npos; bar = text.find('|', bar + 1)) {
        if (text.substr(bar - 3, 3) == "-\r\n") return true;
    }
    return false;
}

struct Piece {
    size_t start, length;
};

// The pieces of normalised text. A run of line breaks that ends a piece holds the report's own
// line breaks and, when text follows, one more that joins it to the next (none after a run of
// exactly four, which only a foreign writer leaves).
std::vector<Piece> CutPieces(std::string_view text, bool dropFirst) {
    std::vector<Piece> pieces;
    size_t pos = 0;
    for (;;) {
        size_t hit = FindBoundary(text, pos);
        if (hit == std::string_view::npos) break;
        size_t end = hit + kBoundary.size();
        while (text.substr(end, 2) == kCrLf) end += 2;
        // Every piece keeps at least four line breaks, so it is cut in the same place when it is
        // read back, even as the last one of a file.
        size_t pieceEnd = end == text.size() ? end : std::max(end - 2, hit + kBoundary.size());
        std::string_view piece = text.substr(pos, pieceEnd - pos);
        if (!dropFirst && HasTableLine(piece)) pieces.push_back({pos, pieceEnd - pos});
        dropFirst = false;
        pos = end;
    }
    return pieces;
}

// The text to cut: the bytes themselves when this program wrote them (they need no change),
// else a normalised copy ending in the stored report's line breaks.
std::string Prepared(std::string bytes) {
    if (LineEndsAreNormal(bytes) && EndsWith(bytes, kStoredTail)) return bytes;
    std::string text = NormaliseLineEnds(bytes);
    if (!EndsWith(text, kStoredTail)) text += kStoredTail;
    return text;
}

// Views of the newest kept pieces of a prepared text.
std::vector<std::string_view> Views(std::string_view text, size_t keepNewest, bool dropFirst) {
    std::vector<Piece> pieces = CutPieces(text, dropFirst);
    size_t first = keepNewest > 0 && pieces.size() > keepNewest ? pieces.size() - keepNewest : 0;
    std::vector<std::string_view> views;
    views.reserve(pieces.size() - first);
    for (size_t i = first; i < pieces.size(); ++i) views.push_back(text.substr(pieces[i].start, pieces[i].length));
    return views;
}

// Whether a file can be written in place: the file opens for reading and writing, and the folder
// takes the temporary file that a save replaces it with.
bool CanWrite(const std::string& path) {
    if (FileExists(path)) {
        intptr_t handle = fileio::Open(path, true, false);
        if (handle == -1) return false;
        fileio::Close(handle);
    } else if (DirectoryExists(path)) {
        return false;
    }
    std::string probe = path + ".~probe.tmp";
    intptr_t handle = fileio::Open(probe, true, true);
    if (handle == -1) return false;
    fileio::Close(handle);
    RemoveFile(probe);
    return true;
}

}  // namespace

std::string NormaliseLineEnds(std::string_view text) {
    if (LineEndsAreNormal(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += kCrLf;
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += kCrLf;
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::string> SplitLogText(std::string_view bytes, size_t keepNewest) {
    std::string text = Prepared(std::string(bytes));
    std::vector<std::string> reports;
    for (std::string_view view : Views(text, keepNewest, false)) reports.emplace_back(view);
    return reports;
}

std::optional<std::string> FindItemValue(std::string_view report, std::string_view item) {
    std::string key = "\r\n  ";
    key += item;
    key += ' ';
    size_t hit = report.find(key);
    if (hit == std::string_view::npos) return std::nullopt;
    size_t lineStart = hit + 2;
    size_t lineEnd = std::min(report.find(kCrLf, lineStart), report.size());
    size_t separator = report.find(": ", lineStart);
    std::string value;
    if (separator != std::string_view::npos && separator < lineEnd)
        value.assign(report.substr(separator + 2, lineEnd - separator - 2));
    // Continuation lines start with one blank; an empty line or the next item ends the value.
    while (lineEnd < report.size()) {
        size_t next = lineEnd + 2;
        size_t end = std::min(report.find(kCrLf, next), report.size());
        std::string_view line = report.substr(next, end - next);
        if (line.empty() || line[0] != ' ' || IsItemLine(line)) break;
        value += kCrLf;
        value += line;
        lineEnd = end;
    }
    return value;
}

void TLogFile::Adopt(std::string bytes, size_t keepNewest, bool dropFirst) {
    reports_.clear();
    added_.clear();
    text_ = Prepared(std::move(bytes));
    reports_ = Views(text_, keepNewest, dropFirst);
    loaded_ = reports_.size();
}

bool TLogFile::Open(const std::string& path, const TLogFallback& fallback, size_t keepNewest) {
    Adopt(std::string(), 0, false);
    path_.clear();
    if (TryUse(path, keepNewest)) return true;
    if (fallback.ProfileFolder.empty()) return false;
    std::string folder = ProfileLogFolder(fallback.ProfileFolder, fallback.ExecutableFile, fallback.Subfolder);
    // Two levels at most: "MishapLog" and the executable's subfolder.
    std::string parent = ExtractFilePath(folder.substr(0, folder.size() - 1));
    if (!DirectoryExists(parent)) CreateDir(parent);
    if (!DirectoryExists(folder)) CreateDir(folder);
    return TryUse(folder + ExtractFileName(path), keepNewest);
}

bool TLogFile::TryUse(const std::string& path, size_t keepNewest) {
    if (path.empty() || !CanWrite(path)) return false;
    if (FileExists(path)) {
        try {
            TFileStream file(path, FileMode::OpenRead);
            int64_t size = file.Size();
            bool tail = size > static_cast<int64_t>(kMaxLogReadBytes);
            // Reports are appended, so the newest ones are at the end: read only that part, and
            // drop the report it starts in.
            if (tail) file.SetPosition(size - static_cast<int64_t>(kMaxLogReadBytes));
            std::string bytes(static_cast<size_t>(tail ? kMaxLogReadBytes : size), '\0');
            file.ReadBuffer(bytes.data(), bytes.size());
            Adopt(std::move(bytes), keepNewest, tail);
        } catch (const Exception&) {
            // A log that cannot be read must not be overwritten by a save.
            Adopt(std::string(), 0, false);
            return false;
        }
    }
    path_ = path;
    return true;
}

void TLogFile::LoadFromBytes(std::string_view bytes, size_t keepNewest) {
    bool tail = bytes.size() > kMaxLogReadBytes;
    Adopt(std::string(tail ? bytes.substr(bytes.size() - kMaxLogReadBytes) : bytes), keepNewest, tail);
}

void TLogFile::Add(std::string_view reportText, uint32_t maxReports) {
    size_t limit = std::max<uint32_t>(maxReports, 1);
    if (reports_.size() >= limit) {
        size_t drop = reports_.size() - limit + 1;
        reports_.erase(reports_.begin(), reports_.begin() + static_cast<ptrdiff_t>(drop));
        // The oldest views are those of the file's text; added reports go after them.
        size_t fromText = std::min(drop, loaded_);
        loaded_ -= fromText;
        for (size_t i = fromText; i < drop; ++i) added_.pop_front();
    }
    // Leading line breaks would merge with the previous report's when the log is read back.
    size_t start = reportText.find_first_not_of("\r\n");
    std::string entry =
        NormaliseLineEnds(reportText.substr(start == std::string_view::npos ? reportText.size() : start));
    if (!EndsWith(entry, kCrLf)) entry += kCrLf;
    entry += kStoredTail;
    added_.push_back(std::move(entry));
    reports_.push_back(added_.back());
}

std::string TLogFile::Bytes() const {
    size_t size = 0;
    for (std::string_view r : reports_) size += r.size() + 2;
    std::string out;
    out.reserve(size);
    for (size_t i = 0; i < reports_.size(); ++i) {
        if (i > 0) out += kCrLf;
        out += reports_[i];
    }
    return out;
}

void TLogFile::Save() const {
    // Written piece by piece: no second copy of a log of megabytes.
    std::vector<std::string_view> pieces;
    pieces.reserve(reports_.size() * 2);
    for (size_t i = 0; i < reports_.size(); ++i) {
        if (i > 0) pieces.push_back(kCrLf);
        pieces.push_back(reports_[i]);
    }
    AtomicWriteFile(path_, pieces);
}

std::optional<std::string> TLogFile::ItemValue(int report, std::string_view item) const {
    return FindItemValue(Report(report), item);
}

bool TLogFile::IsDuplicateOf(std::string_view reportText) const {
    std::string text = NormaliseLineEnds(reportText);
    std::vector<std::string> values;
    bool any = false;
    for (const std::string& item : kDuplicateItems) {
        std::optional<std::string> value = FindItemValue(text, item);
        any = any || value.has_value();
        values.push_back(value.value_or(std::string()));
    }
    if (!any) return false;
    for (std::string_view report : reports_) {
        bool same = true;
        for (size_t i = 0; i < kDuplicateItems.size() && same; ++i)
            same = FindItemValue(report, kDuplicateItems[i]).value_or(std::string()) == values[i];
        if (same) return true;
    }
    return false;
}

bool TLogFile::VersionChanged(std::string_view runningVersion) const {
    if (reports_.empty()) return false;
    std::optional<std::string> stored = FindItemValue(reports_.back(), "1.3");
    // A report that does not show its version says nothing about a change.
    return stored && *stored != FormatLogValue(runningVersion);
}

bool TLogFile::DeleteIfVersionChanged(std::string_view runningVersion) {
    if (!VersionChanged(runningVersion)) return false;
    if (!path_.empty()) RemoveFile(path_);
    Adopt(std::string(), 0, false);
    return true;
}

void TLogFile::SaveAsXml(const std::string& path, const TMishapModuleOptions& options,
                         std::string_view reproduction) const {
    AtomicWriteFile(path, LogToXml(reports_, options, reproduction));
}

std::optional<std::string> AppendReportToLog(TLogFile& log, std::string_view reportText, uint32_t maxReports) noexcept {
    try {
        log.Add(reportText, maxReports);
        log.Save();
        return std::nullopt;
    } catch (const std::exception& e) {
        return "[Log] " + std::string(e.what());
    } catch (...) {
        return "General 'Log' error.";
    }
}

}  // namespace quillan::crash
