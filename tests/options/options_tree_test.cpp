// The options dialog's tree and editors, driven through their messages and handlers.
#include "framework/hints/hints_win.h"
#include "tests/options/options_support.h"

namespace quillan::test {
namespace {

const std::string kTwoApps =
    HotFile(AppBlock("Общие", {}) + AppBlock("a.exe", {{"t1", "one", 0, 0}, {"t2", "two", 0, 0}}) +
            AppBlock("b.exe", {{"t3", "three", 0, 0}}));

TEST_F(OptionsTest, FocusCurrentAppSelectsTheMatchingNode) {
    WriteHot(kTwoApps);
    Open(true, "b.exe");
    win::TTreeNode* selected = form->TreeView1->Selected();
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->Text(), "b.exe");
    EXPECT_TRUE(selected->Expanded());
    EXPECT_TRUE(form->pnApp->Visible());
    EXPECT_EQ(form->eApp->Text(), "b.exe");
    EXPECT_EQ(form->Model().ApplicationCounter(), 0);
    EXPECT_EQ(form->TreeView1->Count(), 6);
}

TEST_F(OptionsTest, FocusCurrentAppAddsAMissingNodeAndCountsIt) {
    WriteHot(kTwoApps);
    Open(true, "calc.exe");
    win::TTreeNode* selected = form->TreeView1->Selected();
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->Text(), "calc.exe");
    EXPECT_EQ(selected->AbsoluteIndex(), form->TreeView1->Count() - 1);
    EXPECT_EQ(form->Model().ApplicationCounter(), 1);
    form->SpeedButton1Click();
    EXPECT_EQ(TreeTexts().back(), "Приложение 2");
    // Not selected: the new application stays unselected.
    EXPECT_EQ(form->TreeView1->Selected()->Text(), "calc.exe");
    PressCancel();
    EXPECT_EQ(form->ModalResult, win::mrCancel);
    EXPECT_EQ(form->Model().ApplicationCounter(), 0);
    EXPECT_EQ(ReadHot(), kTwoApps);
    EXPECT_EQ(Setting(L"cbHot_ItemIndex"), "<absent>");
    EXPECT_TRUE(hints.empty());
}

TEST_F(OptionsTest, CtrlClickSetsTheHotPointAndTheOldMarkerIsNeverStored) {
    WriteHot(HotFile(AppBlock("Общие", {{"cap", "ab\r\ncdef", 3, 2}})));
    Open();
    Select("cap");
    HWND memo = form->mTemple->Handle();
    ClickMemo(memo);  // a plain click changes nothing
    EXPECT_EQ(form->seCol->Value(), 3);
    EXPECT_EQ(form->seRow->Value(), 2);

    SetForegroundWindow(form->Handle());
    SetCtrl(true);
    ClickMemo(memo);
    SetCtrl(false);
    EXPECT_EQ(form->seCol->Value(), 1);
    EXPECT_EQ(form->seRow->Value(), 1);
    TTmpl* record = Record("cap");
    EXPECT_EQ(record->PointX, 1);
    EXPECT_EQ(record->PointY, 1);
    EXPECT_EQ(form->mTemple->Text(), "ab\r\ncd*ef");

    // The old marker stays in the memo where it was, and out of the text.
    SendMessageW(memo, WM_CHAR, L'x', 1);
    EXPECT_EQ(form->mTemple->Text(), "xab\r\ncd*ef");
    EXPECT_EQ(record->TemplateText, "xab\r\ncdef");
    EXPECT_EQ(form->leCaption->Text(), "cap");
}

