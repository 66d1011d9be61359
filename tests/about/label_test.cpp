#include <gtest/gtest.h>

#include "dialogs/about/version_label.h"

namespace quillan::about {
namespace {

TEST(VersionLabel, FirstThreePartsOfTheFileVersion) {
    // Program text is Windows-1251: "Версия " as its bytes.
    const std::string prefix = "\xC2\xE5\xF0\xF1\xE8\xFF ";
    struct Case {
        const char* version;
        const char* label;
    };
    const Case cases[] = {
        {"1.0.0.0", "1.0.0"},  {"2.5", "2.5."},  // the missing third part still gets its "."
        {"7", "7.."},          {"", ".."},
        {"1..2.3.4", "1.2.3"},  // empty pieces are not counted
        {".3.4.5.", "3.4.5"},  {"10.20.30", "10.20.30"},
    };
    for (const Case& c : cases) EXPECT_EQ(VersionLabel(c.version), prefix + c.label) << c.version;
}

TEST(VersionLabel, Parts) {
    EXPECT_EQ(VersionPart("1.22.333", 2), "22");
    EXPECT_EQ(VersionPart("1.22.333", 3), "333");
    EXPECT_EQ(VersionPart("1.22.333", 4), "");
    EXPECT_EQ(VersionPart("..a..b", 2), "b");
}

}  // namespace
}  // namespace quillan::about
