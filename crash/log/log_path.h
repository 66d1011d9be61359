// Where a module's error log lives. Platform-free: the caller supplies the computer name and
// the user's profile folder.
#pragma once

#include <string>

namespace quillan::crash {

// The computer name with every character outside letters, digits, "-" and "_" replaced by "_".
std::string SafeComputerName(const std::string& name);

// The module's file name with ".mlf"; OutputPath ending in ".mlf" is the log itself, else its
// folder (the module's folder when empty). With a computer name, "_" and that name go before
// the extension.
std::string LogFileName(const std::string& moduleFile, const std::string& outputPath,
                        const std::string& computerName = std::string());

// The folder "MishapLog" in the profile folder, with a subfolder named after the executable
// (without extension) when asked; ends in a separator.
std::string ProfileLogFolder(const std::string& profileFolder, const std::string& executableFile, bool subfolder);

}  // namespace quillan::crash
