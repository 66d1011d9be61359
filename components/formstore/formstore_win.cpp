#include "components/formstore/formstore_win.h"

#include <algorithm>
#include <cstdio>

#include "components/formstore/storage.h"
#include "framework/core/convert.h"
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/win/application_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan {
namespace {

constexpr const char* kFormVersion = "FormVersion";
constexpr const char* kFlags = "Flags";
constexpr const char* kShowCmd = "ShowCmd";
constexpr const char* kPixels = "PixelsPerInch";
constexpr const char* kMinMaxPos = "MinMaxPos";
constexpr const char* kNormPos = "NormPos";
constexpr const char* kVisible = "Visible";
constexpr const char* kActiveControl = "ActiveControl";

int ScreenPixelsPerInch() {
    win::WindowDC dc(nullptr);
    return GetDeviceCaps(dc.get(), LOGPIXELSY);
}

std::string FourInts(int a, int b, int c, int d) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%d,%d,%d,%d", a, b, c, d);
    return buffer;
}

}  // namespace

bool TWinMinMaxInfo::DefaultMinMaxInfo() const {
    return MaxPosLeft == 0 && MaxPosTop == 0 && MaxSizeHeight == 0 && MaxSizeWidth == 0 && MaxTrackHeight == 0 &&
           MaxTrackWidth == 0 && MinTrackHeight == 0 && MinTrackWidth == 0;
}

std::string ResolutionSuffix() {
    char buffer[48];
    std::snprintf(buffer, sizeof(buffer), "(%dx%d)", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return buffer;
}

std::array<int, 4> SplitPosition(const std::string& text) {
    std::array<int, 4> result = {0, 0, 0, 0};
    size_t pos = 0;
    for (int& value : result) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == ',')) ++pos;
        size_t end = text.find_first_of(" ,", pos);
        if (end == std::string::npos) end = text.size();
        value = StrToIntDef(std::string_view(text).substr(pos, end - pos), 0);
        pos = end;
    }
    return result;
}

TPlacementStore::TPlacementStore(win::TForm& owner) : owner_(owner) {
    showHook_ = owner_.AddFormHook(win::TForm::THookKind::Show, [this] {
        if (Active) RestoreFormState();
    });
    closeHook_ = owner_.AddFormHook(win::TForm::THookKind::Close, [this] {
        if (Active && owner_.Handle()) SaveFormState();
    });
}

TPlacementStore::~TPlacementStore() {
    SaveOnDestroy();
    owner_.RemoveFormHook(showHook_);
    owner_.RemoveFormHook(closeHook_);
}

void TPlacementStore::SaveOnDestroy() noexcept {
    if (!Active || hasSaved_ || !owner_.Handle()) return;
    savingOnDestroy_ = true;
    win::Guarded([this] { SaveFormState(); });
    savingOnDestroy_ = false;
}

std::string TPlacementStore::StorageKey() const {
    if (!IniFileName.empty()) return IniFileName;
    return "Software\\" + ExecutableStem(win::ModuleFileName(nullptr));
}

std::string TPlacementStore::StorageSection() const { return IniSection.empty() ? owner_.ClassName() : IniSection; }

std::unique_ptr<TPlacementStorage> TPlacementStore::OpenStorage(bool forWriting) const {
    if (UseRegistry) return MakeRegistryStorage(RegistryRoot, StorageKey(), forWriting);
    std::string file = IniFileName;
    if (file.empty()) file = ExecutableStem(win::ModuleFileName(nullptr)) + ".INI";
    return MakeIniStorage(file);
}

std::string TPlacementStore::ReadString(const std::string& name, const std::string& defaultValue) {
    if (storage_) return storage_->ReadString(StorageSection(), name, defaultValue);
    return OpenStorage(false)->ReadString(StorageSection(), name, defaultValue);
}

void TPlacementStore::WriteString(const std::string& name, const std::string& value) {
    if (storage_) return storage_->WriteString(StorageSection(), name, value);
    OpenStorage(true)->WriteString(StorageSection(), name, value);
}

int TPlacementStore::ReadInteger(const std::string& name, int defaultValue) {
    return StrToIntDef(ReadString(name, IntToStr(defaultValue)), defaultValue);
}

void TPlacementStore::WriteInteger(const std::string& name, int value) { WriteString(name, IntToStr(value)); }

