// A DLL with a block of its own, loaded by the modules list's Windows tests.
#include <windows.h>

extern "C" __declspec(dllexport) __attribute__((noinline)) int MldataTestExport(int x) { return x * 7 + 1; }

extern "C" __declspec(dllexport) int MishapLog_PasswordRequestEvent(char* buffer, int size) {
    const char password[] = "Quillan/MLDATA:7f3c-19e2-a84d";
    const int length = sizeof password - 1;
    for (int i = 0; i < length && i < size; ++i) buffer[i] = password[i];
    return length;
}
