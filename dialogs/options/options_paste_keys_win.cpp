// The application panel's "Способ вставки": the group's PasteKeys as the user
// chooses it. The list is filled for each application shown; nothing is written to
// the model unless the user picks an item.
#include "dialogs/options/options_form.h"
#include "engine/paste/paste_method.h"

namespace quillan {
namespace {

constexpr TPasteMethod kListed[] = {TPasteMethod::CtrlV, TPasteMethod::ShiftInsert, TPasteMethod::CtrlShiftV,
                                    TPasteMethod::Type};
constexpr int kListedCount = static_cast<int>(std::size(kListed));

}  // namespace

void TOptionForm::ShowPasteKeys(const std::optional<std::string>& pasteKeys, const std::string& app) {
    cbPasteKeys->ClearItems();
    std::optional<TPasteMethod> builtIn = DefaultPasteMethod(app);
    cbPasteKeys->AddItem(std::string("По умолчанию (") + PasteMethodCaption(builtIn.value_or(TPasteMethod::CtrlV)) +
                         ")");
    for (TPasteMethod method : kListed) cbPasteKeys->AddItem(PasteMethodCaption(method));
    unknownPasteKeys_.clear();
    int index = 0;
    if (pasteKeys) {
        if (std::optional<TPasteMethod> method = ParsePasteKeys(*pasteKeys)) {
            for (int i = 0; i < kListedCount; ++i)
                if (kListed[i] == *method) index = i + 1;
        } else {
            // A newer version's method: shown by its name and written back as it stands.
            unknownPasteKeys_ = *pasteKeys;
            cbPasteKeys->AddItem("«" + *pasteKeys + "» (неизвестный способ, оставлен как есть)");
            index = kListedCount + 1;
        }
    }
    cbPasteKeys->SetItemIndex(index);
}

std::optional<std::string> TOptionForm::ShownPasteKeys() const {
    int index = cbPasteKeys->ItemIndex();
    if (index <= 0) return std::nullopt;
    if (index <= kListedCount) return std::string(PasteKeysName(kListed[index - 1]));
    return unknownPasteKeys_;
}

void TOptionForm::cbPasteKeysChange() {
    if (mirroring_ || cbPasteKeys->ItemIndex() < 0) return;
    model_.SetPasteKeys(ShownPasteKeys());
}

}  // namespace quillan