TPropsStore TPlacementStore::MakePropsStore() {
    return TPropsStore(
        StorageSection(),
        [this](const std::string& s, const std::string& n, const std::string& d) {
            return storage_->ReadString(s, n, d);
        },
        [this](const std::string& s, const std::string& n, const std::string& v) { storage_->WriteString(s, n, v); });
}

void TPlacementStore::SaveFormState() {
    // An active storage never overwrites stored data before it has restored once.
    if (!hasRestored_ && Active) return;
    struct Closer {
        std::unique_ptr<TPlacementStorage>& s;
        ~Closer() { s.reset(); }
    } closer{storage_};
    storage_ = OpenStorage(true);
    WriteInteger(kFormVersion, Version);
    SavePlacement();
    TPropsStore props = MakePropsStore();
    SaveProps(props);
    if (OnSavePlacement) OnSavePlacement();
    hasSaved_ = true;
}

void TPlacementStore::SavePlacement() {
    if (!Options.fpState && !Options.fpPosition) return;
    HWND hwnd = owner_.Handle();
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    GetWindowPlacement(hwnd, &wp);
    if (hwnd == win::Application().MainFormHandle && IsIconic(win::Application().Handle()))
        wp.showCmd = SW_SHOWMINIMIZED;
    WriteInteger(kFlags, static_cast<int>(wp.flags));
    WriteInteger(kShowCmd, static_cast<int>(wp.showCmd));
    WriteInteger(kPixels, ScreenPixelsPerInch());
    std::string suffix = ResolutionSuffix();
    std::string minMax = FourInts(wp.ptMinPosition.x, wp.ptMinPosition.y, wp.ptMaxPosition.x, wp.ptMaxPosition.y);
    WriteString(kMinMaxPos + suffix, minMax);
    WriteString(kMinMaxPos, minMax);
    const RECT& r = wp.rcNormalPosition;
    std::string norm = FourInts(r.left, r.top, r.right, r.bottom);
    WriteString(kNormPos + suffix, norm);
    WriteString(kNormPos, norm);
    WriteString(kVisible, savingOnDestroy_ ? "1" : "0");
    if (Options.fpActiveControl) {
        win::TControl* active = win::TControl::FromHandle(GetFocus());
        if (active && IsChild(hwnd, active->Handle())) WriteString(kActiveControl, active->Name);
    }
}

void TPlacementStore::RestoreFormState() {
    hasSaved_ = false;
    {
        struct Closer {
            std::unique_ptr<TPlacementStorage>& s;
            ~Closer() { s.reset(); }
        } closer{storage_};
        storage_ = OpenStorage(false);
        if (ReadInteger(kFormVersion, 0) >= Version) {
            RestorePlacement();
            hasRestored_ = true;
            TPropsStore props = MakePropsStore();
            try {
                RestoreProps(props);
            } catch (const std::exception&) {
                // A failing property pass leaves the remaining properties as they are.
            }
            if (OnRestorePlacement) OnRestorePlacement();
            if (Options.fpActiveControl) {
                win::TControl* control = owner_.FindComponent(ReadString(kActiveControl, ""));
                if (control && control->Enabled()) control->SetFocus();
            }
        }
        hasRestored_ = true;
    }
    if (MinMaxInfo.DefaultMinMaxInfo() && !PreventResize) AdjustMaxPosition();
}

void TPlacementStore::RestorePlacement() {
    if (!Options.fpState && !Options.fpPosition) return;
    HWND hwnd = owner_.Handle();
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    GetWindowPlacement(hwnd, &wp);
    if (!IsWindowVisible(hwnd)) wp.showCmd = SW_HIDE;
    if (Options.fpPosition) RestorePosition(wp);
    if (Options.fpState) RestoreState();
}

void TPlacementStore::RestorePosition(WINDOWPLACEMENT& wp) {
    HWND hwnd = owner_.Handle();
    wp.flags = static_cast<UINT>(ReadInteger(kFlags, static_cast<int>(wp.flags)));
    std::string suffix = ResolutionSuffix();
    // The value of this resolution is preferred; the plain one is the last saved at any resolution.
    std::string minMax = ReadString(kMinMaxPos + suffix, "");
    if (minMax.empty()) minMax = ReadString(kMinMaxPos, "");
    std::string norm = ReadString(kNormPos + suffix, "");
    if (norm.empty()) norm = ReadString(kNormPos, "");
    int pixels = ReadInteger(kPixels, ScreenPixelsPerInch());
    if ((minMax.empty() && norm.empty()) || pixels != ScreenPixelsPerInch()) return;
    auto mm = SplitPosition(minMax);
    wp.ptMinPosition = {mm[0], mm[1]};
    wp.ptMaxPosition = {mm[2], mm[3]};
    RECT current = wp.rcNormalPosition;
    std::array<int, 4> n = norm.empty() ? std::array<int, 4>{current.left, current.top, current.right, current.bottom}
                                        : SplitPosition(norm);
    if (!owner_.Sizeable()) {
        // A fixed-size form keeps its size; only the place is restored.
        n[2] = n[0] + (current.right - current.left);
        n[3] = n[1] + (current.bottom - current.top);
    }
    if (n[0] >= n[2]) return;
    wp.rcNormalPosition = {n[0], n[1], n[2], n[3]};
    SetWindowPlacement(hwnd, &wp);
}

