// Mechanics of the upgrade tests.
#include "upgrade_scenario.h"

#include <sstream>

namespace upgrade {

const char kCurrentProduct[] = "Image Lumi-Vault";
const char kFormerProduct[] = "Lumi-Vault";
const char kHeadingUpgrade[] = "Previous installation is detected";
const char kMessageNewer[] =
    "Newer version of Image Lumi-Vault has been found on your computer. \r\n\r\n"
    "If you continue the newer version will be replaced with the older one.";
const char kMessageOlder[] =
    "Older version of Image Lumi-Vault has been found on your computer. It will be "
    "automatically removed before installation continues.";
const char kMessageSame[] =
    "This version of Image Lumi-Vault is already installed on your computer. \r\n\r\n"
    "If you continue the current version will be removed and installed again.";
const char kFooter[] = "Click \"Continue\" to proceed.";

namespace {

const char kDialogTitle[] = "Image Lumi-Vault Setup";
const int kHeadingId = 1061, kMessageId = 1059, kFooterId = 1062;
const int kInfoPageId = 1001, kOldDataId = 1002, kContinueId = 1034, kExitId = 1035;

bool IsCurrent(const char* product) { return std::string(product) == kCurrentProduct; }

}  // namespace

void Register(const char* product, Installation* installation)
{
    const char* uninstallKey = IsCurrent(product) ? wt::kUninstallKeyCurrent : wt::kUninstallKeyFormer;
    const char* productKey = IsCurrent(product) ? wt::kProductKeyCurrent : wt::kProductKeyFormer;
    installation->installDir = wt::NewScratchDir();
    installation->dataDir = wt::NewScratchDir();
    if (!installation->uninstallerName.empty())
        wt::SetRegString(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString",
                         wt::Quoted(wt::FixtureFile("uninstaller.exe")) + " " +
                             installation->uninstallerName);
    if (installation->withInstallDir)
        wt::SetRegString(HKEY_LOCAL_MACHINE, productKey, "InstallDir", installation->installDir);
    if (installation->library) {
        std::string source = wt::FixtureFile(("crestmk_" + std::string(installation->library) + ".dll").c_str());
        CopyFileA(source.c_str(), (installation->installDir + "\\crestmk.dll").c_str(), FALSE);
    }
    if (installation->withDataDir)
        wt::SetRegString(HKEY_LOCAL_MACHINE, productKey, "XMLDir", installation->dataDir);
    if (installation->withStore)
        wt::WriteTextFile(installation->dataDir + "\\store.xml", "<catalog/>");
}

bool SetupRun::Start(const std::string& tail, const std::string& exePath,
                     const std::string& workDir)
{
    std::string exe = exePath.empty() ? wt::DistFile("setupstub.exe") : exePath;
    return child_.Start(wt::Quoted(exe) + " " + tail, workDir);
}

bool SetupRun::NextDialog(OptionsDialog* dialog, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND window : wt::TopWindows(child_.Pid(), "#32770")) {
            // The options dialog, not a message box with the same caption.
            if (window == lastDialog_ || !wt::Item(window, kContinueId) ||
                wt::WindowText(window) != kDialogTitle)
                continue;
            // Its set-up runs as it is shown; let the texts arrive.
            Sleep(100);
            lastDialog_ = window;
            dialog->window = window;
            dialog->heading = wt::WindowText(wt::Item(window, kHeadingId));
            dialog->message = wt::WindowText(wt::Item(window, kMessageId));
            dialog->footer = wt::WindowText(wt::Item(window, kFooterId));
            dialog->oldDataVisible = wt::Visible(wt::Item(window, kOldDataId));
            dialog->oldDataCheck = wt::CheckState(wt::Item(window, kOldDataId));
            dialog->infoPageCheck = wt::CheckState(wt::Item(window, kInfoPageId));
            return true;
        }
        if (GetTickCount() - start >= timeoutMs || !child_.Running())
            return false;
        Sleep(20);
    }
}

void SetupRun::Continue(const OptionsDialog& dialog) { wt::Click(wt::Item(dialog.window, kContinueId)); }

void SetupRun::Exit(const OptionsDialog& dialog) { wt::Click(wt::Item(dialog.window, kExitId)); }

bool SetupRun::WaitExit(DWORD* code)
{
    // Uninstallers and the installer run in between: allow for them.
    return child_.WaitExit(2 * wt::kWaitMs, code);
}

std::string InstallerTail() { return wt::Quoted(wt::FixtureFile("installer.exe")); }

std::vector<POINT> ShownPositions(const wt::Journal& journal, const std::string& name)
{
    std::vector<POINT> positions;
    for (const std::string& line : journal.Matching("uninstaller " + name + " shown ")) {
        std::istringstream words(line);
        std::string skip;
        POINT point = {};
        words >> skip >> skip >> skip >> point.x >> point.y;
        positions.push_back(point);
    }
    return positions;
}

void InstallBrowserFixture()
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    CopyFileA(wt::FixtureFile("iexplore.exe").c_str(),
              (std::string(system) + "\\iexplore.exe").c_str(), FALSE);
}

}  // namespace upgrade
