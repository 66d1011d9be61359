// Every parse error with its exact message, and the file-layer error for a missing file.
#include <gtest/gtest.h>

#include <fstream>

#include "components/xml/simple_xml.h"
#include "tests/support/temp_dir.h"

namespace quillan {
namespace {

struct ErrorCase {
    const char* input;
    const char* message;
};

std::string LoadError(const std::string& input) {
    TSimpleXML xml;
    try {
        xml.LoadFromString(input);
    } catch (const ESimpleXMLError& e) {
        return e.Message();
    }
    return "(no error)";
}

TEST(SimpleXmlErrors, DocumentMessages) {
    const ErrorCase cases[] = {
        {"\xEF\xBB\xBF<HOT/>", "Invalid Document: Unexpected text in file prolog"},
        {"text<HOT/>", "Invalid Document: Unexpected text in file prolog"},
        {"<?xml version=\"1.0\"?>x<HOT/>", "Invalid Document: Unexpected text in file prolog"},
        {"<?xml version=\"1.0\"/>", "Invalid Header: expected \"?\" but found \"/\""},
        {"<?xml version=\"1.0\"?x", "Invalid Header: expected \">\" but found \"x\""},
        {"<?xml version=\"1.0\"", "Invalid Comment: Unexpected end of data"},
        {"<?mso-applic", "Invalid Comment: Unexpected end of data"},
        {"<!DOCTYPE html [ <!ENTITY a \"b\">", "Invalid Comment: Unexpected end of data"},
        {"<?xml-stylesheet href=\"a.xsl\">", "Invalid Stylesheet: expected \"?\" but found \">\""},
        {"<?xml-stylesheet href=\"a.xsl\"", "Invalid Stylesheet: Unexpected end of data"},
        {"<!-- a -- b --><HOT/>", "Invalid Comment: \"--\" not allowed inside comments"},
        {"<HOT><!-- a -- b --></HOT>", "Invalid Comment: \"--\" not allowed inside comments"},
        {"<!-- never closed", "Invalid Comment: Unexpected end of data"},
        {"<HOT><![CDATA[never closed]]</HOT>", "Invalid CDATA: Unexpected end of data"},
        {"<HOT><a/x></HOT>", "Invalid XML Element: Expected end of tag but \"x\" found"},
        {"< HOT/>", "Invalid XML Element: malformed tag found (no valid name)"},
        {"<HOT><ns: a/></HOT>", "Invalid XML Element: malformed tag found (no valid name)"},
        {"<HOT></hot>", "Invalid XML Element: Erroneous end of tag, expecting </HOT> but </hot> found"},
        {"<HOT><a></b></HOT>", "Invalid XML Element: Erroneous end of tag, expecting </a> but </b> found"},
        {"<HOT><a>text", "Invalid XML Element: Erroneous end of tag, expecting </a> but </> found"},
        {"<HOT><a b=\"1\" $/></HOT>",
         "Invalid XML Element: Unexpected character in property declaration (\"$\" found)"},
        {"<HOT b c=\"1\"/>", "Invalid XML Element: Unexpected character in property declaration (\"c\" found)"},
        {"<HOT b.c=\"1\"/>", "Invalid XML Element: Unexpected character in property declaration (\".\" found)"},
        {"<HOT b=1/>",
         "Invalid XML Element: Unexpected character in property declaration. Expecting \" or ' but \"1\"  "
         "found"},
    };
    for (const ErrorCase& c : cases) EXPECT_EQ(LoadError(c.input), c.message) << "input: " << c.input;
}

// Mismatches that the document's own dispatch never produces are reachable through the nodes.
TEST(SimpleXmlErrors, NodeMessages) {
    auto nodeError = [](TSimpleXMLElem& node, const char* input) -> std::string {
        TMemoryStream stream;
        stream.LoadFromString(input);
        try {
            node.LoadFromStream(stream);
        } catch (const ESimpleXMLError& e) {
            return e.Message();
        }
        return "(no error)";
    };
    TSimpleXMLElemComment comment(nullptr);
    EXPECT_EQ(nodeError(comment, "<!-x-->"), "Invalid Comment: expected \"-\" but found \"x\"");
    TSimpleXMLElemCData cdata(nullptr);
    EXPECT_EQ(nodeError(cdata, "<![CDATA(x]]>"), "Invalid CDATA: expected \"[\" but found \"(\"");
    EXPECT_EQ(nodeError(cdata, "<![CDA"), "Invalid CDATA: Unexpected end of data");
    TSimpleXMLElemClassic elem(nullptr);
    EXPECT_EQ(nodeError(elem, "x<a/>"), "Invalid XML Element: Expected beginning of tag but \"x\" found");
    TSimpleXMLElemHeader header(nullptr);
    EXPECT_EQ(nodeError(header, "<?xql?>"), "Invalid Header: expected \"m\" but found \"q\"");
    TSimpleXMLElemDocType docType(nullptr);
    EXPECT_EQ(nodeError(docType, "<!DOCTIPE a>"), "Invalid Header: expected \"Y\" but found \"I\"");
    TSimpleXMLElemSheet sheet(nullptr);
    EXPECT_EQ(nodeError(sheet, "<?xml-stylesheed?>"), "Invalid Stylesheet: expected \"t\" but found \"d\"");
}

TEST(SimpleXmlErrors, DeepNestingIsRefusedCleanly) {
    std::string deep;
    for (int i = 0; i <= kSXMaxDepth; ++i) deep += "<a>";
    EXPECT_EQ(LoadError(deep), "Invalid XML Element: elements nested deeper than 1000 levels");
    std::string allowed;
    for (int i = 0; i < kSXMaxDepth; ++i) allowed += "<a>";
    for (int i = 0; i < kSXMaxDepth; ++i) allowed += "</a>";
    EXPECT_EQ(LoadError(allowed), "(no error)");
}

TEST(SimpleXmlErrors, FailedLoadKeepsWhatWasParsed) {
    TSimpleXML xml;
    EXPECT_THROW(xml.LoadFromString("<HOT><a>1</a><b>2</c></HOT>"), ESimpleXMLError);
    ASSERT_EQ(xml.Root().Items().Count(), 2);
    EXPECT_EQ(xml.Root().Items().Item(0)->Value(), "1");
}

TEST(SimpleXmlFile, MissingFileRaisesTheFileLayerError) {
    test::TempDir dir;
    std::string name = dir.Path() + "нет.ini";
    TSimpleXML xml;
    try {
        xml.SetFileName(name);
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message().rfind("Cannot open file \"" + name + "\"", 0), 0u) << e.Message();
    }
    EXPECT_EQ(xml.FileName(), name);
}

TEST(SimpleXmlFile, FileIsLoadedWhole) {
    test::TempDir dir;
    std::string name = dir.Path() + "hot.ini";
    std::string body(20000, 'x');
    {
        std::ofstream out(dir.Native() / "hot.ini", std::ios::binary);
        out << "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n <v>" << body << "</v>\r\n</HOT>\r\n";
    }
    TSimpleXML xml;
    xml.SetFileName(name);
    EXPECT_EQ(xml.FileName(), name);
    ASSERT_EQ(xml.Root().Items().Count(), 1);
    EXPECT_EQ(xml.Root().Items().Item(0)->Value(), body);
}

}  // namespace
}  // namespace quillan

