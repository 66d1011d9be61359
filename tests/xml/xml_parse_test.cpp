// Loading: the template file's own layout, values, entities, mixed content, prolog items.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "components/xml/simple_xml.h"

namespace quillan {
namespace {

TSimpleXMLElem& Child(TSimpleXMLElem& parent, int index) {
    TSimpleXMLElem* child = parent.Items().Item(index);
    EXPECT_NE(child, nullptr) << "no child " << index << " under " << parent.Name();
    if (!child) throw std::runtime_error("missing child");
    return *child;
}

std::string ValueOf(const std::string& text) {
    TSimpleXML xml;
    xml.LoadFromString("<a>" + text + "</a>");
    return xml.Root().Value();
}

TEST(SimpleXmlLoad, TemplateFileAsTheOptionsDialogWritesIt) {
    const std::string file =
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
        "<HOT>\r\n"
        " <Templates>\r\n"
        "  <Application>notepad.exe</Application>\r\n"
        "   <Template>\r\n"
        "    <MenuCaption>Привет &amp; &lt;пока&gt;</MenuCaption>\r\n"
        "    <TemplateText>Hello\r\nWorld  </TemplateText>\r\n"
        "    <PointX>6</PointX>\r\n"
        "    <PointY>2</PointY>\r\n"
        "   </Template>\r\n"
        " </Templates>\r\n"
        "</HOT>\r\n";
    TSimpleXML xml;
    xml.LoadFromString(file);
    ASSERT_EQ(xml.Prolog().Count(), 1);
    auto* header = dynamic_cast<TSimpleXMLElemHeader*>(xml.Prolog().Item(0));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->Version(), "1.0");
    EXPECT_EQ(header->Encoding(), "windows-1251");
    EXPECT_FALSE(header->StandAlone());
    EXPECT_EQ(header->Properties().Count(), 0);

