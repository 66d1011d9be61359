#include "crash/log/log_path.h"

#include "framework/core/convert.h"
#include "framework/core/file_io.h"

namespace quillan::crash {

namespace {

#ifdef _WIN32
constexpr char kPathDelimiter = '\\';
#else
constexpr char kPathDelimiter = '/';
#endif

// Adds the separator the path already uses (the platform's when it has none).
std::string WithDelimiter(std::string folder) {
    if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return folder;
    size_t last = folder.find_last_of("\\/");
    folder += last == std::string::npos ? kPathDelimiter : folder[last];
    return folder;
}

// The file name part with its extension changed (or added).
std::string ChangeExtension(const std::string& path, const std::string& extension) {
    size_t name = path.find_last_of("\\/:");
    name = name == std::string::npos ? 0 : name + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < name) return path + extension;
    return path.substr(0, dot) + extension;
}

bool EndsWithMlf(const std::string& path) {
    return path.size() >= 4 && SameTextAscii(std::string_view(path).substr(path.size() - 4), ".mlf");
}

}  // namespace

std::string SafeComputerName(const std::string& name) {
    std::string out = name;
    for (char& c : out) {
        bool allowed =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!allowed) c = '_';
    }
    return out;
}

std::string LogFileName(const std::string& moduleFile, const std::string& outputPath, const std::string& computerName) {
    std::string file;
    if (EndsWithMlf(outputPath)) {
        file = outputPath;
    } else {
        std::string name = ExtractFileName(ChangeExtension(moduleFile, ".mlf"));
        file = (outputPath.empty() ? ExtractFilePath(moduleFile) : WithDelimiter(outputPath)) + name;
    }
    if (!computerName.empty()) {
        // Appended piece by piece: GCC 12 at -O3 warns falsely about "_" + name.
        std::string suffix(1, '_');
        suffix.append(SafeComputerName(computerName)).append(".mlf");
        file = ChangeExtension(file, suffix);
    }
    return file;
}

std::string ProfileLogFolder(const std::string& profileFolder, const std::string& executableFile, bool subfolder) {
    std::string folder = WithDelimiter(profileFolder) + "MishapLog";
    if (subfolder) {
        std::string exe = ExtractFileName(executableFile);
        size_t dot = exe.rfind('.');
        folder = WithDelimiter(folder);
        folder += dot == std::string::npos ? exe : exe.substr(0, dot);
    }
    return WithDelimiter(folder);
}

}  // namespace quillan::crash
