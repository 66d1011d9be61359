// Form storage against the real (redirected) registry.
#include <gtest/gtest.h>

#include "components/formstore/formstore_win.h"
#include "engine/settings/settings.h"
#include "framework/core/file_io.h"
#include "framework/controls/inifile.h"
#include "framework/core/exceptions.h"
#include "framework/win/text.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/temp_dir.h"

namespace quillan {
namespace {

using test::RegValue;
using test::ScratchRegistry;

class TTestForm : public win::TForm {
public:
    TTestForm() {
        CreateForm(L"TTestStoreForm", "Test", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, WS_EX_TOOLWINDOW,
                   400, 300, nullptr);
        deIDE = std::make_unique<win::TEdit>(hwnd_);
        cbHot = std::make_unique<win::TComboBox>(hwnd_);
        cbRestoreClpbrd = std::make_unique<win::TCheckBox>(hwnd_, "Restore");
        deIDE->Name = "deIDE";
        cbHot->Name = "cbHot";
        cbRestoreClpbrd->Name = "cbRestoreClpbrd";
        for (const char* item : HotKeyNames) cbHot->AddItem(item);
        cbHot->SetItemIndex(0);
        cbRestoreClpbrd->SetChecked(true);
        for (win::TControl* c : std::initializer_list<win::TControl*>{deIDE.get(), cbHot.get(), cbRestoreClpbrd.get()})
            RegisterComponent(*c);
        SetWindowPos(hwnd_, nullptr, 100, 120, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    std::string ClassName() const override { return "TOptionForm"; }
    std::unique_ptr<win::TEdit> deIDE;
    std::unique_ptr<win::TComboBox> cbHot;
    std::unique_ptr<win::TCheckBox> cbRestoreClpbrd;
};

std::unique_ptr<TFormStore> MakeStore(TTestForm& form,
                                      std::vector<std::string> props = {"deIDE.Text", "cbHot.ItemIndex",
                                                                        "cbRestoreClpbrd.Checked"}) {
    auto store = std::make_unique<TFormStore>(form);
    store->Active = false;
    store->UseRegistry = true;
    store->SetStoredProps(props);
    store->Loaded();
    return store;
}

// Records the value names written, then passes them on to the registry.
class TRecordingStore : public TFormStore {
public:
    TRecordingStore(win::TForm& form, std::vector<std::string>& names) : TFormStore(form), names_(names) {
        Active = false;
        UseRegistry = true;
        SetStoredProps({"deIDE.Text", "cbHot.ItemIndex", "cbRestoreClpbrd.Checked"});
        Loaded();
    }

protected:
    std::unique_ptr<TPlacementStorage> OpenStorage(bool forWriting) const override {
        struct Recorder : TPlacementStorage {
            std::unique_ptr<TPlacementStorage> inner;
            std::vector<std::string>* names;
            std::string ReadString(const std::string& s, const std::string& n, const std::string& d) override {
                return inner->ReadString(s, n, d);
            }
            void WriteString(const std::string& s, const std::string& n, const std::string& v) override {
                names->push_back(n);
                inner->WriteString(s, n, v);
            }
        };
        auto recorder = std::make_unique<Recorder>();
        recorder->inner = TFormStore::OpenStorage(forWriting);
        recorder->names = &names_;
        return recorder;
    }

private:
    std::vector<std::string>& names_;
};

std::wstring SectionKey() { return win::Wide("Software\\" + ExecutableStem(win::ModuleFileName()) + "\\TOptionForm"); }

std::wstring Value(const wchar_t* name) {
    std::wstring out;
    if (!RegValue(SectionKey(), name, out)) return L"<absent>";
    return out;
}

WINDOWPLACEMENT Placement(TTestForm& form) {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    GetWindowPlacement(form.Handle(), &wp);
    return wp;
}

std::wstring Wres(const char* base) { return win::Wide(base + ResolutionSuffix()); }

TEST(FormStore, SaveWritesEveryValueInItsTextForm) {
    ScratchRegistry registry;
    TTestForm form;
    form.deIDE->SetText("  C:\\Templates  ");
    form.cbHot->SetItemIndex(2);
    form.cbRestoreClpbrd->SetChecked(false);
    MakeStore(form)->SaveFormState();

    EXPECT_EQ(Value(L"FormVersion"), L"0");
    EXPECT_EQ(Value(L"ShowCmd"), L"1");
    EXPECT_EQ(Value(L"PixelsPerInch"), std::to_wstring(form.PixelsPerInch()));
    EXPECT_EQ(Value(L"Visible"), L"0");
    EXPECT_EQ(Value(L"NormPos"), L"100,120,500,420");
    EXPECT_EQ(Value(Wres("NormPos").c_str()), L"100,120,500,420");
    EXPECT_EQ(Value(Wres("MinMaxPos").c_str()), Value(L"MinMaxPos"));
    EXPECT_NE(Value(L"Flags"), L"<absent>");
    EXPECT_EQ(Value(L"deIDE_Text"), L"C:\\Templates");
    EXPECT_EQ(Value(L"cbHot_ItemIndex"), L"2");
    EXPECT_EQ(Value(L"cbRestoreClpbrd_Checked"), L"False");

    // The values are written in this order (the registry does not keep an order: record the calls).
    std::vector<std::string> names;
    TRecordingStore recorder(form, names);
    recorder.SaveFormState();
    std::vector<std::string> expected = {"FormVersion",
                                         "Flags",
                                         "ShowCmd",
                                         "PixelsPerInch",
                                         "MinMaxPos" + ResolutionSuffix(),
                                         "MinMaxPos",
                                         "NormPos" + ResolutionSuffix(),
                                         "NormPos",
                                         "Visible",
                                         "deIDE_Text",
                                         "cbHot_ItemIndex",
                                         "cbRestoreClpbrd_Checked"};
    EXPECT_EQ(names, expected);
}

TEST(FormStore, RoundTripAndCaseInsensitiveEntries) {
    ScratchRegistry registry;
    {
        TTestForm form;
        form.deIDE->SetText("D:\\Папка");
        form.cbHot->SetItemIndex(1);
        form.cbRestoreClpbrd->SetChecked(false);
        MakeStore(form, {"deide.text", " CBHOT . itemindex ", "cbRestoreClpbrd.checked"})->SaveFormState();
    }
    EXPECT_EQ(Value(L"deIDE_Text"), L"D:\\Папка");
    EXPECT_EQ(Value(L"cbHot_ItemIndex"), L"1");
    EXPECT_EQ(Value(L"deide_text"), L"D:\\Папка");  // registry names are case-insensitive anyway

    TTestForm form;
    auto store = MakeStore(form);
    store->RestoreFormState();
    EXPECT_EQ(form.deIDE->Text(), "D:\\Папка");
    EXPECT_EQ(form.cbHot->ItemIndex(), 1);
    EXPECT_FALSE(form.cbRestoreClpbrd->Checked());
    EXPECT_TRUE(store->HasRestored());
}

TEST(FormStore, FirstRunRestoresNothingButCreatesTheKey) {
    ScratchRegistry registry;
    TTestForm form;
    RECT before;
    GetWindowRect(form.Handle(), &before);
    MakeStore(form)->RestoreFormState();
    RECT after;
    GetWindowRect(form.Handle(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ(form.cbHot->ItemIndex(), 0);
    EXPECT_TRUE(form.cbRestoreClpbrd->Checked());
    EXPECT_TRUE(test::RegKeyExists(win::Wide("Software\\" + ExecutableStem(win::ModuleFileName()))));
}

TEST(FormStore, StoredTextsThatNameNoMemberOrNumber) {
    ScratchRegistry registry;
    struct Case {
        const wchar_t* checked;
        const wchar_t* hot;
        bool wantChecked;
        int wantHot;
    };
    const Case cases[] = {
        {L"1", L"2", true, 2},         // "1" names no member: the box keeps its state
        {L"false", L" 1 ", false, 1},  // member names match in any case; text is trimmed
        {L"FALSE", L"abc", false, 0},  // invalid integer text gives 0
        {L"0", L"", true, 0},          // empty integer text gives 0 too
    };
    for (const Case& c : cases) {
        test::SetRegString(SectionKey(), L"cbRestoreClpbrd_Checked", c.checked);
        test::SetRegString(SectionKey(), L"cbHot_ItemIndex", c.hot);
        TTestForm form;
        form.cbHot->SetItemIndex(1);
        MakeStore(form)->RestoreFormState();
        EXPECT_EQ(form.cbRestoreClpbrd->Checked(), c.wantChecked) << win::Narrow(c.checked);
        EXPECT_EQ(form.cbHot->ItemIndex(), c.wantHot) << win::Narrow(c.hot);
    }
}

TEST(FormStore, PlacementFollowsResolutionAndPixelsRules) {
    ScratchRegistry registry;
    std::wstring ppi;
    {
        TTestForm form;
        MakeStore(form)->SaveFormState();
        ppi = Value(L"PixelsPerInch");
    }
    // Another resolution: only the plain value of the last save exists.
    RegDeleteKeyValueW(HKEY_CURRENT_USER, SectionKey().c_str(), Wres("NormPos").c_str());
    test::SetRegString(SectionKey(), L"NormPos", L"30,40,530,440");
    {
        TTestForm form;
        MakeStore(form)->RestoreFormState();
        WINDOWPLACEMENT wp = Placement(form);
        EXPECT_EQ(wp.rcNormalPosition.left, 30);
        EXPECT_EQ(wp.rcNormalPosition.top, 40);
        EXPECT_EQ(wp.rcNormalPosition.right, 530);
        EXPECT_EQ(wp.rcNormalPosition.bottom, 440);
    }
    // The resolution-specific value is preferred.
    test::SetRegString(SectionKey(), Wres("NormPos"), L"50,60,550,460");
    {
        TTestForm form;
        MakeStore(form)->RestoreFormState();
        WINDOWPLACEMENT wp = Placement(form);
        EXPECT_EQ(wp.rcNormalPosition.left, 50);
    }
    // Other logical pixels per inch: the stored position is ignored.
    test::SetRegString(SectionKey(), L"PixelsPerInch", ppi + L"0");
    {
        TTestForm form;
        MakeStore(form)->RestoreFormState();
        WINDOWPLACEMENT wp = Placement(form);
        EXPECT_EQ(wp.rcNormalPosition.left, 100);
        EXPECT_EQ(wp.rcNormalPosition.top, 120);
    }
}

TEST(FormStore, RegistryErrors) {
    ScratchRegistry registry;
    // A value of the wrong type: the property pass skips the property...
    test::SetRegDword(SectionKey(), L"deIDE_Text", 5);
    test::SetRegString(SectionKey(), L"cbHot_ItemIndex", L"2");
    {
        TTestForm form;
        form.deIDE->SetText("kept");
        MakeStore(form)->RestoreFormState();
        EXPECT_EQ(form.deIDE->Text(), "kept");
        EXPECT_EQ(form.cbHot->ItemIndex(), 2);
    }
    // ...and a placement value of the wrong type reads as missing: the restore goes on
    // to the settings, so a save afterwards keeps them.
    test::SetRegDword(SectionKey(), L"FormVersion", 0);
    test::SetRegDword(SectionKey(), L"Flags", 1);
    test::SetRegDword(SectionKey(), L"NormPos", 7);
    test::SetRegString(SectionKey(), L"deIDE_Text", L"C:\\Шаблоны");
    TTestForm form;
    auto store = MakeStore(form);
    store->RestoreFormState();
    EXPECT_EQ(form.deIDE->Text(), "C:\\Шаблоны");
    EXPECT_EQ(form.cbHot->ItemIndex(), 2);
    store->SaveFormState();
    EXPECT_EQ(Value(L"deIDE_Text"), L"C:\\Шаблоны");
    EXPECT_EQ(Value(L"cbHot_ItemIndex"), L"2");
    EXPECT_EQ(Value(L"FormVersion"), L"0");  // written back as text
}

TEST(FormStore, EntriesResolveAgainstTheFormsComponents) {
    ScratchRegistry registry;
    TTestForm form;
    auto store = MakeStore(form, {"deIDE.Text", "nodot", ".Text", "cbHot.", "missing.Text", "cbHot.ItemIndex"});
    EXPECT_EQ(store->StoredProps(), (std::vector<std::string>{"deIDE.Text", "cbHot.ItemIndex"}));
    // A component renamed at run time keeps its entry, under its new name.
    form.deIDE->Name = "deFolder";
    form.deIDE->SetText("x");
    store->SaveFormState();
    EXPECT_EQ(Value(L"deFolder_Text"), L"x");
    EXPECT_EQ(Value(L"deIDE_Text"), L"<absent>");
    EXPECT_EQ(store->StoredProps(), (std::vector<std::string>{"deFolder.Text", "cbHot.ItemIndex"}));
}

TEST(FormStore, ActiveStorageDoesNotSaveBeforeItRestored) {
    ScratchRegistry registry;
    TTestForm form;
    auto store = MakeStore(form);
    store->Active = true;
    store->SaveFormState();
    EXPECT_EQ(Value(L"FormVersion"), L"<absent>");
    store->RestoreFormState();
    store->SaveFormState();
    EXPECT_EQ(Value(L"FormVersion"), L"0");
}

TEST(FormStore, ActiveStorageFollowsTheFormsShowCloseAndDestroy) {
    ScratchRegistry registry;
    test::SetRegString(SectionKey(), L"cbHot_ItemIndex", L"2");
    {
        TTestForm form;
        auto store = MakeStore(form);
        store->Active = true;
        form.Show();  // restores first
        EXPECT_EQ(form.cbHot->ItemIndex(), 2);
        form.cbHot->SetItemIndex(1);
        form.Close();  // saves
        EXPECT_EQ(Value(L"cbHot_ItemIndex"), L"1");
        EXPECT_EQ(Value(L"Visible"), L"0");
        form.Show();
        form.cbHot->SetItemIndex(0);
    }  // destroyed without a save since the last restore: saved now
    EXPECT_EQ(Value(L"cbHot_ItemIndex"), L"0");
    EXPECT_EQ(Value(L"Visible"), L"1");
}

TEST(FormStore, IniFileVariantRoundTrips) {
    ScratchRegistry registry;
    test::TempDir dir;
    std::string ini = dir.Path() + "store.ini";
    {
        TTestForm form;
        auto store = MakeStore(form);
        store->UseRegistry = false;
        store->IniFileName = ini;
        form.deIDE->SetText("E:\\Шаблоны");
        form.cbHot->SetItemIndex(2);
        store->SaveFormState();
    }
    win::TIniFile file(ini);
    EXPECT_EQ(file.ReadString("TOptionForm", "deIDE_Text", "?"), "E:\\Шаблоны");
    EXPECT_EQ(file.ReadString("TOptionForm", "cbRestoreClpbrd_Checked", "?"), "True");
    EXPECT_EQ(file.ReadString("TOptionForm", "NormPos", "?"), "100,120,500,420");
    EXPECT_EQ(Value(L"FormVersion"), L"<absent>");  // nothing went to the registry
    TTestForm form;
    auto store = MakeStore(form);
    store->UseRegistry = false;
    store->IniFileName = ini;
    store->RestoreFormState();
    EXPECT_EQ(form.deIDE->Text(), "E:\\Шаблоны");
    EXPECT_EQ(form.cbHot->ItemIndex(), 2);
}

}  // namespace
}  // namespace quillan
