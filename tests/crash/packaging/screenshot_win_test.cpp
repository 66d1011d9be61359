// Screenshots on a real desktop (Wine + Xvfb): a window of the test's own with a focused edit
// control is captured, saved, and read back through the system's own PNG decoder (WIC).
#include <gtest/gtest.h>

#include <windows.h>
#include <wincodec.h>

#include <string>
#include <vector>

#include "crash/packaging/png_writer.h"
#include "crash/packaging/screenshot_win.h"
#include "framework/core/codepage.h"
#include "tests/support/pump.h"
#include "tests/support/temp_dir.h"

namespace quillan::crash {
namespace {

constexpr COLORREF kBackground = RGB(0, 128, 128);

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A top-level window in a flat colour with one edit control that holds the focus.
class TestWindow {
public:
    TestWindow() {
        brush_ = CreateSolidBrush(kBackground);
        WNDCLASSW wc{};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.hbrBackground = brush_;
        wc.lpszClassName = L"QuillanScreenshotTest";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"Screenshot test", WS_POPUP | WS_BORDER | WS_VISIBLE, 120, 90, 420,
                               300, nullptr, nullptr, wc.hInstance, nullptr);
        edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 40, 60, 200, 24, hwnd, nullptr, wc.hInstance,
                               nullptr);
        SetForegroundWindow(hwnd);
        SetFocus(edit);
        UpdateWindow(hwnd);
        test::PumpUntil([] { return false; }, 300);
    }
    ~TestWindow() {
        DestroyWindow(hwnd);
        UnregisterClassW(L"QuillanScreenshotTest", GetModuleHandleW(nullptr));
        DeleteObject(brush_);
    }
    RECT WindowRect() const {
        RECT r;
        GetWindowRect(hwnd, &r);
        return r;
    }
    RECT EditRect() const {
        RECT r;
        GetWindowRect(edit, &r);
        return r;
    }
    // Puts the mouse on a point of the window and lets the window set its cursor.
    void MoveMouseTo(int x, int y) {
        SetCursorPos(x, y);
        test::PumpUntil(
            [x, y] {
                POINT p;
                return GetCursorPos(&p) && p.x == x && p.y == y;
            },
            2000);
        test::PumpUntil([] { return false; }, 200);
    }

    HWND hwnd = nullptr;
    HWND edit = nullptr;

private:
    HBRUSH brush_ = nullptr;
};

struct Rgb {
    BYTE R = 0, G = 0, B = 0;
    bool operator==(const Rgb&) const = default;
};

struct DecodedPng {
    std::string Error;
    UINT Width = 0, Height = 0;
    bool Palette8 = false;  // the frame is an 8-bit indexed picture
    std::vector<BYTE> Bgra;
    Rgb At(int x, int y) const {
        const BYTE* p = Bgra.data() + (static_cast<size_t>(y) * Width + x) * 4;
        return {p[2], p[1], p[0]};
    }
};

template <typename T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() { return p; }
};

DecodedPng Failed(const char* why) {
    DecodedPng d;
    d.Error = why;
    return d;
}

DecodedPng DecodeWithWic(const std::string& path) {
    DecodedPng d;
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return Failed("no WIC factory");
    std::u16string wide = Cp1251ToUtf16(path);
    ComPtr<IWICBitmapDecoder> decoder;
    hr = factory->CreateDecoderFromFilename(reinterpret_cast<const wchar_t*>(wide.c_str()), nullptr, GENERIC_READ,
                                            WICDecodeMetadataCacheOnDemand, &decoder);
    if (FAILED(hr)) return Failed("WIC cannot open the file");
    GUID container{};
    if (FAILED(decoder->GetContainerFormat(&container)) || container != GUID_ContainerFormatPng)
        return Failed("not a PNG");
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, &frame))) return Failed("no frame");
    frame->GetSize(&d.Width, &d.Height);
    WICPixelFormatGUID format{};
    frame->GetPixelFormat(&format);
    d.Palette8 = format == GUID_WICPixelFormat8bppIndexed;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom))) {
        return Failed("no conversion");
    }
    d.Bgra.resize(static_cast<size_t>(d.Width) * d.Height * 4);
    if (FAILED(converter->CopyPixels(nullptr, d.Width * 4, static_cast<UINT>(d.Bgra.size()), d.Bgra.data()))) {
        return Failed("pixels not decoded");
    }
    return d;
}

class Screenshot : public ::testing::Test {
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }

    // Captures, saves and decodes; the file is checked for being a palette PNG of the capture's size.
    DecodedPng CaptureAndDecode(bool foregroundOnly, HWND focus = nullptr) {
        const TBgrxImage capture = CaptureScreenshot(foregroundOnly, focus);
        EXPECT_GT(capture.Width, 0);
        const std::string path = dir_.Path() + "Screenshot.png";
        EXPECT_TRUE(SaveScreenshotPng(capture, path));
        DecodedPng d = DecodeWithWic(path);
        EXPECT_EQ(d.Error, "");
        EXPECT_TRUE(d.Palette8);
        EXPECT_EQ(d.Width, static_cast<UINT>(capture.Width));
        EXPECT_EQ(d.Height, static_cast<UINT>(capture.Height));
        return d;
    }

    test::TempDir dir_;
};

