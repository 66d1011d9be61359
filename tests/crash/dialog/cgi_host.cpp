// A test host that is a CGI program when its environment says so: the crash reporter's web page
// goes to its standard output. argv[1] names a file that receives the outcome ("ok",
// "warning=<text>" or "none").
#include <windows.h>

#include <fstream>
#include <string>

#include "crash/dialog/crash_dialog_win.h"
#include "crash/options/options.h"

using namespace quillan::crash;

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::ofstream outcome(argv[1], std::ios::binary);
    const TWebHost host = DetectWebHost();
    if (host == TWebHost::None) {
        outcome << "none";
        return 3;
    }
    TMishapModuleOptions options;
    options.SetHtmlLayout("<HTML><HEAD></HEAD><BODY>\r\n<%Html_Tag%>\r\n</BODY></HTML>");
    const bool messageOnly = argc > 2 && std::string(argv[2]) == "message";
    const std::optional<std::string> warning =
        ShowWebPage(host, options, "Division by zero in <Total> & \"Sum\"\r\n  at line 7", "the report's text\r\n",
                    messageOnly, "20240506091213-3");
    outcome << (warning ? "warning=" + *warning : std::string("ok"));
    return 0;
}
