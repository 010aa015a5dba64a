// setupstub's main flow and the pieces the upgrade path shares with it.
#pragma once

#include <windows.h>

void SetupMain(const char* commandLineTail, HINSTANCE instance);
// Runs the installer command (null: nothing) and waits for it to end.
// Ends setup when it cannot be started.
void RunSetupCommand(const char* command);
// Opens the installed information page in the browser, when it exists.
void OpenInfoPage();
// True when the file exists and can be opened for reading exclusively.
bool CanOpenFile(const char* path);
