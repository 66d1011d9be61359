// Which method a paste takes: the stored names, the built-in table and the choice.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/paste/paste_method.h"

namespace quillan {
namespace {

TEST(PasteKeys, StoredNamesReadBack) {
    for (TPasteMethod m : {TPasteMethod::CtrlV, TPasteMethod::ShiftInsert, TPasteMethod::CtrlShiftV, TPasteMethod::Type})
        EXPECT_EQ(ParsePasteKeys(PasteKeysName(m)), m) << PasteKeysName(m);
    EXPECT_EQ(ParsePasteKeys("  shiftinsert\r\n"), TPasteMethod::ShiftInsert);
    EXPECT_EQ(ParsePasteKeys("TYPE"), TPasteMethod::Type);
    EXPECT_FALSE(ParsePasteKeys(""));
    EXPECT_FALSE(ParsePasteKeys("Ctrl+V"));
    EXPECT_FALSE(ParsePasteKeys("CtrlAltV"));
}

TEST(PasteKeys, BuiltInTableNamesEachProgramOnceWithAReason) {
    std::set<std::string> seen;
    for (const TPasteDefault& d : kPasteDefaults) {
        EXPECT_TRUE(seen.insert(d.Executable).second) << d.Executable;
        EXPECT_GT(std::string(d.Reason).size(), 10u) << d.Executable;
        for (const char* c = d.Executable; *c; ++c) EXPECT_FALSE(*c >= 'A' && *c <= 'Z') << d.Executable;
    }
    EXPECT_EQ(DefaultPasteMethod("PuTTY.exe"), TPasteMethod::ShiftInsert);
    EXPECT_EQ(DefaultPasteMethod("mintty.exe"), TPasteMethod::ShiftInsert);
    EXPECT_EQ(DefaultPasteMethod("VirtualBoxVM.exe"), TPasteMethod::Type);
    EXPECT_EQ(DefaultPasteMethod("vmconnect.exe"), TPasteMethod::Type);
    EXPECT_FALSE(DefaultPasteMethod("notepad.exe"));
}

struct ChoiceCase {
    const char* target;
    TPasteKeysList named;
    TPasteMethod expected;
};

TEST(PasteKeys, ChoiceOwnGroupThenBuiltInThenCommonGroupThenCtrlV) {
    const ChoiceCase cases[] = {
        {"notepad.exe", {}, TPasteMethod::CtrlV},
        {"putty.exe", {}, TPasteMethod::ShiftInsert},
        {"putty.exe", {{"PuTTY.exe", "CtrlShiftV"}}, TPasteMethod::CtrlShiftV},
        {"putty.exe", {{"Общие", "Type"}}, TPasteMethod::ShiftInsert},
        {"notepad.exe", {{"Общие", "Type"}}, TPasteMethod::Type},
        {"notepad.exe", {{"notepad.exe", "NewerMethod"}}, TPasteMethod::CtrlV},
        {"vmware.exe", {{"vmware.exe", "NewerMethod"}}, TPasteMethod::Type},
        {"notepad.exe", {{"notepad.exe", "Type"}, {"notepad.exe", "ShiftInsert"}}, TPasteMethod::ShiftInsert},
        {"", {{"", "Type"}}, TPasteMethod::CtrlV},
    };
    for (const ChoiceCase& c : cases) EXPECT_EQ(ChoosePasteMethod(c.named, c.target), c.expected) << c.target;
}

}  // namespace
}  // namespace quillan
