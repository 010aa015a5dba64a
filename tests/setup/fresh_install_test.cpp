// setupstub on a machine without a previous installation: the options
// dialog, the installer run and the information page.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "wine_test.h"

namespace {

const char kDialogTitle[] = "Image Lumi-Vault Setup";
const char kHeading[] = "Setup options";
const char kMessage[] =
    "If you leave this option checked Snapnote file will be opened in the Microsoft Internet "
    "Explorer window after installation is complete.";
const char kFooter[] = "Click \"Continue\" to proceed.";
const char kNotUninstalled[] = "Image Lumi-Vault was not uninstalled from your system";
const char kBrowserFailed[] = "Unable to open Snapnote file";
const char kDelayVariable[] = "LV_INSTALLER_DELAY_MS";

const int kContinue = 1034;
const int kExitSetup = 1035;
const int kViewInfoPage = 1001;
const int kOpenOldData = 1002;
const int kHeadingControl = 1061;
const int kMessageControl = 1059;
const int kFooterControl = 1062;

// How long a test watches for something that must not happen.
const DWORD kQuietMs = 500;

std::string SystemBrowserPath()
{
    char dir[MAX_PATH] = "";
    GetSystemDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\iexplore.exe";
}

// The shell finds "iexplore" as system32\iexplore.exe; the fixture browser
// takes its place in the test prefix for the whole run.
bool InstallFixtureBrowser()
{
    return CopyFileA(wt::FixtureFile("iexplore.exe").c_str(), SystemBrowserPath().c_str(),
                     FALSE) != 0;
}

class FixtureBrowser : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(InstallFixtureBrowser()) << SystemBrowserPath(); }
};

::testing::Environment* const browserEnvironment =
    ::testing::AddGlobalTestEnvironment(new FixtureBrowser);

std::string SetupPath() { return wt::DistFile("setupstub.exe"); }
std::string InstallerPath() { return wt::FixtureFile("installer.exe"); }

// Alt plus a letter, as the dialog manager receives it for a mnemonic.
void PressAltLetter(HWND window, char letter)
{
    PostMessageA(window, WM_SYSCHAR, static_cast<WPARAM>(letter), 1 | (1 << 29));
}

class FreshInstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        wt::ClearProductRegistry();
        SetEnvironmentVariableA(kDelayVariable, nullptr);
    }
    void TearDown() override
    {
        SetEnvironmentVariableA(kDelayVariable, nullptr);
        wt::ClearProductRegistry();
        if (named_.hProcess) {
            if (Running())
                TerminateProcess(named_.hProcess, 255);
            WaitForSingleObject(named_.hProcess, wt::kShortWaitMs);
            CloseHandle(named_.hProcess);
            CloseHandle(named_.hThread);
        }
    }

    // Starts setupstub with an exact command line and waits for its dialog.
    // With an application name the command line may be one that process
    // creation could not parse by itself, such as an unclosed quote.
    void StartSetup(const std::string& commandLine, const std::string& workDir = "",
                    const char* applicationName = nullptr)
    {
        if (applicationName) {
            STARTUPINFOA startup = {};
            startup.cb = sizeof(startup);
            std::vector<char> line(commandLine.begin(), commandLine.end());
            line.push_back('\0');
            ASSERT_TRUE(CreateProcessA(applicationName, line.data(), nullptr, nullptr, FALSE, 0,
                                       nullptr, nullptr, &startup, &named_))
                << commandLine;
            pid_ = named_.dwProcessId;
            process_ = named_.hProcess;
        } else {
            ASSERT_TRUE(setup_.Start(commandLine, workDir)) << commandLine;
            pid_ = setup_.Pid();
            process_ = setup_.Info().hProcess;
        }
        dialog_ = wt::WaitForWindow(pid_, "#32770", kDialogTitle);
        ASSERT_NE(dialog_, nullptr) << "no options dialog";
    }
    bool Running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    bool WaitExit(DWORD timeoutMs, DWORD* code)
    {
        if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0)
            return false;
        GetExitCodeProcess(process_, code);
        return true;
    }
    // The usual run: our setupstub with the fixture installer as its tail.
    void StartSetupWithInstaller(const std::string& options = " /S")
    {
        tail_ = wt::Quoted(InstallerPath()) + options;
        StartSetup(wt::Quoted(SetupPath()) + " " + tail_);
    }

    // An installation directory with the information page, as the installer
    // would leave it.
    std::string MakeInstallation(bool withPage = true)
    {
        std::string dir = wt::NewScratchDir() + "\\Install Dir";
        EXPECT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
        EXPECT_TRUE(wt::SetRegString(HKEY_LOCAL_MACHINE, wt::kProductKeyCurrent, "InstallDir",
                                     dir));
        if (withPage)
            EXPECT_TRUE(wt::WriteTextFile(dir + "\\snapnote.htm", "<html></html>"));
        return dir;
    }

    void ExpectExitsWithZero()
    {
        DWORD code = 99;
        ASSERT_TRUE(WaitExit(wt::kWaitMs, &code)) << "setup still running\n" << journal_.Dump();
        EXPECT_EQ(code, 0u);
    }
    void ExpectInstallerRanWithTail()
    {
        std::vector<std::string> starts = journal_.Matching("installer start ");
        ASSERT_EQ(starts.size(), 1u) << journal_.Dump();
        EXPECT_EQ(starts[0], "installer start " + tail_);
        EXPECT_EQ(journal_.Matching("installer end").size(), 1u) << journal_.Dump();
    }
    void ExpectNoBrowser()
    {
        EXPECT_FALSE(journal_.WaitFor("iexplore ", kQuietMs)) << journal_.Dump();
    }
    // Waits for a notice of setup and checks it completely, then answers it.
    void ExpectNotice(const char* text)
    {
        wt::MessageBoxInfo box;
        ASSERT_TRUE(wt::WaitForMessageBox(pid_, &box)) << "no message box";
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, kDialogTitle);
        EXPECT_EQ(box.icon, wt::BoxIcon::kInformation) << wt::IconName(box.icon);
        EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
        EXPECT_EQ(box.owner, nullptr);
        wt::AnswerMessageBox(box, IDOK);
    }

    wt::Journal journal_;
    wt::Child setup_;
    PROCESS_INFORMATION named_ = {};  // setup started with an application name
    DWORD pid_ = 0;
    HANDLE process_ = nullptr;
    HWND dialog_ = nullptr;
    std::string tail_;
};

TEST_F(FreshInstall, ShowsOneDialogWithTheFreshInstallTexts)
{
    StartSetupWithInstaller();
    EXPECT_EQ(wt::WindowText(dialog_), kDialogTitle);
    EXPECT_EQ(wt::WindowText(wt::Item(dialog_, kHeadingControl)), kHeading);
    EXPECT_EQ(wt::WindowText(wt::Item(dialog_, kMessageControl)), kMessage);
    EXPECT_EQ(wt::WindowText(wt::Item(dialog_, kFooterControl)), kFooter);

    HWND viewInfo = wt::Item(dialog_, kViewInfoPage);
    EXPECT_TRUE(wt::Visible(viewInfo));
    EXPECT_EQ(wt::CheckState(viewInfo), BST_CHECKED);
    HWND openOld = wt::Item(dialog_, kOpenOldData);
    ASSERT_NE(openOld, nullptr);
    EXPECT_FALSE(wt::Visible(openOld));
    EXPECT_EQ(wt::CheckState(openOld), BST_UNCHECKED);
    EXPECT_TRUE(wt::Visible(wt::Item(dialog_, kContinue)));
    EXPECT_TRUE(wt::Visible(wt::Item(dialog_, kExitSetup)));

    // The dialog is setup's only window, and nothing runs while it is up.
    EXPECT_EQ(wt::TopWindows(pid_).size(), 1u);
    EXPECT_TRUE(journal_.Lines().empty()) << journal_.Dump();

    wt::Click(wt::Item(dialog_, kExitSetup));
    ExpectExitsWithZero();
}

// ---- Leaving setup -------------------------------------------------------

struct LeaveCase {
    const char* name;
    void (*leave)(HWND dialog);
};

void PrintTo(const LeaveCase& c, std::ostream* out) { *out << c.name; }

