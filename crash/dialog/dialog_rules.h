// What the crash dialog offers and how it opens, decided from the options alone. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillan::crash {

class TMishapModuleOptions;

// The five tabs, in the order InitialTab counts them.
enum class TDialogTab : int { General = 0, CallStack = 1, Modules = 2, Cpu = 3, Other = 4 };
inline constexpr int kDialogTabCount = 5;

struct TDialogOffers {
    bool Send = false;               // box 3000
    bool Screenshot = false;         // box 4000
    bool CopyToClipboard = false;    // box 5000
    bool SupportLink = false;        // SupportUrl not blank
    bool SendChecked = false;        // initial state of box 3000
    bool ScreenshotChecked = false;  // initial state of box 4000
    bool Terminate = false;          // button 3
    bool Restart = false;            // button 3 says "&Restart" (text 16), else "&Terminate" (text 15)
    bool Details = false;            // button 4
    bool OpenExpanded = false;
    bool TopMost = false;
    bool OwnColours = false;
    // Rows of boxes and links under the buttons: send and screenshot in one, copy and the link in
    // the other; the rows that hold nothing are dropped.
    int BoxRows = 0;
};

// duplicate: the report is already in the log (never offered for sending); exceptionCount: the
// reports of this run, this one included.
TDialogOffers DialogOffers(const TMishapModuleOptions& options, bool duplicate, int exceptionCount);

// The margin under the buttons, in pixels at 96 DPI: 34 for two rows of boxes and links, 20 for
// one, 0 for none.
int LowerMargin(int boxRows);

// The tabs that exist, in order: General, Call Stack, Modules (LogFlags bit 4), CPU (bit 5),
// Other (when custom data was collected).
std::vector<TDialogTab> DialogTabs(const TMishapModuleOptions& options, bool customData);

// Index into tabs of InitialTab (its low 7 bits count over all five tabs): each missing tab before
// it moves it one left; a missing Modules or CPU tab itself gives the tab on its left; a missing
// Other tab, or a number above 4, gives the first tab.
int InitialTabIndex(uint8_t initialTab, const std::vector<TDialogTab>& tabs);

// The Details button's caption: "&Details >>" compact, "<< &Details" expanded.
std::string DetailsCaption(const std::string& text, bool expanded);

}  // namespace quillan::crash
