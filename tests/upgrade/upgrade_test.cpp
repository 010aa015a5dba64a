// setupstub with previous installations of either product generation: the
// questions, the uninstalls, the installer and the finishing actions.
#include <gtest/gtest.h>

#include "upgrade_scenario.h"
#include "wine_test.h"

using upgrade::Events;
using upgrade::Installation;
using upgrade::OptionsDialog;
using upgrade::SetupRun;
using Strings = std::vector<std::string>;

namespace {

const char kQuorvaneKey[] = "Software\\Quorvane";
const char kNotUninstalled[] = "Image Lumi-Vault was not uninstalled from your system";
const char kWriteFailed[] = "Error writing path to old data into registry!";
const char kSetupCaption[] = "Image Lumi-Vault Setup";
const int kInfoPageId = 1001, kOldDataId = 1002;
const DWORD kBrowserGraceMs = 1000;

using wt::Concat;
using wt::Uninstalled;

const Strings kInstalled = {"installer start", "installer end"};
const Strings kPageOpened = {"iexplore start"};

bool ReadXmlDir(std::string* value)
{
    return wt::GetRegString(HKEY_LOCAL_MACHINE, wt::kProductKeyCurrent, "XMLDir", value);
}

class Upgrade : public ::testing::Test {
protected:
    void SetUp() override
    {
        wt::ClearProductRegistry();
        wt::DeleteRegTree(HKEY_LOCAL_MACHINE, kQuorvaneKey);
        upgrade::InstallBrowserFixture();
    }
    void TearDown() override
    {
        run_.Process().Kill();
        wt::DeleteRegTree(HKEY_LOCAL_MACHINE, kQuorvaneKey);
        wt::ClearProductRegistry();
    }

    // Starts setup and waits for its next options dialog.
    void StartAndAsk(OptionsDialog* dialog, const std::string& tail = upgrade::InstallerTail())
    {
        ASSERT_TRUE(run_.Start(tail));
        ASSERT_TRUE(run_.NextDialog(dialog)) << "no options dialog\n" << journal_.Dump();
    }

    void ExpectCleanExit()
    {
        DWORD code = 99;
        ASSERT_TRUE(run_.WaitExit(&code)) << "setup did not end\n" << journal_.Dump();
        EXPECT_EQ(code, 0u);
        // The browser is started, not waited for: give it time to record.
        journal_.WaitFor("iexplore start", kBrowserGraceMs);
    }

    void ExpectHidden(const std::string& name)
    {
        auto positions = upgrade::ShownPositions(journal_, name);
        ASSERT_FALSE(positions.empty()) << journal_.Dump();
        for (const POINT& point : positions) {
            EXPECT_EQ(point.x, -1000) << journal_.Dump();
            EXPECT_EQ(point.y, -1000) << journal_.Dump();
        }
    }

    wt::Journal journal_;
    SetupRun run_;
};

// ---- The question for one installed version ------------------------------

struct VersionCase {
    const char* label;
    const char* library;  // crestmk fixture variant; nullptr: no library file
    const char* message;
};

void PrintTo(const VersionCase& value, std::ostream* out) { *out << value.label; }

class VersionQuestion : public Upgrade, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionQuestion, ShowsTheTextsForTheComparison)
{
    Installation current;
    current.uninstallerName = "cur";
    current.library = GetParam().library;
    upgrade::Register(upgrade::kCurrentProduct, &current);

    OptionsDialog dialog;
    StartAndAsk(&dialog);
    EXPECT_EQ(dialog.heading, upgrade::kHeadingUpgrade);
    EXPECT_EQ(dialog.message, GetParam().message);
    EXPECT_EQ(dialog.footer, upgrade::kFooter);
    EXPECT_EQ(dialog.infoPageCheck, BST_CHECKED);

    run_.Exit(dialog);
    ExpectCleanExit();
    EXPECT_EQ(Events(journal_), Strings{}) << "Exit must run nothing";
}