TEST_F(OptionsTest, CaptionFollowsTheTextUntilTypedOtherwise) {
    WriteHot(HotFile(AppBlock("Общие", {{"t", "u", 1, 1}})));
    Open();
    Select("Общие");
    form->SpeedButton2Click();
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", " t", " //Шаблон 2"}));
    Select("t");
    form->SpeedButton2Click();  // a template selected: "//Шаблон" + its own child count + 1
    EXPECT_EQ(TreeTexts().back(), " //Шаблон1");
    TTmpl* record = Record("//Шаблон1");
    EXPECT_EQ(record->MenuCaption, "//Шаблон");
    EXPECT_EQ(record->Application, "Общие");
    EXPECT_EQ(record->TemplateText, "//Шаблон1");

    Select("//Шаблон1");
    form->mTemple->SetText("Hello\r\n\tWorld");
    EXPECT_EQ(form->leCaption->Text(), "Hello.World");
    EXPECT_EQ(record->MenuCaption, "Hello.World");
    EXPECT_NE(Node("Hello.World"), nullptr);
    form->leCaption->SetText("Mine");
    form->mTemple->SetText("Other");
    EXPECT_EQ(record->MenuCaption, "Mine");
    EXPECT_EQ(record->TemplateText, "Other");
    form->seRow->SetValue(4);
    form->seCol->SetValue(-2);
    EXPECT_EQ(record->PointY, 4);
    EXPECT_EQ(record->PointX, -2);
}

TEST_F(OptionsTest, CommonGroupCannotBeDeletedOrRenamed) {
    WriteHot(kTwoApps);
    Open();
    Select("Общие");
    EXPECT_FALSE(form->bDelete->Enabled());
    EXPECT_FALSE(form->eApp->Enabled());
    form->bDeleteClick();
    EXPECT_NE(Node("Общие"), nullptr);
    SendMessageW(form->eApp->Handle(), WM_CHAR, L'x', 1);
    EXPECT_NE(Node("Общие"), nullptr);

    // Renaming an application to "Общие" protects it from then on.
    Select("b.exe");
    EXPECT_TRUE(form->bDelete->Enabled());
    form->eApp->SetText("Общи");
    SendMessageW(form->eApp->Handle(), EM_SETSEL, 4, 4);
    SendMessageW(form->eApp->Handle(), WM_CHAR, win::Wide("е")[0], 1);
    EXPECT_EQ(form->TreeView1->Selected()->Text(), "Общие");
    SendMessageW(form->eApp->Handle(), WM_CHAR, L'z', 1);
    EXPECT_EQ(form->TreeView1->Selected()->Text(), "Общие");
    form->bDeleteClick();
    EXPECT_EQ(form->TreeView1->Count(), 6);

    // Other nodes go with their templates, and without asking.
    Select("a.exe");
    form->bDeleteClick();
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", "Общие", " t3"}));
}

