// What the main form tells the user when it cannot do what was asked: a hot.ini it
// cannot load (the menu still comes, with the problem and "Настройки" in it) and a
// hotkey that another program holds. Balloons are read back from the shell's own
// balloon window, which must show them whole: on the screen, every word there.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/notices.h"
#include "engine/menu/foreground.h"
#include "engine/paste/elevation_win.h"
#include "framework/core/convert.h"
#include "framework/win/text.h"
#include "tests/shell/form_support.h"

namespace quillan::test {
namespace {

using Captions = std::vector<std::string>;

struct TShownBalloon {
    std::string Text;  // its line breaks as blanks
    RECT Place;
    int WidestLine;  // in pixels, as the balloon's font draws it
    std::wstring Raw;
};

// The width of the widest line of text in the font that balloons use, the status font.
int WidestLine(const std::wstring& text) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    win::FontHandle font(CreateFontIndirectW(&metrics.lfStatusFont));
    win::WindowDC dc(nullptr);
    win::SelectObjectScope select(dc.get(), font.get());
    RECT need = {};
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &need, DT_CALCRECT | DT_NOPREFIX);
    return need.right - need.left;
}

BOOL CALLBACK CollectBalloon(HWND window, LPARAM param) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (lstrcmpW(name, L"tooltips_class32") != 0 || pid == GetCurrentProcessId() || !IsWindowVisible(window))
        return TRUE;
    wchar_t text[1024] = {};
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                            &length) &&
        length > 0) {
        TShownBalloon shown{win::Narrow(std::wstring(text, length)),
                            {},
                            WidestLine(std::wstring(text, length)),
                            std::wstring(text, length)};
        // Each line's end as the one blank it stands for.
        const std::string end = std::string(kBalloonLineEnd) + "\n";
        for (size_t at = shown.Text.find(end); at != std::string::npos; at = shown.Text.find(end, at + 1))
            shown.Text.replace(at, end.size(), " ");
        GetWindowRect(window, &shown.Place);
        reinterpret_cast<std::vector<TShownBalloon>*>(param)->push_back(shown);
    }
    return TRUE;
}

// Columns of dark pixels (text on the balloon's light ground) in a 32-bit top-down image.
struct TInk {
    int Left = 1 << 30;
    int Right = -1;
};
TInk InkOf(const std::vector<uint32_t>& pixels, int width, int top, int bottom, int left, int right) {
    TInk ink;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
            if ((p & 0xFF) + ((p >> 8) & 0xFF) + ((p >> 16) & 0xFF) >= 3 * 110) continue;
            ink.Left = std::min(ink.Left, x);
            ink.Right = std::max(ink.Right, x);
        }
    }
    return ink;
}

// The pixels of a screen area, or of line drawn black on white by the balloons' font.
std::vector<uint32_t> Capture(HDC source, int x, int y, int width, int height, const std::wstring* line) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    win::MemoryDC dc(CreateCompatibleDC(source));
    win::BitmapHandle dib(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    win::SelectObjectScope selectBitmap(dc.get(), dib.get());
    if (line) {
        PatBlt(dc.get(), 0, 0, width, height, WHITENESS);
        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = sizeof(metrics);
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
        win::FontHandle font(CreateFontIndirectW(&metrics.lfStatusFont));
        win::SelectObjectScope selectFont(dc.get(), font.get());
        SetBkMode(dc.get(), TRANSPARENT);
        SetTextColor(dc.get(), RGB(0, 0, 0));
        RECT r = {0, 0, width, height};
        DrawTextW(dc.get(), line->c_str(), static_cast<int>(line->size()), &r, DT_SINGLELINE | DT_NOPREFIX);
    } else {
        BitBlt(dc.get(), 0, 0, width, height, source, x, y, SRCCOPY);
    }
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    return std::vector<uint32_t>(p, p + static_cast<size_t>(width) * static_cast<size_t>(height));
}

// The balloon on the screen reaches as far right as its widest line, drawn by its font,
// needs: no letter is cut off at its edge. Only the middle rows count (its stem and
// rounded corners are drawn there too).
void ExpectNoLetterCut(const TShownBalloon& balloon) {
    const int width = balloon.Place.right - balloon.Place.left;
    const int height = balloon.Place.bottom - balloon.Place.top;
    win::WindowDC screen(nullptr);
    std::vector<uint32_t> shot = Capture(screen.get(), balloon.Place.left, balloon.Place.top, width, height, nullptr);
    TInk shown = InkOf(shot, width, 25, height - 25, 2, width - 2);
    int needed = -1;
    int firstInk = 1 << 30;
    size_t start = 0;
    while (start < balloon.Raw.size()) {
        size_t end = balloon.Raw.find(L'\n', start);
        if (end == std::wstring::npos) end = balloon.Raw.size();
        std::wstring line = balloon.Raw.substr(start, end - start);
        while (!line.empty() && (line.back() == L' ' || line.back() == L'\r')) line.pop_back();
        start = end + 1;
        if (line.empty()) continue;
        std::vector<uint32_t> drawn = Capture(screen.get(), 0, 0, 1600, 40, &line);
        TInk ink = InkOf(drawn, 1600, 0, 40, 0, 1600);
        needed = std::max(needed, ink.Right);
        firstInk = std::min(firstInk, ink.Left);
    }
    ASSERT_GE(shown.Right, 0) << "no text seen in the balloon";
    // The lines start where the balloon's leftmost ink is, less the first glyphs' own margin.
    const int origin = shown.Left - firstInk;
    EXPECT_GE(shown.Right, origin + needed - 1) << "the widest line loses its last letter: " << balloon.Text;
}

