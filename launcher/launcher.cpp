// launcher: starts the product. Hands the catalog path on its command line
// to the catalog engine, then tells a running main application to update
// itself or starts the main application file.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "catalog_engine.h"
#include "command_line.h"

static const char kCaption[] = "Image Lumi-Vault";
static const char kEngineFailedText[] = "Can't load Image Lumi-Vault ActiveX object!";
static const char kLoadDefaultText[] =
    "Do you wish to load the default Image Lumi-Vault images catalog?";
static const char kStartFailedText[] = "Can't load Lumi-Vault!";

static const char kAppWindowClass[] = "EngineWinClass";
// The running application's window has no title; a real empty string (not
// a null pointer) makes FindWindowA insist on that.
static const char kAppWindowTitle[] = "";
static const char kUpdateMessageName[] = "EngineUpdateMessage";

static const char kProductKey[] = "Software\\Quorvane\\Image Lumi-Vault";
static const char kInstallDirValue[] = "InstallDir";
static const char kOpenVerb[] = "open";
static const char kAppFile[] = "app.hta";

static const LONG kPreOpenValue = 1;
// Capacity of the catalog path in wide characters, terminator included.
static const int kPathSize = MAX_PATH;
// Registry texts are read into MAX_PATH bytes.
static const DWORD kInstallDirSize = MAX_PATH;
// ShellExecuteA results up to this value are errors.
static const INT_PTR kLastShellError = 32;

// Hands the catalog path to the engine and releases the engine; true when
// the engine accepted the path. A path too long for the buffer is not
// handed over at all: a cut-off path could name another catalog.
static bool OpenCatalogPath(ICatalogEngine* engine, const char* path)
{
    engine->PreOpen(kPreOpenValue);

    bool accepted = false;
    WCHAR widePath[kPathSize];
    BSTR pathText = NULL;
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, kPathSize) != 0)
        pathText = SysAllocString(widePath);
    if (pathText) {
        VARIANT pathVariant = {};
        V_VT(&pathVariant) = VT_BSTR;
        V_BSTR(&pathVariant) = pathText;
        // Zeroed whole, so an engine that leaves it unwritten has declined.
        VARIANT resultVariant = {};
        HRESULT result = engine->OpenCatalog(&pathVariant, &resultVariant);
        SysFreeString(pathText);
        accepted = SUCCEEDED(result) && V_BOOL(&resultVariant) == VARIANT_TRUE;
    }
    engine->Release();
    return accepted;
}

// Opens the catalog named by the tail through the engine. False when the
// engine declined it and the user does not want the default catalog either,
// which ends the run. COM is up only for the engine's lifetime.
static bool LoadCatalog(const char* tail)
{
    CoInitialize(NULL);
    ICatalogEngine* engine = NULL;
    CoCreateInstance(kCatalogEngineClsid, NULL, CLSCTX_INPROC_SERVER, kCatalogEngineIid,
                     reinterpret_cast<void**>(&engine));
    bool goOn = true;
    if (!engine)
        MessageBoxA(NULL, kEngineFailedText, kCaption, MB_OK | MB_ICONERROR);
    else if (!OpenCatalogPath(engine, tail))
        goOn = MessageBoxA(NULL, kLoadDefaultText, kCaption, MB_ICONQUESTION | MB_YESNO) != IDNO;
    CoUninitialize();
    return goOn;
}

// Asks a running main application to update itself; false when none runs.
static bool NotifyRunningApplication()
{
    HWND window = FindWindowA(kAppWindowClass, kAppWindowTitle);
    if (!window)
        return false;
    // Posted, not sent: the application may be busy, and we don't wait.
    PostMessageA(window, RegisterWindowMessageA(kUpdateMessageName), 0, 0);
    return true;
}

// Starts the main application file from the installation directory, or
// from the current directory when the installation directory is unknown.
static void StartApplication()
{
    // One byte past the read's limit stays zero, so a value that fills the
    // whole limit without a terminator still ends inside the buffer.
    char installDir[kInstallDirSize + 1] = "";
    DWORD size = kInstallDirSize;
    DWORD type = 0;
    if (SHGetValueA(HKEY_LOCAL_MACHINE, kProductKey, kInstallDirValue, &type, installDir,
                    &size) == ERROR_SUCCESS)
        SetCurrentDirectoryA(installDir);

    HWND desktop = GetDesktopWindow();
    HINSTANCE result = ShellExecuteA(desktop, kOpenVerb, kAppFile, NULL, NULL, SW_SHOWMAXIMIZED);
    if (reinterpret_cast<INT_PTR>(result) <= kLastShellError)
        MessageBoxA(desktop, kStartFailedText, kCaption, MB_OK | MB_ICONERROR);
}

// The program's own entry; only the tail is used. Returns 0 on every path.
int WINAPI LauncherMain(HINSTANCE, HINSTANCE, const char* commandLineTail, int)
{
    // An empty tail only starts the application; a declined catalog may
    // end the run before anything is notified or started.
    bool start = true;
    if (*commandLineTail)
        start = LoadCatalog(commandLineTail) && !NotifyRunningApplication();
    if (start)
        StartApplication();
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int showCommand)
{
    // The tail is cut by our own rules from the process command line, not
    // taken from the runtime's parse.
    return LauncherMain(instance, previous, CommandLineTail(GetCommandLineA()), showCommand);
}