TEST_F(OptionsTest, DragMovesTemplatesOnly) {
    WriteHot(kTwoApps);
    Open();
    Select("t2");
    bool accept = false;
    form->TreeView1DragOver(0, 0, accept);
    EXPECT_TRUE(accept);
    form->DropOn(Node("b.exe"));  // onto an application: its first template
    EXPECT_TRUE(Node("b.exe")->Expanded());
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", "a.exe", " t1", "b.exe", " t2", " t3"}));

    Select("t3");
    form->DropOn(Node("t1"));  // onto a template: just before it
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", "a.exe", " t3", " t1", "b.exe", " t2"}));
    EXPECT_EQ(form->TreeView1->Selected()->Text(), "t3");

    form->DropOn(nullptr);  // empty space
    Select("b.exe");
    form->TreeView1DragOver(0, 0, accept);
    EXPECT_FALSE(accept);
    form->DropOn(Node("t1"));  // applications do not move
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", "a.exe", " t3", " t1", "b.exe", " t2"}));

    // Through the tree's coordinates: the point on a node's line, and below the last line.
    Select("t1");
    RECT r = Node("Общие")->DisplayRect(true);
    form->TreeView1DragDrop((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    RECT client;
    GetClientRect(form->TreeView1->Handle(), &client);
    Select("t2");
    form->TreeView1DragDrop(client.right / 2, client.bottom - 2);
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", " t1", "a.exe", " t3", "b.exe", " t2"}));

    PressOK();
    EXPECT_EQ(ReadHot(), HotFile(AppBlock("Общие", {{"t1", "one", 4, 1}}) + AppBlock("a.exe", {{"t3", "three", 6, 1}}) +
                                 AppBlock("b.exe", {{"t2", "two", 4, 1}})));
}

HWND modalTarget = nullptr;
std::pair<UINT, WPARAM> modalAction;

// Runs inside the dialog's modal loop once the dialog is up: does the scripted action.
void CALLBACK ModalActionTimer(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = FindWindowW(L"TOptionForm", nullptr);
    if (!dialog || !IsWindowVisible(dialog)) return;
    KillTimer(nullptr, id);
    auto [msg, wParam] = modalAction;
    if (msg == WM_KEYDOWN)
        PostMessageW(modalTarget, msg, wParam, 1);
    else if (msg == BM_CLICK)
        PostMessageW(modalTarget, BM_CLICK, 0, 0);
    else
        PostMessageW(dialog, msg, wParam, 0);
}

// The modal loop: the close box and Esc end it with Cancel, OK with OK.
TEST_F(OptionsTest, ModalLoopEndsWithTheRightResult) {
    WriteHot(kTwoApps);
    struct Run {
        UINT msg;
        WPARAM wParam;
        int expected;
    };
    for (Run run : {Run{WM_CLOSE, 0, win::mrCancel}, Run{WM_KEYDOWN, VK_ESCAPE, win::mrCancel},
                    Run{WM_KEYDOWN, VK_RETURN, win::mrOk}, Run{BM_CLICK, 0, win::mrOk}}) {
        form = std::make_unique<TOptionForm>(false, "", [this](const std::string& h) { hints.push_back(h); });
        modalTarget = run.msg == BM_CLICK ? form->bOK->Handle() : form->TreeView1->Handle();
        modalAction = {run.msg, run.wParam};
        SetTimer(nullptr, 0, 50, &ModalActionTimer);
        EXPECT_EQ(form->ShowModal(), run.expected) << run.msg << " " << run.wParam;
        EXPECT_FALSE(IsWindowVisible(form->Handle()));
    }
    EXPECT_EQ(hints.size(), 2u);
    // Saved unchanged, with the unset hot points written at the end of each text.
    EXPECT_EQ(ReadHot(), HotFile(AppBlock("Общие", {}) + AppBlock("a.exe", {{"t1", "one", 4, 1}, {"t2", "two", 4, 1}}) +
                                 AppBlock("b.exe", {{"t3", "three", 6, 1}})));
}

}  // namespace
}  // namespace quillan::test

