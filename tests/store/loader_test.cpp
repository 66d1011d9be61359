// Reading hot.ini: the main form's list and the dialog's tree, and the round trip
// through the writer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/store/template_loader.h"
#include "framework/core/file_io.h"
#include "tests/support/temp_dir.h"

namespace quillan {
namespace {

std::string Doc(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>" + body + "</HOT>\r\n";
}

TTemplateList Walk(const std::string& bytes) {
    TSimpleXML xml;
    xml.LoadFromString(bytes);
    TTemplateList list;
    std::string app;
    ReadTemplateElements(xml.Root(), list, app);
    return list;
}

TDialogTree WalkTree(const std::string& bytes) {
    TSimpleXML xml;
    xml.LoadFromString(bytes);
    TDialogTree tree;
    TTreeLoader(tree).AddXmlChildren(xml.Root());
    return tree;
}

std::string SamplePath() {
    const char* root = std::getenv("QUILLAN_SOURCE_DIR");
    return std::string(root ? root : QUILLAN_STORE_SOURCE_DIR) + "/resources/sample/hot.ini";
}

TEST(TemplateReader, FieldsTheirOrderAndTheCurrentApplication) {
    TTemplateList list =
        Walk(Doc("<Templates><Application>a.exe</Application>"
                 "<Template><TemplateText>t1</TemplateText><MenuCaption>c1</MenuCaption>"
                 "<ShortCut>Ctrl+1</ShortCut><PointX>3</PointX><PointY>-2</PointY></Template>"
                 "<Template><TemplateText>t2</TemplateText></Template></Templates>"
                 "<Templates><Application>b.exe</Application>"
                 "<Template><MenuCaption>c3</MenuCaption>"
                 "<PointX>abc</PointX><PointY>4294967297</PointY></Template></Templates>"));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->MenuCaption, "c1");
    EXPECT_EQ(list[0]->TemplateText, "t1");  // caption after text still gets both
    EXPECT_EQ(list[0]->Application, "a.exe");
    EXPECT_EQ(list[0]->ShortCut, "Ctrl+1");
    EXPECT_EQ(list[0]->PointX, 3);
    EXPECT_EQ(list[0]->PointY, -2);
    EXPECT_EQ(list[1]->MenuCaption, "//Шаблон");  // no MenuCaption: default, no application
    EXPECT_EQ(list[1]->Application, "");
    EXPECT_EQ(list[1]->TemplateText, "t2");
    EXPECT_EQ(list[2]->Application, "b.exe");
    EXPECT_EQ(list[2]->PointX, -1);  // not a number
    EXPECT_EQ(list[2]->PointY, 1);   // low 32 bits of the 64-bit value
}

TEST(TemplateReader, UnknownElementsAreSkippedWithEverythingInside) {
    TTemplateList list =
        Walk(Doc("<Templates><Application>a.exe</Application>"
                 "<Group><Template><MenuCaption>hidden</MenuCaption></Template></Group>"
                 "<templates><Template/></templates>"  // names are case-sensitive
                 "<Template><Template><MenuCaption>inner</MenuCaption></Template>"
                 "<Extra><PointX>9</PointX></Extra></Template></Templates>"));
    ASSERT_EQ(list.size(), 2u);  // the outer and the nested Template
    EXPECT_EQ(list[0]->MenuCaption, "//Шаблон");
    EXPECT_EQ(list[1]->MenuCaption, "inner");
    EXPECT_EQ(list[1]->PointX, 0);
}

TEST(TemplateReader, NewLineIsTrueOnlyForOne) {
    struct Case {
        std::string element;
        bool expected;
    } cases[] = {
        {"<NewLine>1</NewLine>", true},
        {"<NewLine>0</NewLine>", false},
        {"<NewLine>true</NewLine>", false},
        {"<NewLine></NewLine>", false},
        {"<NewLine>  1</NewLine>", true},  // leading blanks are not part of a value
        {"", true},
    };
    for (const Case& c : cases) {
        TTemplateList list = Walk(Doc("<Template>" + c.element + "</Template>"));
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0]->NewLine, c.expected) << c.element;
    }
}

