// The platform-free settings rules: hotkey index text, tray hint, restore flag,
// the stored names and the key path.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/settings/settings.h"

namespace quillan {
namespace {

TEST(HotKeyIndex, TextToIndex) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"", 0}, {"abc", 0}, {"1", 1}, {"2", 2}, {"7", 7}, {"-1", -1}, {"$1", 0}, {"1x", 0}, {" 1", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseHotKeyIndex(c.text), c.expected) << "'" << c.text << "'";
}

TEST(HotKeyIndex, ValidRangeAndTable) {
    EXPECT_FALSE(IsValidHotKeyIndex(-1));
    EXPECT_TRUE(IsValidHotKeyIndex(0));
    EXPECT_TRUE(IsValidHotKeyIndex(2));
    EXPECT_FALSE(IsValidHotKeyIndex(3));
    // Ctrl|Win, Shift|Win, Alt|Win: MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4, MOD_WIN 8.
    EXPECT_EQ(HotKeyModifiers[0], 0x02u | 0x08u);
    EXPECT_EQ(HotKeyModifiers[1], 0x04u | 0x08u);
    EXPECT_EQ(HotKeyModifiers[2], 0x01u | 0x08u);
}

TEST(TrayHint, NamesTheHotKey) {
    EXPECT_EQ(TrayHintText(0), "Quillan (Ctrl + Win + H)");
    EXPECT_EQ(TrayHintText(1), "Quillan (Shift + Win + H)");
    EXPECT_EQ(TrayHintText(2), "Quillan (Alt + Win + H)");
    // No hotkey is registered for these: the hint names none.
    EXPECT_EQ(TrayHintText(3), "Quillan");
    EXPECT_EQ(TrayHintText(-1), "Quillan");
}

TEST(RestoreFlag, OnlyTheCheckedTextIsOn) {
    EXPECT_TRUE(ParseRestoreFlag("True"));
    for (const char* off : {"", "1", "true", "TRUE", "False", "True "}) EXPECT_FALSE(ParseRestoreFlag(off)) << off;
}

// The stored names are the registry format every earlier version wrote: a control
// renamed in the table without keeping its value name fails to build (the table's
// own check), one that keeps it fails here.
TEST(StoredSettings, NamesAreTheStoredFormat) {
    EXPECT_STREQ(kSettingsSection, "TOptionForm");
    EXPECT_STREQ(kFolderValue, "deIDE_Text");
    EXPECT_STREQ(kHotKeyValue, "cbHot_ItemIndex");
    EXPECT_STREQ(kRestoreValue, "cbRestoreClpbrd_Checked");
    EXPECT_EQ(StoredSettingEntries(),
              (std::vector<std::string>{"deIDE.Text", "cbHot.ItemIndex", "cbRestoreClpbrd.Checked"}));
    EXPECT_TRUE(IsStoredValueName("deIDE_Text", "deIDE", "Text"));
    for (const char* other : {"deFolder_Text", "deIDE_text", "deIDE.Text", "deIDE_Text ", "deIDE_Tex", "deIDE"})
        EXPECT_FALSE(IsStoredValueName(other, "deIDE", "Text")) << other;
}

TEST(SettingsKey, KeyIsTheStemAndTheFormClass) {
    EXPECT_EQ(MakeSettingsKeyPath("Quillan"), "\\Software\\Quillan\\TOptionForm");
    EXPECT_EQ(MakeSettingsKeyPath("a.b"), "\\Software\\a.b\\TOptionForm");
}

}  // namespace
}  // namespace quillan
