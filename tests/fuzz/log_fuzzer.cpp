// Feeds arbitrary bytes to the error-log reader and to what works on its reports: item lookup,
// the duplicate check and the XML copy. Reports read from a log must read back unchanged from
// the bytes a save would write, and the XML copy must hold no byte that its declared encoding and
// XML forbid.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "crash/log/log_file.h"
#include "crash/log/log_xml.h"
#include "crash/options/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    quillan::crash::TLogFile log;
    log.LoadFromBytes(bytes, size % 7);
    static const quillan::crash::TMishapModuleOptions options;
    std::vector<std::string_view> reports;
    for (int i = 0; i < log.Count(); ++i) {
        reports.push_back(log.Report(i));
        for (const char* item : {"1.3", "2.2", "2.5", "7.1"}) (void)log.ItemValue(i, item);
        (void)log.IsDuplicateOf(log.Report(i));
    }
    std::string xml = quillan::crash::LogToXml(reports, options, bytes.substr(0, 16));
    if (xml.rfind(std::string(quillan::crash::kLogXmlDeclaration) + "<Doc>\r\n", 0) != 0) std::abort();
    // What a standard XML parser would refuse under the declared Windows-1251: a control character
    // other than the line breaks, or the unassigned byte.
    for (char c : xml) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 32 && c != '\r' && c != '\n') || byte == quillan::crash::kUnmappedWindows1251) std::abort();
    }
    std::vector<std::string> again = quillan::crash::SplitLogText(log.Bytes());
    if (!std::equal(again.begin(), again.end(), reports.begin(), reports.end())) std::abort();
    log.Add(bytes, 3);
    (void)log.Bytes();
    return 0;
}
