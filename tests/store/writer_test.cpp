// The file text as the dialog writes it, the default hot point and the path rule.
#include <gtest/gtest.h>

#include <string>

#include "engine/store/template_file.h"

namespace quillan {
namespace {

TTmpl Make(std::string caption, std::string text, int32_t x = 0, int32_t y = 0) {
    TTmpl record;
    record.MenuCaption = std::move(caption);
    record.TemplateText = std::move(text);
    record.PointX = x;
    record.PointY = y;
    return record;
}

TEST(TemplateWriter, LayoutOfTheFileByteForByte) {
    TTmpl greeting = Make("Greeting", "Hello\r\nWorld");
    TTemplateTree tree{{"notepad.exe", {&greeting}}};
    EXPECT_EQ(BuildTemplateFile(tree),
              "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
              "<HOT>\r\n"
              " <Templates>\r\n"
              "  <Application>notepad.exe</Application>\r\n"
              "   <Template>\r\n"
              "    <MenuCaption>Greeting</MenuCaption>\r\n"
              "    <TemplateText>Hello\r\nWorld</TemplateText>\r\n"
              "    <PointX>6</PointX>\r\n"
              "    <PointY>2</PointY>\r\n"
              "   </Template>\r\n"
              " </Templates>\r\n"
              "</HOT>\r\n");
    EXPECT_EQ(greeting.PointX, 0);  // the record keeps its unset point
    EXPECT_EQ(greeting.PointY, 0);
}

TEST(TemplateWriter, EmptyApplicationsEscapesAndExplicitPoints) {
    TTmpl odd = Make("a&b <c> \"d\" 'e'", "x<y>&z", -3, 2147483647);
    TTemplateTree tree{{"Общие", {}}, {"R&D.exe", {&odd}}};
    EXPECT_EQ(BuildTemplateFile(tree),
              "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
              "<HOT>\r\n"
              " <Templates>\r\n"
              "  <Application>Общие</Application>\r\n"
              " </Templates>\r\n"
              " <Templates>\r\n"
              "  <Application>R&amp;D.exe</Application>\r\n"
              "   <Template>\r\n"
              "    <MenuCaption>a&amp;b &lt;c&gt; &quot;d&quot; &apos;e&apos;</MenuCaption>\r\n"
              "    <TemplateText>x&lt;y&gt;&amp;z</TemplateText>\r\n"
              "    <PointX>-3</PointX>\r\n"
              "    <PointY>2147483647</PointY>\r\n"
              "   </Template>\r\n"
              " </Templates>\r\n"
              "</HOT>\r\n");
    EXPECT_EQ(BuildTemplateFile({}), "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n</HOT>\r\n");
}

TEST(TemplateWriter, HighBytesAndControlsAreWrittenAsTheyAre) {
    std::string raw = "\xC0\xFF\x98\t\x01 end ";
    EXPECT_EQ(EscapeXmlText(raw), raw);
    EXPECT_EQ(EscapeXmlText("&&"), "&amp;&amp;");
    EXPECT_EQ(EscapeXmlText(""), "");
}

// The end of the text, where a paste of it leaves the caret: blank lines and a final
// line break count as lines.
TEST(TemplateWriter, DefaultHotPointIsTheEndOfTheText) {
    struct Case {
        std::string text;
        int32_t x, y;
    } cases[] = {
        {"", 1, 1},
        {"Hello\r\nWorld", 6, 2},
        {"a\r\n\r\nb", 2, 3},
        {"a\r\n\r\nb\r\n", 1, 4},
        {"line1\r\n\r\nline3", 6, 3},
        {"\r\n\r\n", 1, 3},
        {"one", 4, 1},
        {"ab\ncdef\rg", 2, 3},    // lone LF and lone CR split lines too
        {"ab\n\rc", 2, 3},        // LF CR is two breaks
        {"abc\r\n\r\n  ", 3, 3},  // blanks are characters of the last line
        {"Привет\r\nмир", 4, 2},  // one byte per Cyrillic letter
        {"Здравствуйте!\r\n\r\nТекст\r\n\r\nС уважением, Иван", 18, 5},
    };
    for (const Case& c : cases) {
        THotPoint p = DefaultHotPoint(c.text);
        EXPECT_EQ(p.X, c.x) << c.text;
        EXPECT_EQ(p.Y, c.y) << c.text;
    }
}

TEST(TemplateWriter, OnlyTheUnsetCoordinateIsReplaced) {
    TTmpl a = Make("c", "ab\r\ncde", 0, 1);
    TTmpl b = Make("c", "ab\r\ncde", 2, 0);
    std::string text = BuildTemplateFile({{"x", {&a, &b}}});
    EXPECT_NE(text.find("<PointX>4</PointX>\r\n    <PointY>1</PointY>"), std::string::npos);
    EXPECT_NE(text.find("<PointX>2</PointX>\r\n    <PointY>2</PointY>"), std::string::npos);
}

TEST(TemplateFilePath, SeparatorRule) {
    struct Case {
        std::string folder, path;
    } cases[] = {
        {"", "hot.ini"},
        {"C:", "C:hot.ini"},
        {"C:\\", "C:\\hot.ini"},
        {"D", "D:\\hot.ini"},
        {"z", "z:\\hot.ini"},
        {"1", "1\\hot.ini"},
        {"\xC0", "\xC0\\hot.ini"},  // a Cyrillic letter is no drive letter
        {"C:\\Шаблоны", "C:\\Шаблоны\\hot.ini"},
        {"C:\\dir/", "C:\\dir/\\hot.ini"},  // only "\" and ":" count as separators
        {"\\\\server\\share\\", "\\\\server\\share\\hot.ini"},
    };
    for (const Case& c : cases) EXPECT_EQ(MakeTemplateFilePath(c.folder), c.path) << c.folder;
}

}  // namespace
}  // namespace quillan
