// The options dialog and its template file: reading it, checking the folder it
// goes to, never replacing a file without the user's word, and the edits that a
// reload or the program's end would lose.
#include <windows.h>

#include "dialogs/options/options_form.h"
#include "engine/settings/settings_reader.h"
#include "engine/store/template_file.h"
#include "engine/store/template_loader.h"
#include "framework/core/convert.h"
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/win/application_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan {
namespace {

constexpr const char* kUnreadableSuffix = ".unreadable";

std::string FullPath(const std::string& path) {
    std::wstring wide = win::Wide(path);
    wchar_t buffer[MAX_PATH * 2];
    DWORD n = GetFullPathNameW(wide.c_str(), MAX_PATH * 2, buffer, nullptr);
    return n > 0 && n < MAX_PATH * 2 ? win::Narrow(std::wstring(buffer, n)) : path;
}

bool SamePath(const std::string& a, const std::string& b) {
    std::wstring x = win::Wide(FullPath(a));
    std::wstring y = win::Wide(FullPath(b));
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()), TRUE) ==
           CSTR_EQUAL;
}

std::string UnreadableText(const std::string& path, const std::exception& e) {
    return "Файл «" + path + "» не удалось прочитать (" + DescribeReadError(e) + ").";
}

// A name of its own beside path for a file that could not be read: ".unreadable",
// then ".unreadable2" and on, so that no earlier one is ever replaced.
bool MoveAside(const std::string& path, std::string& movedTo) {
    for (int n = 1; n < 1000; ++n) {
        movedTo = path + kUnreadableSuffix + (n == 1 ? "" : std::to_string(n));
        if (FileExists(movedTo) || DirectoryExists(movedTo)) continue;
        return RenameFile(path, movedTo);
    }
    return false;
}

}  // namespace

std::string TOptionForm::FileState() const { return lFileState->Text(); }

void TOptionForm::ShowFileState(const std::string& text) {
    lFileState->SetText(text);
    lFileState->SetHint(text);
}

void TOptionForm::LoadTree(const std::string& folder) {
    std::string path = folder.empty() ? GetTemplateFilePath() : MakeTemplateFilePath(folder);
    try {
        model_.Load(xml1, path);
    } catch (const std::exception& e) {
        readProblem_ = FileExists(path) ? UnreadableText(path, e) : "";
        ShowFileState(readProblem_.empty() ? "Файла «" + path + "» нет: «ОК» создаст его." : readProblem_);
        throw;
    }
    loadedPath_ = path;
    readProblem_.clear();
    ShowFileState("");
    ShowTree();
    ShowPanels();
    TakeTreeBaseline();
}

std::string TOptionForm::TargetPath() const {
    std::string folder = Trim(deIDE->Text());
    if (folder.empty()) folder = ExtractFilePath(win::ModuleFileName());
    return MakeTemplateFilePath(folder);
}

