#include "app/main_form_win.h"

#include "app/notices.h"

#include "dialogs/about/about_form_win.h"
#include "dialogs/options/options_form.h"
#include "engine/menu/foreground.h"
#include "engine/menu/menu_build.h"
#include "engine/menu/popup_win.h"
#include "engine/paste/elevation_win.h"
#include "engine/paste/keys.h"
#include "engine/paste/paste_engine_win.h"
#include "engine/settings/hotkey_win.h"
#include "engine/settings/settings_reader.h"
#include "engine/store/template_loader.h"
#include "framework/core/convert.h"
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/win/application_win.h"
#include "framework/win/common_controls_win.h"
#include "resources/resource_ids.h"

namespace quillan {

std::string CurrentApp;
bool FocusCurrentApp = false;

namespace {

constexpr wchar_t kFormClass[] = L"TFForm";

std::unique_ptr<TMenuItem> NewItem(const char* caption, const char* name, int image,
                                   std::function<void(TMenuItem&)> onClick) {
    auto item = std::make_unique<TMenuItem>(caption, name);
    item->ImageIndex = image;
    item->OnClick = std::move(onClick);
    return item;
}

BOOL CALLBACK FindOptionsForm(HWND window, LPARAM found) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (lstrcmpW(name, L"TOptionForm") != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The options dialog open on this thread, or nullptr.
HWND OpenOptionsForm() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindOptionsForm, reinterpret_cast<LPARAM>(&found));
    return found;
}

void BringToFront(HWND window) {
    if (!window) return;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

win::ImageListHandle LoadMenuImages() {
    win::ImageListHandle list(
        win::ImageListCreate(MENU_IMAGE_SIZE, MENU_IMAGE_SIZE, ILC_COLOR32 | ILC_MASK, MENU_IMAGE_COUNT, 0));
    win::BitmapHandle strip(static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), L"" MENU_IMAGES_NAME, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (list && strip) win::ImageListAddMasked(list.get(), strip.get(), MENU_IMAGES_MASK);
    return list;
}

}  // namespace

TFForm::TFForm() {
    // The program the menu was built for takes the template its own way.
    RunPaste = [this](const TTmpl* tmpl, HWND owner, HFONT font) {
        PasteTemplate(tmpl, owner, font, tmpl ? ChoosePasteMethod(pasteKeys_, CurrentApp) : TPasteMethod::CtrlV);
    };
    RunOptionsDialog = [](bool focusCurrentApp, const std::string& currentApp, const TSetTrayHint& setTrayHint) {
        return ShowOptionsDialog(focusCurrentApp, currentApp, setTrayHint);
    };
}

TFForm::~TFForm() {
    // The tray icon and balloon hints go before the window they were made for.
    Tray.reset();
    BalloonHint1.reset();
}

void TFForm::CreateComponents() {
    RegisterWindowClass(kFormClass, 0, win::Application().Icon());
    // Caption "FForm"; never shown, so size and place do not matter.
    CreateHandle(WS_EX_TOOLWINDOW, kFormClass, "FForm", WS_POPUP, 0, 0, 0, 0, nullptr);
    win::Application().MainFormHandle = hwnd_;
    font_.reset(CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif"));

    pm.Items().Add(NewItem("-", "Paste1", -1, nullptr));
    pm.Items().Add(NewItem("Настройки", "N1", -1, [this](TMenuItem& s) { N1Click(s); }));

    TrayMenu.LoadImages = [this] {
        ImageList1 = LoadMenuImages();
        return ImageList1.get();
    };
    TrayMenu.Items().Add(NewItem("Переинициализация", "N6", MENU_IMAGE_REFRESH, [this](TMenuItem& s) { N6Click(s); }));
    TrayMenu.Items().Add(NewItem("Настройки", "N2", MENU_IMAGE_SETTINGS, [this](TMenuItem& s) { N2Click(s); }));
    TrayMenu.Items().Add(NewItem("-", "N5", -1, nullptr));
    TrayMenu.Items().Add(NewItem("О программе", "N4", MENU_IMAGE_INFO, [this](TMenuItem& s) { N4Click(s); }));
    TrayMenu.Items().Add(NewItem("Выход", "N3", MENU_IMAGE_EXIT, [this](TMenuItem& s) { N3Click(s); }));

    xml1.SetIndentString("  ");

    Tray = std::make_unique<TTrayIcon>();
    // The 16 x 16 picture of the icon, sharper in the notification area than a scaled 32 x 32.
    win::IconHandle small(
        static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"" QUILLAN_ICON_NAME, IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    Tray->SetIcon(small ? small.get() : win::Application().Icon());
    Tray->SetIconIndex(0);
    Tray->SetHint("Quillan (Ctrl + Win + A)");
    Tray->DropDownMenu = &TrayMenu;
    // A click that arrives inside a menu or a paste opens nothing, and takes no focus.
    Tray->OnDropDown = [this](TTrayIcon&, POINT, bool& handled) {
        handled = state_.Decide(TRequest::TrayMenu) != TVerdict::Run;
    };
    Tray->MenuPopup = [this](TPopupMenu& menu, int x, int y, HWND owner) { TrackTrayMenu(menu, x, y, owner); };
    Tray->SetDelay(50);
    Tray->SetVisibility({tvVisibleTaskList, tvAutoHide});
    Tray->SetActive(true);
    Tray->Loaded();

    BalloonHint1 = std::make_unique<balloon::TBalloonHint>();
    BalloonHint1->Options = balloon::boUseDefaultImageIndex | balloon::boShowCloseBtn;
    BalloonHint1->SetUseBalloonAsApplicationHint(true);
}

void TFForm::FormCreate() {
    CreateComponents();
    templates_.clear();
    RegisterAppHotKey();
    ShowWindow(hwnd_, SW_HIDE);
    OnPasteTemplClick(nullptr);
}

void TFForm::ShowRestartNotice(const std::string& logPath) {
    if (Tray)
        Tray->ShowBalloon(win::Application().Title(), RestartedBalloon(logPath), TTrayIcon::btWarning, 15000, true);
}

void TFForm::FormShow() {
    if (Tray) Tray->HideApplication();
}

void TFForm::FormDestroy() {
    UnregisterAppHotKey();
    ClearTemplateMenu();
    templates_.clear();
}

void TFForm::SetTrayHint(const std::string& hint) {
    if (Tray) Tray->SetHint(hint);
}

void TFForm::ShowNotice(const std::string& text, TTrayIcon::TBalloonType kind) {
    if (Tray) Tray->ShowBalloon(win::Application().Title(), text, kind, kNoticeMs, true);
}

void TFForm::RegisterAppHotKey() {
    THotKeyRegistration registration =
        quillan::RegisterAppHotKey(hwnd_, hotkeyId_, [this](const std::string& hint) { SetTrayHint(hint); });
    if (registration.Taken)
        ShowNotice(HotKeyTakenBalloon(HotKeyNames[static_cast<size_t>(registration.Index)]), TTrayIcon::btWarning);
}

void TFForm::UnregisterAppHotKey() { quillan::UnregisterAppHotKey(hwnd_, hotkeyId_); }

void TFForm::ClearTemplateMenu() {
    if (!state_.Busy(TBusy::TemplateMenu)) {
        retired_.clear();
        quillan::ClearTemplateMenu(pm);
        return;
    }
    // The open menu was built from these items and hands one of them back when it
    // closes: take them out now, free them after.
    TMenuItem& items = pm.Items();
    for (int i = items.Count() - 1; i >= 0; --i) {
        if (items.Items(i).Name.empty()) retired_.push_back(items.Remove(&items.Items(i)));
    }
}

void TFForm::BuildTemplateMenu() {
    const std::string path = GetTemplateFilePath();
    try {
        LoadTemplates(xml1, path, templates_, &pasteKeys_);
    } catch (const std::exception& e) {
        // hot.ini is the user's own file: the menu still comes, with what went wrong in it
        // and "Настройки", where it can be mended; the balloon says it too. The failure is
        // reported as any other, its message as the reader gave it.
        TTemplateFileNotice notice = DescribeTemplateFileProblem(path, FileExists(path), e);
        ShowNotice(notice.Balloon, TTrayIcon::btError);
        win::Application().HandleCurrentException();
        quillan::BuildNoticeMenu(pm, CurrentApp, GetForegroundAppName(), notice.MenuLines);
        return;
    }
    quillan::BuildTemplateMenu(pm, templates_, CurrentApp, GetForegroundAppName(),
                               [this](TMenuItem&, const TTmpl& tmpl) { OnPasteTemplClick(&tmpl); });
}

void TFForm::OnHotKey(WPARAM id) {
    if (!IsOurHotKey(id, hotkeyId_)) return;
    if (state_.Decide(TRequest::HotKey) != TVerdict::Run) return;
    ClearTemplateMenu();
    BuildTemplateMenu();
    TMenuItem* chosen = nullptr;
    {
        auto busy = state_.Enter(TBusy::TemplateMenu);
        chosen = TrackAtCursor(pm, hwnd_);
    }
    // After the menu's loop: a paste started from here counts as a paste, not a menu.
    if (chosen) chosen->Click();
    if (!state_.Busy(TBusy::TemplateMenu)) retired_.clear();
}

void TFForm::TrackTrayMenu(TPopupMenu& menu, int x, int y, HWND owner) {
    TMenuItem* chosen = nullptr;
    {
        auto busy = state_.Enter(TBusy::TrayMenu);
        chosen = menu.TrackPopup(x, y, owner);
    }
    if (chosen) chosen->Click();
}

void TFForm::OnPasteTemplClick(const TTmpl* tmpl) {
    if (state_.Decide(TRequest::Paste) != TVerdict::Run) return;
    auto busy = state_.Enter(TBusy::Paste);
    try {
        RunPaste(tmpl, hwnd_, font_.get());
    } catch (const EElevatedTarget&) {
        // Said once per program: every later pick there would only repeat it. Reported as before.
        std::string program = AsciiLowerCase(GetForegroundAppName());
        if (elevatedTargetsTold_.insert(program).second)
            ShowNotice(ElevatedTargetBalloon(program), TTrayIcon::btWarning);
        throw;
    } catch (const EPasteRefused& e) {
        // Nothing went wrong in the program: the user is told and may try again.
        ShowNotice(e.what(), TTrayIcon::btWarning);
    }
}

void TFForm::N1Click(TMenuItem&) {
    // Only an opening copies: with the dialog already open, the click just brings it up.
    std::unique_ptr<TSelectionCopy> copy;
    if (state_.Decide(TRequest::Options) == TVerdict::Run) {
        FocusCurrentApp = true;
        // Keys on their way to the program in front, like a paste's: nothing else may
        // take the front meanwhile, and the menu has only just given it back.
        auto busy = state_.Enter(TBusy::Paste);
        WaitForForegroundReady(kForegroundWaitMs);
        // The copy that goes with the program's paste: Ctrl+C interrupts what runs in a
        // terminal, and a typing target takes no chord at all.
        copy = std::make_unique<TSelectionCopy>(kForegroundWaitMs, ChoosePasteMethod(pasteKeys_, CurrentApp));
    }
    // The selection is on the clipboard while the dialog is open, for a new template;
    // the user's own clipboard comes back when it closes, also on a failure.
    OnOptionsClick();
    if (copy) copy->GiveBack();
}

void TFForm::N2Click(TMenuItem&) {
    if (state_.Decide(TRequest::Options) == TVerdict::Run) FocusCurrentApp = false;
    OnOptionsClick();
}

void TFForm::OnOptionsClick() {
    switch (state_.Decide(TRequest::Options)) {
        case TVerdict::Ignore:
            return;
        case TVerdict::BringToFront:
            BringToFront(OpenOptionsForm());
            return;
        case TVerdict::Run:
            break;
    }
    int result = 0;
    {
        auto busy = state_.Enter(TBusy::OptionsDialog);
        result = RunOptionsDialog(FocusCurrentApp, CurrentApp, [this](const std::string& hint) { SetTrayHint(hint); });
    }
    if (result == IDOK) {
        BuildTemplateMenu();
        RegisterAppHotKey();
    }
}

void TFForm::N6Click(TMenuItem&) {
    if (state_.Decide(TRequest::Reinitialise) != TVerdict::Run) return;
    UnregisterAppHotKey();
    RegisterAppHotKey();
}

void TFForm::N4Click(TMenuItem&) {
    switch (state_.Decide(TRequest::About)) {
        case TVerdict::Ignore:
            return;
        case TVerdict::BringToFront:
            if (about::TAbout_Form* box = about::AboutForm()) BringToFront(box->Handle());
            return;
        case TVerdict::Run:
            break;
    }
    auto busy = state_.Enter(TBusy::AboutBox);
    about::ShowAboutBox();
}

void TFForm::N3Click(TMenuItem&) {
    if (state_.Decide(TRequest::Quit) != TVerdict::Run) return;
    // Ending the program ends the open options dialog too: its edits are not dropped unasked.
    if (TOptionForm* open = OpenOptionsDialog(); open && !open->ConfirmQuit()) return;
    PostQuitMessage(0);
}

LRESULT TFForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_HOTKEY:
            OnHotKey(wParam);
            return 0;
        case WM_SHOWWINDOW:
            if (wParam) FormShow();
            break;
        default:
            break;
    }
    return TWindow::HandleMessage(msg, wParam, lParam);
}

}  // namespace quillan
