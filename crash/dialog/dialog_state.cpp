#include "crash/dialog/dialog_state.h"

#include <algorithm>
#include <charconv>

namespace quillan::crash {

namespace {

std::optional<int> Number(const TStateReader& read, const std::string& key) {
    const std::optional<std::string> text = read(key);
    if (!text) return std::nullopt;
    const char* first = text->data();
    const char* last = first + text->size();
    while (first < last && *first == ' ') ++first;
    while (last > first && last[-1] == ' ') --last;
    int value = 0;
    auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) return std::nullopt;
    return value;
}

template <size_t N>
void LoadColumns(const TStateReader& read, const std::string& prefix, std::array<int, N>& columns) {
    for (size_t i = 0; i < N; ++i) {
        std::optional<int> width = Number(read, prefix + std::to_string(i));
        if (width && *width >= 0 && *width <= 10000) columns[i] = *width;
    }
}

template <size_t N>
void SaveColumns(const TStateWriter& write, const std::string& prefix, const std::array<int, N>& columns) {
    for (size_t i = 0; i < N; ++i) write(prefix + std::to_string(i), std::to_string(columns[i]));
}

}  // namespace

TDialogState LoadDialogState(const TStateReader& read, int minWidth, int minHeight) {
    TDialogState state;
    if (std::optional<int> width = Number(read, "Width"); width && *width >= minWidth) state.Width = *width;
    if (std::optional<int> height = Number(read, "Height"); height && *height >= minHeight) state.Height = *height;
    std::optional<int> left = Number(read, "Left");
    std::optional<int> top = Number(read, "Top");
    if (left && top) {
        state.HasPosition = true;
        state.Left = *left;
        state.Top = *top;
    }
    if (std::optional<int> placement = Number(read, "WindowsState");
        placement && (*placement == kPlacementNormal || *placement == kPlacementMaximized))
        state.WindowsState = *placement;
    LoadColumns(read, "Col", state.Col);
    LoadColumns(read, "ColMod", state.ColMod);
    return state;
}

void SaveDialogState(const TDialogState& state, const TStateWriter& write) {
    write("Width", std::to_string(state.Width));
    write("Height", std::to_string(state.Height));
    write("Left", std::to_string(state.Left));
    write("Top", std::to_string(state.Top));
    write("WindowsState", std::to_string(state.WindowsState));
    SaveColumns(write, "Col", state.Col);
    SaveColumns(write, "ColMod", state.ColMod);
}

TStateRect PlaceDialog(const TDialogState& state, const TStateRect& area, int centreX, int centreY) {
    const int width = std::min(state.Width, area.Width());
    const int height = std::min(state.Height, area.Height());
    int left = state.HasPosition ? state.Left : centreX - width / 2;
    int top = state.HasPosition ? state.Top : centreY - height / 2;
    left = std::clamp(left, area.Left, area.Right - width);
    top = std::clamp(top, area.Top, area.Bottom - height);
    return {left, top, left + width, top + height};
}

std::string DialogStateFolder(const std::string& windowsFolder, bool windowsFolderWritable,
                              const std::string& fallbackFolder) {
    if (windowsFolderWritable && !windowsFolder.empty()) {
        const char last = windowsFolder.back();
        return last == '\\' || last == '/' ? windowsFolder : windowsFolder + "\\";
    }
    return fallbackFolder;
}

}  // namespace quillan::crash
