// The built-in demo: an upgrade over a simulated previous installation,
// with the options dialog answered here (or by the user with --interactive)
// and a short account of what happened.
#include <stdio.h>

#include <string>

#include "../upgrade/upgrade_scenario.h"
#include "wine_test.h"

namespace {

const DWORD kUserWaitMs = 10 * 60 * 1000;

void Say(const char* format, const std::string& text = "")
{
    printf(format, text.c_str());
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    bool interactive = argc > 2 && std::string(argv[2]) == "--interactive";
    std::string pictureDir = argc > 1 ? argv[1] : wt::NewScratchDir();

    wt::ClearProductRegistry();
    upgrade::InstallBrowserFixture();
    wt::Journal journal;
    upgrade::Installation previous;
    previous.uninstallerName = "demo";
    previous.library = "older";
    previous.withStore = true;
    upgrade::Register(upgrade::kCurrentProduct, &previous);
    wt::WriteTextFile(previous.installDir + "\\snapnote.htm", "<html>Snapnote</html>");
    Say("demo: previous installation of Image Lumi-Vault, version 2, 00, 1, 0, in %s\n",
        previous.installDir);
    Say("demo: its catalog data (store.xml) in %s\n", previous.dataDir);

    upgrade::SetupRun run;
    if (!run.Start(upgrade::InstallerTail())) {
        Say("demo: setupstub.exe could not be started\n");
        return 1;
    }
    upgrade::OptionsDialog dialog;
    if (!run.NextDialog(&dialog)) {
        Say("demo: no options dialog came up\n");
        return 1;
    }
    std::string picture = pictureDir + "\\upgrade-dialog.png";
    if (wt::SaveWindowPng(dialog.window, picture))
        Say("demo: screenshot of the options dialog: %s\n", picture);
    Say("demo: dialog heading: %s\n", dialog.heading);
    Say("demo: dialog message: %s\n", dialog.message);
    Say("demo: \"Open old data on program startup\" is %s\n",
        dialog.oldDataVisible ? "offered and checked" : "not offered");

    if (interactive) {
        Say("demo: the dialog is yours now\n");
    } else {
        Say("demo: pressing \"&Continue\"\n");
        run.Continue(dialog);
    }
    DWORD code = 0;
    if (!run.Process().WaitExit(interactive ? kUserWaitMs : 2 * wt::kWaitMs, &code)) {
        Say("demo: setup did not end in time\n");
        return 1;
    }

    Say("demo: setupstub ended with exit code %s\n", std::to_string(code));
    // The browser is started, not waited for.
    journal.WaitFor("iexplore start", wt::kShortWaitMs);
    for (const POINT& point : upgrade::ShownPositions(journal, "demo"))
        Say("demo: the uninstaller's window was shown at %s\n",
            std::to_string(point.x) + ", " + std::to_string(point.y) +
                (point.x == -1000 && point.y == -1000 ? " (off screen)" : ""));
    for (const std::string& event : upgrade::Events(journal))
        Say("demo: event: %s\n", event);
    std::string xmlDir;
    if (wt::GetRegString(HKEY_LOCAL_MACHINE, wt::kProductKeyCurrent, "XMLDir", &xmlDir))
        Say("demo: XMLDir of the new installation: %s\n", xmlDir);
    else
        Say("demo: XMLDir was not written\n");
    return code == 0 ? 0 : 1;
}
