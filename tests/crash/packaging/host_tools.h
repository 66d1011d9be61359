// Running the host's own tools (GNU tar, gzip, pngcheck) as oracles of the packaging tests.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace quillan::test {

struct ToolResult {
    int Status = -1;  // exit code; -1 when the tool did not end normally
    std::string Output;
    std::string Errors;
};

inline std::string ReadAll(const std::string& path);

// Runs a shell command line and collects its standard output and error output.
inline ToolResult RunTool(const std::string& command) {
    ToolResult result;
    char errors[] = "/tmp/quillan-tool-XXXXXX";
    const int fd = mkstemp(errors);
    if (fd < 0) return result;
    close(fd);
    FILE* pipe = popen(("{ " + command + "; } 2>" + errors).c_str(), "r");
    if (pipe) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.Output.append(buffer, n);
        const int status = pclose(pipe);
        result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    result.Errors = ReadAll(errors);
    unlink(errors);
    return result;
}

// The text single-quoted for the shell.
inline std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace quillan::test
