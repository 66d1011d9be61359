// What the crash dialog remembers between openings ("MishapLog.ini", section "Coordinates"):
// the expanded form's size, position and placement and the two lists' column widths.
// Platform-free: the file is read and written through the caller's INI access.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace quillan::crash {

inline constexpr char kDialogStateFile[] = "MishapLog.ini";
inline constexpr char kDialogStateSection[] = "Coordinates";

// Placement states kept in "WindowsState" (the show commands of a window placement).
inline constexpr int kPlacementNormal = 1;
inline constexpr int kPlacementMaximized = 3;

inline constexpr std::array<int, 6> kDefaultStackColumns = {89, 92, 126, 126, 200, 61};
inline constexpr std::array<int, 7> kDefaultModuleColumns = {80, 96, 175, 50, 54, 712, 80};

struct TDialogState {
    int Width = 745;
    int Height = 468;
    bool HasPosition = false;  // Left and Top were stored; otherwise the dialog is centred
    int Left = 0;
    int Top = 0;
    int WindowsState = kPlacementNormal;
    std::array<int, 6> Col = kDefaultStackColumns;
    std::array<int, 7> ColMod = kDefaultModuleColumns;
};

// Reads a key of the section; nullopt when absent.
using TStateReader = std::function<std::optional<std::string>(const std::string& key)>;
// Writes a key of the section.
using TStateWriter = std::function<void(const std::string& key, const std::string& value)>;

// The stored state; a key that is absent or not a number keeps its default, and so does a size
// below the given minimum, a column width below 0 or above 10000, and a placement other than
// normal or maximised (a dialog never reopens minimised).
TDialogState LoadDialogState(const TStateReader& read, int minWidth = 1, int minHeight = 1);
// Writes every key.
void SaveDialogState(const TDialogState& state, const TStateWriter& write);

struct TStateRect {
    int Left, Top, Right, Bottom;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
};

// Where the expanded dialog goes on a screen whose work area is area: the stored rectangle when it
// lies wholly inside, else the same size moved inside (shrunk to the area when larger); centred on
// centre when no position was stored.
TStateRect PlaceDialog(const TDialogState& state, const TStateRect& area, int centreX, int centreY);

// The state file's folder: the Windows folder when a file there can be written, else the
// fallback (the profile's "MishapLog" folder). Both end in a separator.
std::string DialogStateFolder(const std::string& windowsFolder, bool windowsFolderWritable,
                              const std::string& fallbackFolder);

}  // namespace quillan::crash
