// Installation records: registry values written by the products' installers,
// the installed library's version and the catalog store's presence.
#include "records.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "setup_state.h"
#include "system_library.h"

static const char kUninstallKeyCurrent[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Image Lumi-Vault";
static const char kUninstallKeyFormer[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumi-Vault";
static const char kProductKeyCurrent[] = "Software\\Quorvane\\Image Lumi-Vault";
static const char kProductKeyFormer[] = "Software\\Quorvane\\Lumi-Vault";
static const char kUninstallValue[] = "UninstallString";
static const char kInstallDirValue[] = "InstallDir";
static const char kDataDirValue[] = "XMLDir";
static const char kLibraryName[] = "\\crestmk.dll";
static const char kStoreName[] = "\\store.xml";
static const char kFallbackDataFolder[] = "\\Quorvane\\LumiVault";
static const char kVersionSubBlock[] = "StringFileInfo\\040904b0\\FILEVERSION";
static const char kWriteFailedText[] = "Error writing path to old data into registry!";
static const char kVersionLibrary[] = "version.dll";
static const char kShellLibrary[] = "shell32.dll";
static const char kComLibrary[] = "ole32.dll";

// Size of a registry text read (MAX_PATH); longer data counts as absent.
static const DWORD kRegistryTextSize = MAX_PATH;
// SHGetPathFromIDListA writes up to MAX_PATH bytes; one more keeps a zero.
static const int kFolderBufferSize = MAX_PATH + 1;

enum KeyKind { kUninstallKey, kProductKey };

// The key of a product by exact, case-sensitive name, or null for others.
static const char* ProductKey(const char* productName, KeyKind kind)
{
    if (!productName)
        return NULL;
    if (SameText(productName, kCurrentProduct))
        return kind == kUninstallKey ? kUninstallKeyCurrent : kProductKeyCurrent;
    if (SameText(productName, kFormerProduct))
        return kind == kUninstallKey ? kUninstallKeyFormer : kProductKeyFormer;
    return NULL;
}

// Reads a registry text of at most 260 bytes. The data may fill the whole
// buffer without a zero byte, so the copy stops at the reported byte count.
// The buffer starts zeroed and has one zero byte past the read's limit:
// SHGetValueA expands a REG_EXPAND_SZ value as the text it finds in the
// buffer, so an empty value must not leave stack bytes there, and a full
// one must still end inside it.
static char* ReadRegistryText(const char* key, const char* valueName)
{
    char buffer[kRegistryTextSize + 1] = "";
    DWORD size = kRegistryTextSize;
    DWORD type = 0;
    if (SHGetValueA(HKEY_LOCAL_MACHINE, key, valueName, &type, buffer, &size) != ERROR_SUCCESS)
        return NULL;
    return NewTextFromData(buffer, size, kRegistryTextSize);
}

char* ReadUninstallCommand(const char* productName)
{
    const char* key = ProductKey(productName, kUninstallKey);
    return key ? ReadRegistryText(key, kUninstallValue) : NULL;
}

char* ReadInstallDir(const char* productName, bool libraryPath)
{
    const char* key = ProductKey(productName, kProductKey);
    if (!key)
        return NULL;
    char* directory = ReadRegistryText(key, kInstallDirValue);
    if (!directory || !libraryPath)
        return directory;
    return JoinStrings(directory, kLibraryName);
}

typedef HRESULT(WINAPI* GetSpecialFolderLocationProc)(HWND, int, LPITEMIDLIST*);
typedef BOOL(WINAPI* GetPathFromIDListProc)(LPCITEMIDLIST, LPSTR);
typedef void(WINAPI* TaskMemFreeProc)(LPVOID);

char* ReadDataDir(const char* productName)
{
    const char* key = ProductKey(productName, kProductKey);
    if (!key)
        return NULL;
    char* directory = ReadRegistryText(key, kDataDirValue);
    if (directory)
        return directory;

    // The shell calls' results are not examined: a folder that can't be
    // determined leaves the buffer empty, giving a path from the drive root.
    char folder[kFolderBufferSize] = "";
    GetSpecialFolderLocationProc getLocation = reinterpret_cast<GetSpecialFolderLocationProc>(
        SystemProc(kShellLibrary, "SHGetSpecialFolderLocation"));
    GetPathFromIDListProc getPath = reinterpret_cast<GetPathFromIDListProc>(
        SystemProc(kShellLibrary, "SHGetPathFromIDListA"));
    TaskMemFreeProc taskMemFree =
        reinterpret_cast<TaskMemFreeProc>(SystemProc(kComLibrary, "CoTaskMemFree"));
    LPITEMIDLIST items = NULL;
    if (getLocation)
        getLocation(NULL, CSIDL_PERSONAL, &items);
    if (items) {
        if (getPath)
            getPath(items, folder);
        if (taskMemFree)
            taskMemFree(items);
    }
    return JoinStrings(folder, kFallbackDataFolder);
}

typedef DWORD(WINAPI* GetFileVersionInfoSizeProc)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* GetFileVersionInfoProc)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* VerQueryValueProc)(LPCVOID, LPCSTR, LPVOID*, PUINT);

char* ReadFileVersion(const char* path)
{
    // version.dll is not a known DLL: a copy planted beside setup must
    // never be the one that reads the version.
    GetFileVersionInfoSizeProc getSize = reinterpret_cast<GetFileVersionInfoSizeProc>(
        SystemProc(kVersionLibrary, "GetFileVersionInfoSizeA"));
    GetFileVersionInfoProc getInfo = reinterpret_cast<GetFileVersionInfoProc>(
        SystemProc(kVersionLibrary, "GetFileVersionInfoA"));
    VerQueryValueProc queryValue = reinterpret_cast<VerQueryValueProc>(
        SystemProc(kVersionLibrary, "VerQueryValueA"));
    if (!getSize || !getInfo || !queryValue)
        return NewString(1);

    DWORD handle = 0;
    DWORD size = getSize(path, &handle);
    if (size == 0)
        return NewString(1);
    char* block = NewString(size);
    if (!getInfo(path, 0, size, block))
        return NewString(1);
    char* text = NULL;
    UINT length = 0;
    if (!queryValue(block, kVersionSubBlock, reinterpret_cast<LPVOID*>(&text), &length) ||
        !text || length == 0)
        return NewString(1);
    // The reported length counts the terminating zero: at most length - 1
    // characters are kept, and the copy never runs past them.
    char* version = NewString(length);
    lstrcpynA(version, text, length);
    return version;
}

bool HasCatalogStore(const char* directory)
{
    char* storePath = JoinStrings(directory, kStoreName);
    HANDLE file = CreateFileA(storePath, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    HeapFree(GetProcessHeap(), 0, storePath);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

void WriteDataDir(const char* directory)
{
    DWORD size = lstrlenA(directory) + 1;
    if (SHSetValueA(HKEY_LOCAL_MACHINE, kProductKeyCurrent, kDataDirValue, REG_SZ, directory,
                    size) != ERROR_SUCCESS)
        MessageBoxA(NULL, kWriteFailedText, kSetupCaption, MB_OK | MB_ICONERROR);
}
