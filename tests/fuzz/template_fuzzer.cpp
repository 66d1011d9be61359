// A whole hot.ini, read from a file the way the menu and the options dialog read it:
// the XML reader and the main form's walk, the dialog's tree walk, the menu's offer
// rule, and the dialog's writer. Malformed XML must fail with ESimpleXMLError; a file
// that the writer produced must always read back (or the next OK would lose the
// user's templates), and rewriting it must settle after one round.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "components/xml/simple_xml.h"
#include "engine/menu/match.h"
#include "engine/store/template_file.h"
#include "engine/store/template_loader.h"
#include "framework/core/file_io.h"

namespace {

const std::string& ScratchPath() {
    static const std::string path = "/tmp/template_fuzzer." + std::to_string(getpid()) + ".ini";
    return path;
}

// The dialog tree of bytes, or false when they are not well-formed XML.
bool ReadTree(const std::string& bytes, quillan::TDialogTree& tree) {
    quillan::AtomicWriteFile(ScratchPath(), bytes);
    quillan::TSimpleXML xml;
    try {
        quillan::LoadTree(xml, ScratchPath(), tree);
        return true;
    } catch (const quillan::ESimpleXMLError&) {
        return false;
    }
}

size_t CountTemplates(const quillan::TDialogTree& tree) {
    size_t n = 0;
    for (const quillan::TDialogApp& app : tree) n += app.Templates.size();
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    quillan::AtomicWriteFile(ScratchPath(), bytes);

    // The main form: a failed load keeps the previous list.
    quillan::TTemplateList list;
    list.push_back(std::make_unique<quillan::TTmpl>());
    bool parsed = true;
    try {
        quillan::TSimpleXML xml;
        quillan::LoadTemplates(xml, ScratchPath(), list);
    } catch (const quillan::ESimpleXMLError&) {
        parsed = false;
        if (list.size() != 1) std::abort();
    }
    size_t offered = 0;
    for (const auto& record : list) {
        if (quillan::IsTemplateOffered(*record, "notepad.exe")) ++offered;
        (void)quillan::TemplateItemCaption(offered, record->MenuCaption);
    }

    quillan::TDialogTree tree;
    if (ReadTree(bytes, tree) != parsed) std::abort();  // both read the same file
    if (!parsed) return 0;

    // What OK writes reads back, with every template, and a second round changes nothing.
    std::string first = quillan::BuildTemplateFile(quillan::TreeForSaving(tree));
    quillan::TDialogTree again;
    if (!ReadTree(first, again) || CountTemplates(again) != CountTemplates(tree)) std::abort();
    std::string second = quillan::BuildTemplateFile(quillan::TreeForSaving(again));
    quillan::TDialogTree third;
    if (!ReadTree(second, third)) std::abort();
    if (quillan::BuildTemplateFile(quillan::TreeForSaving(third)) != second) std::abort();
    return 0;
}
