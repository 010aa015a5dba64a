// Functions of system DLLs that setup needs only on some paths, bound when
// first used: a shorter start, and nothing loaded by name from the folder
// a setup program is run from.
#pragma once

#include <windows.h>

// The named function of a DLL in the system directory, or null.
FARPROC SystemProc(const char* dllName, const char* procName);
