#include "engine/paste/paste_engine_win.h"

#include <ole2.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "engine/clipboard/clipboard_snapshot.h"
#include "engine/paste/caret.h"
#include "engine/paste/delayed_offer_win.h"
#include "engine/paste/elevation_win.h"
#include "engine/paste/keys.h"
#include "engine/paste/wait.h"
#include "engine/settings/settings_reader.h"
#include "framework/clipboard/clipboard_win.h"
#include "framework/core/exceptions.h"
#include "framework/core/streams.h"
#include "framework/richedit/rich_edit_win.h"
#include "framework/win/application_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan {
namespace {

// OLE for the rich-edit copy, which may go through the OLE clipboard; balanced per paste.
class OleScope {
public:
    OleScope() : initialized_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleScope() {
        if (initialized_) OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;

private:
    bool initialized_;
};

bool PutDwordFormat(const wchar_t* name, DWORD value) {
    UINT format = RegisterClipboardFormatW(name);
    if (format == 0) return false;
    win::GlobalHandle block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DWORD)));
    if (!block) return false;
    {
        // Unlocked before the clipboard takes the block.
        win::GlobalLockScope data(block.get());
        if (!data) return false;
        *static_cast<DWORD*>(data.get()) = value;
    }
    if (!SetClipboardData(format, block.get())) return false;
    block.release();  // the clipboard owns it now
    return true;
}

// False when nothing could be saved: the clipboard could not even be opened. A save
// that failed part way holds its complete entries, which the restore puts back.
bool SaveSnapshot(TMemoryStream& snapshot) {
    try {
        SaveClipboardToStream(snapshot);
    } catch (...) {
        // Swallowed: a failed save must not raise out of the paste; what it means is
        // for the caller to decide from what the stream holds.
    }
    return snapshot.Size() > 0;
}

// Restores the snapshot when the restore setting is on and nobody has placed
// anything on the clipboard since the engine's own latest write. Never raises.
void RestoreIfUnchanged(TMemoryStream& snapshot) {
    try {
        if (!ReadRestoreClipboard()) return;
        if (!OwnWriteCurrent()) return;
        LoadClipboardFromStream(snapshot);
    } catch (...) {
        // A failed restore must not disturb the user: what was put back stays.
    }
    NoteOwnWrite();
}

// What the start-up run makes ready: the rich-edit library, loaded for good, and a
// control with the paste's font, so the first paste does not pay for them.
void WarmUpPaste(HWND owner, HFONT font) {
    OleScope ole;
    win::TRichEdit control(owner ? owner : win::Application().Handle(), font);
    control.SetText(TemplateControlText(kDefaultTemplateCaption));
    control.SelectAll();
    control.SetSelectionCharset(kTemplateCharset);
}

// What a paste needs of its template, copied when it starts: the record it came from
// may be freed by a reload while the paste waits.
struct TPasteJob {
    std::string Text;
    int32_t PointX;
    int32_t PointY;
};

// Copies the template through the hidden control, then hands what the copy placed to
// offer (when given), to be given out as the target reads it; when the offer cannot take
// it over the copy stays on the clipboard as it is (offer->Offered() is false then).
void PlaceTemplate(const TPasteJob& job, HWND owner, HFONT font, TDelayedOffer* offer) {
    auto control = std::make_unique<win::TRichEdit>(owner ? owner : win::Application().Handle(), font);
    const std::string text = TemplateControlText(job.Text);
    control->SetText(text);
    control->SelectAll();
    control->SetSelectionCharset(kTemplateCharset);
    // Emptied first: a copy that places nothing must not paste the user's old clipboard.
    win::Clipboard().Clear();
    control->CopyToClipboard();
    // Render every format now: what the control left to OLE's delayed rendering could not
    // outlive the control.
    OleFlushClipboard();
    if (!text.empty() && !win::Clipboard().HasFormat(CF_UNICODETEXT)) win::Clipboard().SetTextBuf(text);
    MarkClipboardPrivate();
    if (offer) offer->TakeOver();
}

// Waits, handling messages, until the target has read the template and then gone quiet
// for kRestoreQuietMs with the clipboard closed; until kPasteSettleMs after the chord when
// no read of the target's comes (nothing is known then: the wait of old), or the offer was
// taken off the clipboard; never past kRestoreWaitLimitMs. Reads are counted by offer's
// window, inside the waits; only plain values are looked at between them.
void WaitForTargetRead(const TDelayedOffer& offer, DWORD chordTick) {
    for (;;) {
        WaitWithMessages(kRestorePollMs);
        const DWORD now = GetTickCount();
        if (now - chordTick >= kRestoreWaitLimitMs) return;
        // Someone else's content now, or a paste nested in this wait has given the user's
        // back: nothing more to wait for.
        if (offer.Offered() && !offer.Owns()) return;
        if (!offer.Offered() || offer.TargetReads() == 0) {
            if (now - chordTick >= kPasteSettleMs) return;
            continue;
        }
        if (now - offer.LastTargetRead() < kRestoreQuietMs) continue;
        // The target may still hold the clipboard open for more formats.
        if (OpenClipboard(nullptr)) {
            CloseClipboard();
            return;
        }
    }
}

