// Pictures of the crash dialog for a person to look at: the compact and the expanded form, every
// tab, the reproduction request and the progress box. Written only when QUILLAN_DIALOG_SHOTS names a folder (scripts
// run this at 96 and at 144 DPI); otherwise skipped.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "crash/dialog/crash_dialog_win.h"
#include "crash/dialog/dialog_state_win.h"
#include "crash/dialog/send_progress_win.h"
#include "crash/options/current_options.h"
#include "resources/crash_dialog_ids.h"
#include "tests/crash/dialog/dialog_test_support.h"

namespace quillan::crash::test {
namespace {

TEST(DialogShots, CompactExpandedAndEveryTab) {
    const char* folder = std::getenv("QUILLAN_DIALOG_SHOTS");
    if (!folder || !*folder) GTEST_SKIP() << "QUILLAN_DIALOG_SHOTS names no folder for the pictures";
    const std::string prefix =
        std::string(folder) + "\\dpi" + std::to_string(GetDeviceCaps(GetDC(nullptr), LOGPIXELSY));
    DeleteFileW(std::wstring(L"C:\\windows\\MishapLog.ini").c_str());

    TMishapModuleOptionsEx options;
    options.SetDialogFlags(dfShowDialog | dfSendChecked | dfAttachScreenshotChecked | dfShowCopyToClipboard |
                           dfShowDetailsButton | dfOwnColours);
    options.SetMailMethod(2);
    options.SetSupportUrl("http://support.invalid/");
    options.SetLogFlags(lfGatherModules | lfGatherCpu);
    const TReportContext context = SampleReport(options);
    TCrashDialogRequest request;
    request.Options = &options;
    request.Context = &context;
    request.Message = context.Values[TReportItem::ExceptionMessage];
    request.ExceptionCount = 5;
    TDialogRun run(request);
    HWND dialog = run.Wait();
    ASSERT_NE(dialog, nullptr);
    Sleep(500);
    EXPECT_TRUE(SaveBmp(CaptureWindow(dialog), prefix + "-compact.bmp"));
    Click(dialog, ML_ID_DETAILS);
    HWND tabs = GetDlgItem(dialog, ML_ID_TABS);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(tabs) != FALSE; }));
    const int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        SendMessageW(tabs, TCM_SETCURSEL, i, 0);
        NMHDR change{tabs, ML_ID_TABS, static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(dialog, WM_NOTIFY, ML_ID_TABS, reinterpret_cast<LPARAM>(&change));
        Sleep(400);
        EXPECT_TRUE(SaveBmp(CaptureWindow(dialog), prefix + "-tab" + std::to_string(i) + ".bmp"));
    }
    Click(dialog, ML_ID_OK);
    ASSERT_TRUE(run.Join());
    DeleteFileW(L"C:\\windows\\MishapLog.ini");

    std::string steps;
    TDialogThread asking([&] { AskReproductionSteps(options, steps); });
    HWND ask = asking.WaitForWindow();
    ASSERT_NE(ask, nullptr);
    SetWindowTextW(GetDlgItem(ask, ML_ID_REQUEST_TEXT), L"1. Ctrl+Win+H\r\n2. Шаблон «Подпись»");
    Sleep(400);
    EXPECT_TRUE(SaveBmp(CaptureWindow(ask), prefix + "-request.bmp"));
    Click(ask, ML_ID_OK);
    ASSERT_TRUE(asking.Join());

    TSendProgressBox box(options.Text(TMishapText::SendCaption));
    ASSERT_TRUE(box.Open());
    box.SetStatus(options.Text(TMishapText::Connecting));
    box.SetPosition(60);
    Sleep(400);
    EXPECT_TRUE(SaveBmp(CaptureWindow(static_cast<HWND>(box.Window())), prefix + "-progress.bmp"));
}

}  // namespace
}  // namespace quillan::crash::test
