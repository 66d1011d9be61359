#include "engine/paste/paste_method.h"

#include "engine/store/template.h"
#include "framework/core/convert.h"

namespace quillan {
namespace {

struct TMethodName {
    TPasteMethod Method;
    const char* Stored;
    const char* Caption;
};

constexpr TMethodName kNames[] = {
    {TPasteMethod::CtrlV, "CtrlV", "Ctrl+V"},
    {TPasteMethod::ShiftInsert, "ShiftInsert", "Shift+Insert"},
    {TPasteMethod::CtrlShiftV, "CtrlShiftV", "Ctrl+Shift+V"},
    {TPasteMethod::Type, "Type", "Набор с клавиатуры (без буфера обмена)"},
};

std::string_view TrimBlanks(std::string_view text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

const TPasteDefault kPasteDefaults[7] = {
    {"putty.exe", TPasteMethod::ShiftInsert, "PuTTY sends Ctrl+V to the remote side as a control character"},
    {"kitty.exe", TPasteMethod::ShiftInsert, "KiTTY, a PuTTY derivative, does the same"},
    {"mintty.exe", TPasteMethod::ShiftInsert, "mintty (Cygwin, MSYS2, Git Bash) passes Ctrl+V to the shell"},
    {"vmconnect.exe", TPasteMethod::Type, "Hyper-V's console window shares no clipboard text with the guest"},
    {"virtualboxvm.exe", TPasteMethod::Type, "VirtualBox shares the clipboard only with guest additions set up"},
    {"vmware.exe", TPasteMethod::Type, "VMware's console shares the clipboard only with VMware Tools in the guest"},
    {"vmplayer.exe", TPasteMethod::Type, "VMware Player, the same console"},
};

const char* PasteKeysName(TPasteMethod method) {
    for (const TMethodName& n : kNames)
        if (n.Method == method) return n.Stored;
    return kNames[0].Stored;
}

const char* PasteMethodCaption(TPasteMethod method) {
    for (const TMethodName& n : kNames)
        if (n.Method == method) return n.Caption;
    return kNames[0].Caption;
}

std::optional<TPasteMethod> ParsePasteKeys(std::string_view text) {
    std::string_view value = TrimBlanks(text);
    for (const TMethodName& n : kNames)
        if (SameTextAscii(value, n.Stored)) return n.Method;
    return std::nullopt;
}

std::optional<TPasteMethod> DefaultPasteMethod(std::string_view executable) {
    for (const TPasteDefault& d : kPasteDefaults)
        if (SameTextAscii(executable, d.Executable)) return d.Method;
    return std::nullopt;
}

TPasteMethod ChoosePasteMethod(const TPasteKeysList& named, std::string_view targetApp) {
    // The last group of a name counts, as a later group of the same program does for its menu.
    std::optional<TPasteMethod> own;
    std::optional<TPasteMethod> common;
    for (const TAppPasteKeys& entry : named) {
        std::optional<TPasteMethod> method = ParsePasteKeys(entry.PasteKeys);
        if (!method) continue;
        if (!targetApp.empty() && SameTextAscii(entry.Application, targetApp)) own = method;
        if (entry.Application == kCommonGroup) common = method;
    }
    if (own) return *own;
    if (std::optional<TPasteMethod> builtIn = DefaultPasteMethod(targetApp)) return *builtIn;
    return common.value_or(TPasteMethod::CtrlV);
}

}  // namespace quillan
