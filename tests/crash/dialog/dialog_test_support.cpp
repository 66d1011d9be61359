#include "tests/crash/dialog/dialog_test_support.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include "crash/dialog/crash_dialog_win.h"
#include "crash/report/date_text.h"
#include "framework/win/text.h"

namespace quillan::crash::test {

namespace {

TMishapStackEntry Entry(TStackKind kind, uint32_t thread, TAddress address, const char* module, const char* unit,
                        const char* cls, const char* procedure, int line, bool running = false) {
    TMishapStackEntry e;
    e.Kind = kind;
    e.ThreadId = thread;
    e.Address = address;
    e.ModuleHandle = kind == TStackKind::PlainExport ? 0x7B000000 : 0x00400000;
    e.ModuleFile = module;
    e.UnitName = unit;
    e.ClassName = cls;
    e.ProcedureName = procedure;
    e.Line = line;
    e.LineOffset = line ? 3 : 0;
    e.RunningThread = running;
    return e;
}

struct FindWindowData {
    const wchar_t* Title;
    const std::function<bool(HWND)>* Accept;
    HWND Found;
};

BOOL CALLBACK FindThreadDialog(HWND hwnd, LPARAM lParam) {
    auto* data = reinterpret_cast<FindWindowData*>(lParam);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (!IsWindowVisible(hwnd) || std::wstring(cls) != L"#32770") return TRUE;
    if (data->Title && WideTextOf(hwnd) != data->Title) return TRUE;
    if (data->Accept && !(*data->Accept)(hwnd)) return TRUE;
    data->Found = hwnd;
    return FALSE;
}

BOOL CALLBACK CloseThreadWindow(HWND hwnd, LPARAM) {
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

TReportContext SampleReport(const TMishapModuleOptions& options) {
    TReportContext context;
    context.Options = &options;
    context.Layout = &kLayout32;
    auto& v = context.Values;
    v[TReportItem::StartDate] = "2024-05-06 09:10:11";
    v[TReportItem::NameDescription] = "Quillan";
    v[TReportItem::VersionNumber] = "1.0.0.5";
    v[TReportItem::Parameters] = "";
    v[TReportItem::CompilationDate] = "2024-05-01 12:00:00";
    v[TReportItem::ExceptionDate] = "2024-05-06 09:12:13";
    v[TReportItem::ExceptionAddress] = "00401A2B";
    v[TReportItem::ExceptionModule] = "Quillan.exe";
    v[TReportItem::ExceptionType] = "EAccessViolation";
    v[TReportItem::ExceptionMessage] = "Отказ в доступе {по адресу} 00401A2B.\r\nЧтение адреса 00000000.";
    v[TReportItem::FormClass] = "TOptionForm";
    v[TReportItem::FormText] = "Настройки";
    v[TReportItem::ControlClass] = "TEdit";
    v[TReportItem::ControlText] = "hot.ini";
    v[TReportItem::ComputerName] = "WORKSTATION";
    v[TReportItem::UserName] = "user";
    v[TReportItem::TotalMemory] = "4096 MB";
    v[TReportItem::FreeMemory] = "1234 MB";
    v[TReportItem::Processor] = "Intel(R) Core(TM) i5";
    v[TReportItem::DisplayMode] = "1280 x 1024, 24 bit";
    v[TReportItem::OsType] = "Windows 7";
    v[TReportItem::OsBuild] = "7601";
    v[TReportItem::IpAddress] = "192.168.1.10";
    const char* exe = "C:\\Program Files\\Quillan\\Quillan.exe";
    const char* user32 = "C:\\windows\\system32\\user32.dll";
    context.Stack = {
        Entry(TStackKind::LineTable, 1200, 0x00401A2B, exe, "engine/paste.cpp", "TPasteEngine", "Paste", 214),
        Entry(TStackKind::LineTable, 1200, 0x00402F10, exe, "app/main_form.cpp", "TFForm", "N1Click", 88),
        Entry(TStackKind::LineTable, 1200, 0x00405000, exe, "framework/menus/popup_menu.cpp", "TPopupMenu", "Popup",
              131),
        Entry(TStackKind::PlainExport, 1200, 0x7B012345, user32, "", "", "TrackPopupMenuEx", 0),
        Entry(TStackKind::LineTable, 1200, 0x00406100, exe, "framework/win/application.cpp", "TApplication", "Run", 57),
        Entry(TStackKind::LineTable, 1348, 0x00409ABC, exe, "crash/capture/report_driver.cpp", "TReportDriver",
              "Pipeline", 160, true),
        Entry(TStackKind::PlainExport, 1348, 0x7B0200AA, "C:\\windows\\system32\\kernel32.dll", "", "",
              "BaseThreadInitThunk", 0, true),
        Entry(TStackKind::LineTable, 1404, 0x0040AAAA, exe, "engine/hotkey.cpp", "", "HotkeyLoop", 12),
    };
    context.Threads = {
        {1200, "Normal", "", true}, {1348, "Highest", "TExceptionThread", false}, {1404, "Normal", "TWorker", false}};
    context.Modules = {
        {0x00400000, exe, "Quillan", "1.0.0.5", 1843200, EncodeDateTime(2024, 5, 1, 12, 0, 0)},
        {0x7B000000, user32, "Wine", "5.1.2600.2180", 1048576, EncodeDateTime(2023, 1, 2, 3, 4, 5)},
        {0x7B400000, "C:\\windows\\system32\\kernel32.dll", "Wine", "5.1.2600.2180", 2097152,
         EncodeDateTime(2023, 1, 2, 3, 4, 6)},
        {0x50000000, "C:\\Program Files\\Quillan\\rtl.bpl", "Runtime package", "29.0", 4096,
         EncodeDateTime(2022, 7, 8, 9, 10, 11)},
    };
    context.Cpu.HasRegisters = true;
    context.Cpu.Registers = {0x00000001, 0x0012FF00, 0x00000000, 0x7B012345,
                             0x00401A2B, 0x0012FE88, 0x0012FE80, 0x00401A2B};
    context.Cpu.HasDump = true;
    context.Cpu.StackAddress = 0x0012FE80;
    context.Cpu.MemoryAddress = 0x00401A2B;
    for (size_t i = 0; i < 16; ++i) context.Cpu.StackValues[i] = 0x00400000 + static_cast<TAddress>(i) * 0x111;
    const char* code = "Hello {crash} \\ world! ";
    for (size_t i = 0; i < context.Cpu.Memory.size(); ++i)
        context.Cpu.Memory[i] = i % 32 < 23 ? static_cast<uint8_t>(code[i % 32]) : static_cast<uint8_t>(i);
    context.CustomData = "Build: 1.0.0.5 (test)\r\nШаблонов: 12";
    return context;
}

TDialogThread::TDialogThread(std::function<void()> body) {
    thread_ = std::thread([this, body = std::move(body)] {
        threadId_ = GetCurrentThreadId();
        body();
        finished_ = true;
    });
    while (threadId_ == 0) Sleep(1);
}

TDialogThread::~TDialogThread() {
    if (!Join(100)) {
        for (int i = 0; i < 50 && !finished_; ++i) {
            CloseWindows();
            Sleep(100);
        }
    }
    if (thread_.joinable()) thread_.join();
}

bool TDialogThread::Join(DWORD timeoutMs) {
    if (!WaitUntil([this] { return finished_.load(); }, timeoutMs)) return false;
    if (thread_.joinable()) thread_.join();
    return true;
}

HWND TDialogThread::WaitForWindow(DWORD timeoutMs, const wchar_t* title) const {
    return WaitForWindow([title](HWND hwnd) { return !title || WideTextOf(hwnd) == title; }, timeoutMs);
}

HWND TDialogThread::WaitForWindow(const std::function<bool(HWND)>& accept, DWORD timeoutMs) const {
    FindWindowData data{nullptr, &accept, nullptr};
    WaitUntil(
        [&] {
            data.Found = nullptr;
            EnumThreadWindows(threadId_, FindThreadDialog, reinterpret_cast<LPARAM>(&data));
            return data.Found != nullptr || finished_;
        },
        timeoutMs);
    return data.Found;
}

void TDialogThread::CloseWindows() const { EnumThreadWindows(threadId_, CloseThreadWindow, 0); }

TDialogRun::TDialogRun(TCrashDialogRequest request, std::function<void()> beforeShow)
    : request_(std::move(request)), thread_([this, beforeShow = std::move(beforeShow)] {
          if (beforeShow) beforeShow();
          try {
              result_ = ShowCrashDialog(request_);
          } catch (const std::exception& e) {
              error_ = e.what();
          }
      }) {}

void Click(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    SendMessageW(button, BM_CLICK, 0, 0);
}

std::wstring WideTextOf(HWND window) {
    wchar_t buffer[4096] = {};
    const int n = GetWindowTextW(window, buffer, 4096);
    return std::wstring(buffer, static_cast<size_t>(n > 0 ? n : 0));
}

std::string TextOf(HWND window) { return win::Narrow(WideTextOf(window)); }

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= deadline) return done();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
    return true;
}

TScreenPicture CaptureWindow(HWND window) {
    TScreenPicture picture;
    RECT r;
    GetWindowRect(window, &r);
    picture.Width = r.right - r.left;
    picture.Height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.Width;
    info.bmiHeader.biHeight = -picture.Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.Width, picture.Height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    picture.Pixels.assign(pixels, pixels + static_cast<size_t>(picture.Width) * static_cast<size_t>(picture.Height));
    for (uint32_t& p : picture.Pixels) p &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

bool SaveBmp(const TScreenPicture& picture, const std::string& path) {
    const int stride = (picture.Width * 3 + 3) & ~3;
    const uint32_t imageSize = static_cast<uint32_t>(stride * picture.Height);
    std::vector<uint8_t> file(54 + imageSize);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(picture.Width));
    put32(22, static_cast<uint32_t>(picture.Height));
    file[26] = 1;
    file[28] = 24;
    put32(34, imageSize);
    for (int y = 0; y < picture.Height; ++y) {
        uint8_t* row = &file[54 + static_cast<size_t>(picture.Height - 1 - y) * static_cast<size_t>(stride)];
        for (int x = 0; x < picture.Width; ++x) {
            const uint32_t p = picture.At(x, y);
            row[x * 3] = static_cast<uint8_t>(p);
            row[x * 3 + 1] = static_cast<uint8_t>(p >> 8);
            row[x * 3 + 2] = static_cast<uint8_t>(p >> 16);
        }
    }
    std::ofstream out(std::filesystem::path(win::Wide(path)), std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

}  // namespace quillan::crash::test
