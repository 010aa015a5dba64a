// The uninstaller driver: waits for the engine file, starts the uninstaller
// suspended under the hook, presses "&Continue" and "&Close", and waits.
#include "uninstaller.h"

#include "resource.h"
#include "setup_state.h"

static const char kEngineServerKey[] =
    "CLSID\\{7E3D9A52-4B1F-4C6A-9E21-5D8C0B7A3F62}\\InprocServer32";
static const char kErrorCaption[] = "Error";
static const char kUnknownErrorFormat[] = "The registry reported error %lu.";
static const char kDialogClass[] = "#32770";
static const char kButtonClass[] = "Button";
static const char kContinueButton[] = "&Continue";
static const char kCloseButton[] = "&Close";
static const char kUninstallerClassMark = '{';
static const DWORD kEngineServerPathSize = 1024;
static const int kClassNameSize = 1024;
static const int kMessageSize = 1024;

char* ReadEngineServerPath()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kEngineServerKey, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return NULL;
    char buffer[kEngineServerPathSize];
    DWORD size = kEngineServerPathSize;
    LONG result = RegQueryValueExA(key, NULL, NULL, NULL, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);

    if (result == ERROR_SUCCESS)
        return NewTextFromData(buffer, size, kEngineServerPathSize);

    char* text = NULL;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   NULL, static_cast<DWORD>(result), 0, reinterpret_cast<LPSTR>(&text), 0, NULL);
    if (text) {
        MessageBoxA(NULL, text, kErrorCaption, MB_ICONINFORMATION);
        LocalFree(text);
    } else {
        // The system has no text for this code; the code itself still helps.
        char fallback[sizeof(kUnknownErrorFormat) + 16];
        wsprintfA(fallback, kUnknownErrorFormat, static_cast<unsigned long>(result));
        MessageBoxA(NULL, fallback, kErrorCaption, MB_ICONINFORMATION);
    }
    return NULL;
}

bool IsFileFree(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() != ERROR_SHARING_VIOLATION;
    CloseHandle(file);
    return true;
}

// A window whose class name cannot be read (destroyed during the walk, say)
// counts as no match: the name is empty then.
static void ReadClassName(HWND window, char* name)
{
    if (GetClassNameA(window, name, kClassNameSize) <= 0)
        name[0] = '\0';
}

BOOL CALLBACK FindUninstallerWindowProc(HWND window, LPARAM)
{
    if (!window)
        return FALSE;
    char name[kClassNameSize];
    ReadClassName(window, name);
    if (name[0] == kUninstallerClassMark)
        setupState.uninstallerWindow = window;
    return TRUE;
}

BOOL CALLBACK FindUninstallerDialogProc(HWND window, LPARAM)
{
    if (!window)
        return FALSE;
    if (IsWindowVisible(window)) {
        char name[kClassNameSize];
        ReadClassName(window, name);
        if (SameText(name, kDialogClass))
            setupState.uninstallerDialog = window;
    }
    return TRUE;
}

// Walks the uninstaller window's descendants for its dialog. Without a live
// uninstaller window there is nothing to walk: a null parent would walk the
// whole desktop and could press a button of some other program.
static bool FindUninstallerDialog()
{
    if (!setupState.uninstallerWindow || !IsWindow(setupState.uninstallerWindow))
        return false;
    return EnumChildWindows(setupState.uninstallerWindow, FindUninstallerDialogProc, 0) != 0;
}

// Without a dialog found there is nothing to press: a null parent would
// search the desktop's top-level windows, which belong to other programs.
static void PressButton(const char* name)
{
    if (!setupState.uninstallerDialog || !IsWindow(setupState.uninstallerDialog))
        return;
    HWND button = FindWindowExA(setupState.uninstallerDialog, NULL, kButtonClass, name);
    if (button)
        SendMessageA(button, BM_CLICK, 0, 0);
}

// Asks the user to close the product while its engine file is in use.
static void WaitForEngineFile()
{
    char* enginePath = ReadEngineServerPath();
    if (!enginePath)
        return;
    while (!IsFileFree(enginePath)) {
        char text[kMessageSize] = "";
        LoadStringA(setupState.instance, IDS_FILES_IN_USE, text, kMessageSize);
        if (MessageBoxA(GetDesktopWindow(), text, kSetupCaption, MB_ICONERROR | MB_RETRYCANCEL) ==
            IDCANCEL)
            ExitProcess(0);
    }
}

static char* ExpandCommand(const char* command)
{
    DWORD size = ExpandEnvironmentStringsA(command, NULL, 0);
    char* expanded = NewString(size + 1);
    ExpandEnvironmentStringsA(command, expanded, size + 1);
    return expanded;
}

void RunUninstaller(const char* command)
{
    char* commandLine = ExpandCommand(command);
    PROCESS_INFORMATION process = {};
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);

    WaitForEngineFile();

    if (setupState.initHook)
        setupState.initHook();
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, NULL,
                        &startup, &process)) {
        if (setupState.termHook)
            setupState.termHook();
        FailAndExit(kNotUninstalledText);
    }
    // The target is handed to the hook while its thread has run no code, so
    // its first window is already watched.
    if (setupState.getThreadId)
        setupState.getThreadId(&process);
    ResumeThread(process.hThread);
    WaitForInputIdle(process.hProcess, INFINITE);

    if (EnumThreadWindows(process.dwThreadId, FindUninstallerWindowProc, 0) &&
        FindUninstallerDialog())
        PressButton(kContinueButton);
    WaitForInputIdle(process.hProcess, INFINITE);
    // The close button is looked for whatever became of the first press.
    if (FindUninstallerDialog())
        PressButton(kCloseButton);

    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (setupState.termHook)
        setupState.termHook();
}