void SendCaretPresses(const TPasteJob& job) {
    int64_t presses = std::min(CountCaretPresses(job.Text, job.PointX, job.PointY), CaretPressLimit(job.Text));
    // One batch: a key the user types meanwhile cannot land inside the walk.
    if (presses > 0) SendCursorPresses(VK_LEFT, static_cast<uint64_t>(presses));
}

// The same text the clipboard would carry, typed; the caret then walks as after a paste.
void TypeTemplate(const TPasteJob& job) {
    WaitForModifiersReleased(kModifierWaitMs);
    WaitForForegroundReady(kForegroundWaitMs);
    TypeText(win::Wide(TemplateControlText(job.Text)), kTypeChunkChars, kTypePauseMs);
    SendCaretPresses(job);
}

}  // namespace

bool MarkClipboardPrivate() {
    try {
        win::Clipboard().Open();
    } catch (...) {
        return false;  // only a courtesy to clipboard managers; the paste goes on
    }
    bool ok = PutDwordFormat(L"ExcludeClipboardContentFromMonitorProcessing", 0);
    ok = PutDwordFormat(L"CanIncludeInClipboardHistory", 0) && ok;
    ok = PutDwordFormat(L"CanUploadToCloudClipboard", 0) && ok;
    win::Clipboard().Close();
    return ok;
}

void PasteTemplate(const TTmpl* tmpl, HWND ownerWindow, HFONT font, TPasteMethod method, TRestoreWait wait) {
    std::optional<TPasteJob> job;
    if (tmpl) job = TPasteJob{tmpl->TemplateText, tmpl->PointX, tmpl->PointY};
    tmpl = nullptr;  // only the copy from here on
    // The program in front at start-up chose nothing: no key and no clipboard for it.
    if (!job) {
        WarmUpPaste(ownerWindow, font);
        return;
    }
    // Keys sent into a program of a higher integrity level are dropped without a trace;
    // say so before the user's clipboard is touched.
    if (IsInputBlockedFor(GetForegroundWindow())) throw EElevatedTarget(kSElevatedTarget);
    if (method == TPasteMethod::Type) {
        TypeTemplate(*job);
        return;
    }
    OleScope ole;
    TMemoryStream snapshot;
    // Without a snapshot the restore would have nothing to give back: the template
    // would replace the user's clipboard for good.
    if (!SaveSnapshot(snapshot) && ReadRestoreClipboard()) throw EPasteRefused(kSClipboardBusy);
    TDelayedOffer offer;
    PlaceTemplate(*job, ownerWindow, font, wait == TRestoreWait::AfterTargetRead ? &offer : nullptr);
    NoteOwnWrite();
    // Win, Alt or Shift still held from the hotkey would turn Ctrl+V into another chord.
    WaitForModifiersReleased(kModifierWaitMs);
    // The menu has only just given the front back; until the program there has taken
    // it, Ctrl+V would reach no window of it.
    WaitForForegroundReady(kForegroundWaitMs);
    DWORD targetProcess = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &targetProcess);
    offer.ExpectTarget(targetProcess);
    const DWORD chordTick = GetTickCount();
    SendPasteChord(method);
    SendCaretPresses(*job);
    if (wait == TRestoreWait::AfterTargetRead) {
        WaitForTargetRead(offer, chordTick);
    } else {
        WaitWithMessages(kPasteSettleMs);
    }
    RestoreIfUnchanged(snapshot);
}

TSelectionCopy::TSelectionCopy(uint32_t waitMs, TPasteMethod method) {
    // Typing targets (remote desktops, virtual machines) get no chord at all.
    if (method == TPasteMethod::Type) return;
    // The copy would replace a clipboard that could not be saved.
    if (!SaveSnapshot(snapshot_)) return;
    pending_ = true;
    const DWORD before = GetClipboardSequenceNumber();
    SendCopyChord(method);
    const DWORD start = GetTickCount();
    auto waiting = [&] { return GetTickCount() - start < waitMs; };
    while (GetClipboardSequenceNumber() == before && waiting()) WaitWithMessages(20);
    copied_ = GetClipboardSequenceNumber() != before;
    if (!copied_) return;
    // The copying program may still be placing formats; then every format is read
    // once, so that data it left to delayed rendering is rendered now and does not
    // change the clipboard later, when the user pastes the selection somewhere.
    while (GetOpenClipboardWindow() != nullptr && waiting()) WaitWithMessages(20);
    TMemoryStream rendered;
    SaveSnapshot(rendered);
    // The selection now counts as the engine's own write: a paste over the open
    // dialog gives it back, and this copy's restore then still happens.
    NoteOwnWrite();
}

TSelectionCopy::~TSelectionCopy() { GiveBack(); }

void TSelectionCopy::GiveBack() noexcept {
    if (!pending_) return;
    pending_ = false;
    // Nothing reached the clipboard: the user's own content is still there.
    if (!copied_) return;
    RestoreIfUnchanged(snapshot_);
}

}  // namespace quillan
