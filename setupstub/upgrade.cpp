// The upgrade path: compares installed versions with ours, asks the user,
// removes previous installations, installs, and carries the old data over.
#include "upgrade.h"

#include "main.h"
#include "options_dialog.h"
#include "records.h"
#include "resource.h"
#include "setup_state.h"
#include "uninstaller.h"

// The version this setup installs, as a version resource writes it.
static const char kOwnVersion[] = "2, 00, 1, 1";
static const char kHookLibraryName[] = "shadewin.dll";

static void LoadHookLibrary()
{
    setupState.hookLibrary = LoadLibraryA(kHookLibraryName);
    if (!setupState.hookLibrary)
        return;
    setupState.initHook = reinterpret_cast<InitHookProc>(
        GetProcAddress(setupState.hookLibrary, "InitHook"));
    setupState.termHook = reinterpret_cast<TermHookProc>(
        GetProcAddress(setupState.hookLibrary, "TermHook"));
    setupState.getThreadId = reinterpret_cast<GetThreadIdProc>(
        GetProcAddress(setupState.hookLibrary, "GetThreadID"));
}

bool ConfirmAndUninstall(const char* installedVersion, const char* currentUninstallCommand,
                         const char* formerUninstallCommand, HINSTANCE instance)
{
    // Texts compare as strings under the user's locale, not as numbers.
    int order = lstrcmpA(kOwnVersion, installedVersion);
    LoadDialogText(IDS_HEADING_UPGRADE, setupState.headingText);
    if (order < 0) {
        LoadDialogText(IDS_NEWER_INSTALLED, setupState.messageText);
    } else if (order > 0) {
        LoadDialogText(IDS_OLDER_INSTALLED, setupState.messageText);
        LoadDialogText(IDS_FOOTER_OLDER, setupState.footerText);
    } else {
        LoadDialogText(IDS_SAME_INSTALLED, setupState.messageText);
        LoadDialogText(IDS_FOOTER, setupState.footerText);
    }
    if (ShowOptionsDialog(instance) != 0)
        return false;
    if (currentUninstallCommand)
        RunUninstaller(currentUninstallCommand);
    if (formerUninstallCommand)
        RunUninstaller(formerUninstallCommand);
    return true;
}

void RunUpgrade(const char* currentUninstallCommand, const char* formerUninstallCommand,
                const char* commandLineTail, HINSTANCE instance)
{
    char* currentLibrary = NULL;
    char* formerLibrary = NULL;
    if (currentUninstallCommand) {
        setupState.dataDir = ReadDataDir(kCurrentProduct);
        currentLibrary = ReadInstallDir(kCurrentProduct, true);
    }
    // When both are found, the former product's data replaces the current's.
    if (formerUninstallCommand) {
        setupState.dataDir = ReadDataDir(kFormerProduct);
        formerLibrary = ReadInstallDir(kFormerProduct, true);
    }
    char* currentVersion = currentLibrary ? ReadFileVersion(currentLibrary) : NULL;
    char* formerVersion = formerLibrary ? ReadFileVersion(formerLibrary) : NULL;

    LoadHookLibrary();

    if (currentVersion && !ConfirmAndUninstall(currentVersion, currentUninstallCommand,
                                               formerUninstallCommand, instance))
        return;
    if (formerVersion && !ConfirmAndUninstall(formerVersion, currentUninstallCommand,
                                              formerUninstallCommand, instance))
        return;

    RunSetupCommand(commandLineTail);
    if (setupState.hookLibrary)
        FreeLibrary(setupState.hookLibrary);
    if (setupState.reopenOldData)
        WriteDataDir(setupState.dataDir);
    if (setupState.viewInfoPage)
        OpenInfoPage();
}
