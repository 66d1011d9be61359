// The balloon-hint component: while one is alive with UseBalloonAsApplicationHint
// set, every control hint of the program is drawn as a speech balloon. The
// process-wide controller TGlobalCtrl keeps the list of components, the standard
// icons and sound names, and swaps the application's hint window class.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "components/balloon/balloon_geometry.h"
#include "framework/hints/hints_win.h"
#include "framework/win/handle_win.h"

namespace quillan::balloon {

enum TIconKind { ikCustom, ikNone, ikApplication, ikError, ikInformation, ikQuestion, ikWarning };
enum TAnimationStyle {
    atNone,
    atSlide,
    atRoll,
    atRollHorNeg,
    atRollHorPos,
    atRollVerNeg,
    atRollVerPos,
    atSlideHorNeg,
    atSlideHorPos,
    atSlideVerNeg,
    atSlideVerPos,
    atCenter,
    atBlend
};

// Options of on-demand balloons and of balloons shown in place of the plain hint.
enum TBalloonOption : unsigned {
    boUseDefaultHeader = 1u << 0,
    boUseDefaultIcon = 1u << 1,
    boUseDefaultImageIndex = 1u << 2,
    boShowCloseBtn = 1u << 3,
    boCustomAnimation = 1u << 4,
    boPlaySound = 1u << 5,
};
enum TApplicationHintOption : unsigned {
    ahShowHeaderInHint = 1u << 0,
    ahShowIconInHint = 1u << 1,
    ahPlaySound = 1u << 2,
};

// The non-visual component. It registers itself at the controller on
// construction and unregisters on destruction; the last one to go restores the
// plain hint window. Not copyable; GUI thread only.
class TBalloonHint {
public:
    TBalloonHint();
    ~TBalloonHint();
    TBalloonHint(const TBalloonHint&) = delete;
    TBalloonHint& operator=(const TBalloonHint&) = delete;

    TAnimationStyle CustomAnimationStyle = atBlend;
    unsigned CustomAnimationTime = 100;
    TBalloonPosition DefaultBalloonPosition = bpAuto;
    int DefaultImageIndex = -1;
    std::string DefaultHeader;
    TIconKind DefaultIcon = ikInformation;
    HIMAGELIST Images = nullptr;  // not owned
    unsigned Options = boShowCloseBtn;
    unsigned ApplicationHintOptions = ahShowHeaderInHint | ahShowIconInHint;

    // The value lives in the controller, so every instance reads the same one.
    bool UseBalloonAsApplicationHint() const;
    void SetUseBalloonAsApplicationHint(bool value);
};

// The process-wide controller, created on first use and freed at exit.
class TGlobalCtrl {
public:
    static TGlobalCtrl& Instance();
    ~TGlobalCtrl();
    TGlobalCtrl(const TGlobalCtrl&) = delete;
    TGlobalCtrl& operator=(const TGlobalCtrl&) = delete;

    void Register(TBalloonHint* hint);
    void Unregister(TBalloonHint* hint);
    // The first live component; with none, a hidden one owned by the controller.
    TBalloonHint& DefaultHint();

    bool UseAsAppHint() const { return useAsAppHint_; }
    // Swaps the application's hint window class (saving the previous one) or
    // puts the saved one back; only stored while designing.
    void SetUseAsAppHint(bool value);
    bool Designing() const { return designing_; }

    // The standard icons (application, error, information, question, warning), made at the
    // first call, and whether they are drawn over the window's colour.
    HIMAGELIST StdIcons();
    bool FixIconBackground();
    // Sound file name of an icon kind; empty when the scheme has none.
    const std::string& Sound(TIconKind kind) const;
    void PlaySoundOf(TIconKind kind) const;
    // Reads the sound names of the user's scheme again (done once at creation).
    void LoadSounds();
    // Draws icon kind at (x, y) for a window of colour windowColor.
    void DrawIcon(HDC dc, TIconKind kind, int x, int y, COLORREF windowColor);

private:
    TGlobalCtrl();
    void MakeStdIcons();
    void LoadStdIcons();

    std::vector<TBalloonHint*> hints_;
    std::unique_ptr<TBalloonHint> ownHint_;
    bool useAsAppHint_ = false;
    bool designing_ = false;
    bool finalizing_ = false;
    win::HintWindowFactory savedHintWindowClass_;
    win::ImageListHandle stdIcons_;
    bool fixIconBackground_ = false;
    bool stdIconsMade_ = false;
    std::array<std::string, 7> sounds_;
};

// True on the NT platform from Windows XP (5.1) on.
bool IsWindowsXPOrLater();

}  // namespace quillan::balloon