namespace quillan::test {
namespace {

TEST_F(OptionsTest, WindowLimitsCaptionAndHints) {
    WriteHot(HotFile(AppBlock("Общие", {{"t", "u", 1, 1}})));
    Open();
    EXPECT_EQ(win::GetWindowTextA1251(form->Handle()), "Настройки");
    EXPECT_TRUE(GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(GetWindowLongPtrW(form->Handle(), GWL_STYLE) & WS_THICKFRAME);
    MINMAXINFO info = {};
    SendMessageW(form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, MulDiv(379, form->PixelsPerInch(), 96));
    EXPECT_EQ(info.ptMinTrackSize.y, MulDiv(322, form->PixelsPerInch(), 96));

    EXPECT_EQ(win::GetControlHint(form->SpeedButton1->Handle()), "Добавить приложение");
    EXPECT_EQ(win::GetControlHint(form->bDelete->Handle()), "Удалить шаблон");
    EXPECT_EQ(form->cbHot->ItemCount(), 3);

    // The hint of the control under the mouse shows after the pause, below the cursor.
    Select("t");
    RECT memo;
    GetWindowRect(form->mTemple->Handle(), &memo);
    POINT at = {(memo.left + memo.right) / 2, (memo.top + memo.bottom) / 2};
    SetCursorPos(at.x, at.y);
    POINT now;
    GetCursorPos(&now);
    if (now.x != at.x || now.y != at.y) GTEST_SKIP() << "the cursor cannot be placed on this display";
    PostMessageW(form->mTemple->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    HWND hint = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 2000 && !hint; Sleep(20)) {
        win::Application().ProcessMessages();
        HWND w = FindWindowW(L"QuillanHintWindow", nullptr);
        if (w && IsWindowVisible(w)) hint = w;
    }
    ASSERT_NE(hint, nullptr);
    RECT r;
    GetWindowRect(hint, &r);
    EXPECT_EQ(r.top, at.y + GetSystemMetrics(SM_CYCURSOR));
    EXPECT_TRUE(GetWindowLongPtrW(hint, GWL_EXSTYLE) & WS_EX_TOPMOST);
    win::CancelHint();
    EXPECT_FALSE(IsWindowVisible(hint));
}

}  // namespace
}  // namespace quillan::test

namespace quillan::test {
namespace {

// A replacement hint window (as the balloon hint installs) gets the rect it asked
// for, moved to the anchor below the cursor.
class TRecordingHint : public win::THintWindow {
public:
    explicit TRecordingHint(std::vector<std::string>& log) : log_(log) {}
    RECT CalcHintRect(int, const std::string&) override { return {0, 0, 120, 30}; }
    void ActivateHint(RECT r, const std::string& hint) override {
        log_.push_back(hint + "@" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                       std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
    }
    void HideHint() override { log_.push_back("hide"); }
    HWND Handle() const override { return nullptr; }

private:
    std::vector<std::string>& log_;
};

TEST_F(OptionsTest, ReplacementHintWindowShowsTheShortHint) {
    std::vector<std::string> log;
    win::HintWindowFactory previous = win::SetHintWindowClass([&log] { return std::make_unique<TRecordingHint>(log); });
    ASSERT_TRUE(previous);
    Open();
    win::SetControlHint(form->bOK->Handle(), "Сохранить|и закрыть");
    RECT button;
    GetWindowRect(form->bOK->Handle(), &button);
    POINT at = {button.left + 5, button.top + 5};
    SetCursorPos(at.x, at.y);
    POINT now;
    GetCursorPos(&now);
    if (now.x != at.x || now.y != at.y) {
        win::SetHintWindowClass(previous);
        GTEST_SKIP() << "the cursor cannot be placed on this display";
    }
    PostMessageW(form->bOK->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    for (DWORD start = GetTickCount(); GetTickCount() - start < 1500 && log.empty(); Sleep(20))
        win::Application().ProcessMessages();
    ASSERT_FALSE(log.empty());
    int top = at.y + GetSystemMetrics(SM_CYCURSOR);
    EXPECT_EQ(log[0], "Сохранить@" + std::to_string(at.x) + "," + std::to_string(top) + ",120x30");
    // Installing another class hides the current hint.
    win::SetHintWindowClass(previous);
    EXPECT_EQ(log.back(), "hide");
}

}  // namespace
}  // namespace quillan::test

namespace quillan::test {
namespace {

// The tree's own drag: begin-drag notification, mouse moves and the button
// release over the target, as the tree control reports a user's drag.
TEST_F(OptionsTest, MouseDragThroughTheTreeControl) {
    WriteHot(HotFile(AppBlock("Общие", {}) + AppBlock("a.exe", {{"t1", "one", 0, 0}}) + AppBlock("b.exe", {})));
    Open();
    Node("a.exe")->Expand();
    HWND tree = form->TreeView1->Handle();
    auto center = [](win::TTreeNode* n) {
        RECT r = n->DisplayRect(true);
        return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    };
    auto drag = [&](win::TTreeNode* source, LPARAM to) {
        NMTREEVIEWW nm = {};
        nm.hdr.hwndFrom = tree;
        nm.hdr.idFrom = 0;
        nm.hdr.code = TVN_BEGINDRAGW;
        nm.itemNew.hItem = source->ItemId();
        nm.itemNew.lParam = reinterpret_cast<LPARAM>(source);
        SendMessageW(GetParent(tree), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
        EXPECT_TRUE(form->TreeView1->Dragging());
        SendMessageW(tree, WM_MOUSEMOVE, MK_LBUTTON, to);
        SendMessageW(tree, WM_LBUTTONUP, 0, to);
        EXPECT_FALSE(form->TreeView1->Dragging());
    };
    drag(Node("t1"), center(Node("b.exe")));
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", "a.exe", "b.exe", " t1"}));
    EXPECT_EQ(form->TreeView1->Selected()->Text(), "t1");
    // An application dragged anywhere is refused.
    drag(Node("a.exe"), center(Node("t1")));
    EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"Общие", "a.exe", "b.exe", " t1"}));
}

}  // namespace
}  // namespace quillan::test