// A stray Template before any Application gets no application, and fields before
// any Template are dropped; the loader starts every walk with an empty application.
TEST(TemplateReader, TemplateBeforeApplicationGetsNoApplication) {
    test::TempDir dir;
    std::string path = dir.Path() + "hot.ini";
    AtomicWriteFile(path, Doc("<MenuCaption>lost</MenuCaption><PointX>5</PointX>"
                              "<Template><MenuCaption>stray</MenuCaption></Template>"
                              "<Application>x.exe</Application>"
                              "<Template><MenuCaption>kept</MenuCaption></Template>"));
    TSimpleXML xml;
    TTemplateList list;
    for (int pass = 0; pass < 2; ++pass) {  // the second load must not inherit "x.exe"
        LoadTemplates(xml, path, list);
        ASSERT_EQ(list.size(), 2u);
        EXPECT_EQ(list[0]->MenuCaption, "stray");
        EXPECT_EQ(list[0]->Application, "");
        EXPECT_EQ(list[0]->PointX, 0);
        EXPECT_EQ(list[1]->Application, "x.exe");
    }
}

TEST(TemplateReader, FailedLoadKeepsThePreviousRecords) {
    test::TempDir dir;
    std::string good = dir.Path() + "hot.ini";
    std::string bad = dir.Path() + "bad.ini";
    AtomicWriteFile(good, Doc("<Template><MenuCaption>one</MenuCaption></Template>"));
    AtomicWriteFile(bad, Doc("<Template><MenuCaption>two</MenuCaption></Template></hot>"));
    TSimpleXML xml;
    TTemplateList list;
    LoadTemplates(xml, good, list);
    const TTmpl* first = list.at(0).get();
    EXPECT_THROW(LoadTemplates(xml, dir.Path() + "missing.ini", list), EFOpenError);
    EXPECT_THROW(LoadTemplates(xml, bad, list), ESimpleXMLError);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].get(), first);
    EXPECT_EQ(list[0]->MenuCaption, "one");

    TDialogTree tree(1);
    tree[0].Name = "Общие";
    EXPECT_THROW(LoadTree(xml, dir.Path() + "missing.ini", tree), EFOpenError);
    EXPECT_THROW(LoadTree(xml, bad, tree), ESimpleXMLError);
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_EQ(tree[0].Name, "Общие");
}

TEST(TreeReader, DialogRulesDifferFromTheMainForm) {
    TDialogTree tree =
        WalkTree(Doc("<Template><MenuCaption>orphan</MenuCaption></Template>"
                     "<Templates><Application>a.exe</Application>"
                     "<Template><ShortCut>x</ShortCut><NewLine>0</NewLine><PointY>zz</PointY></Template>"
                     "<Template><MenuCaption>c</MenuCaption><Templates><Application>b</Application></Templates>"
                     "</Template></Templates>"
                     "<TemplateText>late</TemplateText>"));
    ASSERT_EQ(tree.size(), 3u);
    EXPECT_EQ(tree[0].Name, "");  // unnamed group for the Template before any Application
    ASSERT_EQ(tree[0].Templates.size(), 1u);
    EXPECT_EQ(tree[0].Templates[0].NodeText, "orphan");
    EXPECT_EQ(tree[1].Name, "a.exe");
    ASSERT_EQ(tree[1].Templates.size(), 2u);
    const TDialogTemplate& plain = tree[1].Templates[0];
    EXPECT_EQ(plain.NodeText, "999");
    EXPECT_EQ(plain.Record->MenuCaption, "//Шаблон");
    EXPECT_EQ(plain.Record->ShortCut, "");
    EXPECT_TRUE(plain.Record->NewLine);
    EXPECT_EQ(plain.Record->PointY, -1);
    EXPECT_EQ(plain.Record->Application, "");
    EXPECT_EQ(tree[2].Name, "b");  // an Application nested anywhere in a Templates
    EXPECT_TRUE(tree[2].Templates.empty());
    // Fields go to the latest template even after a new Application.
    EXPECT_EQ(tree[1].Templates[1].Record->TemplateText, "late");
}