const LeaveCase kLeaveCases[] = {
    {"ExitSetupButton", [](HWND d) { wt::Click(wt::Item(d, kExitSetup)); }},
    {"AltE", [](HWND d) { PressAltLetter(d, 'e'); }},
    {"CloseMessage", [](HWND d) { PostMessageA(d, WM_CLOSE, 0, 0); }},
    {"SystemMenuClose", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    {"AltF4",
     [](HWND d) {
         UINT scan = MapVirtualKeyA(VK_F4, 0);
         PostMessageA(d, WM_SYSKEYDOWN, VK_F4, 1 | (scan << 16) | (1 << 29));
     }},
};

class LeaveSetup : public FreshInstall, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(LeaveSetup, EndsWithZeroAndStartsNothing)
{
    std::string dir = MakeInstallation();
    StartSetupWithInstaller();
    GetParam().leave(dialog_);
    ExpectExitsWithZero();
    EXPECT_TRUE(journal_.Matching("installer ").empty()) << journal_.Dump();
    ExpectNoBrowser();
}

INSTANTIATE_TEST_SUITE_P(Ways, LeaveSetup, ::testing::ValuesIn(kLeaveCases));

// ---- Continuing ----------------------------------------------------------

struct ContinueCase {
    const char* name;
    void (*proceed)(HWND dialog);
};

void PrintTo(const ContinueCase& c, std::ostream* out) { *out << c.name; }

const ContinueCase kContinueCases[] = {
    {"ContinueButton", [](HWND d) { wt::Click(wt::Item(d, kContinue)); }},
    {"EnterKey", [](HWND d) { wt::PressKey(d, VK_RETURN); }},
    {"AltC", [](HWND d) { PressAltLetter(d, 'c'); }},
};

class ContinueSetup : public FreshInstall, public ::testing::WithParamInterface<ContinueCase> {};

TEST_P(ContinueSetup, RunsTheInstallerAndOpensThePage)
{
    std::string dir = MakeInstallation();
    StartSetupWithInstaller();
    GetParam().proceed(dialog_);
    ExpectExitsWithZero();
    ExpectInstallerRanWithTail();
    EXPECT_TRUE(journal_.WaitFor("iexplore page-opened ")) << journal_.Dump();
}

INSTANTIATE_TEST_SUITE_P(Ways, ContinueSetup, ::testing::ValuesIn(kContinueCases));

TEST_F(FreshInstall, EscapeAndCancelAreIgnored)
{
    StartSetupWithInstaller();
    wt::PressKey(dialog_, VK_ESCAPE);
    wt::Command(dialog_, IDCANCEL);
    Sleep(kQuietMs);
    EXPECT_TRUE(Running());
    EXPECT_TRUE(wt::Visible(dialog_));
    EXPECT_TRUE(journal_.Lines().empty()) << journal_.Dump();
    // The dialog still works.
    wt::Click(wt::Item(dialog_, kContinue));
    ExpectExitsWithZero();
    ExpectInstallerRanWithTail();
}

TEST_F(FreshInstall, WaitsForTheInstallerToEnd)
{
    SetEnvironmentVariableA(kDelayVariable, "1500");
    std::string workDir = wt::NewScratchDir();
    tail_ = wt::Quoted(InstallerPath()) + " /S";
    StartSetup(wt::Quoted(SetupPath()) + " " + tail_, workDir);
    wt::Click(wt::Item(dialog_, kContinue));

    ASSERT_TRUE(journal_.WaitFor("installer start ")) << journal_.Dump();
    // The installer is running: setup is still there, with no window.
    EXPECT_TRUE(journal_.Matching("installer end").empty()) << journal_.Dump();
    EXPECT_TRUE(Running());
    EXPECT_TRUE(wt::TopWindows(pid_).empty());
    DWORD code = 0;
    EXPECT_FALSE(WaitExit(500, &code)) << "setup ended before its installer";

    ExpectExitsWithZero();
    // By the time setup has ended, so has the installer; it ran in setup's
    // current directory.
    std::vector<std::string> lines = journal_.Lines();
    ASSERT_EQ(lines.size(), 3u) << journal_.Dump();
    EXPECT_EQ(lines[0], "installer start " + tail_);
    EXPECT_EQ(lines[1], "installer cwd " + workDir);
    EXPECT_EQ(lines[2], "installer end");
}

// ---- The tail as the installer's command line ----------------------------

struct TailCase {
    const char* name;
    // Builds setup's command line and the tail the installer must receive.
    void (*build)(std::string* commandLine, std::string* tail);
};

void PrintTo(const TailCase& c, std::ostream* out) { *out << c.name; }

// A copy of setupstub under a name with blanks, in a folder with blanks.
std::string SetupCopyWithBlanks()
{
    std::string dir = wt::NewScratchDir() + "\\Set Up";
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string copy = dir + "\\setup stub.exe";
    CopyFileA(SetupPath().c_str(), copy.c_str(), FALSE);
    return copy;
}

const TailCase kTailCases[] = {
    {"QuotedInstallerWithOptionsAfterSeveralBlanks",
     [](std::string* line, std::string* tail) {
         *tail = wt::Quoted(InstallerPath()) + " /S /D=C:\\Program Files\\Lumi  ";
         *line = wt::Quoted(SetupPath()) + "    " + *tail;
     }},
    {"QuotedSetupNameWithBlanks",
     [](std::string* line, std::string* tail) {
         *tail = wt::Quoted(InstallerPath()) + " \"quoted arg\"";
         *line = wt::Quoted(SetupCopyWithBlanks()) + " \t \t" + *tail;
     }},
    {"UnquotedSetupNameOneBlank",
     [](std::string* line, std::string* tail) {
         *tail = InstallerPath();
         *line = SetupPath() + " " + *tail;
     }},
    {"EnvironmentNotExpanded",
     [](std::string* line, std::string* tail) {
         SetEnvironmentVariableA("LV_EXPAND_ME", "expanded");
         *tail = wt::Quoted(InstallerPath()) + " %LV_EXPAND_ME% %PATH%";
         *line = wt::Quoted(SetupPath()) + " " + *tail;
     }},
};

class TailAsCommandLine : public FreshInstall, public ::testing::WithParamInterface<TailCase> {};

TEST_P(TailAsCommandLine, IsRunUnchanged)
{
    std::string line;
    GetParam().build(&line, &tail_);
    if (line.find(' ') < line.find(".exe") && line[0] != '"')
        GTEST_SKIP() << "the build folder's path has blanks: " << line;
    StartSetup(line);
    wt::Click(wt::Item(dialog_, kContinue));
    ExpectExitsWithZero();
    ExpectInstallerRanWithTail();
}

INSTANTIATE_TEST_SUITE_P(Cases, TailAsCommandLine, ::testing::ValuesIn(kTailCases));

// ---- No installer to run -------------------------------------------------

struct EmptyTailCase {
    const char* name;
    const char* afterName;  // what follows setup's quoted name
    bool closeQuote;
};

void PrintTo(const EmptyTailCase& c, std::ostream* out) { *out << c.name; }

const EmptyTailCase kEmptyTailCases[] = {
    {"NothingAfterTheName", "", true},
    {"OnlyBlanksAndTabs", " \t  \t ", true},
    {"QuoteNeverClosed", "", false},
};

class EmptyTail : public FreshInstall, public ::testing::WithParamInterface<EmptyTailCase> {};

TEST_P(EmptyTail, ReportsNotUninstalledAndOpensNoPage)
{
    const EmptyTailCase& c = GetParam();
    MakeInstallation();
    std::string line = "\"" + SetupPath() + (c.closeQuote ? "\"" : "") + c.afterName;
    // Behind a quote that is never closed, even an installer path is part of
    // setup's own name.
    if (!c.closeQuote)
        line += " " + InstallerPath() + " /S";
    StartSetup(line, "", c.closeQuote ? nullptr : SetupPath().c_str());
    // The dialog is the usual one.
    EXPECT_EQ(wt::WindowText(wt::Item(dialog_, kHeadingControl)), kHeading);
    wt::Click(wt::Item(dialog_, kContinue));
    ExpectNotice(kNotUninstalled);
    ExpectExitsWithZero();
    EXPECT_TRUE(journal_.Matching("installer ").empty()) << journal_.Dump();
    ExpectNoBrowser();
}

INSTANTIATE_TEST_SUITE_P(Cases, EmptyTail, ::testing::ValuesIn(kEmptyTailCases));

// ---- The information page ------------------------------------------------

struct PageCase {
    const char* name;
    bool clearBox;       // the user clears "View Snapnote Info"
    bool installDir;     // InstallDir is registered
    bool page;           // snapnote.htm is there
    bool heldElsewhere;  // another process holds the page without sharing
    bool opened;         // the browser is started with the page
};

void PrintTo(const PageCase& c, std::ostream* out) { *out << c.name; }

const PageCase kPageCases[] = {
    {"BoxLeftCheckedPageThere", false, true, true, false, true},
    {"BoxCleared", true, true, true, false, false},
    {"NoInstallDir", false, false, false, false, false},
    {"NoPageFile", false, true, false, false, false},
    {"PageHeldByAnotherProcess", false, true, true, true, false},
};

class InfoPage : public FreshInstall, public ::testing::WithParamInterface<PageCase> {};

TEST_P(InfoPage, IsOpenedOnlyWhenAskedForAndAvailable)
{
    const PageCase& c = GetParam();
    std::string pagePath;
    if (c.installDir)
        pagePath = MakeInstallation(c.page) + "\\snapnote.htm";
    wt::Child holder;
    if (c.heldElsewhere) {
        ASSERT_TRUE(holder.Start(wt::Quoted(wt::FixtureFile("file_holder.exe")) + " " + pagePath));
        ASSERT_TRUE(journal_.WaitFor("holder opened ")) << journal_.Dump();
    }
    StartSetupWithInstaller();
    if (c.clearBox) {
        wt::Click(wt::Item(dialog_, kViewInfoPage));
        for (int i = 0; i < 50 && wt::CheckState(wt::Item(dialog_, kViewInfoPage)); ++i)
            Sleep(20);
        ASSERT_EQ(wt::CheckState(wt::Item(dialog_, kViewInfoPage)), BST_UNCHECKED);
    }
    wt::Click(wt::Item(dialog_, kContinue));
    // Silent in every case: setup ends by itself, with no box to answer.
    ExpectExitsWithZero();
    ExpectInstallerRanWithTail();
    if (!c.opened) {
        ExpectNoBrowser();
        return;
    }
    ASSERT_TRUE(journal_.WaitFor("iexplore page-")) << journal_.Dump();
    std::vector<std::string> starts = journal_.Matching("iexplore start ");
    ASSERT_EQ(starts.size(), 1u) << journal_.Dump();
    // The page path is the parameter as it is, blanks and all, unquoted.
    const std::string& start = starts[0];
    ASSERT_GE(start.size(), pagePath.size() + 1);
    EXPECT_EQ(start.substr(start.size() - pagePath.size() - 1), " " + pagePath);
    EXPECT_EQ(start.find("\"" + pagePath), std::string::npos) << start;
    // Setup left no handle on the page: the browser could open it.
    EXPECT_EQ(journal_.Matching("iexplore page-opened " + pagePath).size(), 1u)
        << journal_.Dump();
    // The browser was started after the installer had ended.
    std::vector<std::string> lines = journal_.Lines();
    auto end = std::find(lines.begin(), lines.end(), "installer end");
    auto browser = std::find(lines.begin(), lines.end(), start);
    EXPECT_LT(end, browser) << journal_.Dump();
}

INSTANTIATE_TEST_SUITE_P(Cases, InfoPage, ::testing::ValuesIn(kPageCases));

// A browser that can't be started: system32\iexplore.exe is no program.
class BrokenBrowser : public FreshInstall {
protected:
    void SetUp() override
    {
        FreshInstall::SetUp();
        ASSERT_TRUE(wt::WriteTextFile(SystemBrowserPath(), "this is not a program\r\n"));
    }
    void TearDown() override
    {
        EXPECT_TRUE(InstallFixtureBrowser());
        FreshInstall::TearDown();
    }
};

TEST_F(BrokenBrowser, ReportsUnableToOpenThePage)
{
    MakeInstallation();
    StartSetupWithInstaller();
    wt::Click(wt::Item(dialog_, kContinue));
    ExpectNotice(kBrowserFailed);
    ExpectExitsWithZero();
    ExpectInstallerRanWithTail();
    EXPECT_TRUE(journal_.Matching("iexplore ").empty()) << journal_.Dump();
}

}  // namespace
