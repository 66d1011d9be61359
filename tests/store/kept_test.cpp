// What the options dialog does not show survives its save: PasteKeys and elements of
// hot.ini it does not know (written by hand or by a newer version), where they stood.
#include <gtest/gtest.h>

#include <string>

#include "engine/store/template_loader.h"
#include "framework/core/file_io.h"
#include "tests/support/temp_dir.h"

namespace quillan {
namespace {

// A file in the writer's layout with something unknown at every level.
const std::string kRich =
    "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
    "<HOT>\r\n"
    " <!-- шаблоны Ивана -->\r\n"
    " <Version major=\"3\"/>\r\n"
    " <Templates>\r\n"
    "  <Owner>Иван</Owner>\r\n"
    "  <Application>Общие</Application>\r\n"
    "  <Colour>red</Colour>\r\n"
    "   <Template>\r\n"
    "    <Group>почта</Group>\r\n"
    "    <MenuCaption>Подпись</MenuCaption>\r\n"
    "    <ShortCut>Ctrl+1</ShortCut>\r\n"
    "    <TemplateText>С уважением,\r\nИван</TemplateText>\r\n"
    "    <NewLine>0</NewLine>\r\n"
    "    <PointX>5</PointX>\r\n"
    "    <PointY>2</PointY>\r\n"
    "\t\t<Tags><Tag a='1'>x &amp; y</Tag>\r\n"
    "      <Tag/></Tags>\r\n"
    "   </Template>\r\n"
    "   <Separator/>\r\n"
    "   <Template>\r\n"
    "    <MenuCaption>b</MenuCaption>\r\n"
    "    <TemplateText>b</TemplateText>\r\n"
    "    <PointX>2</PointX>\r\n"
    "    <PointY>1</PointY>\r\n"
    "   </Template>\r\n"
    " </Templates>\r\n"
    " <Templates>\r\n"
    "  <Application>putty.exe</Application>\r\n"
    "  <PasteKeys>ShiftInsert</PasteKeys>\r\n"
    " </Templates>\r\n"
    " <Templates>\r\n"
    "  <Application>vm.exe</Application>\r\n"
    "  <PasteKeys>FutureMethod</PasteKeys>\r\n"
    "  <Window>main</Window>\r\n"
    " </Templates>\r\n"
    " <Trailer/>\r\n"
    "</HOT>\r\n";

class KeptTest : public ::testing::Test {
protected:
    std::string Path() const { return dir.Path() + "hot.ini"; }
    TDialogTree Load(const std::string& bytes) {
        AtomicWriteFile(Path(), bytes);
        TSimpleXML xml;
        TDialogTree tree;
        LoadTree(xml, Path(), tree);
        return tree;
    }
    test::TempDir dir;
};

TEST_F(KeptTest, FileRoundTripsByteForByte) {
    TDialogTree tree = Load(kRich);
    ASSERT_EQ(tree.size(), 3u);
    EXPECT_FALSE(tree[0].PasteKeys.has_value());
    EXPECT_EQ(tree[1].PasteKeys, "ShiftInsert");
    EXPECT_EQ(tree[2].PasteKeys, "FutureMethod");
    ASSERT_EQ(tree[0].Templates.size(), 2u);
    EXPECT_EQ(tree[0].Templates[0].Record->TemplateText, "С уважением,\r\nИван");
    EXPECT_EQ(BuildTemplateFile(TreeForSaving(tree)), kRich);
}

TEST_F(KeptTest, KeptElementsMoveWithTheirTemplateAndStayWithTheirGroup) {
    TDialogTree tree = Load(kRich);
    // The first template moves behind the second, as a drop does.
    std::swap(tree[0].Templates[0], tree[0].Templates[1]);
    std::string text = BuildTemplateFile(TreeForSaving(tree));
    const size_t b = text.find("<MenuCaption>b</MenuCaption>");
    const size_t separator = text.find("<Separator/>");
    const size_t signature = text.find("<MenuCaption>Подпись</MenuCaption>");
    const size_t tags = text.find("<Tags>");
    ASSERT_NE(separator, std::string::npos);
    EXPECT_LT(b, signature);
    EXPECT_LT(signature, tags) << "kept inside the template it stood in";
    EXPECT_LT(signature, separator) << "kept after the template it followed";
    EXPECT_LT(text.find("<Owner>"), text.find("<Application>Общие</Application>"));
    EXPECT_LT(text.find("<Window>main</Window>"), text.find("<Trailer/>"));
    // What is written reads back as the same tree.
    TDialogTree again = Load(text);
    EXPECT_EQ(BuildTemplateFile(TreeForSaving(again)), text);
}

TEST_F(KeptTest, ElementOnALineWithOthersGetsALineOfItsOwn) {
    const std::string squeezed =
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT><Templates><Application>a.exe</Application>"
        "<X>1</X><Template><MenuCaption>c</MenuCaption><Y/><TemplateText>t</TemplateText>"
        "<PointX>2</PointX><PointY>1</PointY></Template></Templates></HOT>";
    TDialogTree tree = Load(squeezed);
    EXPECT_EQ(BuildTemplateFile(TreeForSaving(tree)),
              "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n <Templates>\r\n"
              "  <Application>a.exe</Application>\r\n  <X>1</X>\r\n   <Template>\r\n"
              "    <MenuCaption>c</MenuCaption>\r\n    <Y/>\r\n    <TemplateText>t</TemplateText>\r\n"
              "    <PointX>2</PointX>\r\n    <PointY>1</PointY>\r\n   </Template>\r\n </Templates>\r\n</HOT>\r\n");
}

TEST_F(KeptTest, MainFormReadsEachGroupsPasteKeysAndIgnoresTheRest) {
    AtomicWriteFile(Path(), kRich);
    TSimpleXML xml;
    TTemplateList list;
    TPasteKeysList keys;
    LoadTemplates(xml, Path(), list, &keys);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].Application, "putty.exe");
    EXPECT_EQ(keys[0].PasteKeys, "ShiftInsert");
    EXPECT_EQ(keys[1].Application, "vm.exe");
    EXPECT_EQ(keys[1].PasteKeys, "FutureMethod");
    // The unknown elements change nothing of the templates.
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->MenuCaption, "Подпись");
    EXPECT_EQ(list[0]->ShortCut, "Ctrl+1");
    EXPECT_FALSE(list[0]->NewLine);
    EXPECT_EQ(list[0]->PointX, 5);
    EXPECT_TRUE(list[0]->Kept.empty());
}

TEST_F(KeptTest, PasteKeysBeforeItsApplicationStillBelongsToItsGroup) {
    AtomicWriteFile(Path(),
                    "<HOT><Templates><Application>one.exe</Application></Templates>"
                    "<Templates><PasteKeys>Type</PasteKeys><Application>two.exe</Application></Templates></HOT>");
    TSimpleXML xml;
    TTemplateList list;
    TPasteKeysList keys;
    LoadTemplates(xml, Path(), list, &keys);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].Application, "two.exe");
}

}  // namespace
}  // namespace quillan