    TSimpleXMLElemClassic& root = xml.Root();
    EXPECT_EQ(root.Name(), "HOT");
    EXPECT_EQ(root.Value(), "");
    ASSERT_EQ(root.Items().Count(), 1);
    TSimpleXMLElem& templates = Child(root, 0);
    EXPECT_EQ(templates.Name(), "Templates");
    ASSERT_EQ(templates.Items().Count(), 2);
    EXPECT_EQ(Child(templates, 0).Value(), "notepad.exe");
    TSimpleXMLElem& tmpl = Child(templates, 1);
    ASSERT_EQ(tmpl.Items().Count(), 4);
    EXPECT_EQ(Child(tmpl, 0).Name(), "MenuCaption");
    EXPECT_EQ(Child(tmpl, 0).Value(), "Привет & <пока>");
    EXPECT_EQ(Child(tmpl, 1).Value(), "Hello\r\nWorld  ");
    EXPECT_EQ(Child(tmpl, 2).IntValue(), 6);
    EXPECT_EQ(Child(tmpl, 3).IntValue(), 2);
    EXPECT_EQ(tmpl.Items().ItemNamed("pointy"), &Child(tmpl, 3));
    EXPECT_EQ(Child(tmpl, 0).Parent(), &tmpl);
    EXPECT_EQ(tmpl.SimpleXML(), &xml);
}

TEST(SimpleXmlLoad, EmptyOrBlankInputGivesAnEmptyRoot) {
    for (const char* input : {"", " \r\n\t ", "<?xml version=\"1.0\"?>\r\n"}) {
        TSimpleXML xml;
        ASSERT_NO_THROW(xml.LoadFromString(input)) << input;
        EXPECT_EQ(xml.Root().Items().Count(), 0);
        EXPECT_EQ(xml.Root().Value(), "");
        EXPECT_EQ(xml.Root().Name(), "");
    }
}

TEST(SimpleXmlLoad, ReloadReplacesTheWholeTree) {
    TSimpleXML xml;
    xml.LoadFromString("<!-- c --><A x=\"1\">old<b/></A>");
    xml.LoadFromString("<B/>");
    EXPECT_EQ(xml.Prolog().Count(), 0);
    EXPECT_EQ(xml.Root().Name(), "B");
    EXPECT_EQ(xml.Root().Value(), "");
    EXPECT_EQ(xml.Root().Items().Count(), 0);
    EXPECT_EQ(xml.Root().Properties().Count(), 0);
}

TEST(SimpleXmlLoad, ValueKeepsLineBreaksAndTrailingBlanksButNotLeadingWhiteSpace) {
    EXPECT_EQ(ValueOf("line1\r\nline2\r\n"), "line1\r\nline2\r\n");
    EXPECT_EQ(ValueOf("  \r\n\t x y  "), "x y  ");
    EXPECT_EQ(ValueOf("   "), "");
}

TEST(SimpleXmlLoad, EntityAndCharacterReferences) {
    EXPECT_EQ(ValueOf("&AMP;&Lt;&gT;&APOS;&quot;"), "&<>'\"");
    EXPECT_EQ(ValueOf("&#65;&#x41;&#X41;&#0065;"), "AAAA");
    EXPECT_EQ(ValueOf("&#321;"), "A");  // only the low 8 bits count
    EXPECT_EQ(ValueOf("&#xE0;"), "\xE0");
    // The writer's own two-digit form, both cases of X and of the digits.
    EXPECT_EQ(ValueOf("&#xD0;&#XD0;&#xd0;&#x00;"), "\xD0\xD0\xD0&#x00;");
    // Kept as they stand: a zero reference, no digits, no ";", unknown names, a lone "&".
    EXPECT_EQ(ValueOf("&#0;&#x0;&#;&#x;&#65&foo;&ampx & end"), "&#0;&#x0;&#;&#x;&#65&foo;&ampx & end");
    // One decoding pass: an escaped entity comes back as the entity text.
    EXPECT_EQ(ValueOf("&amp;lt;&amp;#65;"), "&lt;&#65;");
}

TEST(SimpleXmlLoad, DecodingFollowsTheOptionsAndTheHook) {
    TSimpleXML xml;
    xml.SetOptions({TSimpleXMLOption::sxoAutoEncodeEntity});
    xml.LoadFromString("<a>&#65;&amp;</a>");
    EXPECT_EQ(xml.Root().Value(), "&#65;&");
    xml.SetOptions({});
    xml.LoadFromString("<a>&#65;&amp;</a>");
    EXPECT_EQ(xml.Root().Value(), "&#65;&amp;");
    xml.SetOptions({TSimpleXMLOption::sxoAutoEncodeValue});
    xml.OnDecodeValue = [](TSimpleXML&, std::string& value) { value = "[" + value + "]"; };
    xml.LoadFromString("<a b='v'><c>&amp;</c></a>");
    EXPECT_EQ(xml.Root().Properties().Value("b"), "[v]");
    EXPECT_EQ(Child(xml.Root(), 0).Value(), "[&amp;]");
}

TEST(SimpleXmlLoad, CDataValueStaysAChild) {
    TSimpleXML xml;
    xml.LoadFromString("<a><![CDATA[x<y>&amp;]]b]]]></a>");
    EXPECT_EQ(xml.Root().Value(), "");
    ASSERT_EQ(xml.Root().Items().Count(), 1);
    auto* cdata = dynamic_cast<TSimpleXMLElemCData*>(xml.Root().Items().Item(0));
    ASSERT_NE(cdata, nullptr);
    EXPECT_EQ(cdata->Value(), "x<y>&amp;]]b]");
}

TEST(SimpleXmlLoad, TextBecomesTheValueOnlyWhenItComesFirst) {
    TSimpleXML xml;
    xml.LoadFromString("<a>text <b>inner</b> tail </a>");
    EXPECT_EQ(xml.Root().Value(), "text ");
    ASSERT_EQ(xml.Root().Items().Count(), 2);
    EXPECT_EQ(Child(xml.Root(), 0).Value(), "inner");
    EXPECT_NE(dynamic_cast<TSimpleXMLElemText*>(&Child(xml.Root(), 1)), nullptr);
    EXPECT_EQ(Child(xml.Root(), 1).Value(), "tail ");

    xml.LoadFromString("<a><b/>text</a>");
    EXPECT_EQ(xml.Root().Value(), "");
    ASSERT_EQ(xml.Root().Items().Count(), 2);
    EXPECT_EQ(Child(xml.Root(), 1).Value(), "text");

    xml.LoadFromString("<a><!-- note - here -->text</a>");
    EXPECT_EQ(xml.Root().Value(), "");
    ASSERT_EQ(xml.Root().Items().Count(), 2);
    EXPECT_NE(dynamic_cast<TSimpleXMLElemComment*>(&Child(xml.Root(), 0)), nullptr);
    EXPECT_EQ(Child(xml.Root(), 0).Value(), " note - here ");
    EXPECT_EQ(Child(xml.Root(), 1).Value(), "text");
}

TEST(SimpleXmlLoad, PrefixesAndAttributesInBothQuotes) {
    TSimpleXML xml;
    xml.LoadFromString("<x:a p:b=\"1\" c='two \"q\"' d = \"&lt;&#66;\" e-f_1=''>v</y:a>");
    TSimpleXMLElemClassic& root = xml.Root();
    EXPECT_EQ(root.Prefix(), "x");
    EXPECT_EQ(root.Name(), "a");
    EXPECT_EQ(root.Value(), "v");
    TSimpleXMLProps& props = root.Properties();
    ASSERT_EQ(props.Count(), 4);
    EXPECT_EQ(props.Item(0)->Prefix(), "p");
    EXPECT_EQ(props.Item(0)->Name(), "b");
    EXPECT_EQ(props.Item(0)->IntValue(), 1);
    EXPECT_EQ(props.Item(1)->Value(), "two \"q\"");
    EXPECT_EQ(props.Item(2)->Name(), "d");
    EXPECT_EQ(props.Item(2)->Value(), "<B");
    EXPECT_EQ(props.Item(3)->Name(), "e-f_1");
    EXPECT_EQ(props.Item(4), nullptr);
    EXPECT_EQ(props.ItemNamed("C"), props.Item(1));
    EXPECT_EQ(props.ItemNamed("zz"), nullptr);
    EXPECT_EQ(props.Value("zz", "dflt"), "dflt");
    EXPECT_EQ(props.Count(), 4);
    xml.SetOptions({TSimpleXMLOption::sxoAutoCreate});
    ASSERT_NE(props.ItemNamed("zz", "new"), nullptr);
    EXPECT_EQ(props.Count(), 5);
    EXPECT_EQ(props.Value("ZZ"), "new");
}

TEST(SimpleXmlLoad, SelfClosingTagsAndEmptyElements) {
    TSimpleXML xml;
    xml.LoadFromString("<a><b/><c k='1'/><d></d><e> </e></a>");
    ASSERT_EQ(xml.Root().Items().Count(), 4);
    EXPECT_EQ(Child(xml.Root(), 1).Properties().Value("k"), "1");
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Child(xml.Root(), i).Value(), "");
        EXPECT_FALSE(Child(xml.Root(), i).HasItems());
    }
}

