// The options dialog: tells the user what setup will do and collects the
// two check boxes.
#include "options_dialog.h"

#include "records.h"
#include "resource.h"
#include "setup_state.h"

// Continue is result 0, not IDOK; every other result means leave setup.
static const INT_PTR kContinueResult = 0;

// Runs whenever the dialog is shown. WM_INITDIALOG is left to the dialog
// manager: the set-up belongs to the showing, as the texts are the caller's.
static void SetUpDialog(HWND dialog)
{
    CheckDlgButton(dialog, IDC_VIEW_INFO_PAGE, BST_CHECKED);
    if (!setupState.previousFound) {
        ShowWindow(GetDlgItem(dialog, IDC_OPEN_OLD_DATA), SW_HIDE);
    } else if (setupState.dataDir && HasCatalogStore(setupState.dataDir)) {
        CheckDlgButton(dialog, IDC_OPEN_OLD_DATA, BST_CHECKED);
    } else {
        ShowWindow(GetDlgItem(dialog, IDC_OPEN_OLD_DATA), SW_HIDE);
    }
    SetDlgItemTextA(dialog, IDC_HEADING, setupState.headingText);
    SetDlgItemTextA(dialog, IDC_MESSAGE, setupState.messageText);
    SetDlgItemTextA(dialog, IDC_FOOTER, setupState.footerText);
}

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_SHOWWINDOW:
        SetUpDialog(dialog);
        break;
    case WM_COMMAND:
        // IDCANCEL (the Escape key) is ignored on purpose.
        switch (LOWORD(wParam)) {
        case IDC_CONTINUE:
            setupState.reopenOldData = IsDlgButtonChecked(dialog, IDC_OPEN_OLD_DATA);
            setupState.viewInfoPage = IsDlgButtonChecked(dialog, IDC_VIEW_INFO_PAGE);
            EndDialog(dialog, kContinueResult);
            break;
        case IDC_EXIT_SETUP:
            EndDialog(dialog, IDOK);
            break;
        }
        break;
    case WM_CLOSE:
        EndDialog(dialog, IDOK);
        break;
    }
    return FALSE;
}

INT_PTR ShowOptionsDialog(HINSTANCE instance)
{
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_OPTIONS), NULL, OptionsDialogProc, 0);
}