void TPlacementStore::RestoreState() {
    HWND hwnd = owner_.Handle();
    int showCmd = ReadInteger(kShowCmd, 0);
    int state = SW_SHOWNORMAL;
    if (showCmd == 2 || showCmd == 6 || showCmd == 7) state = SW_SHOWMINIMIZED;
    if (showCmd == 3) state = SW_SHOWMAXIMIZED;
    bool mainForm = !win::Application().MainFormHandle || win::Application().MainFormHandle == hwnd;
    if (state == SW_SHOWMINIMIZED && mainForm) {
        owner_.InitialShowCmd = SW_SHOWNORMAL;
        PostMessageW(win::Application().Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return;
    }
    // A hidden form takes the state when it is shown.
    owner_.InitialShowCmd = state;
    if (IsWindowVisible(hwnd)) ShowWindow(hwnd, state);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void TPlacementStore::AdjustMaxPosition() {
    HWND hwnd = owner_.Handle();
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    GetWindowPlacement(hwnd, &wp);
    LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    int frame = 0;
    if (style & WS_THICKFRAME)
        frame = GetSystemMetrics(SM_CXFRAME);
    else if (style & (WS_DLGFRAME | WS_BORDER))
        frame = GetSystemMetrics(SM_CXDLGFRAME);
    wp.ptMaxPosition = {-frame, -frame};
    if (!IsWindowVisible(hwnd)) wp.showCmd = SW_HIDE;
    SetWindowPlacement(hwnd, &wp);
}

void TFormStore::SetStoredProps(const std::vector<std::string>& entries) {
    entries_.clear();
    for (const std::string& entry : entries) {
        size_t dot = entry.find('.');
        if (dot == std::string::npos) continue;
        TEntry e{Trim(entry.substr(0, dot)), Trim(entry.substr(dot + 1)), nullptr};
        if (e.Component.empty() || e.Property.empty()) continue;
        entries_.push_back(std::move(e));
    }
}

std::vector<std::string> TFormStore::StoredProps() const {
    std::vector<std::string> result;
    for (const TEntry& e : entries_) result.push_back(e.Component + "." + e.Property);
    return result;
}

void TFormStore::Loaded() {
    for (TEntry& e : entries_) e.Object = Owner().FindComponent(e.Component);
    std::erase_if(entries_, [](const TEntry& e) { return e.Object == nullptr; });
}

// Entries follow their component's current name; those whose component is gone are dropped.
void TFormStore::UpdateEntries() {
    const auto& components = Owner().Components();
    std::erase_if(entries_, [&](const TEntry& e) {
        return std::find(components.begin(), components.end(), e.Object) == components.end();
    });
    for (TEntry& e : entries_) e.Component = e.Object->Name;
}

void TFormStore::SaveProps(TPropsStore& store) {
    UpdateEntries();
    for (TEntry& e : entries_) store.StoreProperty(*e.Object, e.Property);
    for (TStoredValue& v : StoredValues) {
        if (v.OnSave) v.OnSave(v);
        WriteString(v.KeyString.empty() ? v.Name : v.KeyString, v.Value);
    }
}

void TFormStore::RestoreProps(TPropsStore& store) {
    UpdateEntries();
    for (TEntry& e : entries_) {
        try {
            store.LoadProperty(*e.Object, e.Property);
        } catch (const std::exception&) {
            // A property that cannot be read keeps its value.
        }
    }
    for (TStoredValue& v : StoredValues) {
        v.Value = ReadString(v.KeyString.empty() ? v.Name : v.KeyString, v.Value);
        if (v.OnRestore) v.OnRestore(v);
    }
}

}  // namespace quillan