TEST(SimpleXmlLoad, PrologItems) {
    TSimpleXML xml;
    xml.LoadFromString(
        "<?mso-application progid=\"Word.Document\"?>\n"
        "<?fr-application created=\"FastReport\" homesite=\"example.org\"?>\n"
        "<?xml version='1.1' standalone='yes'?>\n"
        "<!-- about -->\n"
        "<?xml-stylesheet type=\"text/xsl\" href=\"a.xsl\"?>\n"
        "<!DOCTYPE note [ <!ENTITY e \"x\"> ] >\n"
        "<note/>trailing text is never read <");
    ASSERT_EQ(xml.Prolog().Count(), 6);
    auto* mso = dynamic_cast<TSimpleXMLElemHeader*>(xml.Prolog().Item(0));
    auto* fr = dynamic_cast<TSimpleXMLElemHeader*>(xml.Prolog().Item(1));
    auto* decl = dynamic_cast<TSimpleXMLElemHeader*>(xml.Prolog().Item(2));
    ASSERT_TRUE(mso && fr && decl);
    EXPECT_EQ(mso->ProgId(), "Word.Document");
    EXPECT_EQ(fr->Created(), "FastReport");
    EXPECT_EQ(fr->HomeSite(), "example.org");
    EXPECT_EQ(decl->Version(), "1.1");
    EXPECT_EQ(decl->Encoding(), "");
    EXPECT_TRUE(decl->StandAlone());
    EXPECT_EQ(xml.Prolog().Item(3)->Value(), " about ");
    auto* sheet = dynamic_cast<TSimpleXMLElemSheet*>(xml.Prolog().Item(4));
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->Properties().Value("href"), "a.xsl");
    auto* docType = dynamic_cast<TSimpleXMLElemDocType*>(xml.Prolog().Item(5));
    ASSERT_NE(docType, nullptr);
    EXPECT_EQ(docType->Value(), "note [ <!ENTITY e \"x\"> ]");
    EXPECT_EQ(xml.Root().Name(), "note");
    EXPECT_EQ(xml.Prolog().Item(6), nullptr);
}

