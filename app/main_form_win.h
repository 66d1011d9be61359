// The hidden main form: owns the template list, both popup menus, the XML
// document, the tray icon and the balloon hints; answers the hotkey and carries
// the handlers of both menus. It is never shown: only the tray icon is.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/shell_state.h"
#include "components/balloon/balloon_hint_win.h"
#include "components/tray/tray_icon_win.h"
#include "components/xml/simple_xml.h"
#include "engine/settings/settings_reader.h"
#include "engine/store/template.h"
#include "engine/store/template_loader.h"
#include "framework/menus/menus_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/window_win.h"

namespace quillan {

// Shared with the options dialog: the foreground program's lower-cased name at
// the last menu build, and whether the dialog was opened from the template menu.
extern std::string CurrentApp;
extern bool FocusCurrentApp;

class TFForm : public win::TWindow {
public:
    TFForm();
    ~TFForm() override;

    // Shows the options dialog modally and returns its result; replaceable (tests).
    using TOptionsDialog =
        std::function<int(bool focusCurrentApp, const std::string& currentApp, const TSetTrayHint& setTrayHint)>;
    TOptionsDialog RunOptionsDialog;
    // Pastes for OnPasteTemplClick (PasteTemplate); replaceable (tests).
    using TPaste = std::function<void(const TTmpl* tmpl, HWND owner, HFONT font)>;
    TPaste RunPaste;

    // Creates the window and the components, registers the hotkey and runs the start-up paste.
    void FormCreate();
    void FormShow();
    void FormDestroy();
    // Tells the user once, in a balloon over the icon, that the program was started again after a
    // failure and which log holds its report (logPath may be empty: not known).
    void ShowRestartNotice(const std::string& logPath);

    void N1Click(TMenuItem& sender);
    void N2Click(TMenuItem& sender);
    void N3Click(TMenuItem& sender);
    void N4Click(TMenuItem& sender);
    void N6Click(TMenuItem& sender);
    // Pastes tmpl, the clicked item's own copy of its record, or nothing for the
    // start-up run (nullptr). Ignored while another paste runs.
    void OnPasteTemplClick(const TTmpl* tmpl);
    // Opens the options dialog and applies its result; brings the open one to the
    // front instead when there is one.
    void OnOptionsClick();

    // Reloads the templates and adds the run-time items of the template menu.
    void BuildTemplateMenu();
    // Destroys the run-time items; while the template menu is open they are only
    // taken out of it and freed once it has closed.
    void ClearTemplateMenu();
    void RegisterAppHotKey();
    void UnregisterAppHotKey();

    TPopupMenu& TemplateMenu() { return pm; }
    TPopupMenu& TrayMenuObject() { return TrayMenu; }
    TTrayIcon& TrayIcon() { return *Tray; }
    const TTemplateList& Templates() const { return templates_; }
    int HotKeyId() const { return hotkeyId_; }
    const TShellState& State() const { return state_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateComponents();
    void OnHotKey(WPARAM id);
    void TrackTrayMenu(TPopupMenu& menu, int x, int y, HWND owner);
    void SetTrayHint(const std::string& hint);
    // A balloon over the tray icon, in place of the one shown before.
    void ShowNotice(const std::string& text, TTrayIcon::TBalloonType kind);
    static constexpr unsigned kNoticeMs = 10000;

    TPopupMenu pm;
    TSimpleXML xml1;
    std::unique_ptr<TTrayIcon> Tray;
    TPopupMenu TrayMenu;
    win::ImageListHandle ImageList1;
    std::unique_ptr<balloon::TBalloonHint> BalloonHint1;
    win::FontHandle font_;

    int hotkeyId_ = 0;
    TTemplateList templates_;
    // Each group's PasteKeys, loaded with the templates.
    TPasteKeysList pasteKeys_;

    // What runs now; every request asks it first (shell_state.h has the rule).
    TShellState state_;
    // Run-time items cleared while the template menu was open.
    std::vector<std::unique_ptr<TMenuItem>> retired_;
    // Programs told already that they run elevated (lower-cased executable names).
    std::set<std::string> elevatedTargetsTold_;
};

}  // namespace quillan
