// The upgrade path: previous installations of either product generation.
#pragma once

#include <windows.h>

// Finishes the run when either uninstall command was found (either may be
// null, never both).
void RunUpgrade(const char* currentUninstallCommand, const char* formerUninstallCommand,
                const char* commandLineTail, HINSTANCE instance);
// Asks about one installed version; on "&Continue" runs the given uninstall
// commands and gives true, otherwise gives false having run nothing.
bool ConfirmAndUninstall(const char* installedVersion, const char* currentUninstallCommand,
                         const char* formerUninstallCommand, HINSTANCE instance);