TEST(TemplateRoundTrip, DialogFileReadsBackAndRewritesByteForByte) {
    TTmpl a, b, c;
    a.MenuCaption = "Tags <b> & \"q\" 'a'";
    a.TemplateText = "<b>\r\n\r\nЖирный & 'текст'</b>  ";
    b.MenuCaption = "Точка";
    b.TemplateText = "line1\r\n\r\nline3";
    b.PointX = -7;
    c.TemplateText = "";
    TTemplateTree tree{{"Общие", {&a, &b}}, {"notepad.exe", {}}, {"R&D <x>.exe", {&c}}};
    std::string bytes = BuildTemplateFile(tree);

    TSimpleXML xml;
    xml.LoadFromString(bytes);
    TDialogTree loaded;
    TTreeLoader(loaded).AddXmlChildren(xml.Root());
    EXPECT_EQ(BuildTemplateFile(TreeForSaving(loaded)), bytes);
    ASSERT_EQ(loaded.size(), 3u);
    EXPECT_EQ(loaded[0].Templates[0].NodeText, a.MenuCaption);
    EXPECT_EQ(loaded[0].Templates[0].Record->TemplateText, a.TemplateText);
    EXPECT_EQ(loaded[0].Templates[1].Record->PointX, -7);
    EXPECT_EQ(loaded[0].Templates[1].Record->PointY, 3);  // filled in by the writer: the last line
    EXPECT_EQ(loaded[2].Name, "R&D <x>.exe");

    TTemplateList list = Walk(bytes);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->MenuCaption, a.MenuCaption);
    EXPECT_EQ(list[0]->Application, "Общие");
    EXPECT_EQ(list[2]->Application, "R&D <x>.exe");
    EXPECT_EQ(list[2]->TemplateText, "");
    EXPECT_TRUE(list[2]->NewLine);
}

TEST(TemplateRoundTrip, LeadingWhiteSpaceIsLostTrailingIsKept) {
    TTmpl t;
    t.TemplateText = "\r\n  \tbody\r\nend  ";
    TTmpl u;
    u.TemplateText = "   ";
    TTemplateList list = Walk(BuildTemplateFile({{"x", {&t, &u}}}));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->TemplateText, "body\r\nend  ");
    EXPECT_EQ(list[1]->TemplateText, "");
}

TEST(TemplateRoundTrip, SampleFileIsInTheWrittenLayout) {
    std::string bytes = ReadFileBytes(SamplePath());
    TSimpleXML xml;
    TDialogTree tree;
    LoadTree(xml, SamplePath(), tree);
    EXPECT_EQ(BuildTemplateFile(TreeForSaving(tree)), bytes);
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[0].Name, "Общие");
    EXPECT_EQ(tree[1].Name, "notepad.exe");

    TTemplateList list;
    LoadTemplates(xml, SamplePath(), list);
    ASSERT_GE(list.size(), 4u);
    EXPECT_EQ(list.front()->Application, "Общие");
    EXPECT_EQ(list.back()->Application, "notepad.exe");
}

TEST(TemplateRoundTrip, SavedFileLoadsIntoTheMenuList) {
    test::TempDir dir;
    std::string path = dir.Path() + "hot.ini";
    TTmpl t;
    t.MenuCaption = "Привет";
    t.TemplateText = "Привет, мир!\r\nВторая строка";
    t.PointX = 9;
    SaveTemplateFile(path, {{"Общие", {&t}}});
    TSimpleXML xml;
    TTemplateList list;
    LoadTemplates(xml, path, list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->TemplateText, t.TemplateText);
    EXPECT_EQ(list[0]->PointX, 9);
    EXPECT_EQ(list[0]->PointY, 2);
}