// The texts compare as strings: the own version "2, 00, 1, 1" ranks before
// "2, 00, 1, 10" and after "10, 00, 1, 1".
INSTANTIATE_TEST_SUITE_P(
    Upgrade, VersionQuestion,
    ::testing::Values(VersionCase{"equal", "equal", upgrade::kMessageSame},
                      VersionCase{"lastPartZero", "older", upgrade::kMessageOlder},
                      VersionCase{"lastPartTwo", "newer", upgrade::kMessageNewer},
                      VersionCase{"lastPartTen", "prefix", upgrade::kMessageNewer},
                      VersionCase{"firstPartTen", "first", upgrade::kMessageOlder},
                      VersionCase{"emptyVersionText", "empty", upgrade::kMessageOlder},
                      VersionCase{"noVersionResource", "noversion", upgrade::kMessageOlder},
                      VersionCase{"libraryMissing", nullptr, upgrade::kMessageOlder}),
    [](const ::testing::TestParamInfo<VersionCase>& info) { return info.param.label; });

// ---- Uninstall, install, finish -------------------------------------------

TEST_F(Upgrade, ContinueUninstallsHiddenThenInstalls)
{
    Installation current;
    current.uninstallerName = "cur";
    current.library = nullptr;
    upgrade::Register(upgrade::kCurrentProduct, &current);

    OptionsDialog dialog;
    StartAndAsk(&dialog);
    EXPECT_EQ(dialog.message, upgrade::kMessageOlder);
    EXPECT_FALSE(dialog.oldDataVisible) << "no store.xml in the data folder";
    wt::Click(wt::Item(dialog.window, kInfoPageId));  // no page wanted
    run_.Continue(dialog);
    ExpectCleanExit();
    EXPECT_EQ(Events(journal_), Concat({Uninstalled("cur"), kInstalled}));
    ExpectHidden("cur");
}

TEST_F(Upgrade, OnlyTheFormerProductIsAskedAboutAndRemoved)
{
    Installation former;
    former.uninstallerName = "old";
    former.library = "older";
    former.withStore = true;
    upgrade::Register(upgrade::kFormerProduct, &former);

    OptionsDialog dialog;
    StartAndAsk(&dialog);
    EXPECT_EQ(dialog.message, upgrade::kMessageOlder);
    EXPECT_TRUE(dialog.oldDataVisible);
    EXPECT_EQ(dialog.oldDataCheck, BST_CHECKED);
    run_.Continue(dialog);
    ExpectCleanExit();
    EXPECT_EQ(Events(journal_), Concat({Uninstalled("old"), kInstalled}));
    std::string xmlDir;
    ASSERT_TRUE(ReadXmlDir(&xmlDir)) << "XMLDir was not written";
    EXPECT_EQ(xmlDir, former.dataDir) << "the former product's data folder is carried over";
}

TEST_F(Upgrade, BothProductsAskTwiceAndTheSecondAnswerDecides)
{
    Installation current, former;
    current.uninstallerName = "cur";
    current.library = "equal";
    former.uninstallerName = "old";
    former.library = "older";
    former.withStore = true;
    upgrade::Register(upgrade::kCurrentProduct, &current);
    upgrade::Register(upgrade::kFormerProduct, &former);
    wt::WriteTextFile(current.installDir + "\\snapnote.htm", "<html/>");

    OptionsDialog first, second;
    StartAndAsk(&first);
    EXPECT_EQ(first.message, upgrade::kMessageSame) << "the current product is asked first";
    EXPECT_TRUE(first.oldDataVisible) << "the former product's store decides";
    // The first answer is the opposite of the second: no page, old data.
    wt::Click(wt::Item(first.window, kInfoPageId));
    run_.Continue(first);

    ASSERT_TRUE(run_.NextDialog(&second, 2 * wt::kWaitMs)) << journal_.Dump();
    EXPECT_EQ(second.message, upgrade::kMessageOlder);
    EXPECT_EQ(second.infoPageCheck, BST_CHECKED) << "each question starts afresh";
    EXPECT_EQ(second.oldDataCheck, BST_CHECKED);
    EXPECT_EQ(Events(journal_), Concat({Uninstalled("cur"), Uninstalled("old")}))
        << "each Continue runs both uninstall commands before the next question";
    wt::Click(wt::Item(second.window, kOldDataId));  // keep the new data
    run_.Continue(second);

    ExpectCleanExit();
    EXPECT_EQ(Events(journal_), Concat({Uninstalled("cur"), Uninstalled("old"), Uninstalled("cur"),
                                        Uninstalled("old"), kInstalled, kPageOpened}));
    std::string xmlDir;
    EXPECT_FALSE(ReadXmlDir(&xmlDir) && xmlDir == former.dataDir)
        << "the second dialog cleared the old-data box";
    ExpectHidden("cur");
    ExpectHidden("old");
}

