#include "components/balloon/balloon_hint_win.h"

#include <mmsystem.h>

#include <algorithm>

#include "components/balloon/balloon_window_win.h"
#include "framework/win/common_controls_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/proc_table_win.h"
#include "framework/win/text.h"

namespace quillan::balloon {
namespace {

// Sound events of the icon kinds, in TIconKind order.
constexpr const wchar_t* kSoundEvents[] = {
    L"SystemNotification", L"SystemNotification", L"SystemNotification", L"SystemHand",
    L"SystemAsterisk",     L"SystemQuestion",     L"SystemExclamation",
};

struct StdIconSource {
    int user32;
    int comctl32;  // 0: the system icon
    const wchar_t* system;
};
// Application, error, information, question, warning.
const StdIconSource kStdIcons[5] = {
    {100, 0, IDI_APPLICATION}, {103, 20480, IDI_HAND},        {104, 20481, IDI_ASTERISK},
    {102, 0, IDI_QUESTION},    {101, 20482, IDI_EXCLAMATION},
};

HICON LoadSystemIcon(const wchar_t* id) {
    return static_cast<HICON>(LoadImageW(nullptr, id, IMAGE_ICON, 16, 16, LR_SHARED));
}

BOOL WINAPI NoSound(LPCWSTR, UINT) { return FALSE; }

// The multimedia library (with the sound drivers it loads, about 0.4 MB under Wine) only once a
// hint plays a sound: most runs never do. Kept loaded from then on.
struct TWinMM {
    win::TProcLibrary Library{L"winmm.dll", win::TProcLibrary::TOpen::Load};
    win::TProc<BOOL(WINAPI*)(LPCWSTR, UINT)> SndPlaySound{Library, "sndPlaySoundW", &NoSound};
};

std::unique_ptr<TGlobalCtrl>& ControllerSlot() {
    static std::unique_ptr<TGlobalCtrl> slot;
    return slot;
}

}  // namespace

bool IsWindowsXPOrLater() {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(&info)) return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           (info.dwMajorVersion > 5 || (info.dwMajorVersion == 5 && info.dwMinorVersion > 0));
}

// ---- TBalloonHint ----

TBalloonHint::TBalloonHint() { TGlobalCtrl::Instance().Register(this); }

TBalloonHint::~TBalloonHint() {
    if (ControllerSlot()) ControllerSlot()->Unregister(this);
}

bool TBalloonHint::UseBalloonAsApplicationHint() const { return TGlobalCtrl::Instance().UseAsAppHint(); }

void TBalloonHint::SetUseBalloonAsApplicationHint(bool value) { TGlobalCtrl::Instance().SetUseAsAppHint(value); }

// ---- TGlobalCtrl ----

TGlobalCtrl& TGlobalCtrl::Instance() {
    auto& slot = ControllerSlot();
    if (!slot) slot.reset(new TGlobalCtrl());
    return *slot;
}

TGlobalCtrl::TGlobalCtrl() { LoadSounds(); }

// At the first drawing, not at creation: the list needs the common controls, which a program
// that shows no balloon need not load.
void TGlobalCtrl::MakeStdIcons() {
    if (stdIconsMade_) return;
    stdIconsMade_ = true;
    fixIconBackground_ = IsWindowsXPOrLater() && win::CommonControlsVersion() < MAKELONG(0, 6);
    UINT flags = IsWindowsXPOrLater() ? (ILC_COLOR32 | ILC_MASK) : ILC_COLOR;
    stdIcons_.reset(win::ImageListCreate(16, 16, flags, 5, 0));
    if (stdIcons_) win::ImageListSetBkColor(stdIcons_.get(), fixIconBackground_ ? GetSysColor(COLOR_INFOBK) : CLR_NONE);
    LoadStdIcons();
}

HIMAGELIST TGlobalCtrl::StdIcons() {
    MakeStdIcons();
    return stdIcons_.get();
}

bool TGlobalCtrl::FixIconBackground() {
    MakeStdIcons();
    return fixIconBackground_;
}

TGlobalCtrl::~TGlobalCtrl() {
    // At exit the hint machinery may already be gone: leave its window class alone.
    finalizing_ = true;
    ownHint_.reset();
}

void TGlobalCtrl::Register(TBalloonHint* hint) { hints_.push_back(hint); }

void TGlobalCtrl::Unregister(TBalloonHint* hint) {
    std::erase(hints_, hint);
    if (finalizing_) return;
    // The controller's own hidden component does not keep balloons switched on.
    bool onlyOwn = hints_.size() == 1 && ownHint_ && hints_.front() == ownHint_.get();
    if (hints_.empty() || onlyOwn) SetUseAsAppHint(false);
}

