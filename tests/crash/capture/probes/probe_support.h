// What every crash program shares: its options, set at run time from its arguments, and the
// marker files through which the test follows it.
#pragma once

#include <windows.h>

#include <string>

namespace quillan::probe {

// argv[1] is the folder the log goes to; then options as name=value:
//   terminate=0|1    TerminateAction (1: restart)
//   burst=1          the crash-burst rule on
//   hang=N           hang detection with HangTimeout N seconds
//   filter=Class     a filter entry; filtermsg=Text gives the message of the last one
//   minrun=S         restart only after S seconds of the run (the library's own minimum otherwise)
//   everystart=1     a restarted instance runs as the first did (it fails again); each start adds
//                    a line to "starts.txt": its process id, then "first" or "restarted " and
//                    the log path the restart named
// Unless everystart=1, a restarted instance (its environment says so) writes "restarted.txt"
// with its command line and its current folder (two lines) into the folder and exits at once. Returns the folder, ending in a separator.
std::string Setup(int argc, wchar_t** argv);
// The same for a program started with wWinMain.
std::string SetupFromCommandLine();

// Writes text to folder + name.
void WriteMarker(const std::string& folder, const std::string& name, const std::string& text = "");

// This instance was started by a restart of the program.
bool Restarted();

// The program's options argument value ("" when not given).
std::string Argument(const std::string& name);

}  // namespace quillan::probe
