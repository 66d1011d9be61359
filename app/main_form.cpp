#include "app/main_form.h"

#include <commctrl.h>

#include "dialogs/about/about_form.h"
#include "dialogs/options/options_form.h"
#include "engine/menu/foreground.h"
#include "engine/menu/menu_build.h"
#include "engine/menu/popup.h"
#include "engine/paste/keys.h"
#include "engine/paste/paste_engine.h"
#include "engine/settings/hotkey.h"
#include "engine/settings/settings_reader.h"
#include "engine/store/template_loader.h"
#include "framework/core/exceptions.h"
#include "framework/win/application.h"
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

HIMAGELIST LoadMenuImages() {
    HIMAGELIST list = ImageList_Create(MENU_IMAGE_SIZE, MENU_IMAGE_SIZE, ILC_COLOR32 | ILC_MASK, MENU_IMAGE_COUNT, 0);
    HBITMAP strip = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), L"" MENU_IMAGES_NAME, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (list && strip) ImageList_AddMasked(list, strip, MENU_IMAGES_MASK);
    if (strip) DeleteObject(strip);
    return list;
}

}  // namespace

TFForm::TFForm() = default;

TFForm::~TFForm() {
    // The tray icon and balloon hints go before the window they were made for.
    Tray.reset();
    BalloonHint1.reset();
    if (ImageList1) ImageList_Destroy(ImageList1);
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

    ImageList1 = LoadMenuImages();
    TrayMenu.Images = ImageList1;
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

void TFForm::FormShow() {
    if (Tray) Tray->HideApplication();
}

void TFForm::FormDestroy() {
    UnregisterAppHotKey();
    ClearTemplateMenu();
    templates_.clear();
}

void TFForm::RegisterAppHotKey() {
    quillan::RegisterAppHotKey(hwnd_, hotkeyId_, [this](const std::string& hint) {
        if (Tray) Tray->SetHint(hint);
    });
}

void TFForm::UnregisterAppHotKey() { quillan::UnregisterAppHotKey(hwnd_, hotkeyId_); }

void TFForm::ClearTemplateMenu() { quillan::ClearTemplateMenu(pm); }

void TFForm::BuildTemplateMenu() {
    LoadTemplates(xml1, GetTemplateFilePath(), templates_);
    quillan::BuildTemplateMenu(pm, templates_, CurrentApp, GetForegroundAppName(),
                               [this](TMenuItem& item) { OnPasteTemplClick(&item); });
}

void TFForm::OnHotKey(WPARAM id) {
    if (!IsOurHotKey(id, hotkeyId_)) return;
    ClearTemplateMenu();
    BuildTemplateMenu();
    PopupAtCursor(pm, hwnd_);
}

void TFForm::OnPasteTemplClick(TMenuItem* sender) {
    const TTmpl* tmpl = nullptr;
    if (sender) {
        // The menu and the list come from the same build; a stale tag pastes nothing.
        if (sender->Tag < 0 || sender->Tag >= static_cast<intptr_t>(templates_.size())) return;
        tmpl = templates_[static_cast<size_t>(sender->Tag)].get();
    }
    PasteTemplate(tmpl, hwnd_, static_cast<HFONT>(font_.get()));
}

void TFForm::N1Click(TMenuItem&) {
    FocusCurrentApp = true;
    SendCopyKeys();
    OnOptionsClick();
}

void TFForm::N2Click(TMenuItem&) {
    FocusCurrentApp = false;
    OnOptionsClick();
}

void TFForm::OnOptionsClick() {
    int result = ShowOptionsDialog(FocusCurrentApp, CurrentApp, [this](const std::string& hint) {
        if (Tray) Tray->SetHint(hint);
    });
    if (result == IDOK) {
        BuildTemplateMenu();
        RegisterAppHotKey();
    }
}

void TFForm::N6Click(TMenuItem&) {
    UnregisterAppHotKey();
    RegisterAppHotKey();
}

void TFForm::N4Click(TMenuItem&) { about::ShowAboutBox(); }

void TFForm::N3Click(TMenuItem&) { PostQuitMessage(0); }

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
