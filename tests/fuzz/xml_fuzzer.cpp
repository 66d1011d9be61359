// Feeds arbitrary bytes to the XML reader. A clean parse or ESimpleXMLError is fine;
// any other exception, a crash or a sanitizer report is a finding.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "components/xml/simple_xml.h"

namespace {

// Touches every node the way the template loader does, and the writer.
void Walk(quillan::TSimpleXMLElem& elem, int& budget) {
    if (--budget < 0) return;
    (void)elem.IntValue();
    quillan::TSimpleXMLProps& props = elem.Properties();
    for (int i = 0; i < props.Count(); ++i) (void)props.ItemNamed(props.Item(i)->Name());
    quillan::TSimpleXMLElems& items = elem.Items();
    for (int i = 0; i < items.Count(); ++i) {
        quillan::TSimpleXMLElem* child = items.Item(i);
        if (items.ItemNamed(child->Name()) == nullptr) std::abort();
        Walk(*child, budget);
    }
}

void Load(quillan::TSimpleXML& xml, const std::string& bytes) {
    try {
        xml.LoadFromString(bytes);
    } catch (const quillan::ESimpleXMLError&) {
        // the documented outcome for malformed input
    } catch (...) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    quillan::TSimpleXML xml;
    Load(xml, bytes);
    int budget = 100000;
    Walk(xml.Root(), budget);
    // The writer's output is read again; it need not be well-formed, but it must fail cleanly.
    std::string saved = xml.SaveToString();
    quillan::TSimpleXML again;
    Load(again, saved);

    // Decoding undoes encoding for every byte string.
    std::string value = bytes;
    quillan::SimpleXMLEncode(value, true);
    quillan::SimpleXMLDecodeFull(value);
    if (value != bytes) std::abort();
    return 0;
}
