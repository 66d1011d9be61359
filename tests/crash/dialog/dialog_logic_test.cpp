// The crash dialog's platform-free rules: what it offers, which tab opens, the remembered state,
// the list rows, and the web page (read back by Python's HTML parser).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "crash/dialog/dialog_rules.h"
#include "crash/dialog/dialog_state.h"
#include "crash/dialog/html_page.h"
#include "crash/dialog/list_rows.h"
#include "crash/dialog/picture_scale.h"
#include "crash/dialog/rtf_pages.h"
#include "crash/options/options.h"
#include "tests/support/temp_dir.h"

namespace quillan::crash {
namespace {

TEST(DialogOffers, SendingScreenshotCopyLinkAndRows) {
    TMishapModuleOptions options;  // DialogFlags 0x1F, SendFlags with the screenshot bit
    TDialogOffers offers = DialogOffers(options, false, 1);
    EXPECT_FALSE(offers.Send) << "neither mail nor upload";
    EXPECT_FALSE(offers.Screenshot);
    EXPECT_TRUE(offers.CopyToClipboard);
    EXPECT_FALSE(offers.SupportLink);
    EXPECT_EQ(offers.BoxRows, 1);

    options.SetUploadMethod(1);
    options.SetSupportUrl("   ");
    offers = DialogOffers(options, false, 1);
    EXPECT_TRUE(offers.Send && offers.SendChecked && offers.Screenshot && offers.ScreenshotChecked);
    EXPECT_FALSE(offers.SupportLink) << "a blank address is no link";
    EXPECT_EQ(offers.BoxRows, 2);

    offers = DialogOffers(options, true, 1);
    EXPECT_FALSE(offers.Send || offers.Screenshot || offers.SendChecked) << "a duplicate is never sent";

    options.SetMailMethod(2);
    options.SetUploadMethod(0);
    options.SetSendFlags(options.SendFlags() & ~sfAttachScreenshot);
    options.SetDialogFlags(dfShowDialog | dfAttachScreenshotChecked);
    options.SetSupportUrl("http://example.invalid/support");
    offers = DialogOffers(options, false, 1);
    EXPECT_TRUE(offers.Send);
    EXPECT_FALSE(offers.SendChecked);
    EXPECT_FALSE(offers.Screenshot || offers.ScreenshotChecked);
    EXPECT_FALSE(offers.CopyToClipboard || offers.Details || offers.OpenExpanded);
    EXPECT_TRUE(offers.SupportLink);
    EXPECT_EQ(offers.BoxRows, 2);

    EXPECT_EQ(LowerMargin(0), 0);
    EXPECT_EQ(LowerMargin(1), 20);
    EXPECT_EQ(LowerMargin(2), 34);
}

TEST(DialogOffers, TerminateButtonFromTheFourthReport) {
    TMishapModuleOptions options;  // ReportsBeforeTerminateButton 3, TerminateAction 1
    for (int count = 0; count <= 3; ++count) EXPECT_FALSE(DialogOffers(options, false, count).Terminate) << count;
    EXPECT_TRUE(DialogOffers(options, false, 4).Terminate);
    EXPECT_TRUE(DialogOffers(options, false, 4).Restart);
    options.SetTerminateAction(0);
    EXPECT_FALSE(DialogOffers(options, false, 4).Restart);
    options.SetShowTerminateButton(false);
    EXPECT_FALSE(DialogOffers(options, false, 100).Terminate);
    options.SetShowTerminateButton(true);
    options.SetReportsBeforeTerminateButton(0);
    EXPECT_TRUE(DialogOffers(options, false, 1).Terminate);
}

TEST(DialogTabs, InitialTabMappedOntoTheTabsThatExist) {
    TMishapModuleOptions options;
    using T = TDialogTab;
    struct Case {
        uint8_t logFlags;
        bool custom;
        uint8_t initial;
        std::vector<T> tabs;
        int index;
    };
    const Case cases[] = {
        // Neither Modules nor CPU, InitialTab 4 without custom data: General.
        {0, false, 4, {T::General, T::CallStack}, 0},
        {0, true, 4, {T::General, T::CallStack, T::Other}, 2},
        {lfGatherModules | lfGatherCpu, true, 4, {T::General, T::CallStack, T::Modules, T::Cpu, T::Other}, 4},
        {lfGatherModules | lfGatherCpu, false, 4, {T::General, T::CallStack, T::Modules, T::Cpu}, 0},
        {lfGatherCpu, false, 3, {T::General, T::CallStack, T::Cpu}, 2},
        {lfGatherCpu, false, 2, {T::General, T::CallStack, T::Cpu}, 1},
        {lfGatherModules, false, 3, {T::General, T::CallStack, T::Modules}, 2},
        {lfGatherModules, true, 4, {T::General, T::CallStack, T::Modules, T::Other}, 3},
        {lfGatherModules | lfGatherCpu, false, 1, {T::General, T::CallStack, T::Modules, T::Cpu}, 1},
        // Only the low 7 bits count; numbers past the last tab give the first.
        {lfGatherModules | lfGatherCpu, false, 0x83, {T::General, T::CallStack, T::Modules, T::Cpu}, 3},
        {lfGatherModules | lfGatherCpu, true, 5, {T::General, T::CallStack, T::Modules, T::Cpu, T::Other}, 0},
    };
    for (const Case& c : cases) {
        options.SetLogFlags(c.logFlags);
        const std::vector<T> tabs = DialogTabs(options, c.custom);
        EXPECT_EQ(tabs, c.tabs) << int(c.logFlags);
        EXPECT_EQ(InitialTabIndex(c.initial, tabs), c.index)
            << "flags " << int(c.logFlags) << " initial " << int(c.initial) << " custom " << c.custom;
    }
    EXPECT_EQ(DetailsCaption("&Details", false), "&Details >>");
    EXPECT_EQ(DetailsCaption("&Details", true), "<< &Details");
}

TEST(DialogState, DefaultsRoundTripAndDamagedValues) {
    std::map<std::string, std::string> ini;
    TStateReader read = [&](const std::string& key) -> std::optional<std::string> {
        auto it = ini.find(key);
        if (it == ini.end()) return std::nullopt;
        return it->second;
    };
    TDialogState state = LoadDialogState(read);
    EXPECT_EQ(state.Width, 745);
    EXPECT_EQ(state.Height, 468);
    EXPECT_FALSE(state.HasPosition);
    EXPECT_EQ(state.Col, (std::array<int, 6>{89, 92, 126, 126, 200, 61}));
    EXPECT_EQ(state.ColMod, (std::array<int, 7>{80, 96, 175, 50, 54, 712, 80}));

    state.Width = 900;
    state.Height = 500;
    state.Left = -20;
    state.Top = 33;
    state.WindowsState = kPlacementMaximized;
    state.Col[5] = 7;
    state.ColMod[0] = 0;
    SaveDialogState(state, [&](const std::string& key, const std::string& value) { ini[key] = value; });
    EXPECT_EQ(ini.size(), 5u + 6u + 7u);
    EXPECT_EQ(ini["Col5"], "7");
    EXPECT_EQ(ini["WindowsState"], "3");
    const TDialogState back = LoadDialogState(read);
    EXPECT_EQ(back.Width, 900);
    EXPECT_EQ(back.Height, 500);
    EXPECT_TRUE(back.HasPosition);
    EXPECT_EQ(back.Left, -20);
    EXPECT_EQ(back.Top, 33);
    EXPECT_EQ(back.WindowsState, kPlacementMaximized);
    EXPECT_EQ(back.Col, state.Col);
    EXPECT_EQ(back.ColMod, state.ColMod);

    ini = {{"Width", "abc"}, {"Height", " 300 "}, {"Left", "10"},  {"WindowsState", "2"},
           {"Col0", "-5"},   {"Col1", "99999"},   {"Col2", "12x"}, {"ColMod6", "44"}};
    state = LoadDialogState(read, 400, 200);
    EXPECT_EQ(state.Width, 745) << "not a number";
    EXPECT_EQ(state.Height, 300);
    EXPECT_FALSE(state.HasPosition) << "Left without Top";
    EXPECT_EQ(state.WindowsState, kPlacementNormal) << "never reopened minimised";
    EXPECT_EQ(state.Col[0], 89);
    EXPECT_EQ(state.Col[1], 92);
    EXPECT_EQ(state.Col[2], 126);
    EXPECT_EQ(state.ColMod[6], 44);
    ini = {{"Width", "100"}, {"Height", "150"}};
    state = LoadDialogState(read, 400, 200);
    EXPECT_EQ(state.Width, 745) << "below the smallest size";
    EXPECT_EQ(state.Height, 468);
}

TEST(DialogState, PlacementStaysOnTheWorkArea) {
    const TStateRect area{0, 0, 1280, 994};
    TDialogState state;
    TStateRect r = PlaceDialog(state, area, 640, 497);
    EXPECT_EQ(r.Left, 640 - 745 / 2);
    EXPECT_EQ(r.Top, 497 - 468 / 2);
    EXPECT_EQ(r.Width(), 745);
    state.HasPosition = true;
    state.Left = 100;
    state.Top = 50;
    r = PlaceDialog(state, area, 640, 497);
    EXPECT_EQ(r.Left, 100);
    EXPECT_EQ(r.Top, 50);
    state.Left = 2000;  // the monitor it was on is gone
    state.Top = -300;
    r = PlaceDialog(state, area, 640, 497);
    EXPECT_EQ(r.Right, 1280);
    EXPECT_EQ(r.Top, 0);
    state.Width = 3000;
    state.Height = 2000;
    r = PlaceDialog(state, area, 640, 497);
    EXPECT_EQ(r.Left, 0);
    EXPECT_EQ(r.Width(), 1280);
    EXPECT_EQ(r.Height(), 994);

    EXPECT_EQ(DialogStateFolder("C:\\windows", true, "C:\\Users\\u\\MishapLog\\"), "C:\\windows\\");
    EXPECT_EQ(DialogStateFolder("C:\\windows\\", false, "C:\\Users\\u\\MishapLog\\"), "C:\\Users\\u\\MishapLog\\");
}

TMishapStackEntry Entry(TStackKind kind, uint32_t thread, TAddress address, const char* unit, int line = 0,
                        bool running = false) {
    TMishapStackEntry e;
    e.Kind = kind;
    e.ThreadId = thread;
    e.Address = address;
    e.ModuleHandle = kind == TStackKind::PlainExport ? 0x7C800000 : 0x00400000;
    e.ModuleFile = kind == TStackKind::PlainExport ? "C:\\Windows\\system32\\user32.dll" : "C:\\App\\Quillan.exe";
    e.UnitName = unit;
    e.ProcedureName = "Proc";
    e.Line = line;
    e.LineOffset = 2;
    e.RunningThread = running;
    return e;
}

TEST(ListRows, CallStackGroupedByThreadAndGroupsOpenAndClose) {
    TMishapModuleOptions options;
    options.SetStackFlags(skPlainExports | skLineOffset);  // package exports not listed
    const TMishapStackList stack = {
        Entry(TStackKind::LineTable, 100, 0x00401000, "app/main_form.cpp", 12),
        Entry(TStackKind::LineTable, 100, 0x00402000, "framework/win/window.cpp", 40),
        Entry(TStackKind::PlainExport, 100, 0x7C801234, ""),
        Entry(TStackKind::PackageExport, 100, 0x50001000, "System"),
        Entry(TStackKind::InModule, 100, 0x00407000, ""),
        Entry(TStackKind::LineTable, 200, 0x00409ABC, "crash/capture/report_driver.cpp", 0, true),
        Entry(TStackKind::LineTable, 300, 0x0040AAAA, "engine/paste.cpp", 5),
        Entry(TStackKind::LineTable, 100, 0x0040BBBB, "engine/paste.cpp", 6),
    };
    const std::vector<TThreadSummary> threads = {{100, "Normal", "", true},
                                                 {200, "Highest", "TExceptionThread", false}};
    const std::vector<TListRow> rows = CallStackRows(options, stack, threads, kLayout32);
    ASSERT_EQ(rows.size(), 4u + 3u + 1u + 1u + 1u);
    EXPECT_TRUE(rows[0].Header);
    EXPECT_EQ(rows[0].Text, "Exception Thread: ID=100; Priority=Normal; [Main]");
    EXPECT_EQ(rows[1].Cells,
              (std::vector<std::string>{"00401000", "Quillan.exe", "app/main_form.cpp", "", "Proc", "12[2]"}));
    EXPECT_EQ(rows[1].Icon, TRowIcon::Src);
    EXPECT_EQ(rows[2].Icon, TRowIcon::Fwk);
    EXPECT_EQ(rows[3].Icon, TRowIcon::Dll);
    EXPECT_EQ(rows[3].Cells[1], "user32.dll");
    EXPECT_EQ(rows[3].Cells[5], "") << "line 0 leaves the cell empty";
    EXPECT_EQ(rows[4].Text, "Running Thread: ID=200; Priority=Highest; Class=TExceptionThread");
    EXPECT_EQ(rows[6].Text, "Calling Thread: ID=300; Priority=");
    EXPECT_EQ(rows[8].Text, "Calling Thread: ID=100; Priority=Normal; [Main]") << "a thread seen again opens a group";
    EXPECT_EQ(rows[9].Group, 3);
    TMishapStackEntry package = Entry(TStackKind::PackageExport, 1, 0, "");
    EXPECT_EQ(StackEntryIcon(package), TRowIcon::Pkg);

    TGroupedRows grouped(rows);
    EXPECT_EQ(grouped.Visible().size(), rows.size());
    EXPECT_FALSE(grouped.Toggle(1)) << "an entry row is no header";
    EXPECT_TRUE(grouped.Toggle(0));
    EXPECT_TRUE(grouped.Closed(0));
    ASSERT_EQ(grouped.Visible().size(), rows.size() - 3);
    EXPECT_EQ(grouped.VisibleRow(1).Text, rows[4].Text);
    EXPECT_TRUE(grouped.Toggle(3));  // the third header, now fourth row shown
    EXPECT_TRUE(grouped.Closed(2));
    EXPECT_EQ(grouped.Visible().size(), rows.size() - 4);
    EXPECT_TRUE(grouped.Toggle(0));
    EXPECT_FALSE(grouped.Closed(0));
    EXPECT_EQ(grouped.Visible().size(), rows.size() - 1);
    EXPECT_FALSE(grouped.Toggle(100));
}

TEST(ListRows, ModulesWithTheirPictures) {
    std::vector<TModuleSummary> modules = {
        {0x00400000, "C:\\App\\Quillan.exe", "Quillan", "1.0.0.5", 123456, 45000.5},
        {0x7C800000, "C:\\Windows\\system32\\USER32.DLL", "Wine", "5.1", 99, 45000.0},
        {0x50000000, "C:\\App\\RTL.BPL", "", "", 0, 0},
    };
    const TMishapStackList stack = {Entry(TStackKind::LineTable, 1, 0x00401000, "a.cpp"),
                                    Entry(TStackKind::PlainExport, 1, 0x7C801000, "")};
    const std::vector<TListRow> rows = ModuleRows(modules, stack, kLayout32);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Icon, TRowIcon::Src);
    EXPECT_EQ(rows[1].Icon, TRowIcon::Dll) << "resolved only through exports";
    EXPECT_EQ(rows[2].Icon, TRowIcon::Pkg);
    EXPECT_EQ(rows[0].Cells, (std::vector<std::string>{"00400000", "Quillan.exe", "Quillan", "1.0.0.5", "123456",
                                                       "C:\\App\\", "2023-03-15 12:00:00"}));
    EXPECT_FALSE(rows[0].Header);
    EXPECT_EQ(rows[0].Group, -1);
}

TEST(RtfPages, HeaderEscapesAndHiddenItems) {
    EXPECT_EQ(RtfHeader(204, "Courier New"),
              "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1040{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset204 Courier "
              "New;}}\r\n{\\colortbl ;\\red0\\green100\\blue100;\\red0\\green0\\blue0;\\red40\\green40\\blue40;\\red0"
              "\\green0\\blue160;}\r\n");
    EXPECT_EQ(RtfEscape("a\\b{c}\t\x01\xC0\xFF"), "a\\\\b\\{c\\}\\tab \\'c0\\'ff");

    TMishapModuleOptions options;
    uint64_t mask = kDetailMaskAll;
    for (int item = 1; item <= 5; ++item) mask &= ~(1ull << DetailBit(1, item));  // section 1 hidden
    mask &= ~(1ull << DetailBit(2, 3));
    options.SetDetailMask(mask);
    TReportContext context;
    context.Options = &options;
    context.Values[TReportItem::StartDate] = "hidden start";
    context.Values[TReportItem::ExceptionModule] = "hidden module";
    context.Values[TReportItem::ExceptionMessage] = "first {line}\r\nsecond";
    const std::string rtf = GeneralPageRtf(context);
    EXPECT_EQ(rtf.find("hidden"), std::string::npos);
    EXPECT_EQ(rtf.find("Application"), std::string::npos) << "a section with no shown item goes with its title";
    EXPECT_NE(rtf.find("\\cf1\\b Exception:\\b0\\par"), std::string::npos);
    EXPECT_NE(rtf.find("2.5\\tab Message\\tab \\cf4 first \\{line\\}\\par\r\n\\tab \\tab second\\par"),
              std::string::npos);
    EXPECT_EQ(rtf.back(), '}');
}

TEST(PictureScale, AreaAverageWeightedByAlphaAndPremultiplied) {
    // 4 x 2: an opaque red pixel beside a transparent white one, twice; then two grey pixels with
    // half alpha beside two opaque blue ones.
    TRgbaPicture source{4, 2, {}};
    const uint8_t pixels[8][4] = {{0, 0, 255, 255},     {255, 255, 255, 0},   {0, 0, 255, 255}, {255, 255, 255, 0},
                                  {100, 100, 100, 128}, {100, 100, 100, 128}, {255, 0, 0, 255}, {255, 0, 0, 255}};
    for (const auto& p : pixels) source.Pixels.insert(source.Pixels.end(), p, p + 4);
    const TRgbaPicture half = ScalePremultiplied(source, 2, 1);
    ASSERT_EQ(half.Pixels.size(), 8u);
    // Left: red (alpha 1) + white (alpha 0) + grey (alpha .5) twice, over four pixels.
    EXPECT_EQ(half.Pixels[3], 128);                                // (255 + 0 + 128 + 128) / 4
    EXPECT_EQ(half.Pixels[2], std::lround((255 + 50.2 * 2) / 4));  // red premultiplied
    EXPECT_EQ(half.Pixels[0], std::lround(100 * 128 / 255.0 * 2 / 4));
    // Right: blue twice opaque, red, transparent white: no white leaks in.
    EXPECT_EQ(half.Pixels[7], std::lround((255 * 3) / 4.0));
    EXPECT_EQ(half.Pixels[4], std::lround(255 * 2 / 4.0));
    EXPECT_EQ(half.Pixels[5], 0);
    EXPECT_EQ(half.Pixels[6], std::lround(255 / 4.0));
    // Same size: only premultiplied; a fractional 3 -> 2 keeps every channel within its alpha.
    const TRgbaPicture same = ScalePremultiplied(source, 4, 2);
    EXPECT_EQ(same.Pixels[16], 50);
    EXPECT_EQ(same.Pixels[19], 128);
    const TRgbaPicture odd = ScalePremultiplied(source, 3, 2);
    for (size_t i = 0; i < odd.Pixels.size(); i += 4) {
        for (int c = 0; c < 3; ++c) EXPECT_LE(odd.Pixels[i + c], odd.Pixels[i + 3]);
    }
    EXPECT_TRUE(ScalePremultiplied(source, 0, 5).Pixels.empty());
    const TRgbaPicture up = ScalePremultiplied(source, 8, 4);
    EXPECT_EQ(up.Pixels[3], 255);
    EXPECT_EQ(up.Pixels[2], 255);
}

#ifndef _WIN32
// Python's HTML parser reads the page back as a browser shows it: runs of white space are one
// blank and dropped at a line's ends, <br> breaks the line, &nbsp; stays.
std::string ReadBackWithPython(const std::string& page, const test::TempDir& dir) {
    const std::string file = dir.Path() + "page.html";
    std::ofstream(file, std::ios::binary) << page;
    const std::string script = dir.Path() + "read.py";
    std::ofstream(script) << R"(import sys, re, html.parser
class P(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.out, self.title, self.where, self.comments = [], [], None, []
    def handle_starttag(self, tag, attrs):
        if tag == 'br': self.out.append('\n')
        if tag in ('title', 'body'): self.where = tag
        if tag == 'input': self.out.append('[button %s]' % dict(attrs).get('onclick'))
    def handle_data(self, d):
        (self.title if self.where == 'title' else self.out).append(re.sub('[ \\t\\r\\n]+', ' ', d))
    def handle_endtag(self, tag):
        if tag == 'title': self.where = None
    def handle_comment(self, c): self.comments.append(c)
p = P()
p.feed(open(sys.argv[1], encoding='latin-1').read())
lines = [l.strip(' ').replace('\xa0', ' ') for l in ''.join(p.out).split('\n')]
sys.stdout.write('TITLE=' + ''.join(p.title) + '\nCOMMENTS=' + '|'.join(p.comments) + '\n' + '\n'.join(lines))
)";
    const std::string command = "python3 " + script + " " + file;
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (pipe) {
        EXPECT_EQ(pclose(pipe), 0);
    }
    return out;
}
#endif

TEST(WebPage, ConversionOrderTagTitleIdAndCgiAnswer) {
    EXPECT_EQ(TextToHtml("a & b \"c\" 'd' <e> f   g\r\nh\ni\rj"),
              "a &amp; b &quot;c&quot; &#039;d&#039; &lt;e&gt; f&nbsp;&nbsp; g<br>\r\nh<br>\r\ni<br>\r\nj");
    EXPECT_EQ(TextToHtml("&lt;"), "&amp;lt;") << "the ampersand goes first";
    // The tag in any case, a layout without a title or head, an ID that would end the comment.
    EXPECT_EQ(BuildErrorPage("<HTML><body><%html_Tag%><p><%Html_Tag%></p></body></HTML>", TextToHtml("x < y"),
                             "Fehler <1>", "a--b"),
              "<HTML><title>Fehler &lt;1&gt;</title><body>x &lt; y<p>x &lt; y</p></body></HTML>"
              "<!-- MishapLog ID: a- -b -->");
    EXPECT_EQ(BuildErrorPage("<html><head><TITLE>t</TITLE></head><body></body></html>", "m", "x", "1"),
              "<html><head><TITLE>t</TITLE></head><body>m</body></html><!-- MishapLog ID: 1 -->")
        << "no tag: the content goes before </body>";
    EXPECT_EQ(BuildErrorPage("<head ><titles>", "m", "x", "1"),
              "<head ><title>x</title><titles>m<!-- MishapLog ID: 1 -->");
    EXPECT_EQ(CgiResponse("<p>\xE9</p>"),
              "Status: 200 Error\r\nContent-Type: text/html\r\nContent-Length: 8\r\n\r\n<p>\xE9</p>");
}

TEST(WebPage, PageReadBackByPythonsHtmlParser) {
#ifdef _WIN32
    GTEST_SKIP() << "Python's HTML parser is the oracle on the host only";
#else
    test::TempDir dir;
    const std::string message = "Access violation at <00401234> & \"quoted\" 'text'\r\n  two  blanks\r\n";
    const std::string page = BuildErrorPage(kDefaultHtmlLayout, TextToHtml(message) + std::string(kHtmlOkButton),
                                            "Error.", "20240102030405-1");
    EXPECT_NE(page.find("<!-- MishapLog ID: 20240102030405-1 -->"), std::string::npos);
    EXPECT_EQ(page.find("<%HTML_TAG%>"), std::string::npos);
    const std::string back = ReadBackWithPython(page, dir);
    EXPECT_NE(back.find("TITLE=\n"), std::string::npos) << "the layout's own (empty) title is kept:\n" << back;
    EXPECT_NE(back.find("COMMENTS= MishapLog ID: 20240102030405-1 \n"), std::string::npos) << back;
    EXPECT_NE(back.find("Access violation at <00401234> & \"quoted\" 'text'\n  two  blanks\n"), std::string::npos)
        << back;
    EXPECT_NE(back.find("[button history.go(-1)]"), std::string::npos) << back;
    const std::string bare =
        BuildErrorPage("<HTML><body><%HTML_TAG%></body></HTML>", TextToHtml("x < y"), "Fehler <1>", "a--b");
    const std::string reread = ReadBackWithPython(bare, dir);
    EXPECT_NE(reread.find("TITLE=Fehler <1>\n"), std::string::npos) << reread;
    EXPECT_NE(reread.find("COMMENTS= MishapLog ID: a- -b \n"), std::string::npos) << reread;
    EXPECT_NE(reread.find("x < y"), std::string::npos) << reread;
#endif
}

}  // namespace
}  // namespace quillan::crash
