// DLLs planted where setup programs are run from (the program's folder, the
// current folder) under the names our programs use must never be loaded,
// even with Wine told to prefer such native DLLs.
#include <gtest/gtest.h>

#include "../upgrade/upgrade_scenario.h"
#include "wine_test.h"

namespace {

using Strings = std::vector<std::string>;

// Names that our programs load, or that the system loads for them.
const char* const kPlantedNames[] = {"version.dll", "shadewin.dll", "uxtheme.dll",
                                     "dwmapi.dll",  "imm32.dll",    "cryptbase.dll"};

// Wine reads its DLL overrides at process start from this key (the
// WINEDLLOVERRIDES variable of a Windows environment block is not used).
const char kOverridesKey[] = "Software\\Wine\\DllOverrides";

// Tells Wine to prefer a native copy of each planted name, or undoes it.
void PreferNativeCopies(bool prefer)
{
    for (const char* name : kPlantedNames) {
        std::string base(name, strlen(name) - 4);
        if (prefer)
            wt::SetRegString(HKEY_CURRENT_USER, kOverridesKey, base.c_str(), "native,builtin");
        else
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kOverridesKey, base.c_str());
    }
}

// Under Wine a copy beside a program is taken for any DLL that Wine's own
// user32 loads by name as a GUI program starts (version.dll, imm32.dll,
// uxtheme.dll), whatever the program does, and Wine does not honour the
// known DLLs for native copies; on Windows those are known DLLs or loaded
// from the system folder. So beside the program only the names that nothing
// but a careless program would load are planted; the current folder gets
// every name.
bool TakenBesideAnyProgramUnderWine(const char* name)
{
    const std::string text = name;
    return text == "version.dll" || text == "imm32.dll" || text == "uxtheme.dll";
}

void Plant(const std::string& dir, const char* name)
{
    ASSERT_TRUE(CopyFileA(wt::FixtureFile("planted.dll").c_str(), (dir + "\\" + name).c_str(),
                          FALSE))
        << dir << "\\" << name;
}

class Planting : public ::testing::Test {
protected:
    void SetUp() override
    {
        PreferNativeCopies(true);
        wt::ClearProductRegistry();
    }
    void TearDown() override
    {
        PreferNativeCopies(false);
        wt::ClearProductRegistry();
    }

    Strings PlantedLoads() const { return journal_.Matching("planted loaded"); }

    wt::Journal journal_;
};

// Without protection the planted copies are found: the test can see them.
TEST_F(Planting, APlainLoadFindsThePlantedCopies)
{
    std::string programDir = wt::NewScratchDir();
    std::string loader = programDir + "\\dll_loader.exe";
    ASSERT_TRUE(CopyFileA(wt::FixtureFile("dll_loader.exe").c_str(), loader.c_str(), FALSE));
    Plant(programDir, "version.dll");
    wt::Child child;
    ASSERT_TRUE(child.Start(wt::Quoted(loader) + " version.dll"));
    ASSERT_TRUE(child.WaitExit(wt::kWaitMs));
    EXPECT_EQ(PlantedLoads().size(), 1u) << journal_.Dump();
}

// A whole upgrade with every planted name beside setup and in its current
// folder: the hook library beside setup is the real one and is used.
TEST_F(Planting, SetupLoadsNoPlantedDll)
{
    std::string programDir = wt::NewScratchDir();
    std::string currentDir = wt::NewScratchDir();
    std::string setup = programDir + "\\setupstub.exe";
    ASSERT_TRUE(CopyFileA(wt::DistFile("setupstub.exe").c_str(), setup.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(wt::DistFile("shadewin.dll").c_str(),
                          (programDir + "\\shadewin.dll").c_str(), FALSE));
    for (const char* name : kPlantedNames) {
        if (std::string(name) != "shadewin.dll" && !TakenBesideAnyProgramUnderWine(name))
            Plant(programDir, name);
        Plant(currentDir, name);
    }
    upgrade::Installation current;
    current.uninstallerName = "cur";
    // Only the system's version.dll reads this as the same version.
    current.library = "equal";
    upgrade::Register(upgrade::kCurrentProduct, &current);

    upgrade::SetupRun run;
    upgrade::OptionsDialog dialog;
    ASSERT_TRUE(run.Start(upgrade::InstallerTail(), setup, currentDir));
    ASSERT_TRUE(run.NextDialog(&dialog)) << journal_.Dump();
    EXPECT_EQ(dialog.message, upgrade::kMessageSame) << "the version was read";
    wt::Click(wt::Item(dialog.window, 1001));
    run.Continue(dialog);
    DWORD code = 99;
    ASSERT_TRUE(run.WaitExit(&code)) << journal_.Dump();
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(PlantedLoads(), Strings{}) << journal_.Dump();
    auto shown = upgrade::ShownPositions(journal_, "cur");
    ASSERT_FALSE(shown.empty()) << journal_.Dump();
    EXPECT_EQ(shown[0].x, -1000) << "the real hook library beside setup hid the window";
}

// The launcher, copied beside the planted names and started from a folder
// full of them: with a catalog path (COM and the engine's creation) and
// without (only the start of app.hta).
TEST_F(Planting, LauncherLoadsNoPlantedDll)
{
    std::string programDir = wt::NewScratchDir();
    std::string currentDir = wt::NewScratchDir();
    std::string launcher = programDir + "\\launcher.exe";
    ASSERT_TRUE(CopyFileA(wt::DistFile("launcher.exe").c_str(), launcher.c_str(), FALSE));
    for (const char* name : kPlantedNames) {
        if (!TakenBesideAnyProgramUnderWine(name))
            Plant(programDir, name);
        Plant(currentDir, name);
    }
    ASSERT_TRUE(wt::RegisterHtaHandler(true));
    std::string appDir = wt::NewScratchDir();
    wt::WriteTextFile(appDir + "\\app.hta", "planting\r\n");
    wt::SetRegString(HKEY_LOCAL_MACHINE, wt::kProductKeyCurrent, "InstallDir", appDir);

    for (const char* tail : {"", "C:\\catalog.xml"}) {
        SCOPED_TRACE(std::string("tail \"") + tail + "\"");
        wt::Child child;
        ASSERT_TRUE(child.Start(wt::Quoted(launcher) + " " + tail, currentDir));
        if (*tail) {
            // No engine is registered: its error box comes first.
            wt::MessageBoxInfo box;
            ASSERT_TRUE(wt::WaitForMessageBox(child.Pid(), &box)) << journal_.Dump();
            wt::AnswerMessageBox(box, IDOK);
        }
        DWORD code = 99;
        ASSERT_TRUE(child.WaitExit(wt::kWaitMs, &code)) << journal_.Dump();
        EXPECT_EQ(code, 0u);
    }
    // The handler records on its own time; both starts must arrive.
    DWORD start = GetTickCount();
    while (journal_.Matching("hta show").size() < 2 && GetTickCount() - start < wt::kWaitMs)
        Sleep(20);
    EXPECT_EQ(journal_.Matching("hta show").size(), 2u)
        << "app.hta was started both times\n" << journal_.Dump();
    EXPECT_EQ(PlantedLoads(), Strings{}) << journal_.Dump();
    wt::RegisterHtaHandler(false);
}

}  // namespace
