// The template offered on the clipboard by delayed rendering: every format is placed
// without data and handed over when a reader asks for it (WM_RENDERFORMAT), so that a
// paste learns when the program it pastes into has actually read the template.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace quillan {

class TDelayedOffer {
public:
    // Makes the window that will own the offer; raises EOSError when it cannot.
    TDelayedOffer();
    // Still the clipboard's owner: renders every format not yet read, so the template
    // stays whole on the clipboard (restore off, or a restore that failed).
    ~TDelayedOffer();
    TDelayedOffer(const TDelayedOffer&) = delete;
    TDelayedOffer& operator=(const TDelayedOffer&) = delete;

    // Takes every data format now on the clipboard into memory, empties it, and offers
    // them again, delayed, under this object's window; the formats marking the data as
    // private are placed with their data. False (the clipboard as it was) when the
    // clipboard could not be opened or held nothing to offer.
    bool TakeOver();

    // From now on a read counts as the target's when it comes from a window of
    // targetProcess, or from a reader that opened the clipboard without a window.
    void ExpectTarget(DWORD targetProcess);

    // TakeOver succeeded.
    bool Offered() const { return offered_; }
    // No other program (or paste) has emptied the clipboard since TakeOver.
    bool Owns() const { return owns_; }
    // Reads of the target since ExpectTarget, and the tick of the latest one.
    int TargetReads() const { return targetReads_; }
    DWORD LastTargetRead() const { return lastTargetRead_; }
    // Reads that did not count: before ExpectTarget, or by another program's window.
    int OtherReads() const { return otherReads_; }

private:
    struct TFormat {
        UINT Id;
        std::string Bytes;
        bool Rendered;
    };

    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    void Render(UINT format);
    void RenderAll();
    void NoteRead(UINT format);
    bool Open();

    HWND window_ = nullptr;
    std::vector<TFormat> formats_;
    bool offered_ = false;
    bool owns_ = false;
    bool expecting_ = false;
    DWORD targetProcess_ = 0;
    int targetReads_ = 0;
    int otherReads_ = 0;
    DWORD lastTargetRead_ = 0;
};

// The clipboard sequence number right after the engine's latest own write. A restore
// happens only while it is still current: anything the user copies during the wait
// stays. Shared by nested pastes, so an outer paste still restores after an inner one.
void NoteOwnWrite();
bool OwnWriteCurrent();

}  // namespace quillan
