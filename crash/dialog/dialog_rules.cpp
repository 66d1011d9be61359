#include "crash/dialog/dialog_rules.h"

#include <algorithm>

#include "crash/options/options.h"

namespace quillan::crash {

namespace {

bool Blank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); });
}

}  // namespace

TDialogOffers DialogOffers(const TMishapModuleOptions& options, bool duplicate, int exceptionCount) {
    TDialogOffers offers;
    const uint8_t flags = options.DialogFlags();
    offers.Send = (options.MailMethod() != 0 || options.UploadMethod() != 0) && !duplicate;
    offers.Screenshot = offers.Send && (options.SendFlags() & sfAttachScreenshot) != 0;
    offers.CopyToClipboard = (flags & dfShowCopyToClipboard) != 0;
    offers.SupportLink = !Blank(options.SupportUrl());
    offers.SendChecked = offers.Send && (flags & dfSendChecked) != 0;
    offers.ScreenshotChecked = offers.Screenshot && (flags & dfAttachScreenshotChecked) != 0;
    offers.Terminate = options.ShowTerminateButton() && exceptionCount >= 0 &&
                       static_cast<uint32_t>(exceptionCount) > options.ReportsBeforeTerminateButton();
    offers.Restart = options.TerminateAction() != 0;
    offers.Details = (flags & dfShowDetailsButton) != 0;
    offers.OpenExpanded = (flags & dfOpenDetailed) != 0;
    offers.TopMost = (flags & dfTopMost) != 0;
    offers.OwnColours = (flags & dfOwnColours) != 0;
    offers.BoxRows = (offers.Send ? 1 : 0) + (offers.CopyToClipboard || offers.SupportLink ? 1 : 0);
    return offers;
}

int LowerMargin(int boxRows) { return boxRows >= 2 ? 34 : boxRows == 1 ? 20 : 0; }

std::vector<TDialogTab> DialogTabs(const TMishapModuleOptions& options, bool customData) {
    std::vector<TDialogTab> tabs = {TDialogTab::General, TDialogTab::CallStack};
    if (options.LogFlags() & lfGatherModules) tabs.push_back(TDialogTab::Modules);
    if (options.LogFlags() & lfGatherCpu) tabs.push_back(TDialogTab::Cpu);
    if (customData) tabs.push_back(TDialogTab::Other);
    return tabs;
}

int InitialTabIndex(uint8_t initialTab, const std::vector<TDialogTab>& tabs) {
    const int requested = initialTab & 0x7F;
    if (requested >= kDialogTabCount) return 0;
    auto has = [&](int tab) { return std::find(tabs.begin(), tabs.end(), static_cast<TDialogTab>(tab)) != tabs.end(); };
    int before = 0;  // tabs that exist ahead of the requested one
    for (int tab = 0; tab < requested; ++tab) before += has(tab) ? 1 : 0;
    if (has(requested)) return before;
    // A missing Modules or CPU tab gives its left neighbour (General and Call Stack always exist);
    // a missing Other tab gives the first.
    return requested == static_cast<int>(TDialogTab::Other) ? 0 : before - 1;
}

std::string DetailsCaption(const std::string& text, bool expanded) { return expanded ? "<< " + text : text + " >>"; }

}  // namespace quillan::crash
