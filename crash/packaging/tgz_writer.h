// The packed attachments of a report: a tar image built in memory, written as one gzip file.
// Platform-free (file names are Windows-1251 text, as everywhere in the program).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillan::crash {

// One member of the archive.
struct TTarRec {
    std::string Name;        // as stored in the header (no folder)
    std::uint64_t Size = 0;  // bytes
    std::int64_t Time = 0;   // modification time, seconds since 1970-01-01 UTC
};

// The report time as "yyyymmddhhnnss"; dateTime counts days since 1899-12-30.
std::string FormatStamp(double dateTime);

// name with "_" and FormatStamp(dateTime) inserted before its extension (appended when it has none).
std::string StampFileName(const std::string& name, double dateTime);

// name with its extension (from the last "." of the file name on) replaced by ext, e.g. ".tar".
std::string ChangeFileExt(const std::string& name, const std::string& ext);

class TTGZWriter {
public:
    // stampNames: add the report time to every member name (StampFileName), as the sending
    // options ask; reportTime counts days since 1899-12-30, local time.
    explicit TTGZWriter(std::string archivePath, bool stampNames = false, double reportTime = 0);
    // Finishes the archive when Finish() was not called; a failure then goes unreported.
    ~TTGZWriter();
    TTGZWriter(const TTGZWriter&) = delete;
    TTGZWriter& operator=(const TTGZWriter&) = delete;

    // Reads the file at once and adds it under name (its folder dropped), or under the file's own
    // name. A file that cannot be read, or is too large for a tar header, is left out: false.
    bool AddFile(const std::string& path);
    bool AddFile(const std::string& path, const std::string& name);

    // Ends the tar image and writes the gzip file in one step. Writes nothing and returns false
    // when no file was added or the file cannot be written; later calls do nothing.
    [[nodiscard]] bool Finish();

    const std::vector<TTarRec>& Members() const { return members_; }

private:
    void AppendHeader(const std::string& name, char type, std::uint64_t size, std::int64_t time);

    std::string path_;
    bool stampNames_;
    double reportTime_;
    std::string tar_;
    std::vector<TTarRec> members_;
    bool finished_ = false;
};

// The gzip file around data: the header naming storedName, raw deflate data, CRC-32 and size.
std::string GzipWrap(const std::string& data, const std::string& storedName);

}  // namespace quillan::crash