std::string TOptionForm::FolderProblem() const {
    std::string folder = ExtractFilePath(TargetPath());
    if (folder.empty()) return {};  // the current folder
    // "C:\Data\" names the folder only without its separator; "C:\" keeps it.
    std::string name = folder;
    if (name.size() > 1 && name.back() == '\\' && name[name.size() - 2] != ':') name.pop_back();
    DWORD attributes = GetFileAttributesW(win::Wide(name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return "Папка «" + name + "» не найдена.";
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return "«" + name + "» — не папка.";
    // Only a real write tells: rights, a read-only medium, a share.
    std::string probe =
        folder + "~qln" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + ".tmp";
    win::FileHandle file(CreateFileW(win::Wide(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file) {
        int code = LastOSError();
        if (code != ERROR_FILE_EXISTS) return "В папку «" + name + "» нельзя записать: " + SysErrorMessage(code) + ".";
    }
    return {};
}

bool TOptionForm::MayReplace(const std::string& path) {
    if (!FileExists(path)) return true;
    if (!loadedPath_.empty() && SamePath(path, loadedPath_)) return true;
    // Not the file shown here: read it now, as it may have changed since the opening.
    TSimpleXML probe;
    try {
        TDialogTree ignored;
        quillan::LoadTree(probe, path, ignored);
    } catch (const std::exception& e) {
        std::string text = UnreadableText(path, e) +
                           "\r\n\r\nЗаменить его шаблонами из этого окна? Нечитаемый файл останется рядом под "
                           "именем «" +
                           ExtractFileName(path) + kUnreadableSuffix + "».";
        if (OnAsk(text, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) return false;
        std::string movedTo;
        if (!MoveAside(path, movedTo)) {
            OnAsk("Файл «" + path + "» не удалось переименовать в «" + movedTo +
                      "»: " + SysErrorMessage(LastOSError()) + ". Он не изменён.",
                  MB_OK | MB_ICONERROR);
            return false;
        }
        return true;
    }
    std::string text = "В папке уже есть файл «" + path +
                       "» со своими шаблонами.\r\n\r\nЗаменить его шаблонами из этого окна? («Нет» оставит его как "
                       "есть; открыть его можно кнопкой «Открыть».)";
    return OnAsk(text, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void TOptionForm::SaveTree() { model_.Save(TargetPath()); }

// The templates go where the folder field sends them; a folder that cannot take
// them is told at the field, and the dialog stays open for a corrected one.
void TOptionForm::bOKClick() {
    std::string problem = FolderProblem();
    if (!problem.empty()) {
        ModalResult = win::mrNone;
        ShowFileState(problem);
        deIDE->SetFocus();
        deIDE->SelectAll();
        return;
    }
    std::string path = TargetPath();
    if (!MayReplace(path)) {
        ModalResult = win::mrNone;
        return;
    }
    // A failed write must not close the dialog as confirmed: the tree stays for
    // another try, and neither the settings nor the main form's menu change.
    try {
        SaveTree();
    } catch (const std::exception& e) {
        ModalResult = win::mrNone;
        if (OnSaveError) OnSaveError(e.what());
        return;
    }
    loadedPath_ = path;
    readProblem_.clear();
    ShowFileState("");
    TakeTreeBaseline();
    if (!ApplyAutoStart()) {
        ModalResult = win::mrNone;
        return;
    }
    TakeSettingsBaseline();
}

// ---- edits that would be lost ----

void TOptionForm::TakeTreeBaseline() { treeBaseline_ = BuildTemplateFile(TreeForSaving(model_.Tree())); }

std::string TOptionForm::SettingsText() const {
    return Trim(deIDE->Text()) + '\n' + std::to_string(cbHot->ItemIndex()) + '\n' +
           (cbRestoreClpbrd->Checked() ? "1" : "0") + '\n' + AutoStartText();
}

void TOptionForm::TakeSettingsBaseline() { settingsBaseline_ = SettingsText(); }

bool TOptionForm::TreeChanged() const { return BuildTemplateFile(TreeForSaving(model_.Tree())) != treeBaseline_; }

bool TOptionForm::HasChanges() const { return SettingsText() != settingsBaseline_ || TreeChanged(); }

// A reload replaces the tree only; the settings fields keep what is typed in them.
bool TOptionForm::MayDiscardEdits() {
    if (!TreeChanged()) return true;
    return OnAsk("Изменения в этом окне не сохранены. Перечитать файл и потерять их?",
                 MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void TOptionForm::Button1Click() {
    if (MayDiscardEdits()) LoadTree(deIDE->Text());
}

void TOptionForm::Panel1Click() {
    if (MayDiscardEdits()) LoadTree("");
}

bool TOptionForm::ConfirmQuit() {
    if (ModalResult != win::mrNone || !HasChanges()) return true;
    SetForegroundWindow(hwnd_);
    switch (
        OnAsk("Изменения в настройках не сохранены. Сохранить их перед выходом?", MB_YESNOCANCEL | MB_ICONWARNING)) {
        case IDYES:
            ModalResult = win::mrOk;
            bOKClick();
            // Not saved (a folder or a file in the way): the dialog stays to say why.
            return ModalResult == win::mrOk;
        case IDNO:
            return true;
        default:
            return false;
    }
}

void TOptionForm::ShowReadProblem() {
    if (readProblem_.empty()) return;
    OnAsk(readProblem_ +
              "\r\n\r\nЕго шаблоны здесь не показаны. «ОК» не заменит этот файл без вашего согласия; "
              "исправьте его в текстовом редакторе или выберите другую папку.",
          MB_OK | MB_ICONWARNING);
}

LRESULT TOptionForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kShowReadProblem) {
        win::Guarded([this] { ShowReadProblem(); });
        return 0;
    }
    // Back in the dialog: the Run value may have been changed meanwhile elsewhere.
    if (msg == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) win::Guarded([this] { ShowAutoStart(); });
    return TForm::HandleMessage(msg, wParam, lParam);
}

}  // namespace quillan