// A file beyond the documented limits is refused with its reason, and the list
// keeps the previous load; a file at the limit still loads.
TEST(TemplateLimits, LargeOrHostileFilesAreRefused) {
    test::TempDir dir;
    std::string path = dir.Path() + "hot.ini";
    TSimpleXML xml;
    TTemplateList list;
    AtomicWriteFile(path, Doc("<Templates><Application>a</Application><Template><MenuCaption>m</MenuCaption>"
                              "</Template></Templates>"));
    LoadTemplates(xml, path, list);
    ASSERT_EQ(list.size(), 1u);

    // Well-formed, at the limit and one byte over: a long template text.
    std::string body = "<Templates><Application>a</Application><Template><MenuCaption>x</MenuCaption><TemplateText>";
    std::string end = "</TemplateText></Template><Template><MenuCaption>y</MenuCaption></Template></Templates>";
    size_t frame = Doc(body + end).size();
    std::string big = Doc(body + std::string(static_cast<size_t>(kMaxTemplateFileBytes) - frame, 'z') + end);
    ASSERT_EQ(big.size(), static_cast<size_t>(kMaxTemplateFileBytes));
    AtomicWriteFile(path, big);
    LoadTemplates(xml, path, list);
    EXPECT_EQ(list.size(), 2u);
    AtomicWriteFile(path, big + " ");
    try {
        LoadTemplates(xml, path, list);
        ADD_FAILURE() << "a file over the limit was read";
    } catch (const ETemplateFileTooLarge& e) {
        EXPECT_NE(std::string(e.what()).find(std::to_string(kMaxTemplateFileBytes + 1)), std::string::npos) << e.what();
    }
    EXPECT_EQ(list.size(), 2u);

    // Small but made of more nodes than a template file ever needs.
    std::string many = "<HOT>";
    for (size_t i = 0; i <= kMaxTemplateFileNodes; ++i) many += "<a/>";
    AtomicWriteFile(path, many + "</HOT>");
    TDialogTree tree;
    try {
        LoadTree(xml, path, tree);
        ADD_FAILURE() << "a file of too many nodes was read";
    } catch (const ESimpleXMLError& e) {
        EXPECT_STREQ(e.what(), "Invalid XML Document: more than 1000000 nodes");
    }
    EXPECT_TRUE(tree.empty());
}

// The parse's memory goes back after every load, read or refused.
TEST(TemplateLimits, ParseMemoryIsGivenBack) {
    test::TempDir dir;
    std::string path = dir.Path() + "hot.ini";
    std::string body;
    for (int i = 0; i < 2000; ++i)
        body += "<Templates><Application>a" + std::to_string(i) +
                "</Application><Template><MenuCaption>m</MenuCaption><TemplateText>t</TemplateText></Template>"
                "</Templates>";
    AtomicWriteFile(path, Doc(body));
    TSimpleXML xml;
    size_t heldDuringWalk = 0;
    WalkTemplateFile(xml, path, [&](TSimpleXMLElem&) { heldDuringWalk = xml_detail::PoolHeldBytes(); });
    ASSERT_GT(heldDuringWalk, 0u) << "the walk's elements did not come from the pool";
    EXPECT_EQ(xml_detail::PoolHeldBytes(), 0u);
    EXPECT_FALSE(xml.Root().HasItems());
    TTemplateList list;
    LoadTemplates(xml, path, list);
    EXPECT_EQ(list.size(), 2000u);
    EXPECT_EQ(xml_detail::PoolHeldBytes(), 0u);
    AtomicWriteFile(path, Doc(body + "<broken>"));
    EXPECT_THROW(LoadTemplates(xml, path, list), ESimpleXMLError);
    EXPECT_EQ(xml_detail::PoolHeldBytes(), 0u);
}

}  // namespace
}  // namespace quillan
