#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "components/xml/simple_xml.h"
#include "crash/log/log_file.h"
#include "crash/log/log_xml.h"
#include "crash/options/options.h"
#include "tests/support/temp_dir.h"

namespace quillan::crash {
namespace {

// Two reports written by hand in the report layout.
const char* const kReportA =
    "MishapLog 5.0.6 RC 6\r\n"
    "\r\n"
    "Application:\r\n"
    "-----------------------------\r\n"
    "  1.3 Version Number: 1.0.0.5\r\n"
    "\r\n"
    "Exception:\r\n"
    "---------------------------------\r\n"
    "  2.2 Address: 00401234\r\n"
    "  2.5 Message: Bad <thing> & \"x\"\r\n"
    " second:_line\r\n"
    "\r\n"
    "Call Stack Information:\r\n"
    "----------------------------------------------------------\r\n"
    "|Address |Module     |Unit|Class |Procedure/Method|Line  |\r\n"
    "----------------------------------------------------------\r\n"
    "Exception Thread: ID=100; Priority=0; [Main]              \r\n"
    "|00401234|quillan.exe|Main|TFForm|N1Click         |120[3]|\r\n"
    "Running Thread: ID=200; Priority=2; Class=TExceptionThread\r\n"
    "|00409ABC|quillan.exe|ML  |      |Execute         |77    |\r\n"
    "----------------------------------------------------------\r\n"
    "\r\n"
    "Modules Information:\r\n"
    "---------------------------------------------------------------------------\r\n"
    "|Handle  |Name       |Description|Version|Size|Modified           |Path   |\r\n"
    "---------------------------------------------------------------------------\r\n"
    "|00400000|quillan.exe|Quillan    |1.0.0.5|1234|2024-03-05 14:07:09|C:\\App\\|\r\n"
    "---------------------------------------------------------------------------\r\n"
    "\r\n"
    "Registers:\r\n"
    "-----------------------------\r\n"
    "EAX: 00000001   EDI: 00000007\r\n"
    "EBX: 0012FF00   ESI: ????    \r\n"
    "ECX: DEADBEEF   ESP: 0012FE00\r\n"
    "EDX: 00000000   EIP: 00401234\r\n"
    "\r\n"
    "Stack:               Memory Dump:\r\n"
    "------------------   ---------------------------------------------------------------------------\r\n"
    "0012FE00: 00000000   00401230:  41 42 43 00 3C 26 22 20 7F 80 FF 61 62 63 64 65 ABC.<&\" ...abcde\r\n"
    "0012FE04: 11111111   00401240:  30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F 0123456789:;<=>?\r\n";

const char* const kReportB =
    "MishapLog 5.0.6 RC 6\r\n"
    "\r\n"
    "Exception:\r\n"
    "-----------------------\r\n"
    "  2.2 Address: 00405678\r\n"
    "\r\n"
    "Call Stack Information:\r\n"
    "---------------------------------------------------------\r\n"
    "|Address |Module     |Unit  |Class|Procedure/Method|Line|\r\n"
    "---------------------------------------------------------\r\n"
    "Exception Thread: ID=300; Priority=-1; Class=TWorker     \r\n"
    "|00405678|quillan.exe|Worker|     |Run             |    |\r\n"
    "---------------------------------------------------------\r\n"
    "\r\n"
    "Registers:\r\n"
    "-----------------------------\r\n"
    "EAX: ????       EDI: ????    \r\n"
    "EBX: ????       ESI: ????    \r\n"
    "ECX: ????       ESP: ????    \r\n"
    "EDX: ????       EIP: ????    \r\n"
    "\r\n"
    "Stack:               Memory Dump:\r\n"
    "------------------   ---------------------------------------------------------------------------\r\n";

const char* const kExpectedXml =
    "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
    "<Doc>\r\n"
    "<Log Version=\"5.0.6 RC 6\">\r\n"
    "  <General>\r\n"
    "    <Group ID=\"1\" Label=\"Application\">\r\n"
    "      <Line ID=\"1.3\" Label=\"Version Number\">1.0.0.5</Line>\r\n"
    "    </Group>\r\n"
    "    <Group ID=\"2\" Label=\"Exception\">\r\n"
    "      <Line ID=\"2.2\" Label=\"Address\">00401234</Line>\r\n"
    "      <Line ID=\"2.5\" Label=\"Message\">Bad &#060;thing&#062; &#038; "
    "&#034;x&#034;&#013;&#010;second:_line</Line>\r\n"
    "    </Group>\r\n"
    "  </General>\r\n"
    "  <CallStack>\r\n"
    "    <ExceptionThread ID=\"100\" Priority=\"0\" Class=\"\" MainThread=\"True\">\r\n"
    "      <Line Address=\"00401234\" Module=\"quillan.exe\" Unit=\"Main\" Class=\"TFForm\" Procedure=\"N1Click\" "
    "Number=\"120\" Offset=\"3\"/>\r\n"
    "    </ExceptionThread>\r\n"
    "    <RunningThread ID=\"200\" Priority=\"2\" Class=\"TExceptionThread\" MainThread=\"False\">\r\n"
    "      <Line Address=\"00409ABC\" Module=\"quillan.exe\" Unit=\"ML\" Class=\"\" Procedure=\"Execute\" "
    "Number=\"77\" Offset=\"\"/>\r\n"
    "    </RunningThread>\r\n"
    "  </CallStack>\r\n"
    "  <Modules>\r\n"
    "    <Module Handle=\"00400000\" Name=\"quillan.exe\" Description=\"Quillan\" Version=\"1.0.0.5\" Size=\"1234\" "
    "Modified=\"2024-03-05 14:07:09\" Path=\"C:\\App\\\"/>\r\n"
    "  </Modules>\r\n"
    "  <CPU>\r\n"
    "    <Registers EAX=\"00000001\" EBX=\"0012FF00\" ECX=\"DEADBEEF\" EDX=\"00000000\" EDI=\"00000007\" "
    "ESP=\"0012FE00\" EIP=\"00401234\"/>\r\n"
    "    <Stack>\r\n"
    "      <Line Address=\"0012FE00\" Value=\"00000000\"/>\r\n"
    "      <Line Address=\"0012FE04\" Value=\"11111111\"/>\r\n"
    "    </Stack>\r\n"
    "    <MemoryDump>\r\n"
    "      <Line Address=\"00401230\" Bytes=\"41 42 43 00 3C 26 22 20 7F 80 FF 61 62 63 64 65\" "
    "Chars=\"ABC.&#060;&#038;&#034; ...abcde\"/>\r\n"
    "      <Line Address=\"00401240\" Bytes=\"30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F\" "
    "Chars=\"0123456789:;&#060;=&#062;?\"/>\r\n"
    "    </MemoryDump>\r\n"
    "  </CPU>\r\n"
    "  <HoToReproduce>\r\n"
    "    <Text/>\r\n"
    "  </HoToReproduce>\r\n"
    "</Log>\r\n"
    "<Log Version=\"5.0.6 RC 6\">\r\n"
    "  <General>\r\n"
    "    <Group ID=\"2\" Label=\"Exception\">\r\n"
    "      <Line ID=\"2.2\" Label=\"Address\">00405678</Line>\r\n"
    "    </Group>\r\n"
    "  </General>\r\n"
    "  <CallStack>\r\n"
    "    <ExceptionThread ID=\"300\" Priority=\"-1\" Class=\"TWorker\" MainThread=\"False\">\r\n"
    "      <Line Address=\"00405678\" Module=\"quillan.exe\" Unit=\"Worker\" Class=\"\" Procedure=\"Run\" Number=\"\" "
    "Offset=\"\"/>\r\n"
    "    </ExceptionThread>\r\n"
    "  </CallStack>\r\n"
    "  <CPU>\r\n"
    "    <Registers/>\r\n"
    "    <Stack/>\r\n"
    "    <MemoryDump/>\r\n"
    "  </CPU>\r\n"
    "  <HoToReproduce>\r\n"
    "    <Text>Click N1 twice&#013;&#010;then wait</Text>\r\n"
    "  </HoToReproduce>\r\n"
    "</Log>\r\n"
    "</Doc>";

TEST(LogXml, TwoReportLog) {
    TMishapModuleOptions options;
    TLogFile log;
    log.LoadFromBytes("");
    log.Add(kReportA, 10);
    log.Add(kReportB, 10);
    ASSERT_EQ(log.Count(), 2);
    EXPECT_EQ(LogToXml({log.Report(0), log.Report(1)}, options, "Click N1 twice\r\nthen wait"), kExpectedXml);
}

TEST(LogXml, EscapesAndElementForms) {
    EXPECT_EQ(EscapeLogXml("a&b<c>d\"e'f\tg\x7Fh\xC0"), "a&#038;b&#060;c&#062;d&#034;e&#039;f&#009;g&#127;h\xC0");
    TXMLItem root("Root", nullptr);
    root.AddAttribute("A", "1 < 2");
    TXMLItem* child = root.AddChild("Child");
    EXPECT_EQ(child->Parent(), &root);
    child->SetContent("x");
    root.AddChild("Empty");
    std::string out;
    root.Write(out, 2);
    EXPECT_EQ(out,
              "  <Root A=\"1 &#060; 2\">\r\n"
              "    <Child>x</Child>\r\n"
              "    <Empty/>\r\n"
              "  </Root>\r\n");
}

TEST(LogXml, RunningThreadByItsTextAndCustomTexts) {
    TMishapModuleOptions options;
    options.SetText(TMishapText::RunningThread, "Report Thread");
    std::string report = kReportA;
    size_t at = report.find("Running Thread");
    report.replace(at, 14, "Report Thread");
    std::string xml;
    ReportToXml(report, options)->Write(xml, 0);
    EXPECT_NE(xml.find("<RunningThread ID=\"200\""), std::string::npos);
    // With the default texts the unknown word is just another calling thread.
    xml.clear();
    ReportToXml(report, TMishapModuleOptions())->Write(xml, 0);
    EXPECT_NE(xml.find("<CallingThread ID=\"200\""), std::string::npos);
}

// A report in Russian: Cyrillic in every field of every element, a control character that XML
// cannot carry and the one byte that Windows-1251 leaves unassigned.
const char* const kRussianReport =
    "MishapLog 5.0.6 RC 6\r\n"
    "\r\n"
    "Приложение:\r\n"
    "-----------------------------\r\n"
    "  1.2 Имя/Описание: Квиллан, шаблоны\r\n"
    "  1.3 Номер версии: 1.0.0.5 бета\r\n"
    "\r\n"
    "Исключение:\r\n"
    "---------------------------------\r\n"
    "  2.5 Сообщение   : Нарушение доступа <по адресу> & \"кавычки\"\x01\x98\r\n"
    " вторая:_строка\r\n"
    "\r\n"
    "Стек вызовов:\r\n"
    "----------------------------------------------------------\r\n"
    "|Адрес   |Модуль     |Модуль исходника|Класс |Процедура|Строка|\r\n"
    "----------------------------------------------------------\r\n"
    "Поток исключения: ID=100; Приоритет=Обычный; Класс=TПоток; [Главный]\r\n"
    "|00401234|квиллан.exe|Главная         |TФорма|N1Щелчок |120[3]|\r\n"
    "Поток отчёта: ID=200; Приоритет=Высокий\r\n"
    "|00409ABC|квиллан.exe|Отчёт           |      |Выполнить|77    |\r\n"
    "----------------------------------------------------------\r\n"
    "\r\n"
    "Модули:\r\n"
    "---------------------------------------------------------------------------\r\n"
    "|Адрес   |Имя        |Описание      |Версия   |Размер|Изменён            |Путь          |\r\n"
    "---------------------------------------------------------------------------\r\n"
    "|00400000|квиллан.exe|Шаблоны текста|1.0 бета |1234  |2024-03-05 14:07:09|C:\\Программы\\|\r\n"
    "---------------------------------------------------------------------------\r\n"
    "\r\n"
    "Регистры:\r\n"
    "-----------------------------\r\n"
    "EAX: 00000001   EDI: 00000007\r\n"
    "EBX: 0012FF00   ESI: ????    \r\n"
    "ECX: DEADBEEF   ESP: 0012FE00\r\n"
    "EDX: 00000000   EIP: 00401234\r\n"
    "\r\n"
    "Стек:                Дамп памяти:\r\n"
    "------------------   ---------------------------------------------------------------------------\r\n"
    "0012FE00: 00000000   00401230:  41 42 43 00 3C 26 22 20 7F 80 FF 61 62 63 64 65 ABC.<&\" ...abcde\r\n";

// A report edited by hand: register names that no report writes, one of them twice.
const char* const kEditedCpuReport =
    "MishapLog 5.0.6 RC 6\r\n"
    "\r\n"
    "Call Stack Information:\r\n"
    "-------------------\r\n"
    "|Address |Module   |\r\n"
    "-------------------\r\n"
    "|00401234|a.exe    |\r\n"
    "-------------------\r\n"
    "\r\n"
    "Registers:\r\n"
    "-----------------------------\r\n"
    "EAX: 00000001   EAX: 00000002\r\n"
    "E<X: 00000003   E\"Y: 00000004\r\n"
    "EB\x01: 00000005   ESI: 00000006\r\n";

// One line per element in document order: depth, name, attributes, and the text of a leaf; CR, LF
// and the backslash written as escapes. The same form for both readers below.
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\\' ? "\\\\" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    return out;
}

void Dump(TSimpleXMLElem& element, int depth, std::string& out) {
    out.append(static_cast<size_t>(depth) * 2, ' ');
    out += element.Name();
    for (int i = 0; i < element.Properties().Count(); ++i) {
        const TSimpleXMLProp* p = element.Properties().Item(i);
        out += " " + p->Name() + "=\"" + Escaped(p->Value()) + "\"";
    }
    if (!element.HasItems() && !element.Value().empty()) out += " text=\"" + Escaped(element.Value()) + "\"";
    out += '\n';
    for (int i = 0; i < element.Items().Count(); ++i) Dump(*element.Items().Item(i), depth + 1, out);
}

#ifndef _WIN32
// Python's XML parser (expat) reads the file as a standard reader does, decoding what the file
// declares; the dump comes back in Windows-1251 (0x98 as itself) so that it compares with ours.
std::string DumpWithPython(const std::string& file, const quillan::test::TempDir& dir) {
    const std::string script = dir.Path() + "dump.py";
    std::ofstream(script) << R"(import sys, xml.etree.ElementTree as ET
def enc(s):
    return b''.join(b'\x98' if c == '\x98' else c.encode('cp1251') for c in s)
def esc(s):
    return s.replace('\\', '\\\\').replace('\r', '\\r').replace('\n', '\\n')
def walk(e, depth, out):
    line = '  ' * depth + e.tag + ''.join(' %s="%s"' % (k, esc(v)) for k, v in e.attrib.items())
    if len(e) == 0 and e.text:
        line += ' text="%s"' % esc(e.text)
    out.append(line + '\n')
    for c in e:
        walk(c, depth + 1, out)
out = []
try:
    walk(ET.parse(sys.argv[1]).getroot(), 0, out)
except ET.ParseError as e:
    out = ['ParseError: %s\n' % e]
sys.stdout.buffer.write(enc(''.join(out)))
)";
    FILE* pipe = popen(("python3 " + script + " " + file).c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (pipe) {
        EXPECT_EQ(pclose(pipe), 0);
    }
    return out;
}
#endif

TEST(LogXml, RussianAndHandEditedReportsReadBackThroughPythonsXmlParserAndOurOwnReader) {
#ifdef _WIN32
    GTEST_SKIP() << "Python's XML parser is the oracle on the host only";
#else
    TMishapModuleOptions options;
    options.SetText(TMishapText::ExceptionThread, "Поток исключения");
    options.SetText(TMishapText::RunningThread, "Поток отчёта");
    TLogFile log;
    log.LoadFromBytes("");
    log.Add(kRussianReport, 10);
    log.Add(kEditedCpuReport, 10);
    quillan::test::TempDir dir;
    const std::string file = dir.Path() + "Quillan.xml";
    log.SaveAsXml(file, options, "Нажать Ctrl+Win+H\r\nвыбрать \"шаблон\"");

    TSimpleXML ours;
    ours.SetFileName(file);
    std::string expected;
    Dump(ours.Root(), 0, expected);
    const std::string python = DumpWithPython(file, dir);
    EXPECT_EQ(python, expected);
    // Spot checks that the letters are the right ones, in elements of every kind.
    for (const char* line : {
             "    Group ID=\"1\" Label=\"Приложение\"\n",
             "      Line ID=\"1.2\" Label=\"Имя/Описание\" text=\"Квиллан, шаблоны\"\n",
             "      Line ID=\"2.5\" Label=\"Сообщение\" text=\"Нарушение доступа <по адресу> & "
             "\"кавычки\"?\x98\\r\\nвторая:_строка\"\n",
             "    ExceptionThread ID=\"100\" Priority=\"Обычный\" Class=\"TПоток\" MainThread=\"True\"\n",
             "      Line Address=\"00401234\" Module=\"квиллан.exe\" Unit=\"Главная\" Class=\"TФорма\" "
             "Procedure=\"N1Щелчок\" Number=\"120\" Offset=\"3\"\n",
             "    RunningThread ID=\"200\" Priority=\"Высокий\" Class=\"\" MainThread=\"False\"\n",
             "    Module Handle=\"00400000\" Name=\"квиллан.exe\" Description=\"Шаблоны текста\" Version=\"1.0 бета\" "
             "Size=\"1234\" Modified=\"2024-03-05 14:07:09\" Path=\"C:\\\\Программы\\\\\"\n",
             "    Text text=\"Нажать Ctrl+Win+H\\r\\nвыбрать \"шаблон\"\"\n",
             "    Registers EAX=\"00000001\" ESI=\"00000006\"\n",
         })
        EXPECT_NE(python.find(line), std::string::npos) << line << "in\n" << python;
#endif
}

}  // namespace
}  // namespace quillan::crash
