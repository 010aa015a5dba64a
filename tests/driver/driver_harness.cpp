// Mechanics of the uninstaller-driver tests.
#include "driver_harness.h"

#include <sstream>

namespace driver {

const char kSetupCaption[] = "Image Lumi-Vault Setup";
const char kNotUninstalledText[] = "Image Lumi-Vault was not uninstalled from your system";
const char kFilesInUseText[] =
    "Some Image Lumi-Vault files are in use. If the previous version of Image Lumi-Vault is "
    "running, please close it and click the Retry button. If this does not help, click the "
    "Cancel button, reboot your computer, and launch the installation program again.";

namespace {

const int kContinueId = 1034;  // "&Continue" of the options dialog
const char kRealLibraryVariable[] = "LV_REAL_SHADEWIN";
const DWORD kPollMs = 50;
const int kParked = -1000;
// Uninstallers and the installer run while setup waits: allow for them.
const DWORD kSetupRunMs = 2 * wt::kWaitMs;

typedef BOOL(WINAPI* TermHookProc)(void);
typedef DWORD(WINAPI* GetThreadIdProc)(const PROCESS_INFORMATION*);

struct DialogSearch {
    DWORD pid;
    HWND skip;
    HWND found;
};

BOOL CALLBACK FindOptionsDialog(HWND window, LPARAM lParam)
{
    DialogSearch* search = reinterpret_cast<DialogSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && window != search->skip && IsWindowVisible(window) &&
        wt::ClassName(window) == "#32770" && wt::Item(window, kContinueId)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::string UninstallerCommand(const std::string& name, const std::string& options)
{
    std::string command = wt::Quoted(wt::FixtureFile("uninstaller.exe")) + " " + name;
    return options.empty() ? command : command + " " + options;
}

void RegisterCurrent(const std::string& command, const std::string& formerCommand)
{
    wt::SetRegString(HKEY_LOCAL_MACHINE, wt::kUninstallKeyCurrent, "UninstallString", command);
    wt::SetRegString(HKEY_LOCAL_MACHINE, wt::kProductKeyCurrent, "InstallDir",
                     wt::NewScratchDir());
    if (!formerCommand.empty())
        wt::SetRegString(HKEY_LOCAL_MACHINE, wt::kUninstallKeyFormer, "UninstallString",
                         formerCommand);
}

void RegisterBoth(const std::string& currentCommand, const std::string& formerCommand)
{
    RegisterCurrent(currentCommand, formerCommand);
    wt::SetRegString(HKEY_LOCAL_MACHINE, wt::kProductKeyFormer, "InstallDir",
                     wt::NewScratchDir());
}

std::string SetupCopy(const char* hookFixture)
{
    std::string dir = wt::NewScratchDir();
    std::string exe = dir + "\\setupstub.exe";
    CopyFileA(wt::DistFile("setupstub.exe").c_str(), exe.c_str(), FALSE);
    if (hookFixture && *hookFixture)
        CopyFileA(wt::FixtureFile(hookFixture).c_str(), (dir + "\\shadewin.dll").c_str(), FALSE);
    return exe;
}

void ResetHookLibrary()
{
    HMODULE library = LoadLibraryA(wt::DistFile("shadewin.dll").c_str());
    if (!library)
        return;
    TermHookProc termHook = reinterpret_cast<TermHookProc>(GetProcAddress(library, "TermHook"));
    if (termHook)
        termHook();
    GetThreadIdProc getThreadId =
        reinterpret_cast<GetThreadIdProc>(GetProcAddress(library, "GetThreadID"));
    PROCESS_INFORMATION noTarget = {};
    if (getThreadId)
        getThreadId(&noTarget);
    FreeLibrary(library);
}

void PassHookCallsToRealLibrary()
{
    SetEnvironmentVariableA(kRealLibraryVariable, wt::DistFile("shadewin.dll").c_str());
}

bool SetupRun::Start(const std::string& exePath)
{
    std::string exe = exePath.empty() ? wt::DistFile("setupstub.exe") : exePath;
    return child_.Start(wt::Quoted(exe) + " " + wt::Quoted(wt::FixtureFile("installer.exe")));
}

bool SetupRun::ContinueQuestion()
{
    DWORD start = GetTickCount();
    for (;;) {
        DialogSearch search = {child_.Pid(), lastDialog_, nullptr};
        EnumWindows(FindOptionsDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            lastDialog_ = search.found;
            wt::Click(wt::Item(search.found, kContinueId));
            return true;
        }
        if (GetTickCount() - start >= wt::kWaitMs || !child_.Running())
            return false;
        Sleep(kPollMs);
    }
}

bool SetupRun::WaitExitWithoutBox(DWORD* code, wt::MessageBoxInfo* box)
{
    wt::MessageBoxInfo unexpected;
    DWORD start = GetTickCount();
    for (;;) {
        if (child_.WaitExit(kPollMs, code))
            return true;
        if (wt::WaitForMessageBox(child_.Pid(), &unexpected, 0)) {
            if (box)
                *box = unexpected;
            return false;
        }
        if (GetTickCount() - start >= kSetupRunMs)
            return false;
    }
}

bool SetupRun::NextBox(wt::MessageBoxInfo* box, HWND previous)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (wt::WaitForMessageBox(child_.Pid(), box, kPollMs) &&
            (!previous || box->window != previous))
            return true;
        if (GetTickCount() - start >= wt::kWaitMs || !child_.Running())
            return false;
    }
}

std::vector<RECT> ShownRects(const wt::Journal& journal, const std::string& name)
{
    std::vector<RECT> rects;
    for (const std::string& line : journal.Matching("uninstaller " + name + " shown ")) {
        std::istringstream words(line);
        std::string skip;
        long x = 0, y = 0, width = 0, height = 0;
        words >> skip >> skip >> skip >> x >> y >> width >> height;
        rects.push_back(RECT{x, y, x + width, y + height});
    }
    return rects;
}

bool IsParked(const RECT& rect) { return rect.left == kParked && rect.top == kParked; }

bool IsOnScreen(const RECT& rect)
{
    return rect.left >= 0 && rect.top >= 0 && rect.right > rect.left &&
           rect.bottom > rect.top && rect.right <= GetSystemMetrics(SM_CXSCREEN) &&
           rect.bottom <= GetSystemMetrics(SM_CYSCREEN);
}

}  // namespace driver
