// The writer, the value codecs, IndentString and the stream hooks.
#include <gtest/gtest.h>

#include "components/xml/simple_xml.h"

namespace quillan {
namespace {

TEST(SimpleXmlWrite, SmallTree) {
    TSimpleXML xml;
    xml.Prolog().Add(std::make_unique<TSimpleXMLElemHeader>(nullptr));
    TSimpleXMLElemClassic& root = xml.Root();
    root.SetName("HOT");
    root.Properties().Add("id", "a<b");
    TSimpleXMLElemClassic& tmpl = root.Items().Add("Template");
    tmpl.Items().Add("MenuCaption", "Tom & \"Jerry\" 'x' >");
    tmpl.Items().Add("Empty");
    tmpl.Items().Add("Cyr", "Да");
    auto comment = std::make_unique<TSimpleXMLElemComment>(nullptr);
    comment->SetValue(" c ");
    root.Items().Add(std::move(comment));
    auto cdata = std::make_unique<TSimpleXMLElemCData>(nullptr);
    cdata->SetValue("<raw>");
    root.Items().Add(std::move(cdata));
    TSimpleXMLProp& prop = tmpl.Properties().Add("lang", "ru");
    prop.SetPrefix("xml");

    EXPECT_EQ(xml.SaveToString(),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
              "<HOT id=\"a&lt;b\">\r\n"
              "  <Template xml:lang=\"ru\">\r\n"
              "    <MenuCaption>Tom &amp; &quot;Jerry&quot; &apos;x&apos; &gt;</MenuCaption>\r\n"
              "    <Empty/>\r\n"
              "    <Cyr>&#xC4;&#xE0;</Cyr>\r\n"
              "  </Template>\r\n"
              "  <!-- c -->\r\n"
              "  <![CDATA[<raw>]]>\r\n"
              "</HOT>\r\n");

    xml.SetOptions({TSimpleXMLOption::sxoAutoIndent, TSimpleXMLOption::sxoAutoEncodeEntity});
    xml.SetIndentString("\t");
    std::string saved = xml.SaveToString();
    EXPECT_NE(saved.find("\t\t<Cyr>Да</Cyr>\r\n"), std::string::npos) << saved;
    xml.SetOptions({TSimpleXMLOption::sxoAutoEncodeValue});
    saved = xml.SaveToString();
    EXPECT_NE(saved.find("\r\n<Template xml:lang=\"ru\">\r\n<MenuCaption>"), std::string::npos) << saved;
}

TEST(SimpleXmlWrite, OtherNodesAndRoundTrip) {
    TSimpleXML xml;
    xml.LoadFromString(
        "<?xml version=\"1.0\" encoding=\"windows-1251\" standalone=\"yes\"?>"
        "<?xml-stylesheet href=\"s.xsl\"?><!DOCTYPE r [x]>"
        "<ns:r a='1'>v<b>t</b>tail</ns:r>");
    std::string saved = xml.SaveToString();
    EXPECT_EQ(saved,
              "<?xml version=\"1.0\" encoding=\"windows-1251\" standalone=\"yes\"?>\r\n"
              "<?xml-stylesheet href=\"s.xsl\"?>\r\n"
              "<!DOCTYPE r [x]>\r\n"
              "<ns:r a=\"1\">\r\n"
              "  <b>t</b>\r\n"
              "  tail\r\n"
              "</ns:r>\r\n");
    // Without text runs (whose line break would be read back as part of them) a save reads back the same.
    xml.LoadFromString("<!--c--><ns:r a='&amp;'><b x=\"&#xC0;\">t</b><!--x--><e/></ns:r>");
    saved = xml.SaveToString();
    TSimpleXML again;
    again.LoadFromString(saved);
    EXPECT_EQ(again.SaveToString(), saved);
    EXPECT_EQ(again.Root().Items().Item(0)->Properties().Value("x"), "\xC0");
}

TEST(SimpleXmlWrite, EncodeDecodeRoundTripOfEveryByte) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    for (bool hex : {true, false}) {
        std::string value = all;
        SimpleXMLEncode(value, hex);
        EXPECT_EQ(value.find_first_of("<>\"'"), std::string::npos);
        bool hasHighBytes = value.find('\x80') != std::string::npos;
        EXPECT_EQ(hasHighBytes, !hex);
        SimpleXMLDecodeFull(value);
        EXPECT_EQ(value, all);
    }
    std::string entities = "&#65;&lt;";
    SimpleXMLDecodeEntities(entities);
    EXPECT_EQ(entities, "&#65;<");
}

TEST(SimpleXmlWrite, HooksReplaceTheCodecs) {
    TSimpleXML xml;
    xml.Root().SetName("r");
    xml.Root().SetValue("v");
    xml.OnEncodeValue = [](TSimpleXML&, std::string& value) { value = "[" + value + "]"; };
    EXPECT_EQ(xml.SaveToString(), "<r>[v]</r>\r\n");
    xml.OnEncodeStream = [](TSimpleXML&, TStream& source, TStream& target) {
        std::string bytes(static_cast<size_t>(source.Size()), '\0');
        source.ReadBuffer(bytes.data(), bytes.size());
        for (char& c : bytes) c = static_cast<char>(c ^ 0x20);
        target.WriteBuffer(bytes.data(), bytes.size());
    };
    std::string scrambled = xml.SaveToString();
    EXPECT_EQ(scrambled.size(), 12u);
    EXPECT_EQ(scrambled.find("<r>"), std::string::npos);
    xml.OnDecodeStream = xml.OnEncodeStream;
    xml.OnEncodeValue = nullptr;
    xml.LoadFromString(scrambled);
    EXPECT_EQ(xml.Root().Name(), "r");
    EXPECT_EQ(xml.Root().Value(), "[v]");
}

TEST(SimpleXmlWrite, IndentStringTakesOnlyBlanksAndTabs) {
    TSimpleXML xml;
    EXPECT_EQ(xml.IndentString(), "  ");
    xml.SetIndentString(" \t ");
    EXPECT_EQ(xml.IndentString(), " \t ");
    xml.SetIndentString("--");
    EXPECT_EQ(xml.IndentString(), " \t ");
    xml.SetIndentString("");
    EXPECT_EQ(xml.IndentString(), "");
    TSimpleXMLOptions defaults{TSimpleXMLOption::sxoAutoIndent, TSimpleXMLOption::sxoAutoEncodeValue,
                               TSimpleXMLOption::sxoAutoEncodeEntity};
    EXPECT_EQ(TSimpleXML().Options(), defaults);
}

}  // namespace
}  // namespace quillan
