// The options dialog's model, driven as the form drives it, against real files.
#include "engine/options/options_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/options/template_text.h"
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "tests/support/temp_dir.h"

namespace quillan {
namespace {

const std::string kHeader = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n";

struct Tpl {
    std::string caption, text;
    int x, y;
};
std::string App(const std::string& name, const std::vector<Tpl>& templates) {
    std::string s = " <Templates>\r\n  <Application>" + name + "</Application>\r\n";
    for (const Tpl& t : templates)
        s += "   <Template>\r\n    <MenuCaption>" + t.caption + "</MenuCaption>\r\n    <TemplateText>" + t.text +
             "</TemplateText>\r\n    <PointX>" + std::to_string(t.x) + "</PointX>\r\n    <PointY>" +
             std::to_string(t.y) + "</PointY>\r\n   </Template>\r\n";
    return s + " </Templates>\r\n";
}
std::string Hot(const std::string& blocks) { return kHeader + blocks + "</HOT>\r\n"; }

class ModelTest : public ::testing::Test {
protected:
    std::string Path() const { return dir.Path() + "hot.ini"; }
    void Load(const std::string& bytes) {
        AtomicWriteFile(Path(), bytes);
        model.Load(xml, Path());
    }
    std::string SaveAndRead() {
        model.Save(Path());
        return ReadFileBytes(Path());
    }
    // Selects the first node of that text and shows it, as a click in the tree does.
    TPanelView Show(const std::string& text) {
        TNodeId id = model.Find(text);
        EXPECT_NE(id, kNoNode) << text;
        model.Select(id);
        return model.ShowSelected();
    }
    // Node texts in index order, templates indented by one blank.
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (TNodeId id : model.Nodes()) out.push_back((model.IsApplication(id) ? "" : " ") + model.TextOf(id));
        return out;
    }
    TTmpl& Rec(const std::string& text) { return *model.Record(model.Find(text)); }

