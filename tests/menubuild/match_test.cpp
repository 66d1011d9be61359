// Which templates are offered for the program in front.
#include <gtest/gtest.h>

#include "engine/menu/match.h"

namespace quillan {
namespace {

TTmpl Tmpl(const std::string& application) {
    TTmpl t;
    t.Application = application;
    return t;
}

TEST(Matching, ApplicationIsLowerCasedAsciiOnly) {
    EXPECT_TRUE(IsTemplateOffered(Tmpl("NOTEPAD.EXE"), "notepad.exe"));
    EXPECT_TRUE(IsTemplateOffered(Tmpl("Notepad.exe"), "notepad.exe"));
    EXPECT_FALSE(IsTemplateOffered(Tmpl("notepad.exe"), "wordpad.exe"));
    // currentApp is lower-cased already; a capital in it matches nothing lower-cased.
    EXPECT_FALSE(IsTemplateOffered(Tmpl("notepad.exe"), "Notepad.exe"));
    // Cyrillic capitals are left as they are on both sides.
    EXPECT_TRUE(IsTemplateOffered(Tmpl("БЛОКНОТ.EXE"), "БЛОКНОТ.exe"));
    EXPECT_FALSE(IsTemplateOffered(Tmpl("БЛОКНОТ.exe"), "блокнот.exe"));
    EXPECT_FALSE(IsTemplateOffered(Tmpl("блокнот.exe"), "БЛОКНОТ.exe"));
}

TEST(Matching, CommonGroupIsExact) {
    EXPECT_TRUE(IsTemplateOffered(Tmpl("Общие"), "notepad.exe"));
    EXPECT_TRUE(IsTemplateOffered(Tmpl("Общие"), ""));
    // A lower-case first letter makes it an application name like any other.
    EXPECT_FALSE(IsTemplateOffered(Tmpl("общие"), "notepad.exe"));
    EXPECT_TRUE(IsTemplateOffered(Tmpl("общие"), "общие"));
    EXPECT_FALSE(IsTemplateOffered(Tmpl("ОБЩИЕ"), "notepad.exe"));
}

TEST(Matching, EmptyApplicationOnlyForUnknownProgram) {
    EXPECT_TRUE(IsTemplateOffered(Tmpl(""), ""));
    EXPECT_FALSE(IsTemplateOffered(Tmpl(""), "notepad.exe"));
}

TEST(Matching, CaptionNumberTabText) {
    EXPECT_EQ(TemplateItemCaption(0, "Привет"), "0\tПривет");
    EXPECT_EQ(TemplateItemCaption(12, ""), "12\t");
}

}  // namespace
}  // namespace quillan
