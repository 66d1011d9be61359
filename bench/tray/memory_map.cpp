// What each part of a running process's address space is, as the system sees it, for the idle-memory
// measure: memory_map.exe <exe name> prints one line per allocation, "start end kind label" (hex
// addresses; kinds image, stack, heap, reserve-64M, private, mapped), which scripts/private_memory.py
// joins with the host's resident counts of the same addresses.
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

using TQueryThread = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);

struct TThreadInfo {
    LONG ExitStatus;
    PVOID TebBaseAddress;
    CLIENT_ID ClientId;
    ULONG_PTR AffinityMask;
    LONG Priority;
    LONG BasePriority;
};

DWORD FindProcess(const wchar_t* name) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD found = 0;
    for (BOOL ok = Process32FirstW(snap, &entry); ok; ok = Process32NextW(snap, &entry)) {
        if (_wcsicmp(entry.szExeFile, name) == 0) found = entry.th32ProcessID;
    }
    CloseHandle(snap);
    return found;
}

// The allocation base of each thread's stack, by thread id.
std::map<ULONG_PTR, DWORD> ThreadStacks(HANDLE process, DWORD pid) {
    std::map<ULONG_PTR, DWORD> stacks;
    auto query = reinterpret_cast<TQueryThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    if (!query) return stacks;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = Thread32First(snap, &entry); ok; ok = Thread32Next(snap, &entry)) {
        if (entry.th32OwnerProcessID != pid) continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        TThreadInfo info = {};
        if (query(thread, 0, &info, sizeof(info), nullptr) == 0) {
            NT_TIB tib = {};
            SIZE_T read = 0;
            if (ReadProcessMemory(process, info.TebBaseAddress, &tib, sizeof(tib), &read)) {
                MEMORY_BASIC_INFORMATION mbi = {};
                if (VirtualQueryEx(process, static_cast<char*>(tib.StackBase) - 1, &mbi, sizeof(mbi)))
                    stacks[reinterpret_cast<ULONG_PTR>(mbi.AllocationBase)] = entry.th32ThreadID;
            }
        }
        CloseHandle(thread);
    }
    CloseHandle(snap);
    return stacks;
}

// Whether an allocation starts with a heap's own header (Wine marks each heap and each of its
// further regions with a tag in its first bytes).
bool HeapSigned(HANDLE process, const char* base) {
    DWORD head[128] = {};
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, base, head, sizeof(head), &read)) return false;
    const DWORD heapTag = 'H' | ('E' << 8) | ('A' << 16) | (DWORD('P') << 24);
    const DWORD partTag = 'S' | ('U' << 8) | ('B' << 16) | (DWORD('H') << 24);
    for (SIZE_T i = 0; i < read / sizeof(DWORD); ++i)
        if (head[i] == heapTag || head[i] == partTag) return true;
    return false;
}

// The bases of the process's heaps, read from its process environment block.
std::vector<ULONG_PTR> Heaps(HANDLE process) {
    std::vector<ULONG_PTR> heaps;
    PROCESS_BASIC_INFORMATION info = {};
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &info, sizeof(info), nullptr) != 0) return heaps;
    const bool wide = sizeof(void*) == 8;
    ULONG count = 0;
    PVOID list = nullptr;
    char* peb = reinterpret_cast<char*>(info.PebBaseAddress);
    if (!ReadProcessMemory(process, peb + (wide ? 0xE8 : 0x88), &count, sizeof(count), nullptr) ||
        !ReadProcessMemory(process, peb + (wide ? 0xF0 : 0x90), &list, sizeof(list), nullptr) || count > 1024)
        return heaps;
    heaps.resize(count);
    if (count && !ReadProcessMemory(process, list, heaps.data(), count * sizeof(ULONG_PTR), nullptr)) heaps.clear();
    ULONG_PTR processHeap = 0;
    if (ReadProcessMemory(process, peb + (wide ? 0x30 : 0x18), &processHeap, sizeof(processHeap), nullptr))
        heaps.push_back(processHeap);
    return heaps;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: memory_map <exe name>\n");
        return 2;
    }
    DWORD pid = FindProcess(argv[1]);
    HANDLE process = pid ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid) : nullptr;
    if (!process) {
        std::fprintf(stderr, "memory_map: no process %ls\n", argv[1]);
        return 1;
    }
    const auto stacks = ThreadStacks(process, pid);
    const auto heaps = Heaps(process);
    char* at = nullptr;
    MEMORY_BASIC_INFORMATION mbi = {};
    while (VirtualQueryEx(process, at, &mbi, sizeof(mbi)) == sizeof(mbi)) {
        char* base = static_cast<char*>(mbi.AllocationBase);
        char* end = static_cast<char*>(mbi.BaseAddress) + mbi.RegionSize;
        if (mbi.State != MEM_FREE) {
            // One line per allocation: walk its regions to the end of it.
            SIZE_T reserved = 0;
            MEMORY_BASIC_INFORMATION part = mbi;
            char* next = end;
            while (VirtualQueryEx(process, next, &part, sizeof(part)) == sizeof(part) && part.AllocationBase == base &&
                   part.State != MEM_FREE)
                next = static_cast<char*>(part.BaseAddress) + part.RegionSize;
            reserved = static_cast<SIZE_T>(next - base);
            const char* kind = "private";
            std::wstring label;
            auto stack = stacks.find(reinterpret_cast<ULONG_PTR>(base));
            if (mbi.Type == MEM_IMAGE) {
                kind = "image";
                wchar_t path[MAX_PATH] = {};
                if (GetMappedFileNameW(process, base, path, MAX_PATH)) {
                    const wchar_t* slash = std::wcsrchr(path, L'\\');
                    label = slash ? slash + 1 : path;
                }
            } else if (stack != stacks.end()) {
                kind = "stack";
                label = L"thread " + std::to_wstring(stack->second);
            } else if (std::find(heaps.begin(), heaps.end(), reinterpret_cast<ULONG_PTR>(base)) != heaps.end() ||
                       HeapSigned(process, base)) {
                kind = "heap";
            } else if (mbi.Type == MEM_MAPPED) {
                kind = "mapped";
            } else if (reserved == (64u << 20)) {
                kind = "reserve-64M";
            }
            std::printf("%p %p %s %ls\n", static_cast<void*>(base), static_cast<void*>(next), kind, label.c_str());
            at = next;
        } else {
            at = end;
        }
        if (reinterpret_cast<ULONG_PTR>(at) < reinterpret_cast<ULONG_PTR>(mbi.BaseAddress)) break;
    }
    CloseHandle(process);
    return 0;
}