    test::TempDir dir;
    TSimpleXML xml;
    TOptionsModel model;
};

using Names = std::vector<std::string>;

// The fault this model mends: a first line longer than the memo is wide wrapped in
// the memo, and the marker went where the wrapped lines put it.
TEST_F(ModelTest, LongFirstLineKeepsTheFileByteForByteAndTheMarkerOnItsLine) {
    const std::string text = std::string(120, 'x') + "\r\nabcd\r\nef";
    const std::string file = Hot(App("Общие", {}) + App("notepad.exe", {{"long", text, 3, 2}}));
    Load(file);
    TPanelView view = Show("long");
    ASSERT_EQ(view.Kind, TPanelKind::Template);
    EXPECT_EQ(view.MemoText, std::string(120, 'x') + "\r\nab*cd\r\nef");
    EXPECT_EQ(view.Caret, 125);  // just after the marker
    EXPECT_EQ(view.Row, 2);
    EXPECT_EQ(view.Column, 3);
    EXPECT_EQ(model.MarkerOffset(), 124);
    EXPECT_FALSE(model.EditText(view.MemoText));  // the memo reporting what it was given
    EXPECT_EQ(Rec("long").TemplateText, text);
    EXPECT_EQ(SaveAndRead(), file);

    // Ctrl+Click at the start of line 3 (the marker on line 2 does not count).
    ASSERT_TRUE(model.SetHotPointAtCaret(static_cast<int>(view.MemoText.find("ef"))));
    EXPECT_EQ(Rec("long").PointY, 3);
    EXPECT_EQ(Rec("long").PointX, 1);
    // ... and on line 2 right after the marker, where the caret was put.
    ASSERT_TRUE(model.SetHotPointAtCaret(view.Caret));
    EXPECT_EQ(Rec("long").PointX, 3);
    EXPECT_EQ(Rec("long").PointY, 2);
}

TEST_F(ModelTest, MarkerIsShownAndNeverStored) {
    const std::string file = Hot(App("Общие", {}) + App("notepad.exe", {{"cap", "ab\r\ncdef", 3, 2}}));
    Load(file);
    TPanelView view = Show("cap");
    EXPECT_EQ(view.MemoText, "ab\r\ncd*ef");
    EXPECT_EQ(view.Caption, "cap");
    EXPECT_EQ(SaveAndRead(), file);  // saved without edits: as it was, point 3, 2
    // Ctrl+Click at the very start.
    ASSERT_TRUE(model.SetHotPointAtCaret(0));
    EXPECT_EQ(Rec("cap").PointX, 1);
    EXPECT_EQ(Rec("cap").PointY, 1);
    model.EditHotPointColumn(3);
    model.EditHotPointRow(2);
    // Typing at the caret puts the text at the hot point.
    model.EditText("ab\r\ncd*Xef");
    EXPECT_EQ(Rec("cap").TemplateText, "ab\r\ncdXef");
    // Typing before the marker, on its line and above it, moves the marker, which
    // still is not part of the text.
    model.EditText("ab\r\nYcd*Xef");
    model.EditText("new\r\nab\r\nYcd*Xef");
    EXPECT_EQ(Rec("cap").TemplateText, "new\r\nab\r\nYcdXef");
    // Once the hot point moves, the old marker still is no part of the text.
    model.EditHotPointColumn(1);
    model.EditHotPointRow(1);
    model.EditText("new!\r\nab\r\nYcd*Xef");
    EXPECT_EQ(Rec("cap").TemplateText, "new!\r\nab\r\nYcdXef");
    // Deleting the marker leaves a text in which a typed star is the user's own.
    model.EditText("new!\r\nab\r\nYcdXef");
    model.EditText("new!\r\nab\r\nYcd*Xef");
    EXPECT_EQ(Rec("cap").TemplateText, "new!\r\nab\r\nYcd*Xef");
    EXPECT_EQ(model.MarkerOffset(), -1);
}

TEST_F(ModelTest, TemplatesWithoutAMarkerShowTheirTextAsItIs) {
    Load(
        Hot(App("Общие", {{"unset", "a*b", 0, 0}, {"far", "ab", 9, 1}, {"below", "ab", 1, 4}, {"star", "a*b", 2, 1}})));
    for (const char* caption : {"unset", "far", "below"}) {
        TPanelView view = Show(caption);
        EXPECT_EQ(view.MemoText, Rec(caption).TemplateText) << caption;
        EXPECT_EQ(model.MarkerOffset(), -1);
    }
    EXPECT_EQ(Show("far").Caret, 2);    // clamped to the end of its line
    EXPECT_EQ(Show("unset").Caret, 0);  // no point: the start
    // A star of the text at the hot point is the text's, with the marker beside it.
    TPanelView view = Show("star");
    EXPECT_EQ(view.MemoText, "a**b");
    model.EditText("a**b!");
    EXPECT_EQ(Rec("star").TemplateText, "a*b!");
}

TEST_F(ModelTest, CaptionFollowsTheTextUntilTypedOtherwise) {
    Load(Hot(App("Общие", {{"t", "u", 1, 1}, {"//Шаблон", "from file", 0, 0}})));
    // A caption that is still the default takes the text's form when shown.
    EXPECT_EQ(Show("//Шаблон").Caption, "from file");
    EXPECT_EQ(Rec("from file").MenuCaption, "from file");

    model.Select(model.Find("Общие"));
    TNodeId added = model.AddTemplate();
    EXPECT_EQ(model.TextOf(added), "//Шаблон 3");
    EXPECT_EQ(model.Record(added)->MenuCaption, "//Шаблон");  // until first shown
    EXPECT_EQ(model.Record(added)->TemplateText, "//Шаблон 3");
    EXPECT_EQ(model.Record(added)->Application, "Общие");
    EXPECT_EQ(model.Selected(), model.Find("Общие"));  // the new node is not selected

    model.Select(model.Find("t"));
    TNodeId second = model.AddTemplate();  // a template selected: its own child count + 1
    EXPECT_EQ(model.TextOf(second), "//Шаблон1");
    EXPECT_EQ(Texts(), (Names{"Общие", " t", " from file", " //Шаблон 3", " //Шаблон1"}));

    model.Select(second);
    EXPECT_EQ(model.ShowSelected().Caption, "//Шаблон1");
    EXPECT_EQ(model.Record(second)->MenuCaption, "//Шаблон1");
    EXPECT_TRUE(model.EditText("Hello\r\n\tWorld"));
    EXPECT_EQ(model.TextOf(second), "Hello.World");
    EXPECT_EQ(model.Record(second)->MenuCaption, "Hello.World");
    EXPECT_TRUE(model.EditCaption("Mine"));
    EXPECT_FALSE(model.EditText("Other"));
    EXPECT_EQ(model.Record(second)->MenuCaption, "Mine");
    EXPECT_EQ(model.Record(second)->TemplateText, "Other");
    model.EditHotPointRow(4);
    model.EditHotPointColumn(-2);
    EXPECT_EQ(model.Record(second)->PointY, 4);
    EXPECT_EQ(model.Record(second)->PointX, -2);
}

TEST_F(ModelTest, ApplicationsAreNumberedPerOpening) {
    Load(Hot(App("Общие", {}) + App("a.exe", {{"ta", "x", 1, 1}}) + App("b.exe", {})));
    // From the hotkey menu: every match is expanded, the last stays selected.
    TFocusResult focus = model.FocusApplication("b.exe");
    EXPECT_EQ(focus.Added, kNoNode);
    EXPECT_EQ(focus.Expanded, std::vector<TNodeId>{model.Find("b.exe")});
    EXPECT_EQ(model.Selected(), model.Find("b.exe"));
    EXPECT_EQ(model.ShowSelected().AppName, "b.exe");
    EXPECT_EQ(model.FocusApplication("ta").Expanded, std::vector<TNodeId>{model.Find("ta")});  // any level
    EXPECT_EQ(model.ApplicationCounter(), 0);

    // No match: a node named after the program is added, selected and counted.
    focus = model.FocusApplication("calc.exe");
    EXPECT_NE(focus.Added, kNoNode);
    EXPECT_EQ(model.Selected(), focus.Added);
    EXPECT_EQ(model.TextOf(model.AddApplication()), "Приложение 2");
    EXPECT_EQ(model.Selected(), focus.Added);  // an added application is not selected
    TNodeId upper = model.FocusApplication("B.EXE").Added;  // case counts
    EXPECT_EQ(upper, model.Nodes().back());
    EXPECT_EQ(Texts(), (Names{"Общие", "a.exe", " ta", "b.exe", "calc.exe", "Приложение 2", "B.EXE"}));
    model.ResetApplicationCounter();
    EXPECT_EQ(model.TextOf(model.AddApplication()), "Приложение 1");
}

TEST_F(ModelTest, TheCommonGroupCannotBeDeletedOrRenamed) {
    EXPECT_EQ(Texts(), Names{"Общие"});  // before any file is read
    EXPECT_FALSE(model.CanDelete());     // nothing selected
    EXPECT_EQ(model.AddTemplate(), kNoNode);
    Load(Hot(App("Общие", {}) + App("b.exe", {{"t", "x", 1, 1}})));
    Show("Общие");
    EXPECT_FALSE(model.CanDelete());
    EXPECT_FALSE(model.AcceptsApplicationKey());
    EXPECT_EQ(model.DeleteSelected(), kNoNode);
    Show("b.exe");
    EXPECT_TRUE(model.AcceptsApplicationKey());
    EXPECT_TRUE(model.RenameApplication("Общие"));
    EXPECT_FALSE(model.CanDelete());
    EXPECT_FALSE(model.AcceptsApplicationKey());
    EXPECT_EQ(model.DeleteSelected(), kNoNode);
    // A template named "Общие" is protected the same way.
    Show("t");
    EXPECT_FALSE(model.RenameApplication("x"));  // not an application
    model.EditCaption("Общие");
    EXPECT_FALSE(model.CanDelete());
    EXPECT_EQ(Texts(), (Names{"Общие", "Общие", " Общие"}));
}

// After a delete the newly selected node is the one that takes the edits.
TEST_F(ModelTest, DeletingMovesTheSelectionAndLaterEditsLandThere) {
    Load(Hot(App("Общие", {}) + App("a.exe", {{"t1", "one", 0, 0}, {"t2", "two", 0, 0}, {"t3", "three", 0, 0}}) +
             App("b.exe", {{"t4", "four", 0, 0}})));
    Show("t2");
    TNodeId t2 = model.Selected();
    EXPECT_EQ(model.DeleteSelected(), t2);
    EXPECT_FALSE(model.Exists(t2));
    EXPECT_EQ(model.Selected(), model.Find("t3"));  // the next sibling
    // The panel shows the deleted record no more: an edit before showing goes nowhere.
    EXPECT_FALSE(model.EditText("stale"));
    EXPECT_EQ(model.ShowSelected().MemoText, "three");
    model.EditText("three!");
    model.EditHotPointColumn(2);
    EXPECT_EQ(Rec("t3").TemplateText, "three!");
    EXPECT_EQ(Rec("t3").PointX, 2);
    EXPECT_EQ(Rec("t1").TemplateText, "one");
    EXPECT_EQ(Rec("t1").PointX, 0);

    EXPECT_NE(model.DeleteSelected(), kNoNode);  // t3, the last: its application
    EXPECT_EQ(model.Selected(), model.Find("a.exe"));
    EXPECT_EQ(model.ShowSelected().Kind, TPanelKind::Application);
    EXPECT_NE(model.DeleteSelected(), kNoNode);  // a.exe and t1: the next application
    EXPECT_EQ(Texts(), (Names{"Общие", "b.exe", " t4"}));
    EXPECT_EQ(model.Selected(), model.Find("b.exe"));
    EXPECT_NE(model.DeleteSelected(), kNoNode);  // the last application: the one before
    EXPECT_EQ(model.Selected(), model.Find("Общие"));
    EXPECT_EQ(SaveAndRead(), Hot(App("Общие", {})));
}

TEST_F(ModelTest, DragMovesTemplatesOnly) {
    Load(Hot(App("Общие", {}) + App("a.exe", {{"t1", "one", 0, 0}, {"t2", "two", 0, 0}}) +
             App("b.exe", {{"t3", "three", 0, 0}})));
    Show("t2");
    ASSERT_TRUE(model.CanDrag());
    EXPECT_EQ(model.Drop(model.Find("b.exe")), model.Find("b.exe"));  // onto an application: first
    EXPECT_EQ(Texts(), (Names{"Общие", "a.exe", " t1", "b.exe", " t2", " t3"}));
    EXPECT_EQ(Rec("t2").Application, "");  // the file is written from the tree, not from this

    Show("t3");
    EXPECT_EQ(model.Drop(model.Find("t1")), model.Find("a.exe"));  // onto a template: just before it
    EXPECT_EQ(Texts(), (Names{"Общие", "a.exe", " t3", " t1", "b.exe", " t2"}));
    EXPECT_EQ(model.Selected(), model.Find("t3"));
    EXPECT_EQ(model.Drop(model.Find("t1")), model.Find("a.exe"));  // already there: stays
    EXPECT_EQ(model.Drop(kNoNode), kNoNode);                       // empty space
    EXPECT_EQ(model.Drop(model.Find("t3")), kNoNode);              // itself

    Show("a.exe");
    EXPECT_FALSE(model.CanDrag());
    EXPECT_EQ(model.Drop(model.Find("t2")), kNoNode);
    EXPECT_EQ(Texts(), (Names{"Общие", "a.exe", " t3", " t1", "b.exe", " t2"}));
    Show("t1");
    EXPECT_EQ(model.Drop(model.Find("t3")), model.Find("a.exe"));  // up within its application
    EXPECT_EQ(Texts(), (Names{"Общие", "a.exe", " t1", " t3", "b.exe", " t2"}));
    EXPECT_EQ(SaveAndRead(), Hot(App("Общие", {}) + App("a.exe", {{"t1", "one", 4, 1}, {"t3", "three", 6, 1}}) +
                                 App("b.exe", {{"t2", "two", 4, 1}})));
}

TEST_F(ModelTest, FilesThatCannotBeReadLeaveTheTree) {
    try {
        model.Load(xml, Path());
        FAIL() << "no error for a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + Path() + "\".", 0), 0u) << e.what();
    }
    EXPECT_EQ(Texts(), Names{"Общие"});
    // First use: the save makes the file with the common group alone, nothing to back up.
    EXPECT_EQ(SaveAndRead(), Hot(App("Общие", {})));
    EXPECT_FALSE(FileExists(Path() + ".backup"));

    Load(Hot(App("Общие", {}) + App("a.exe", {{"t", "x", 1, 1}})));
    Show("t");
    AtomicWriteFile(Path(), "<HOT><Templates><Application>x</Application></HOT>");
    EXPECT_THROW(model.Load(xml, Path()), ESimpleXMLError);
    EXPECT_EQ(Texts(), (Names{"Общие", "a.exe", " t"}));
    EXPECT_EQ(model.Selected(), model.Find("t"));
}

