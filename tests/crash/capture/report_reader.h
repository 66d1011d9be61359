// Reading back what a crash program left: the reports of its log, the rows of a report's call
// stack, and the lines of its source marked for the test.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "crash/log/log_file.h"
#include "framework/core/file_io.h"

namespace quillan::test {

struct TStackRow {
    std::string Thread;  // the thread line above the row ("Exception Thread: ID=...")
    std::string Address, Module, Unit, Class, Procedure, Line;
};

inline std::string TrimCell(const std::string& cell) {
    size_t last = cell.find_last_not_of(' ');
    return last == std::string::npos ? std::string() : cell.substr(0, last + 1);
}

// The rows of the call-stack table of one report, with the thread each belongs to.
inline std::vector<TStackRow> StackRows(std::string_view report) {
    std::vector<TStackRow> rows;
    size_t start = report.find("Call Stack Information:");
    if (start == std::string::npos) return rows;
    size_t end = report.find("\r\n\r\n", start);
    std::istringstream lines(std::string(report.substr(start, end == std::string::npos ? std::string::npos : end - start)));
    std::string line, thread;
    int row = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find(" Thread: ID=") != std::string::npos) {
            thread = TrimCell(line);
            continue;
        }
        if (line.empty() || line[0] != '|') continue;
        if (row++ == 0) continue;  // the title row
        std::vector<std::string> cells;
        size_t from = 1;
        for (size_t bar; (bar = line.find('|', from)) != std::string::npos; from = bar + 1)
            cells.push_back(TrimCell(line.substr(from, bar - from)));
        if (cells.size() != 6) continue;
        rows.push_back({thread, cells[0], cells[1], cells[2], cells[3], cells[4], cells[5]});
    }
    return rows;
}

// The stored reports of a log file; none when it does not exist.
inline crash::TLogFile ReadLog(const std::string& path) {
    crash::TLogFile log;
    if (FileExists(path)) log.LoadFromBytes(ReadFileBytes(path));
    return log;
}

// The number (from 1) of the first source line holding marker; 0 when none.
inline int MarkedLine(const std::string& sourceFile, const std::string& marker) {
    std::ifstream file(sourceFile);
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (line.find(marker) != std::string::npos) return number;
    }
    return 0;
}

}  // namespace quillan::test