TBalloonHint& TGlobalCtrl::DefaultHint() {
    if (hints_.empty()) ownHint_ = std::make_unique<TBalloonHint>();
    return *hints_.front();
}

void TGlobalCtrl::SetUseAsAppHint(bool value) {
    if (designing_ || value == useAsAppHint_) {
        useAsAppHint_ = value;
        return;
    }
    win::CancelHint();
    if (value) {
        savedHintWindowClass_ = win::SetHintWindowClass(&CreateBalloonWindow);
    } else {
        win::HintWindowFactory saved = std::move(savedHintWindowClass_);
        savedHintWindowClass_ = nullptr;
        win::SetHintWindowClass(saved ? saved : win::HintWindowFactory(&win::CreateDefaultHintWindow));
    }
    useAsAppHint_ = value;
}

void TGlobalCtrl::LoadStdIcons() {
    if (!stdIcons_) return;
    HMODULE user32 = IsWindowsXPOrLater() ? GetModuleHandleW(L"user32.dll") : nullptr;
    HMODULE comctl32 = user32 ? nullptr : GetModuleHandleW(L"comctl32.dll");
    for (const StdIconSource& source : kStdIcons) {
        win::IconHandle own;
        if (user32) {
            own.reset(static_cast<HICON>(LoadImageW(user32, MAKEINTRESOURCEW(source.user32), IMAGE_ICON, 16, 16, 0)));
        } else if (comctl32 && source.comctl32) {
            own.reset(
                static_cast<HICON>(LoadImageW(comctl32, MAKEINTRESOURCEW(source.comctl32), IMAGE_ICON, 16, 16, 0)));
        }
        // A module without the resource falls back to the shared system icon,
        // so that the list keeps its five entries in order.
        HICON icon = own ? own.get() : LoadSystemIcon(source.system);
        win::ImageListAddIcon(stdIcons_.get(), icon);
    }
}

void TGlobalCtrl::LoadSounds() {
    sounds_.fill(std::string());
    for (size_t kind = 0; kind < sounds_.size(); ++kind) {
        std::wstring path = std::wstring(L"AppEvents\\Schemes\\Apps\\.Default\\") + kSoundEvents[kind] + L"\\.Current";
        HKEY raw = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) continue;
        win::RegKey key(raw);
        wchar_t value[4096] = {};
        DWORD size = sizeof(value) - sizeof(wchar_t);
        DWORD type = 0;
        if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
                ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            continue;
        wchar_t expanded[4096] = {};
        DWORD n = ExpandEnvironmentStringsW(value, expanded, 4096);
        if (n == 0 || n > 4096) continue;
        sounds_[kind] = win::Narrow(expanded);
    }
}

const std::string& TGlobalCtrl::Sound(TIconKind kind) const { return sounds_[static_cast<size_t>(kind)]; }

void TGlobalCtrl::PlaySoundOf(TIconKind kind) const {
    const std::string& name = Sound(kind);
    if (name.empty()) return;
    static TWinMM table;
    table.SndPlaySound.Get()(win::Wide(name).c_str(), SND_ASYNC | SND_NOSTOP);
}

void TGlobalCtrl::DrawIcon(HDC dc, TIconKind kind, int x, int y, COLORREF windowColor) {
    if (kind == ikNone) return;
    int index = kind - 2;
    if (kind == ikCustom) {
        TBalloonHint& hint = DefaultHint();
        int count = hint.Images ? win::ImageListGetImageCount(hint.Images) : 0;
        if (hint.DefaultImageIndex >= 0 && hint.DefaultImageIndex < count) {
            win::ImageListDraw(hint.Images, hint.DefaultImageIndex, dc, x, y, ILD_TRANSPARENT);
            return;
        }
        index = ikInformation - 2;
    }
    MakeStdIcons();
    if (!stdIcons_) return;
    if (fixIconBackground_ && win::ImageListGetBkColor(stdIcons_.get()) != windowColor) {
        // Old common controls draw the mask badly: give the icons the window's colour.
        win::ImageListRemoveAll(stdIcons_.get());
        win::ImageListSetBkColor(stdIcons_.get(), windowColor);
        LoadStdIcons();
    }
    win::ImageListDraw(stdIcons_.get(), index, dc, x, y, fixIconBackground_ ? ILD_NORMAL : ILD_TRANSPARENT);
}

}  // namespace quillan::balloon
