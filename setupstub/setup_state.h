// setupstub's one process-wide record and the small helpers every file uses.
#pragma once

#include <windows.h>

// Capacity of each dialog text, terminating zero included.
const int kDialogTextSize = 1024;

// Entry points of the hook library; they take no arguments or the started
// uninstaller's process information, and their results are not used.
typedef BOOL(WINAPI* InitHookProc)(void);
typedef BOOL(WINAPI* TermHookProc)(void);
typedef DWORD(WINAPI* GetThreadIdProc)(const PROCESS_INFORMATION* processInfo);

struct SetupState {
    HINSTANCE instance;                  // our own module: dialog, bitmap, strings
    char headingText[kDialogTextSize];   // heading control 1061
    char messageText[kDialogTextSize];   // message control 1059
    char footerText[kDialogTextSize];    // footer control 1062
    int previousFound;                   // 1 when either uninstall command exists
    char* dataDir;                       // previous catalog data folder, or null
    int viewInfoPage;                    // check box 1001 at the last Continue
    int reopenOldData;                   // check box 1002 at the last Continue
    HMODULE hookLibrary;                 // shadewin.dll, or null
    InitHookProc initHook;               // its InitHook, or null
    TermHookProc termHook;               // its TermHook, or null
    GetThreadIdProc getThreadId;         // its GetThreadID, or null
    HWND uninstallerWindow;              // last "{" window found in an uninstaller
    HWND uninstallerDialog;              // last visible dialog found below it
};

// Zero at start and never reset.
extern SetupState setupState;

// Fixed texts shared by the setup files.
extern const char kSetupCaption[];
extern const char kNotUninstalledText[];
extern const char kCurrentProduct[];
extern const char kFormerProduct[];

// A new zero-filled string of the given size in bytes; strings live until
// the process ends. Ends setup when memory runs out.
char* NewString(size_t size);
// A new string of data read into a buffer of capacity bytes, of which the
// read reported size: the bytes up to the first zero, never past either
// bound (the data may fill the buffer without a zero byte).
char* NewTextFromData(const char* data, DWORD size, DWORD capacity);
// A new string holding first followed by second.
char* JoinStrings(const char* first, const char* second);
// Exact, case-sensitive equality of two texts.
bool SameText(const char* a, const char* b);
// Loads a string-table text into a field of kDialogTextSize bytes.
void LoadDialogText(UINT id, char* field);
// Shows a setup message box with no owner, then ends the process with 0.
__attribute__((noreturn)) void FailAndExit(const char* text);
