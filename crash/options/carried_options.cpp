#include "crash/options/carried_options.h"

namespace quillan::crash {

void ApplyCarriedOptions(TMishapModuleOptions& options) {
    options.Reset();
    options.SetLogEnabled(true);
    options.SetHandlingEnabled(true);
    options.SetLogFlags(lfSkipDuplicates | lfGatherModules | lfGatherCpu);
    options.SetAppendLogs(false);
    options.SetSaveLogFile(true);
    options.SetInitialTab(1);
    options.SetHangDetection(false);
    options.SetHangTimeout(60);
    options.SetSmtpPort(25);
    options.SetTerminateAction(1);
    options.SetShowTerminateButton(false);
    options.SetMaxLogReports(300);
    options.SetReportsBeforeTerminateButton(3);
    options.SetMailMethod(0);
    options.SetDetailMask(kDetailMaskAll);
    options.SetUploadMethod(0);
    options.SetUploadPort(0);
    options.SetSendFlags(sfShowProgress | sfAttachLastHtmlPage);
    // No dialog (bit 0 clear); the rest only matters if a later configuration turns it on.
    options.SetDialogFlags(0xBE);
    options.SetDialogAutoCloseSeconds(0);
    options.SetStackFlags(0x0F);
    options.SetBehaviourFlags(bfPreferMainModule | bfClipboardOnSendFailure);
    options.SetCrashBurstAction(1);
    options.SetCrashBurstCount(10);
    options.SetCrashBurstMinutes(1);
    options.ClearFilters();
}

std::string CarriedOptionsStream() {
    TMishapModuleOptions options;
    ApplyCarriedOptions(options);
    return options.SaveToBytes();
}

}  // namespace quillan::crash
