// Shows the options dialog with a sample template file for a given number of
// seconds, for looking at its layout (screenshots at several DPI settings).
// Uses a scratch registry key and folder; nothing of the user's is touched.
//   options_preview.exe <seconds> [app|template|long] [min|normal|large]
// app: the application node selected; template: a short template; long: a
// template whose first line is wider than the memo. min: the smallest size the
// dialog allows; large: 900 x 700 (96-DPI pixels, scaled). Prints the client size.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dialogs/options/options_form.h"
#include "framework/core/file_io.h"
#include "framework/win/application_win.h"
#include "framework/win/text.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/temp_dir.h"

int main(int argc, char** argv) {
    using namespace quillan;
    int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    std::string node = argc > 2 ? argv[2] : "template";
    std::string size = argc > 3 ? argv[3] : "normal";
    test::ScratchRegistry registry;
    test::TempDir dir;
    std::string longLine;
    while (longLine.size() < 120) longLine += "слово ";
    AtomicWriteFile(
        dir.Path() + "hot.ini",
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n <Templates>\r\n"
        "  <Application>Общие</Application>\r\n   <Template>\r\n"
        "    <MenuCaption>С уважением</MenuCaption>\r\n"
        "    <TemplateText>С уважением,\r\nИван Петров</TemplateText>\r\n"
        "    <PointX>12</PointX>\r\n    <PointY>1</PointY>\r\n   </Template>\r\n   <Template>\r\n"
        "    <MenuCaption>Длинная строка</MenuCaption>\r\n"
        "    <TemplateText>" +
            longLine.substr(0, 120) +
            "\r\nabcd\r\nef</TemplateText>\r\n"
            "    <PointX>3</PointX>\r\n    <PointY>2</PointY>\r\n   </Template>\r\n </Templates>\r\n"
            " <Templates>\r\n  <Application>notepad.exe</Application>\r\n   <Template>\r\n"
            "    <MenuCaption>Дата</MenuCaption>\r\n    <TemplateText>Дата: </TemplateText>\r\n"
            "    <PointX>0</PointX>\r\n    <PointY>0</PointY>\r\n   </Template>\r\n </Templates>\r\n</HOT>\r\n");
    test::SetRegString(L"Software\\options_preview\\TOptionForm", L"deIDE_Text", win::Wide(dir.Path()));
    TOptionForm form(node == "app", node == "app" ? "notepad.exe" : "", nullptr);
    form.Show();
    if (size != "normal") {
        int w = size == "min" ? form.MinWidth : form.Scale(900);
        int h = size == "min" ? form.MinHeight : form.Scale(700);
        SetWindowPos(form.Handle(), nullptr, 10, 10, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (node != "app") {
        const char* caption = node == "long" ? "Длинная строка" : "С уважением";
        TNodeId id = form.Model().Find(caption);
        form.NodeOf(form.Model().ParentOf(id))->Expand();
        form.TreeView1->SetSelected(form.NodeOf(id));
    }
    RECT client;
    GetClientRect(form.Handle(), &client);
    std::printf("dpi %d, client %ld x %ld\n", form.PixelsPerInch(), client.right, client.bottom);
    std::fflush(stdout);
    for (DWORD start = GetTickCount(); GetTickCount() - start < static_cast<DWORD>(seconds) * 1000; Sleep(20))
        win::Application().ProcessMessages();
    return 0;
}
