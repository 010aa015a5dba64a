// The uninstaller driver: runs an old installation's uninstaller unattended.
#pragma once

#include <windows.h>

// Runs one uninstall command to its end. Ends setup when the user gives up
// waiting for the engine file or the uninstaller cannot be started.
void RunUninstaller(const char* command);
// The catalog engine's server file as registered, or null.
char* ReadEngineServerPath();
// False only when the file is held open by someone (a sharing violation).
bool IsFileFree(const char* path);
BOOL CALLBACK FindUninstallerWindowProc(HWND window, LPARAM lParam);
BOOL CALLBACK FindUninstallerDialogProc(HWND window, LPARAM lParam);
