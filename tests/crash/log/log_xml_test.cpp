#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crash/log/log_file.h"
#include "crash/log/log_xml.h"
#include "crash/options/options.h"

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

}  // namespace
}  // namespace quillan::crash