// The balloons that the shell shows now.
std::vector<TShownBalloon> ShellBalloons() {
    std::vector<TShownBalloon> shown;
    EnumWindows(&CollectBalloon, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

// Waits for a balloon that holds text (line breaks read as blanks) and checks that it
// shows it whole: on the screen, and every line as wide as it needs.
bool ShellShowsBalloon(const std::string& text) {
    TShownBalloon found{};
    bool shown = PumpUntil(
        [&] {
            for (const TShownBalloon& balloon : ShellBalloons()) {
                if (balloon.Text.find(text) == std::string::npos) continue;
                found = balloon;
                return true;
            }
            return false;
        },
        10000);
    if (!shown) {
        ADD_FAILURE() << "no balloon holds \"" << text << "\"";
        return false;
    }
    const int screen = GetSystemMetrics(SM_CXSCREEN);
    const int width = found.Place.right - found.Place.left;
    EXPECT_GE(found.Place.left, 0) << found.Text;
    EXPECT_LE(found.Place.right, screen) << found.Text;
    EXPECT_LE(found.WidestLine, width) << "a line is cut at the balloon's edge: " << found.Text;
    // Drawn by now: the shell shows a balloon at once.
    PumpUntil([] { return false; }, 500);
    ExpectNoLetterCut(found);
    return found.Place.left >= 0 && found.Place.right <= screen && found.WidestLine <= width;
}

// A window of this test that holds a hotkey, as another program would.
class HotKeyHolder {
public:
    explicit HotKeyHolder(UINT modifiers) {
        window_ = CreateWindowExW(0, L"STATIC", L"holder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        held_ = RegisterHotKey(window_, 1, modifiers, 'H');
    }
    ~HotKeyHolder() { Release(); }
    void Release() {
        if (held_) UnregisterHotKey(window_, 1);
        held_ = false;
        if (window_) DestroyWindow(window_);
        window_ = nullptr;
    }
    bool Held() const { return held_; }

private:
    HWND window_ = nullptr;
    bool held_ = false;
};

TEST_F(FormTest, AHotKeyHeldByAnotherProgramIsToldAndNotNamedInTheHint) {
    HotKeyHolder holder(MOD_CONTROL | MOD_WIN);
    ASSERT_TRUE(holder.Held());
    CreateForm();
    const std::string hint = form_->TrayIcon().Hint();
    EXPECT_EQ(hint.find("Win + H"), std::string::npos) << hint;
    EXPECT_EQ(hint, "Quillan (горячая клавиша занята)");
    EXPECT_TRUE(
        ShellShowsBalloon("Сочетание Ctrl + Win + H занято другой программой, и меню шаблонов им не открыть. "
                          "Другое сочетание можно выбрать в «Настройках»."));

    // Let go by the other program: "Переинициализация" takes it and names it again.
    holder.Release();
    form_->N6Click(*form_->TrayMenuObject().FindItemByName("N6"));
    EXPECT_EQ(form_->TrayIcon().Hint(), "Quillan (Ctrl + Win + H)");
    EXPECT_FALSE(HotKeyFree(MOD_CONTROL | MOD_WIN));

    // "ОК" with the choice kept registers the combination it holds already: still ours.
    form_->RunOptionsDialog = [](bool, const std::string&, const TSetTrayHint&) { return IDOK; };
    form_->N2Click(*form_->TrayMenuObject().FindItemByName("N2"));
    EXPECT_EQ(form_->TrayIcon().Hint(), "Quillan (Ctrl + Win + H)");
    EXPECT_FALSE(HotKeyFree(MOD_CONTROL | MOD_WIN));
}

// Picks "Настройки", the menu's last item, once the menu is open.
class PickSettings {
public:
    PickSettings()
        : ticker_(30, [this] {
              if (!InMenuMode() || picked) return;
              picked = true;
              captions = shownBy ? shownBy() : Captions{};
              Tap(VK_UP);
              Tap(VK_RETURN);
          }) {}
    std::function<Captions()> shownBy;
    Captions captions;
    bool picked = false;

private:
    Ticker ticker_;
};

TEST_F(FormTest, AMissingHotIniStillGivesTheMenuWithTheProblemAndSettings) {
    CreateForm();
    const std::string path = dir_.Path() + "hot.ini";
    std::filesystem::remove(dir_.Native() / "hot.ini");
    int opened = 0;
    form_->RunOptionsDialog = [&](bool focusCurrentApp, const std::string&, const TSetTrayHint&) {
        ++opened;
        EXPECT_TRUE(focusCurrentApp);
        return IDCANCEL;
    };
    PickSettings pick;
    pick.shownBy = [this] { return MenuCaptions(); };
    PostHotKey();
    ASSERT_TRUE(PumpUntil([&] { return opened == 1; }, 10000)) << "no menu, or its \"Настройки\" did not open";
    const std::string app = CurrentApp;
    EXPECT_EQ(pick.captions, (Captions{app, "-", "Файла шаблонов «" + path + "» нет.",
                                       "Шаблоны можно завести в «Настройках».", "-", "Настройки"}));
    EXPECT_TRUE(ShellShowsBalloon("Файла шаблонов «" + path + "» нет. Шаблоны можно завести в «Настройках»."));
    ASSERT_EQ(errors_.size(), 1u) << "the failure is reported as before";
    EXPECT_NE(errors_[0].find("hot.ini"), std::string::npos) << errors_[0];
}

TEST_F(FormTest, AMalformedHotIniIsShownWhereTheReaderStoppedAndTheListIsKept) {
    CreateForm();
    {
        MenuWatch menus;
        PostHotKey();
        ASSERT_TRUE(PumpUntil([&] { return menus.opened == 1 && !InMenuMode(); }));
        ASSERT_EQ(form_->Templates().size(), 2u);
    }

    {
        std::ofstream bad(dir_.Native() / "hot.ini", std::ios::binary | std::ios::trunc);
        bad << "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n <Templates>\r\n"
               "  <Application>Общие</Application>\r\n   <Template>\r\n    <MenuCaption>Письмо</MenuCaptio>\r\n"
               "   </Template>\r\n </Templates>\r\n</HOT>\r\n";
    }
    Captions shown;
    Ticker record(15, [&] {
        if (!InMenuMode() || !shown.empty()) return;
        shown = MenuCaptions();
        EndMenu();
    });
    PostHotKey();
    ASSERT_TRUE(PumpUntil([&] { return !shown.empty() && !InMenuMode(); }, 10000)) << "no menu";
    ASSERT_EQ(errors_.size(), 1u);
    // The report keeps the reader's message as it is; the menu and the balloon put the place before it.
    const std::string message = errors_[0];
    EXPECT_NE(message.find("</MenuCaptio>"), std::string::npos) << message;
    ASSERT_EQ(shown.size(), 7u);
    EXPECT_EQ(shown[2], "Файл шаблонов «" + dir_.Path() + "hot.ini» не удалось прочитать:");
    const std::string place = "строка 6, символ ";
    ASSERT_EQ(shown[3].rfind(place, 0), 0u) << shown[3];
    const size_t colon = shown[3].find(": ");
    ASSERT_NE(colon, std::string::npos);
    EXPECT_GT(std::atoi(shown[3].c_str() + place.size()), 0);
    EXPECT_EQ(shown[3].substr(colon + 2), message);
    EXPECT_EQ(shown.back(), "Настройки");
    EXPECT_TRUE(ShellShowsBalloon(shown[3] + "). Исправить его можно в «Настройках»."));
    EXPECT_EQ(form_->Templates().size(), 2u) << "the list of the last good load stays";
    EXPECT_EQ(form_->Templates()[0]->MenuCaption, "первый");
}

// Wine runs every process at the same integrity level, so no target there is out of reach:
// the paste raises what the engine raises for an elevated program in front.
TEST_F(FormTest, APasteRefusedForAnElevatedProgramIsToldOncePerProgram) {
    CreateForm();
    int pastes = 0;
    form_->RunPaste = [&](const TTmpl*, HWND, HFONT) {
        ++pastes;
        throw EElevatedTarget(kSElevatedTarget);
    };
    int balloons = 0;
    // Hiding the balloon before comes through here as an empty one.
    form_->TrayIcon().OnBalloonShow = [&](TTrayIcon& tray) { balloons += tray.IconData().szInfo[0] != 0; };
    TTmpl tmpl;
    tmpl.TemplateText = "текст";
    const std::string program = AsciiLowerCase(GetForegroundAppName());
    ASSERT_FALSE(program.empty());
    EXPECT_THROW(form_->OnPasteTemplClick(&tmpl), EElevatedTarget) << "the refusal is still reported";
    EXPECT_TRUE(ShellShowsBalloon("Программа «" + program +
                                  "» запущена от имени администратора, и шаблоны в неё "
                                  "не вставить. Чтобы вставлять в неё, запустите Quillan от имени администратора."));
    EXPECT_EQ(balloons, 1);
    EXPECT_THROW(form_->OnPasteTemplClick(&tmpl), EElevatedTarget);
    EXPECT_EQ(pastes, 2);
    EXPECT_EQ(balloons, 1) << "the same program is told once";
}

}  // namespace
}  // namespace quillan::test