TEST_F(Upgrade, ExitInTheSecondQuestionKeepsTheFirstUninstalls)
{
    Installation current, former;
    current.uninstallerName = "cur";
    former.uninstallerName = "old";
    upgrade::Register(upgrade::kCurrentProduct, &current);
    upgrade::Register(upgrade::kFormerProduct, &former);

    OptionsDialog first, second;
    StartAndAsk(&first);
    run_.Continue(first);
    ASSERT_TRUE(run_.NextDialog(&second, 2 * wt::kWaitMs)) << journal_.Dump();
    run_.Exit(second);
    ExpectCleanExit();
    EXPECT_EQ(Events(journal_), Concat({Uninstalled("cur"), Uninstalled("old")}));
}

TEST_F(Upgrade, WithoutInstallDirNoQuestionAndTheInstallerRunsAtOnce)
{
    Installation current, former;
    current.uninstallerName = "cur";
    current.withInstallDir = false;
    current.withDataDir = false;
    current.withStore = true;
    former.uninstallerName = "old";
    former.withInstallDir = false;
    former.withStore = true;
    upgrade::Register(upgrade::kCurrentProduct, &current);
    upgrade::Register(upgrade::kFormerProduct, &former);

    ASSERT_TRUE(run_.Start(upgrade::InstallerTail()));
    ExpectCleanExit();
    EXPECT_EQ(Events(journal_), kInstalled);
    std::string xmlDir;
    EXPECT_FALSE(ReadXmlDir(&xmlDir)) << "XMLDir written without being asked: " << xmlDir;
}

TEST_F(Upgrade, EmptyTailUninstallsThenReportsAndFinishesNothing)
{
    Installation current;
    current.uninstallerName = "cur";
    current.withDataDir = false;
    upgrade::Register(upgrade::kCurrentProduct, &current);
    wt::WriteTextFile(current.installDir + "\\snapnote.htm", "<html/>");

    OptionsDialog dialog;
    StartAndAsk(&dialog, "");
    run_.Continue(dialog);
    wt::MessageBoxInfo box;
    ASSERT_TRUE(wt::WaitForMessageBox(run_.Process().Pid(), &box, 2 * wt::kWaitMs)) << journal_.Dump();
    EXPECT_EQ(box.text, kNotUninstalled);
    EXPECT_EQ(box.caption, kSetupCaption);
    EXPECT_EQ(box.icon, wt::BoxIcon::kInformation) << wt::IconName(box.icon);
    EXPECT_EQ(box.buttons, Strings{"OK"});
    wt::AnswerMessageBox(box, IDOK);
    ExpectCleanExit();
    EXPECT_EQ(Events(journal_), Uninstalled("cur")) << "no installer, no page";
}

// ---- The old-data box ------------------------------------------------------

enum class Store { kPresent, kMissing, kHeldOpen };

struct OldDataCase {
    const char* label;
    Store store;
    bool boxShown;
};

void PrintTo(const OldDataCase& value, std::ostream* out) { *out << value.label; }

class OldDataBox : public Upgrade, public ::testing::WithParamInterface<OldDataCase> {};

