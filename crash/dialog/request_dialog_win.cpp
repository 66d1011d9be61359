// The reproduction request ("ML_REQUEST").
#include <windows.h>

#include <algorithm>

#include "crash/dialog/crash_dialog_win.h"
#include "crash/dialog/dialog_support_win.h"
#include "crash/options/options.h"
#include "resources/crash_dialog_ids.h"

namespace quillan::crash {

namespace {

struct TRequest {
    const TMishapModuleOptions* Options;
    std::string Text;
    std::exception_ptr Failure;
};

INT_PTR HandleRequest(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* request = reinterpret_cast<TRequest*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
            request = reinterpret_cast<TRequest*>(lParam);
            const TMishapModuleOptions& options = *request->Options;
            SetDialogTitle(hwnd, options.Text(TMishapText::RequestCaption));
            SetControlText(hwnd, ML_ID_REQUEST_LABEL, options.Text(TMishapText::RequestPrompt));
            SetControlText(hwnd, ML_ID_OK, options.Text(TMishapText::RequestOk));
            SetForegroundWindow(hwnd);
            SetFocus(GetDlgItem(hwnd, ML_ID_REQUEST_TEXT));
            return FALSE;
        }
        case WM_COMMAND:
            // The one button is also what Esc and the close box give: the text is kept either way.
            if (LOWORD(wParam) != ML_ID_OK || HIWORD(wParam) != BN_CLICKED || !request) return FALSE;
            request->Text = ControlText(hwnd, ML_ID_REQUEST_TEXT);
            EndDialog(hwnd, ML_ID_OK);
            return TRUE;
        case WM_CLOSE:
            SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(ML_ID_OK, BN_CLICKED), 0);
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK RequestProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleRequest(hwnd, message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the dialog manager: the request closes with what was written.
        auto* request = reinterpret_cast<TRequest*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        if (request && !request->Failure) {
            request->Failure = std::current_exception();
            try {
                request->Text = ControlText(hwnd, ML_ID_REQUEST_TEXT);
            } catch (...) {
                // The text cannot be had either (out of memory): the request ends without it.
            }
        }
        EndDialog(hwnd, ML_ID_OK);
        return TRUE;
    }
}

}  // namespace

bool AskReproductionSteps(const TMishapModuleOptions& options, std::string& steps, TAddress resourceModule,
                          std::exception_ptr* failure) {
    TRequest request{&options, {}, {}};
    const INT_PTR code = DialogBoxParamA(DialogResources(resourceModule), "ML_REQUEST", nullptr, RequestProc,
                                         reinterpret_cast<LPARAM>(&request));
    if (failure) *failure = request.Failure;
    if (code != ML_ID_OK) return false;
    const bool blank = std::all_of(request.Text.begin(), request.Text.end(),
                                   [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
    if (blank) return false;
    steps = std::move(request.Text);
    return true;
}

}  // namespace quillan::crash