TEST_F(ModelTest, SavedValuesAreEscapedAndUnsetHotPointsFilledIn) {
    Load(Hot(App("Общие", {{"x", "y", 1, 1}})));
    Show("x");
    model.EditCaption("a<b&c");
    model.EditText("if (a < b && c > d) \"q\" 'z'");
    model.Select(model.Find("Общие"));
    TNodeId added = model.AddTemplate();
    model.Select(added);
    model.ShowSelected();
    model.EditText("line1\r\n\r\nline3");
    std::string file = SaveAndRead();
    EXPECT_NE(file.find("<MenuCaption>a&lt;b&amp;c</MenuCaption>"), std::string::npos) << file;
    EXPECT_NE(file.find("<TemplateText>if (a &lt; b &amp;&amp; c &gt; d) &quot;q&quot; &apos;z&apos;</TemplateText>"),
              std::string::npos)
        << file;
    EXPECT_NE(file.find("<TemplateText>line1\r\n\r\nline3</TemplateText>\r\n    <PointX>6</PointX>\r\n"
                        "    <PointY>3</PointY>"),
              std::string::npos)
        << file;
    EXPECT_EQ(model.Record(added)->PointX, 0);  // the record keeps "unset"
    EXPECT_EQ(model.Record(added)->PointY, 0);

    TOptionsModel reread;
    reread.Load(xml, Path());
    EXPECT_EQ(reread.Record(reread.Find("a<b&c"))->TemplateText, "if (a < b && c > d) \"q\" 'z'");
    // A second save keeps the first backup.
    std::string backup = ReadFileBytes(Path() + ".backup");
    reread.AddApplication();
    reread.Save(Path());
    EXPECT_EQ(ReadFileBytes(Path() + ".backup"), backup);
}

