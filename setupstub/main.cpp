// setupstub: wraps the product's installer. Finds previous installations,
// asks the user, removes them, runs the installer and finishes up.
#include "main.h"

#include "command_line.h"
#include "options_dialog.h"
#include "records.h"
#include "resource.h"
#include "setup_state.h"
#include "system_library.h"
#include "upgrade.h"

static const char kInfoPageName[] = "\\snapnote.htm";
static const char kBrowser[] = "iexplore";
static const char kOpenVerb[] = "open";
static const char kBrowserFailedText[] = "Unable to open Snapnote file";
// ShellExecuteA results up to this value are errors.
static const INT_PTR kLastShellError = 32;

static const char kShellLibrary[] = "shell32.dll";

typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD);
typedef HINSTANCE(WINAPI* ShellExecuteProc)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

// Setup runs from download folders: keep the current directory, and any DLL
// left there, out of the search. Our own folder stays first, so shadewin.dll
// beside setupstub.exe is still found.
static void RestrictDllSearch()
{
    SetDefaultDllDirectoriesProc setDefaultDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesProc>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories"));
    if (setDefaultDirectories)
        setDefaultDirectories(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    else
        SetDllDirectoryA("");
}

bool CanOpenFile(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

void RunSetupCommand(const char* command)
{
    if (!command)
        return;
    PROCESS_INFORMATION process = {};
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    // CreateProcessA may write into its command line, so it gets a copy.
    char* commandLine = JoinStrings(command, "");
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        FailAndExit(kNotUninstalledText);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

void OpenInfoPage()
{
    char* directory = ReadInstallDir(kCurrentProduct, false);
    if (!directory)
        return;
    char* pagePath = JoinStrings(directory, kInfoPageName);
    if (!CanOpenFile(pagePath))
        return;
    ShellExecuteProc shellExecute =
        reinterpret_cast<ShellExecuteProc>(SystemProc(kShellLibrary, "ShellExecuteA"));
    HINSTANCE result = shellExecute ? shellExecute(GetDesktopWindow(), kOpenVerb, kBrowser,
                                                   pagePath, NULL, SW_SHOWNORMAL)
                                    : NULL;
    if (reinterpret_cast<INT_PTR>(result) <= kLastShellError)
        FailAndExit(kBrowserFailedText);
}

void SetupMain(const char* commandLineTail, HINSTANCE instance)
{
    LoadDialogText(IDS_HEADING_FRESH, setupState.headingText);
    LoadDialogText(IDS_FOOTER, setupState.footerText);
    LoadDialogText(IDS_MESSAGE_FRESH, setupState.messageText);

    char* currentUninstallCommand = ReadUninstallCommand(kCurrentProduct);
    char* formerUninstallCommand = ReadUninstallCommand(kFormerProduct);
    if (currentUninstallCommand || formerUninstallCommand) {
        setupState.previousFound = 1;
        RunUpgrade(currentUninstallCommand, formerUninstallCommand, commandLineTail, instance);
        return;
    }

    if (ShowOptionsDialog(instance) != 0)
        return;
    RunSetupCommand(commandLineTail);
    if (setupState.viewInfoPage)
        OpenInfoPage();
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    setupState.instance = instance;
    RestrictDllSearch();
    // The tail is cut by our own rules from the process command line.
    SetupMain(CommandLineTail(GetCommandLineA()), instance);
    return 0;
}
