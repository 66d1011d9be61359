#include "crash/moduledata/modules_platform_win.h"

#include <vector>

#include "components/version/version_info_win.h"
#include "crash/moduledata/module_data_format.h"
#include "crash/moduledata/module_password.h"
#include "crash/options/shared_block_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan::crash {
namespace {

HMODULE AsModule(TAddress handle) { return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(handle)); }

// Days from 1601-01-01 (file times) to 1899-12-30.
constexpr double kFileTimeEpochDays = 109205.0;
constexpr double kFileTimeUnitsPerDay = 864000000000.0;

}  // namespace

double FileTimeToDays(const FILETIME& utc) {
    FILETIME local;
    if (!FileTimeToLocalFileTime(&utc, &local)) local = utc;
    const ULONGLONG units = ULONGLONG{local.dwHighDateTime} << 32 | local.dwLowDateTime;
    return static_cast<double>(units) / kFileTimeUnitsPerDay - kFileTimeEpochDays;
}

TAddress TProcessModulePlatform::ModuleOfAddress(TAddress address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(address)), &module)) {
        return 0;
    }
    return reinterpret_cast<uintptr_t>(module);
}

bool TProcessModulePlatform::ModuleFileName(TAddress handle, std::string& path) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(AsModule(handle), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return false;
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        if (buffer.size() >= 32768) return false;
        buffer.resize(buffer.size() * 2);
    }
    path = win::Narrow(buffer);
    return true;
}

bool TProcessModulePlatform::IsExecutable(TAddress handle) { return AsModule(handle) == GetModuleHandleW(nullptr); }

TModuleFileState TProcessModulePlatform::FileState(const std::string& path) {
    TModuleFileState state;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(win::Wide(path).c_str(), GetFileExInfoStandard, &data)) return state;
    state.Exists = true;
    state.Size = std::uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
    state.Modified = FileTimeToDays(data.ftLastWriteTime);
    return state;
}

void TProcessModulePlatform::VersionInfo(const std::string& path, std::string& version, std::string& description) {
    try {
        version::TVersionInfo info(path);
        if (!info.Valid()) return;
        description = info.FileDescription();
        if (auto fixed = info.FixedFileInfo()) version = version::FormatFixedVersion(*fixed);
    } catch (...) {
        // An unreadable version resource leaves both values empty; the report goes on.
    }
}

bool TProcessModulePlatform::ResourceBlock(TAddress handle, std::string& bytes) {
    const std::wstring name = win::Wide(kModuleDataResourceName);
    HRSRC found = FindResourceW(AsModule(handle), name.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (!found) return false;
    const DWORD size = SizeofResource(AsModule(handle), found);
    HGLOBAL loaded = LoadResource(AsModule(handle), found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) return false;
    bytes.assign(static_cast<const char*>(data), size);
    return true;
}

bool TProcessModulePlatform::ReadFile(const std::string& path, std::uint64_t offset, size_t count, std::string& bytes) {
    win::UniqueHandle<win::FileHandleTraits> file(CreateFileW(win::Wide(path).c_str(), GENERIC_READ,
                                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return false;
    std::string out(count, '\0');
    size_t done = 0;
    while (done < count) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 20));
        if (!::ReadFile(file.get(), out.data() + done, want, &got, nullptr) || got == 0) return false;
        done += got;
    }
    bytes = std::move(out);
    return true;
}

TAddress TProcessModulePlatform::ProcAddress(TAddress handle, const std::string& name) {
    return reinterpret_cast<uintptr_t>(GetProcAddress(AsModule(handle), name.c_str()));
}

std::optional<std::string> TProcessModulePlatform::ExportedPassword(TAddress handle) {
    auto* event = reinterpret_cast<TMishapPasswordRequestProc*>(
        reinterpret_cast<void*>(GetProcAddress(AsModule(handle), kPasswordRequestExport)));
    if (!event) return std::nullopt;
    std::vector<char> buffer(256);
    int length = event(buffer.data(), static_cast<int>(buffer.size()));
    if (length > static_cast<int>(buffer.size()) && length <= 65536) {
        buffer.resize(length);
        length = event(buffer.data(), length);
    }
    if (length <= 0) return std::string();
    return std::string(buffer.data(), std::min<size_t>(length, buffer.size()));
}

bool TProcessModulePlatform::OverlaySharedOptions(TAddress handle, TMishapModuleOptions& options) {
    return LoadSharedOptions(AsModule(handle), options);
}

}  // namespace quillan::crash
