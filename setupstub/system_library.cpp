// Binds functions of system DLLs by the DLL's full path in the system
// directory.
#include "system_library.h"

FARPROC SystemProc(const char* dllName, const char* procName)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    int nameLength = lstrlenA(dllName);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH)
        return NULL;
    path[length] = '\\';
    lstrcpyA(path + length + 1, dllName);
    // Loaded once per name: later calls find the module already loaded.
    HMODULE module = LoadLibraryA(path);
    return module ? GetProcAddress(module, procName) : NULL;
}
