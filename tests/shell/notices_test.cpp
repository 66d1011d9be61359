// What the shell says when hot.ini cannot be loaded: the reader's own error, read from
// a real parse, with where it stopped, whole, within what a balloon shows.
#include "app/notices.h"

#include <gtest/gtest.h>

#include "components/xml/simple_xml.h"

namespace quillan {
namespace {

// A balloon's text as one line: each line's end read as the blank it stands for.
std::string OneLine(const std::string& text) {
    const std::string end = std::string(kBalloonLineEnd) + "\n";
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, end.size(), end) == 0) {
            line += ' ';
            i += end.size() - 1;
        } else {
            line += text[i];
        }
    }
    const std::string last = kBalloonLineEnd;
    EXPECT_EQ(line.substr(line.size() - last.size()), last) << "the last line is not ended";
    return line.substr(0, line.size() - last.size());
}

// No line is longer than a balloon's line unless it is a single word.
void ExpectShortLines(const std::string& text) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        const std::string lineEnd = kBalloonLineEnd;
        EXPECT_EQ(line.substr(line.size() - lineEnd.size()), lineEnd) << line;
        line.resize(line.size() - lineEnd.size());
        if (line.find(' ') != std::string::npos) {
            EXPECT_LE(line.size(), kBalloonLineLimit) << line;
        }
        start = end + 1;
    }
}

// The error of a hot.ini whose caption's end tag lost its last letter.
ESimpleXMLError MisspeltEndTag() {
    TSimpleXML xml;
    try {
        xml.LoadFromString(
            "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n <Templates>\r\n"
            "  <Application>Общие</Application>\r\n   <Template>\r\n    <MenuCaption>Письмо</MenuCaptio>\r\n");
    } catch (const ESimpleXMLError& e) {
        return e;
    }
    ADD_FAILURE() << "the file parsed";
    return ESimpleXMLError("");
}

TEST(TemplateFileNotice, ABalloonNamesWhereTheReaderStoppedAndHoldsItsWholeMessage) {
    ESimpleXMLError error = MisspeltEndTag();
    ASSERT_EQ(error.Line, 6);
    const std::string place = "строка 6, символ " + std::to_string(error.Column) + ": ";
    const std::string path = "C:\\Users\\user\\Documents\\Quillan\\hot.ini";

    TTemplateFileNotice notice = DescribeTemplateFileProblem(path, true, error);
    EXPECT_LE(notice.Balloon.size(), kBalloonTextLimit);
    EXPECT_NE(OneLine(notice.Balloon).find(place + error.what()), std::string::npos) << notice.Balloon;
    EXPECT_NE(OneLine(notice.Balloon).find(path), std::string::npos) << notice.Balloon;
    ASSERT_GE(notice.MenuLines.size(), 2u);
    EXPECT_NE(notice.MenuLines[0].find(path), std::string::npos);
    EXPECT_EQ(notice.MenuLines[1], place + error.what());

    // A path too long to fit beside the message: the balloon names the file alone and
    // still holds the message whole; the menu keeps the full path.
    const std::string deep = "C:\\" + std::string(200, 'd') + "\\hot.ini";
    notice = DescribeTemplateFileProblem(deep, true, error);
    EXPECT_LE(notice.Balloon.size(), kBalloonTextLimit);
    EXPECT_NE(OneLine(notice.Balloon).find("«hot.ini»"), std::string::npos) << notice.Balloon;
    EXPECT_NE(OneLine(notice.Balloon).find(place + error.what()), std::string::npos) << notice.Balloon;
    EXPECT_NE(notice.MenuLines[0].find(deep), std::string::npos);
    ExpectShortLines(notice.Balloon);
}

TEST(TemplateFileNotice, AMissingFileIsNamedAsMissing) {
    TTemplateFileNotice notice = DescribeTemplateFileProblem("D:\\hot.ini", false, std::runtime_error("open"));
    EXPECT_EQ(OneLine(notice.Balloon), "Файла шаблонов «D:\\hot.ini» нет. Шаблоны можно завести в «Настройках».");
    EXPECT_EQ(notice.MenuLines.front(), "Файла шаблонов «D:\\hot.ini» нет.");
}

TEST(TemplateFileNotice, ATextBeyondTheBalloonIsCutVisibly) {
    const std::string message(400, 'x');
    TTemplateFileNotice notice = DescribeTemplateFileProblem("hot.ini", true, std::runtime_error(message));
    EXPECT_EQ(notice.Balloon.size(), kBalloonTextLimit);
    const std::string cutMark = std::string("...") + kBalloonLineEnd;
    EXPECT_EQ(notice.Balloon.substr(kBalloonTextLimit - cutMark.size()), cutMark);
    EXPECT_EQ(notice.MenuLines[1], message) << "the menu keeps the whole message";
    EXPECT_EQ(OneLine(FitBalloon("short")), "short");
    const std::string words =
        "слово " + std::string(100, 'w') + " и ещё несколько слов, которых хватит на вторую строку";
    EXPECT_EQ(OneLine(FitBalloon(words)), words);
    ExpectShortLines(FitBalloon(words));
}

TEST(RestartNotice, TheBalloonNamesTheLogWholeWhenItFitsElseByItsName) {
    const std::string log = "C:\\Program Files\\Quillan\\Quillan.mlf";
    EXPECT_EQ(OneLine(RestartedBalloon(log)),
              "Quillan был перезапущен после сбоя. Отчёт о сбое записан в журнал «" + log + "».");
    ExpectShortLines(RestartedBalloon(log));
    const std::string deep = "C:\\" + std::string(240, 'd') + "\\Quillan.mlf";
    const std::string named = RestartedBalloon(deep);
    EXPECT_LE(named.size(), kBalloonTextLimit);
    EXPECT_NE(OneLine(named).find("«Quillan.mlf»."), std::string::npos) << named;
    EXPECT_EQ(OneLine(RestartedBalloon("")), "Quillan был перезапущен после сбоя.");
}

}  // namespace
}  // namespace quillan
