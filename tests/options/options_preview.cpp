// Shows the options dialog with a sample template file for a given number of
// seconds, for looking at its layout (screenshots at several DPI settings).
// Uses a scratch registry key and folder; nothing of the user's is touched.
#include <cstdlib>

#include "dialogs/options/options_form.h"
#include "framework/core/file_io.h"
#include "framework/win/application.h"
#include "framework/win/text.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/temp_dir.h"

int main(int argc, char** argv) {
    using namespace quillan;
    int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    bool appNode = argc > 2 && std::string(argv[2]) == "app";
    test::ScratchRegistry registry;
    test::TempDir dir;
    AtomicWriteFile(
        dir.Path() + "hot.ini",
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n <Templates>\r\n"
        "  <Application>Общие</Application>\r\n   <Template>\r\n"
        "    <MenuCaption>С уважением</MenuCaption>\r\n"
        "    <TemplateText>С уважением,\r\nИван Петров</TemplateText>\r\n"
        "    <PointX>12</PointX>\r\n    <PointY>1</PointY>\r\n   </Template>\r\n </Templates>\r\n"
        " <Templates>\r\n  <Application>notepad.exe</Application>\r\n   <Template>\r\n"
        "    <MenuCaption>Дата</MenuCaption>\r\n    <TemplateText>Дата: </TemplateText>\r\n"
        "    <PointX>0</PointX>\r\n    <PointY>0</PointY>\r\n   </Template>\r\n </Templates>\r\n</HOT>\r\n");
    test::SetRegString(L"Software\\options_preview\\TOptionForm", L"deIDE_Text", win::Wide(dir.Path()));
    TOptionForm form(true, appNode ? "notepad.exe" : "", nullptr);
    form.Show();
    if (!appNode) {
        for (int i = 0; i < form.TreeView1->Count(); ++i)
            if (form.TreeView1->Item(i)->Text() == "С уважением") form.TreeView1->SetSelected(form.TreeView1->Item(i));
    }
    for (DWORD start = GetTickCount(); GetTickCount() - start < static_cast<DWORD>(seconds) * 1000; Sleep(20))
        win::Application().ProcessMessages();
    return 0;
}
