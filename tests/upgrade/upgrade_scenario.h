// Mechanics of the upgrade tests: simulated previous installations, a
// setupstub run, its options dialogs and the events the fixtures recorded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "events.h"
#include "wine_test.h"

namespace upgrade {

extern const char kCurrentProduct[];
extern const char kFormerProduct[];

// Dialog texts as the string table holds them.
extern const char kHeadingUpgrade[];
extern const char kMessageNewer[];
extern const char kMessageOlder[];
extern const char kMessageSame[];
extern const char kFooter[];

// A simulated installation of one product generation.
struct Installation {
    std::string uninstallerName;  // its journal name; "" for no uninstall key
    bool withInstallDir = true;
    const char* library = "older";  // crestmk fixture variant, or nullptr
    bool withDataDir = true;        // an XMLDir value
    bool withStore = false;         // "store.xml" in the data folder
    std::string installDir;         // filled by Register
    std::string dataDir;            // filled by Register
};

// Writes the registry keys and files of an installation.
void Register(const char* product, Installation* installation);

struct OptionsDialog {
    HWND window = nullptr;
    std::string heading, message, footer;
    bool oldDataVisible = false;
    int oldDataCheck = 0;
    int infoPageCheck = 0;
};

class SetupRun {
public:
    // Starts setupstub (by default the shipped one) with the given tail.
    bool Start(const std::string& tail, const std::string& exePath = "",
               const std::string& workDir = "");
    // Waits for the next options dialog (not the one seen before).
    bool NextDialog(OptionsDialog* dialog, DWORD timeoutMs = wt::kWaitMs);
    void Continue(const OptionsDialog& dialog);
    void Exit(const OptionsDialog& dialog);
    bool WaitExit(DWORD* code);
    wt::Child& Process() { return child_; }

private:
    wt::Child child_;
    HWND lastDialog_ = nullptr;
};

// The installer command for the tail.
std::string InstallerTail();

using wt::Events;
// The "shown x y w h" positions of one uninstaller's window.
std::vector<POINT> ShownPositions(const wt::Journal& journal, const std::string& name);

// Installs the fixture browser as the system's iexplore.exe.
void InstallBrowserFixture();

}  // namespace upgrade
