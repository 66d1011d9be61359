#include "crash/capture/exception_object_win.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <typeinfo>

namespace quillan::crash {

namespace {

// A class of several bases: its type information is of the third kind the run-time uses.
struct TFirstBase {
    virtual ~TFirstBase() = default;
};
struct TSecondBase {
    virtual ~TSecondBase() = default;
};
struct TBothBases : TFirstBase, TSecondBase {};

using TWord = std::uintptr_t;
constexpr size_t kWord = sizeof(TWord);
constexpr int kMaxDepth = 32;
constexpr size_t kMaxName = 4096;

// size bytes at address, committed, readable and in one region; inImage: of a loaded module.
bool Readable(TWord address, size_t size, bool inImage) {
    if (address == 0 || address + size < address) return false;
    MEMORY_BASIC_INFORMATION info = {};
    if (VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof info) != sizeof info) return false;
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) return false;
    if (inImage && info.Type != MEM_IMAGE) return false;
    const TWord end = reinterpret_cast<TWord>(info.BaseAddress) + info.RegionSize;
    return address + size <= end;
}

bool Word(TWord address, TWord& value, bool inImage) {
    if (address % alignof(TWord) != 0 || !Readable(address, kWord, inImage)) return false;
    std::memcpy(&value, reinterpret_cast<const void*>(address), kWord);
    return true;
}

TWord VtableOf(const std::type_info& type) { return *reinterpret_cast<const TWord*>(&type); }

// A zero-terminated name inside the image.
bool NameReadable(TWord name) {
    for (size_t i = 0; i < kMaxName; ++i) {
        if (!Readable(name + i, 1, true)) return false;
        if (*reinterpret_cast<const char*>(name + i) == '\0') return true;
    }
    return false;
}

// The run-time walks a thrown type's bases (comparing their names) when it looks for a base: a
// type information is trusted only when every one of them is of this module's run-time kinds.
bool TypeInfoSound(TWord type, int depth) {
    if (depth > kMaxDepth) return false;
    static const TWord kPlain = VtableOf(typeid(std::exception));
    static const TWord kSingle = VtableOf(typeid(std::bad_cast));
    static const TWord kMultiple = VtableOf(typeid(TBothBases));
    TWord vtable = 0, name = 0;
    if (!Word(type, vtable, true) || !Word(type + kWord, name, true) || !NameReadable(name)) return false;
    if (vtable == kPlain) return true;
    if (vtable == kSingle) {
        TWord base = 0;
        return Word(type + 2 * kWord, base, true) && TypeInfoSound(base, depth + 1);
    }
    if (vtable != kMultiple) return false;
    // flags and base count (two 32-bit words), then per base its type and a word of offset and flags.
    if (!Readable(type + 2 * kWord, 8, true)) return false;
    std::uint32_t count = 0;
    std::memcpy(&count, reinterpret_cast<const void*>(type + 2 * kWord + 4), 4);
    if (count == 0 || count > 64) return false;
    const TWord bases = type + 2 * kWord + 8;
    for (std::uint32_t i = 0; i < count; ++i) {
        TWord base = 0;
        if (!Word(bases + i * 2 * kWord, base, true) || !Readable(bases + i * 2 * kWord + kWord, kWord, true) ||
            !TypeInfoSound(base, depth + 1))
            return false;
    }
    return true;
}

}  // namespace

const std::exception* AsExceptionObject(const void* object) {
    const TWord address = reinterpret_cast<TWord>(object);
    TWord vtable = 0, type = 0, offsetToTop = 0;
    // The table's address point is preceded by the offset to the whole object and the type.
    if (!Word(address, vtable, false) || !Word(vtable - 2 * kWord, offsetToTop, true) ||
        !Word(vtable - kWord, type, true) || !TypeInfoSound(type, 0))
        return nullptr;
    const TWord whole = address + offsetToTop;
    if (!Readable(whole, kWord, false)) return nullptr;
    // As a handler of std::exception would catch the whole object: the base it finds is object.
    void* adjusted = reinterpret_cast<void*>(whole);
    const auto& thrown = *reinterpret_cast<const std::type_info*>(type);
    if (!typeid(std::exception).__do_catch(&thrown, &adjusted, 1)) return nullptr;
    if (adjusted != object) return nullptr;
    return static_cast<const std::exception*>(object);
}

}  // namespace quillan::crash