const Rgb kRed{255, 0, 0};

// The two red rectangles: the control's outer pixel ring and the ring inside it; the third
// ring is the control's own.
void ExpectRedFrame(const DecodedPng& d, RECT control, POINT origin) {
    OffsetRect(&control, -origin.x, -origin.y);
    for (int ring = 0; ring < 3; ++ring) {
        const RECT r{control.left + ring, control.top + ring, control.right - 1 - ring, control.bottom - 1 - ring};
        for (int x = r.left; x <= r.right; x += 7) {
            EXPECT_EQ(d.At(x, r.top) == kRed, ring < 2) << "ring " << ring << " top at x " << x;
            EXPECT_EQ(d.At(x, r.bottom) == kRed, ring < 2) << "ring " << ring << " bottom at x " << x;
        }
        for (int y = r.top; y <= r.bottom; y += 3) {
            EXPECT_EQ(d.At(r.left, y) == kRed, ring < 2) << "ring " << ring << " left at y " << y;
            EXPECT_EQ(d.At(r.right, y) == kRed, ring < 2) << "ring " << ring << " right at y " << y;
        }
    }
}

TEST_F(Screenshot, ForegroundWindowWithItsFocusedControlFramedInRed) {
    TestWindow window;
    ASSERT_EQ(GetForegroundWindow(), window.hwnd);
    const RECT w = window.WindowRect();
    window.MoveMouseTo(w.right + 50, w.bottom + 50);  // off the window: no cursor in the picture

    const DecodedPng d = CaptureAndDecode(true);
    ASSERT_EQ(d.Width, static_cast<UINT>(w.right - w.left));
    ASSERT_EQ(d.Height, static_cast<UINT>(w.bottom - w.top));
    ExpectRedFrame(d, window.EditRect(), {w.left, w.top});
    // The flat background is kept exactly (the picture has few colours).
    EXPECT_EQ(d.At(300, 200), (Rgb{0, 128, 128}));
}

TEST_F(Screenshot, MouseCursorIsDrawnAtItsPosition) {
    TestWindow window;
    const RECT w = window.WindowRect();
    // A spot of plain background; compare the same block without and with the cursor on it.
    const POINT spot{w.left + 320, w.top + 180};
    auto changedPixels = [&](const DecodedPng& d) {
        int changed = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                changed += !(d.At(spot.x - w.left + x, spot.y - w.top + y) == Rgb{0, 128, 128});
            }
        }
        return changed;
    };
    window.MoveMouseTo(w.right + 50, w.bottom + 50);
    EXPECT_EQ(changedPixels(CaptureAndDecode(true)), 0);

    window.MoveMouseTo(spot.x, spot.y);
    CURSORINFO info{};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info) || !info.hCursor || !(info.flags & CURSOR_SHOWING)) {
        GTEST_SKIP() << "this desktop reports no visible cursor";
    }
    const DecodedPng d = CaptureAndDecode(true);
    // The arrow's tip is its hot spot: the block right below it holds its outline.
    EXPECT_GT(changedPixels(d), 10);
    EXPECT_FALSE(d.At(spot.x - w.left + 1, spot.y - w.top + 1) == (Rgb{0, 128, 128}));
}

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM data) {
    UnionRect(reinterpret_cast<RECT*>(data), reinterpret_cast<RECT*>(data), rect);
    return TRUE;
}

TEST_F(Screenshot, DesktopCoversEveryMonitorAndFramesTheGivenControl) {
    TestWindow window;
    window.MoveMouseTo(0, 0);
    RECT all{};
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&all));
    ASSERT_FALSE(IsRectEmpty(&all));

    const DecodedPng d = CaptureAndDecode(false, window.edit);
    EXPECT_EQ(d.Width, static_cast<UINT>(all.right - all.left));
    EXPECT_EQ(d.Height, static_cast<UINT>(all.bottom - all.top));
    ExpectRedFrame(d, window.EditRect(), {all.left, all.top});
}

TEST_F(Screenshot, FileThatCannotBeWrittenIsDroppedQuietly) {
    TestWindow window;
    const TBgrxImage capture = CaptureScreenshot(true);
    ASSERT_GT(capture.Width, 0);
    EXPECT_FALSE(SaveScreenshotPng(capture, dir_.Path() + "missing\\Screenshot.png"));
    EXPECT_TRUE(dir_.List().empty());
}

}  // namespace
}  // namespace quillan::crash
