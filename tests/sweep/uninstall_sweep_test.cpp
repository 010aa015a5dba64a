// Hostile uninstall commands and uninstaller windows, through setup's
// upgrade path: commands that name nothing, a folder or no program, that
// end at once or crash, and uninstallers whose windows are awkward to read.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "sweep_support.h"
#include "upgrade_scenario.h"
#include "wine_test.h"

namespace {

const char kSetupCaption[] = "Image Lumi-Vault Setup";
const char kNotUninstalled[] = "Image Lumi-Vault was not uninstalled from your system";
const DWORD kAccessViolation = 0xC0000005;

std::string Fixture(const char* name) { return wt::Quoted(wt::FixtureFile(name)); }

// A file that is no program, under a program's name.
std::string NotAProgram()
{
    std::string path = wt::NewScratchDir() + "\\uninst.exe";
    wt::WriteTextFile(path, "this is no program\r\n");
    return wt::Quoted(path);
}

enum class Outcome {
    kNotUninstalledBox,  // the failure box, exit 0, no installer
    kInstalled,          // the driver goes on: the installer runs, exit 0
};

struct CommandCase {
    const char* name;
    std::function<std::string()> command;
    Outcome outcome;
    // Journal lines (prefixes) that must be there, in this order.
    std::vector<std::string> events;
};

void PrintTo(const CommandCase& c, std::ostream* out) { *out << c.name; }

std::vector<CommandCase> CommandCases()
{
    const std::string sweepUninstaller = "sweep_uninstaller ";
    auto driven = [&](const std::string& name) {
        std::string who = sweepUninstaller + name + " ";
        return std::vector<std::string>{who + "start", who + "continue", who + "close",
                                        who + "churned", who + "end", "installer start"};
    };
    return {
        {"Empty", [] { return std::string(); }, Outcome::kNotUninstalledBox, {}},
        {"OnlyBlanks", [] { return std::string("   \t "); }, Outcome::kNotUninstalledBox, {}},
        {"Directory", [] { return wt::Quoted(wt::NewScratchDir()); },
         Outcome::kNotUninstalledBox, {}},
        {"MissingProgram", [] { return wt::Quoted(wt::NewScratchDir() + "\\gone.exe"); },
         Outcome::kNotUninstalledBox, {}},
        {"FileThatIsNoProgram", NotAProgram, Outcome::kNotUninstalledBox, {}},
        {"ExitsAtOnce", [] { return Fixture("uninstaller.exe") + " quick --exit-now"; },
         Outcome::kInstalled,
         {"uninstaller quick start", "uninstaller quick end", "installer start"}},
        {"CrashesAtOnce", [] { return Fixture("sweep_crash.exe"); }, Outcome::kInstalled,
         {"sweep_crash start", "installer start"}},
        // Windows that are awkward to look at.
        {"MainWindowCreatedByAtom", [] { return Fixture("sweep_uninstaller.exe") + " atom --atom"; },
         Outcome::kInstalled, driven("atom")},
        {"WindowsComeAndGoDuringTheWalks",
         [] { return Fixture("sweep_uninstaller.exe") + " churn --churn"; }, Outcome::kInstalled,
         driven("churn")},
        {"AtomAndWindowsComingAndGoing",
         [] { return Fixture("sweep_uninstaller.exe") + " both --atom --churn"; },
         Outcome::kInstalled, driven("both")},
    };
}

class UninstallCommands : public ::testing::TestWithParam<CommandCase> {
protected:
    void SetUp() override
    {
        wt::ClearProductRegistry();
        upgrade::InstallBrowserFixture();
    }
    void TearDown() override
    {
        run_.Process().Kill();
        wt::ClearProductRegistry();
        wt::DeleteRegTree(HKEY_LOCAL_MACHINE, "Software\\Quorvane");
    }

    // Lines of the journal that start with each expected prefix, in order.
    void ExpectEventsInOrder(const std::vector<std::string>& events)
    {
        std::vector<std::string> lines = journal_.Lines();
        size_t at = 0;
        for (const std::string& event : events) {
            while (at < lines.size() && lines[at].compare(0, event.size(), event) != 0)
                ++at;
            ASSERT_LT(at, lines.size()) << "no \"" << event << "\" in order\n" << journal_.Dump();
            ++at;
        }
    }

    wt::Journal journal_;
    upgrade::SetupRun run_;
};

TEST_P(UninstallCommands, SetupEndsAsDescribed)
{
    const CommandCase& c = GetParam();
    upgrade::Installation installation;
    installation.withDataDir = false;
    upgrade::Register(upgrade::kCurrentProduct, &installation);
    std::string command = c.command();
    ASSERT_TRUE(wt::SetRegString(HKEY_LOCAL_MACHINE, wt::kUninstallKeyCurrent, "UninstallString",
                                 command));

    ASSERT_TRUE(run_.Start(upgrade::InstallerTail()));
    upgrade::OptionsDialog dialog;
    ASSERT_TRUE(run_.NextDialog(&dialog)) << journal_.Dump();
    EXPECT_EQ(dialog.message, upgrade::kMessageOlder);
    run_.Continue(dialog);

    if (c.outcome == Outcome::kNotUninstalledBox) {
        wt::MessageBoxInfo box;
        ASSERT_TRUE(wt::WaitForMessageBox(run_.Process().Pid(), &box))
            << "no box for [" << command << "]\n" << journal_.Dump();
        EXPECT_EQ(box.text, kNotUninstalled);
        EXPECT_EQ(box.caption, kSetupCaption);
        EXPECT_EQ(wt::IconName(box.icon), wt::IconName(wt::BoxIcon::kInformation));
        wt::AnswerMessageBox(box, IDOK);
    }
    DWORD code = 99;
    ASSERT_TRUE(run_.WaitExit(&code)) << "setup did not end\n" << journal_.Dump();
    EXPECT_EQ(code, 0u) << "[" << command << "]";
    if (c.outcome == Outcome::kNotUninstalledBox)
        EXPECT_TRUE(journal_.Matching("installer").empty()) << journal_.Dump();
    else
        EXPECT_EQ(journal_.Matching("installer end").size(), 1u) << journal_.Dump();
    ASSERT_NO_FATAL_FAILURE(ExpectEventsInOrder(c.events));
    // The churning uninstallers really churned while they were driven.
    if (command.find("--churn") != std::string::npos)
        for (const std::string& line : journal_.Matching("sweep_uninstaller "))
            if (line.find(" churned ") != std::string::npos)
                EXPECT_EQ(line.find(" churned 0"), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(Sweep, UninstallCommands, ::testing::ValuesIn(CommandCases()),
                         [](const ::testing::TestParamInfo<CommandCase>& info) {
                             return std::string(info.param.name);
                         });

// The crash fixture really crashes with a page fault, and nothing waits
// for a debugger.
TEST(SweepFixtures, CrashFixtureEndsWithAnAccessViolation)
{
    wt::Journal journal;
    wt::Child crash;
    ASSERT_TRUE(crash.Start(Fixture("sweep_crash.exe")));
    DWORD code = 0;
    ASSERT_TRUE(crash.WaitExit(wt::kWaitMs, &code));
    EXPECT_EQ(code, kAccessViolation);
    EXPECT_EQ(journal.Matching("sweep_crash "), std::vector<std::string>{"sweep_crash start"});
}

}  // namespace
