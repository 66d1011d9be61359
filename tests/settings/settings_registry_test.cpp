// The settings readers and the registry class against the real registry,
// redirected to a scratch key.
#include <windows.h>

#include "engine/settings/settings_reader.h"
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/registry/registry_win.h"
#include "framework/win/text.h"
#include "tests/support/scratch_registry.h"

namespace quillan {
namespace {

constexpr const char* kKey = "\\Software\\settings_registry_tests\\TOptionForm";

class SettingsTest : public test::ScratchRegistryTest {
protected:
    void SetText(const char* name, const std::string& value) {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(kKey, true));
        registry.WriteString(name, value);
    }
    void SetDword(const char* name, DWORD value) {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(kKey, true));
        ASSERT_EQ(RegSetValueExW(registry.CurrentKey(), win::Wide(name).c_str(), 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&value), sizeof(value)),
                  ERROR_SUCCESS);
    }
    static std::string ExeFolder() { return ExtractFilePath(win::ModuleFileName()); }
};

TEST_F(SettingsTest, KeyIsNamedAfterTheExecutable) { EXPECT_EQ(GetSettingsKeyPath(), kKey); }

TEST_F(SettingsTest, AbsentKeyGivesDefaultsAndIsCreated) {
    EXPECT_FALSE(TRegistry().KeyExists(kKey));
    EXPECT_EQ(GetTemplateFilePath(), ExeFolder() + "hot.ini");
    EXPECT_TRUE(TRegistry().KeyExists(kKey));
    EXPECT_TRUE(ReadRestoreClipboard());  // never stored: the dialog's default, checked
    std::string hint;
    EXPECT_EQ(ReadHotKeyChoice([&](const std::string& h) { hint = h; }), 0);
    EXPECT_EQ(hint, "Quillan (Ctrl + Win + H)");
}

TEST_F(SettingsTest, FolderFollowsThePathRule) {
    const struct {
        const char* stored;
        std::string expected;
    } cases[] = {
        {"D", "D:\\hot.ini"}, {"C:\\Data", "C:\\Data\\hot.ini"}, {"C:\\Data\\", "C:\\Data\\hot.ini"},
        {"C:", "C:hot.ini"},  {"", ExeFolder() + "hot.ini"},     {"D:\\Шаблоны", "D:\\Шаблоны\\hot.ini"},
    };
    for (const auto& c : cases) {
        SetText("deIDE_Text", c.stored);
        EXPECT_EQ(GetTemplateFilePath(), c.expected) << c.stored;
    }
}

TEST_F(SettingsTest, RestoreFlagIsOnOnlyForTrue) {
    const struct {
        const char* stored;
        bool expected;
    } cases[] = {{"True", true}, {"1", false}, {"true", false}, {"False", false}, {"", false}};
    for (const auto& c : cases) {
        SetText("cbRestoreClpbrd_Checked", c.stored);
        EXPECT_EQ(ReadRestoreClipboard(), c.expected) << c.stored;
    }
}

TEST_F(SettingsTest, HotKeyChoiceAndHint) {
    const struct {
        const char* stored;
        int index;
        const char* hint;
    } cases[] = {
        {"", 0, "Quillan (Ctrl + Win + H)"},
        {"abc", 0, "Quillan (Ctrl + Win + H)"},
        {"1", 1, "Quillan (Shift + Win + H)"},
        {"2", 2, "Quillan (Alt + Win + H)"},
        {"7", 7, "Quillan"},
        {"-1", -1, "Quillan"},
    };
    for (const auto& c : cases) {
        SetText("cbHot_ItemIndex", c.stored);
        std::string hint = "unchanged";
        EXPECT_EQ(ReadHotKeyChoice([&](const std::string& h) { hint = h; }), c.index) << c.stored;
        EXPECT_EQ(hint, c.hint) << c.stored;
    }
    EXPECT_EQ(ReadHotKeyChoice(nullptr), -1);  // no hint setter: only the index
}