TEST_P(OldDataBox, ShownOnlyForAStoreThatCanBeOpened)
{
    Installation former;
    former.uninstallerName = "old";
    former.withStore = GetParam().store != Store::kMissing;
    upgrade::Register(upgrade::kFormerProduct, &former);
    HANDLE held = INVALID_HANDLE_VALUE;
    if (GetParam().store == Store::kHeldOpen)
        held = CreateFileA((former.dataDir + "\\store.xml").c_str(), GENERIC_READ, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);

    OptionsDialog dialog;
    StartAndAsk(&dialog);
    EXPECT_EQ(dialog.oldDataVisible, GetParam().boxShown);
    EXPECT_EQ(dialog.oldDataCheck, GetParam().boxShown ? BST_CHECKED : BST_UNCHECKED);
    run_.Continue(dialog);
    ExpectCleanExit();
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);

    std::string xmlDir;
    if (GetParam().boxShown) {
        ASSERT_TRUE(ReadXmlDir(&xmlDir));
        EXPECT_EQ(xmlDir, former.dataDir);
    } else {
        EXPECT_FALSE(ReadXmlDir(&xmlDir)) << xmlDir;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Upgrade, OldDataBox,
    ::testing::Values(OldDataCase{"storePresent", Store::kPresent, true},
                      OldDataCase{"storeMissing", Store::kMissing, false},
                      OldDataCase{"storeHeldOpen", Store::kHeldOpen, false}),
    [](const ::testing::TestParamInfo<OldDataCase>& info) { return info.param.label; });

TEST_F(Upgrade, FailedXmlDirWriteIsReportedAndSetupGoesOn)
{
    // A volatile parent refuses the non-volatile key that the write needs.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kQuorvaneKey, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    HKEY former;
    ASSERT_EQ(RegCreateKeyExA(key, "Lumi-Vault", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &former, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(former);
    RegCloseKey(key);
    Installation installation;
    installation.uninstallerName = "old";
    installation.withStore = true;
    upgrade::Register(upgrade::kFormerProduct, &installation);

    OptionsDialog dialog;
    StartAndAsk(&dialog);
    ASSERT_TRUE(dialog.oldDataVisible);
    run_.Continue(dialog);
    wt::MessageBoxInfo box;
    ASSERT_TRUE(wt::WaitForMessageBox(run_.Process().Pid(), &box, 2 * wt::kWaitMs)) << journal_.Dump();
    EXPECT_EQ(box.text, kWriteFailed);
    EXPECT_EQ(box.caption, kSetupCaption);
    EXPECT_EQ(box.icon, wt::BoxIcon::kError) << wt::IconName(box.icon);
    EXPECT_EQ(Events(journal_), Concat({Uninstalled("old"), kInstalled}))
        << "the write comes after the installer";
    wt::AnswerMessageBox(box, IDOK);
    ExpectCleanExit();
}

// ---- The hook library ------------------------------------------------------

// setupstub copied alone into a folder: no shadewin.dll beside it.
std::string LoneSetupCopy()
{
    std::string exe = wt::NewScratchDir() + "\\setupstub.exe";
    CopyFileA(wt::DistFile("setupstub.exe").c_str(), exe.c_str(), FALSE);
    return exe;
}

TEST_F(Upgrade, WithoutTheHookLibraryTheSameRunLeavesTheWindowVisible)
{
    Installation current;
    current.uninstallerName = "cur";
    upgrade::Register(upgrade::kCurrentProduct, &current);

    // A shadewin.dll planted in the current folder must not be taken either.
    std::string plantedDir = wt::NewScratchDir();
    CopyFileA(wt::FixtureFile("planted.dll").c_str(), (plantedDir + "\\shadewin.dll").c_str(), FALSE);

    OptionsDialog dialog;
    ASSERT_TRUE(run_.Start(upgrade::InstallerTail(), LoneSetupCopy(), plantedDir));
    ASSERT_TRUE(run_.NextDialog(&dialog)) << journal_.Dump();
    wt::Click(wt::Item(dialog.window, kInfoPageId));
    run_.Continue(dialog);
    ExpectCleanExit();
    EXPECT_EQ(Events(journal_), Concat({Uninstalled("cur"), kInstalled}))
        << "the planted shadewin.dll was loaded";
    auto positions = upgrade::ShownPositions(journal_, "cur");
    ASSERT_FALSE(positions.empty()) << journal_.Dump();
    EXPECT_NE(positions[0].x, -1000) << "nothing can hide the window without the library";
}

}  // namespace