// Deleting what an unknown element followed keeps the element between the same
// neighbours: after the template before, after its application, between the groups.
TEST_F(ModelTest, DeletionKeepsTheUnknownElementsBetweenTheNeighbours) {
    const std::string a = App("a.exe", {{"one", "1", 2, 1}, {"two", "2", 2, 1}});
    const size_t second = a.find("   <Template>", a.find("   </Template>"));
    Load(kHeader + a.substr(0, second) + "   <First/>\r\n" + a.substr(second) + " <Between/>\r\n" +
         App("b.exe", {{"three", "3", 2, 1}}) + " <End/>\r\n</HOT>\r\n");
    std::string text = SaveAndRead();
    ASSERT_NE(text.find("   </Template>\r\n   <First/>\r\n   <Template>"), std::string::npos) << text;
    model.Select(model.Find("one"));
    ASSERT_NE(model.DeleteSelected(), kNoNode);
    text = SaveAndRead();
    EXPECT_NE(text.find("  <Application>a.exe</Application>\r\n   <First/>\r\n   <Template>"), std::string::npos)
        << text;
    model.Select(model.Find("b.exe"));
    ASSERT_NE(model.DeleteSelected(), kNoNode);
    text = SaveAndRead();
    EXPECT_NE(text.find(" </Templates>\r\n <Between/>\r\n <End/>\r\n</HOT>"), std::string::npos) << text;
    EXPECT_EQ(text.find("three"), std::string::npos);
}

}  // namespace
}  // namespace quillan