// A number where text belongs reads as that setting's default, and never takes
// the other settings with it.
TEST_F(SettingsTest, ValueOfAnotherTypeReadsAsItsDefault) {
    SetText("deIDE_Text", "C:\\Data");
    SetText("cbHot_ItemIndex", "2");
    SetDword("cbRestoreClpbrd_Checked", 0);
    EXPECT_TRUE(ReadRestoreClipboard());  // as never stored: the check box's default
    EXPECT_EQ(ReadHotKeyChoice(nullptr), 2);
    EXPECT_EQ(GetTemplateFilePath(), "C:\\Data\\hot.ini");

    SetText("cbRestoreClpbrd_Checked", "False");
    SetDword("cbHot_ItemIndex", 1);
    std::string hint;
    EXPECT_EQ(ReadHotKeyChoice([&](const std::string& h) { hint = h; }), 0);
    EXPECT_EQ(hint, "Quillan (Ctrl + Win + H)");
    EXPECT_FALSE(ReadRestoreClipboard());

    SetDword("deIDE_Text", 3);
    EXPECT_EQ(GetTemplateFilePath(), ExeFolder() + "hot.ini");
    EXPECT_FALSE(ReadRestoreClipboard());
}

TEST_F(SettingsTest, UnopenableKeyGivesItsOwnDefaults) {
    MakeSoftwareVolatile();
    std::string hint = "unchanged";
    EXPECT_TRUE(ReadRestoreClipboard());
    EXPECT_EQ(ReadHotKeyChoice([&](const std::string& h) { hint = h; }), 0);
    EXPECT_EQ(hint, "unchanged");
    EXPECT_EQ(GetTemplateFilePath(), ExeFolder() + "hot.ini");
}

class RegistryTest : public test::ScratchRegistryTest {};

TEST_F(RegistryTest, TextRoundTripsThroughTheWideApi) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\Software\\Ключ", true));
    EXPECT_EQ(registry.CurrentPath(), "\\Software\\Ключ");
    ASSERT_TRUE(registry.OpenKey("Sub", true));  // relative to the open key
    EXPECT_EQ(registry.CurrentPath(), "\\Software\\Ключ\\Sub");
    registry.WriteString("Имя", "Общие \xB9 text");
    EXPECT_TRUE(registry.ValueExists("Имя"));
    EXPECT_EQ(registry.ReadString("Имя"), "Общие \xB9 text");
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(registry.CurrentKey(), L"\x0418\x043C\x044F", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, (std::wstring(L"Общие № text").size() + 1) * sizeof(wchar_t));  // with its zero
    EXPECT_EQ(registry.ReadString("absent"), "");
    EXPECT_TRUE(registry.DeleteValue("Имя"));
    EXPECT_FALSE(registry.ValueExists("Имя"));
    EXPECT_FALSE(registry.DeleteValue("Имя"));
    EXPECT_TRUE(registry.KeyExists("\\Software\\Ключ\\Sub"));
}

TEST_F(RegistryTest, ExpandTextAndTextWithoutZeroAreRead) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\Software\\T", true));
    const wchar_t expand[] = L"%TEMP%\\x";
    RegSetValueExW(registry.CurrentKey(), L"e", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand),
                   sizeof(expand));
    EXPECT_EQ(registry.ReadString("e"), "%TEMP%\\x");
    const wchar_t bare[] = {L'a', L'b'};
    RegSetValueExW(registry.CurrentKey(), L"bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(bare), sizeof(bare));
    EXPECT_EQ(registry.ReadString("bare"), "ab");
    const wchar_t inner[] = L"ab\0cd";
    RegSetValueExW(registry.CurrentKey(), L"inner", 0, REG_SZ, reinterpret_cast<const BYTE*>(inner), sizeof(inner));
    EXPECT_EQ(registry.ReadString("inner"), "ab");
}

TEST_F(RegistryTest, ReadOnlyKeyRefusesWrites) {
    TRegistry writer;
    ASSERT_TRUE(writer.OpenKey("\\Software\\T", true));
    writer.WriteString("v", "x");
    writer.CloseKey();
    TRegistry reader;
    ASSERT_TRUE(reader.OpenKeyReadOnly("\\Software\\T"));
    EXPECT_EQ(reader.ReadString("v"), "x");
    try {
        reader.WriteString("v", "y");
        FAIL() << "write through a read-only key";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'v'");
    }
    EXPECT_FALSE(reader.OpenKeyReadOnly("\\Software\\Missing"));
    EXPECT_EQ(reader.CurrentPath(), "\\Software\\T");  // a failed open keeps the open key
}

TEST_F(RegistryTest, KeyThatCannotBeCreated) {
    MakeSoftwareVolatile();
    TRegistry creator;
    EXPECT_FALSE(creator.OpenKey("\\Software\\New", true));
    try {
        creator.CreateKey("\\Software\\New");
        FAIL() << "created below a read-only key";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Failed to create key \\Software\\New");
    }
}

}  // namespace
}  // namespace quillan
