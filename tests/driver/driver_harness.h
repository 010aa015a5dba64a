// Mechanics of the uninstaller-driver tests: setupstub reaches its driver
// through the upgrade path, so each test registers a previous installation
// whose uninstall command runs the fixture uninstaller, presses "&Continue"
// in the options dialog, and reads what the fixtures journaled.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "events.h"
#include "wine_test.h"

namespace driver {

extern const char kSetupCaption[];
extern const char kNotUninstalledText[];
extern const char kFilesInUseText[];

// "<fixture uninstaller> <name> <options>".
std::string UninstallerCommand(const std::string& name, const std::string& options = "");

// Registers the current product's uninstall command and an installation
// folder without a product library, so that setup asks once ("older
// version") and runs the command on "&Continue". With former set, the former
// product's command is registered too (without a folder: no second question).
void RegisterCurrent(const std::string& command, const std::string& formerCommand = "");
// Both products with folders: two questions, each running both commands.
void RegisterBoth(const std::string& currentCommand, const std::string& formerCommand);

// A copy of setupstub.exe in a new folder, with the given fixture DLL
// beside it as shadewin.dll ("" for none). Returns the copy's path.
std::string SetupCopy(const char* hookFixture);

// The real hook library keeps its record in a section shared by every
// process that maps it, and the window manager leaves it mapped in
// processes it was injected into. A run that ended without TermHook (a
// killed test, a library without it) leaves a stale hook handle there that
// would stop the next InitHook, and an old target thread whose id may come
// back. Clearing both makes each test start clean.
void ResetHookLibrary();
// Makes the journaling fixture hook library pass each call on to the real one.
void PassHookCallsToRealLibrary();

class SetupRun {
public:
    // Starts setupstub (the shipped one unless exePath is given) with the
    // fixture installer as its tail.
    bool Start(const std::string& exePath = "");
    // Waits for the next options dialog and presses its "&Continue".
    bool ContinueQuestion();
    // Waits for setup's end; false when it did not end in time or a message
    // box came up first (then box holds it).
    bool WaitExitWithoutBox(DWORD* code, wt::MessageBoxInfo* box = nullptr);
    // Waits for a message box that is not the given one (bounded).
    bool NextBox(wt::MessageBoxInfo* box, HWND previous = nullptr);
    wt::Child& Process() { return child_; }

private:
    wt::Child child_;
    HWND lastDialog_ = nullptr;
};

// The journal as events ("uninstaller a start", "shadewin InitHook",
// "installer end"); Pressed is an uninstaller whose buttons were both pressed.
using wt::Concat;
using wt::Events;
inline std::vector<std::string> Pressed(const std::string& name) { return wt::Uninstalled(name); }
// Inline, so that tables of cases in other files may use it at start-up.
inline const std::vector<std::string> kInstalled = {"installer start", "installer end"};

// The rectangles an uninstaller's window had when it was shown.
std::vector<RECT> ShownRects(const wt::Journal& journal, const std::string& name);
bool IsParked(const RECT& rect);     // at (-1000, -1000)
bool IsOnScreen(const RECT& rect);   // inside the screen, with some size

// Each test starts without product keys, with a fresh journal and a clean
// hook library record.
class DriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wt::ClearProductRegistry();
        ResetHookLibrary();
    }
    void TearDown() override { ResetHookLibrary(); }

    wt::Journal journal_;
    SetupRun setup_;
};

}  // namespace driver
