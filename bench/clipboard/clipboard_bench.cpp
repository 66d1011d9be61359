// Saves and restores a clipboard holding one large block (1 MB, 50 MB) through
// SaveClipboardToStream / LoadClipboardFromStream and prints the times next to a
// memcpy of the same bytes. Run it with a display (Xvfb under Wine).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/clipboard/clipboard_snapshot.h"
#include "framework/core/exceptions.h"
#include "bench/support/clock.h"
#include "bench/support/result.h"

namespace {

bool PutBlock(HWND owner, UINT format, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return false;
    uint8_t* p = static_cast<uint8_t*>(GlobalLock(block));
    for (size_t i = 0; i < size; ++i) p[i] = static_cast<uint8_t>(i * 131 + (i >> 12));
    GlobalUnlock(block);
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    bool ok = SetClipboardData(format, block) != nullptr;
    CloseClipboard();
    return ok;
}

// The system's own share: fetch the block and lock it; place a copy of bytes.
void RawGet(HWND owner, UINT format) {
    OpenClipboard(owner);
    HANDLE h = GetClipboardData(format);
    volatile uint8_t first = h ? *static_cast<uint8_t*>(GlobalLock(h)) : 0;
    (void)first;
    if (h) GlobalUnlock(h);
    CloseClipboard();
}

void RawSet(HWND owner, UINT format, const std::vector<uint8_t>& bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    OpenClipboard(owner);
    EmptyClipboard();
    SetClipboardData(format, block);
    CloseClipboard();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Run(HWND owner, size_t size, int repeats) {
    UINT format = RegisterClipboardFormatW(L"Quillan Bench Payload");
    if (!PutBlock(owner, format, size)) {
        std::printf("%zu MB: could not place the payload\n", size >> 20);
        return;
    }
    std::vector<double> save, load, copy, fresh, get, set;
    std::vector<uint8_t> source(size, 7), target(size);
    for (int i = 0; i < repeats; ++i) {
        double r0 = quillan::bench::MonotonicMs();
        RawGet(owner, format);
        double r1 = quillan::bench::MonotonicMs();
        RawSet(owner, format, source);
        double r2 = quillan::bench::MonotonicMs();
        get.push_back(r1 - r0);
        set.push_back(r2 - r1);
        PutBlock(owner, format, size);
        quillan::TMemoryStream stream;
        double t0 = quillan::bench::MonotonicMs();
        quillan::SaveClipboardToStream(stream);
        double t1 = quillan::bench::MonotonicMs();
        quillan::LoadClipboardFromStream(stream);
        double t2 = quillan::bench::MonotonicMs();
        std::memcpy(target.data(), source.data(), size);
        double t3 = quillan::bench::MonotonicMs();
        std::unique_ptr<uint8_t[]> block(new uint8_t[size]);
        std::memcpy(block.get(), target.data(), size);
        double t4 = quillan::bench::MonotonicMs();
        save.push_back(t1 - t0);
        load.push_back(t2 - t1);
        copy.push_back(t3 - t2);
        fresh.push_back(t4 - t3);
    }
    double mb = static_cast<double>(size) / (1 << 20);
    double s = Median(save), l = Median(load), c = Median(copy), f = Median(fresh);
    double g = Median(get), p = Median(set);
    std::printf("%.0f MB: save %.2f ms (%.1f MB/s), restore %.2f ms (%.1f MB/s)\n", mb, s, mb / s * 1000, l,
                mb / l * 1000);
    std::printf(
        "  system alone: get+lock %.2f ms, alloc+copy+set %.2f ms; "
        "memcpy %.2f ms, into new memory %.2f ms\n",
        g, p, c, f);
    std::printf(
        "  ratios: save+restore / system alone %.1f, / 2 memcpy %.1f, "
        "/ 2 memcpy into new memory %.1f\n",
        (s + l) / (g + p), (s + l) / (2 * c), (s + l) / (2 * f));
    const std::string measure = "clipboard save + restore, " + std::to_string(size >> 20) + " MB";
    quillan::bench::PrintResult(measure.c_str(), s + l, g + p, "the system calls alone", "ms", "none set");
}

}  // namespace

int main() {
    HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    try {
        Run(owner, size_t{1} << 20, 9);
        Run(owner, size_t{50} << 20, 3);
    } catch (const quillan::Exception& e) {
        std::printf("failed: %s\n", e.Message().c_str());
        return 1;
    }
    DestroyWindow(owner);
    return 0;
}
