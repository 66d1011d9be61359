// A console program run as a CGI process (its environment names the gateway) whose exception
// nobody catches: the report's page goes to its standard output. dialog=N sets DialogFlags.
#include <string>

#include "crash/options/current_options.h"
#include "framework/core/exceptions.h"
#include "tests/crash/capture/probes/probe_support.h"

namespace quillan {
QUILLAN_EXCEPTION(EProbeCgi, Exception);
}

int wmain(int argc, wchar_t** argv) {
    quillan::probe::Setup(argc, argv);
    const std::string dialog = quillan::probe::Argument("dialog");
    if (!dialog.empty())
        quillan::crash::CurrentMishapLogOptions().SetDialogFlags(static_cast<uint8_t>(std::stoul(dialog, nullptr, 0)));
    throw quillan::EProbeCgi("Total <sum> & \"more\"  'twice'");
}