namespace quillan {
namespace {

// Where a load stopped: the line of the fault, and a column on it no further than
// just past the offending character. Lines end at LF, CR LF or a lone CR.
TEST(SimpleXmlErrors, PlaceOfTheFault) {
    const struct {
        const char* input;
        int line, firstColumn, lastColumn;
    } cases[] = {
        {"<HOT>\r\n <Templates>\r\n  <Application>x</Applicaton>\r\n</HOT>\r\n", 3, 19, 30},
        {"<HOT>\n<a>\n<b x=1/></a>\n</HOT>", 3, 6, 7},
        {"<HOT>\r<a>\r\r  <b>&</b></a><</HOT>", 4, 15, 18},
        {"<HOT>\r\n  <Шаблон>текст</Шаблон>\r\n  <a></b>", 3, 6, 10},
    };
    for (const auto& c : cases) {
        TSimpleXML xml;
        try {
            xml.LoadFromString(c.input);
            ADD_FAILURE() << "no error: " << c.input;
        } catch (const ESimpleXMLError& e) {
            EXPECT_EQ(e.Line, c.line) << c.input << " / " << e.Message();
            EXPECT_GE(e.Column, c.firstColumn) << c.input << " / " << e.Message();
            EXPECT_LE(e.Column, c.lastColumn) << c.input << " / " << e.Message();
        }
    }
}

}  // namespace
}  // namespace quillan
