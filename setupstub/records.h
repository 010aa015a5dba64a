// Installation records: what the registry and a few files say about the
// installed products, and the one value setup writes back.
#pragma once

#include <windows.h>

// Each lookup gives a new string or null; null and "" are different answers.
char* ReadUninstallCommand(const char* productName);
char* ReadInstallDir(const char* productName, bool libraryPath);
char* ReadDataDir(const char* productName);
// Never null: "" when no version can be read.
char* ReadFileVersion(const char* path);
bool HasCatalogStore(const char* directory);
void WriteDataDir(const char* directory);