TEST(SimpleXmlLoad, StreamIsLeftJustAfterTheRootElement) {
    TMemoryStream stream;
    stream.LoadFromString("<a>1</a>rest");
    TSimpleXML xml;
    xml.LoadFromStream(stream);
    EXPECT_EQ(xml.Root().Value(), "1");
    EXPECT_EQ(stream.Position(), 8);

    TMemoryStream node;
    node.LoadFromString("<b k='&amp;'>x</b><c/>");
    TSimpleXMLElemClassic elem(nullptr);
    elem.LoadFromStream(node);
    EXPECT_EQ(elem.Name(), "b");
    EXPECT_EQ(elem.Properties().Value("k"), "&amp;");  // no document: nothing decoded
    EXPECT_EQ(node.Position(), 18);
    elem.LoadFromStream(node);  // the next node replaces everything of the previous one
    EXPECT_EQ(elem.Name(), "c");
    EXPECT_EQ(elem.Value(), "");
    EXPECT_FALSE(elem.HasProperties());
}

TEST(SimpleXmlLoad, EventsReportTheRootOnly) {
    TSimpleXML xml;
    std::vector<std::string> tags;
    std::vector<std::string> values;
    int progress = 0;
    xml.OnTagParsed = [&](TSimpleXML&, const std::string& name) { tags.push_back(name); };
    xml.OnValueParsed = [&](TSimpleXML&, const std::string& name, const std::string& value) {
        values.push_back(name + "=" + value);
    };
    xml.OnLoadProgress = [&](TSimpleXML&, int64_t position, int64_t total) {
        EXPECT_LE(position, total);
        ++progress;
    };
    xml.LoadFromString("<!--c--><HOT v='1'>top<a w='2'>x</a></HOT>");
    EXPECT_EQ(tags, std::vector<std::string>{"HOT"});
    EXPECT_EQ(values, (std::vector<std::string>{"v=1", "HOT=top"}));
    EXPECT_GE(progress, 2);
}

TEST(SimpleXmlLoad, RenamedElementsAreFoundUnderTheirNewName) {
    TSimpleXML xml;
    std::string text = "<r>";
    for (int i = 0; i < 40; ++i) text += "<e" + std::to_string(i) + "/>";
    xml.LoadFromString(text + "</r>");
    TSimpleXMLElems& items = xml.Root().Items();
    ASSERT_EQ(items.ItemNamed("E39"), items.Item(39));
    items.Item(39)->SetName("last");
    EXPECT_EQ(items.ItemNamed("e39"), nullptr);
    EXPECT_EQ(items.ItemNamed("LAST"), items.Item(39));
    items.Delete(0);
    EXPECT_EQ(items.ItemNamed("e1"), items.Item(0));
    EXPECT_EQ(items.Item(-1), nullptr);
    EXPECT_EQ(items.Item(39), nullptr);
}

TEST(SimpleXmlLoad, IntValue) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {{"42", 42},  {"-7", -7}, {"$1F", 31}, {"4294967297", 1},
                 {"abc", -1}, {"", -1},   {"6 ", -1},  {"1.5", -1}};
    TSimpleXMLElemClassic elem(nullptr);
    for (const auto& c : cases) {
        elem.SetValue(c.text);
        EXPECT_EQ(elem.IntValue(), c.value) << c.text;
    }
}

}  // namespace
}  // namespace quillan

namespace quillan {
namespace {

// Documents parsed, freed on another thread and released on two threads at once:
// every parse reads back whole, and once all are gone the pool holds nothing.
TEST(SimpleXmlMemory, ReleaseWhileOtherThreadsParseAndFree) {
    std::string doc = "<HOT>";
    for (int i = 0; i < 300; ++i) doc += "<Template a=\"1\"><MenuCaption>m</MenuCaption>text</Template>";
    doc += "</HOT>";
    std::atomic<int> bad{0};
    auto work = [&] {
        for (int round = 0; round < 100; ++round) {
            auto xml = std::make_unique<TSimpleXML>();
            xml->LoadFromString(doc);
            if (xml->Root().Items().Count() != 300 || xml->Root().Items().Item(299)->Items().Count() != 2) ++bad;
            // Freed on a thread of its own, while this one parses the next.
            std::thread([moved = std::move(xml)]() mutable { moved.reset(); }).join();
            auto kept = std::make_unique<TSimpleXML>();
            kept->LoadFromString(doc);
            kept->Release();
            if (kept->Root().HasItems()) ++bad;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_TRUE(xml_detail::PoolRelease());
    EXPECT_EQ(xml_detail::PoolHeldBytes(), 0u);
}

}  // namespace
}  // namespace quillan
