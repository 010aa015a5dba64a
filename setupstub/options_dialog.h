// The options dialog: setup's only window.
#pragma once

#include <windows.h>

// Shows dialog 115 modally with no owner. 0 means "&Continue"; IDOK means
// "&Exit Setup" or the close box; -1 means the dialog could not be created.
INT_PTR ShowOptionsDialog(HINSTANCE instance);
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
