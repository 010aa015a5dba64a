// launcher end to end: the catalog engine, the running main application
// and the ".hta" handler are fixtures; each case sets up that world, runs
// launcher.exe with an exact command line, answers its message boxes and
// checks who was called, in which order, and what was started where.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "journal_writer.h"
#include "wine_test.h"

namespace {

const char kCaption[] = "Image Lumi-Vault";
const char kEngineFailedText[] = "Can't load Image Lumi-Vault ActiveX object!";
const char kLoadDefaultText[] = "Do you wish to load the default Image Lumi-Vault images catalog?";
const char kStartFailedText[] = "Can't load Lumi-Vault!";

const char kEngineAnswerVariable[] = "LV_ENGINE_ANSWER";
const char kAppFile[] = "app.hta";
// Marks which copy of app.hta the handler opened.
const char kInstallCopy[] = "install-copy";
const char kStartCopy[] = "start-copy";
const unsigned kShowMaximized = SW_SHOWMAXIMIZED;
// How long a case waits before it concludes that nothing was started.
const DWORD kSettleMs = 1000;

// The engine fixture's behaviour, or kNotRegistered.
const char kNotRegistered[] = "";

enum class App { kNone, kEmptyTitle, kTitled };
enum class InstallDir { kSet, kMissing, kFillsBuffer };
// Where app.hta lies; the launcher starts in its own folder.
enum class AppFile { kInInstallDir, kInStartDir, kNowhere };
enum class Started { kNothing, kFromInstallDir, kFromStartDir };
// How far the launcher got with the engine.
enum class Calls {
    kNone,        // never loaded
    kCreateFails, // loaded, creation refused
    kNoPath,      // PreOpen and Release, no OpenCatalog
    kAll,         // PreOpen, OpenCatalog with the tail unchanged, Release
};

struct Box {
    const char* text;
    wt::BoxIcon icon;
    std::vector<std::string> buttons;
    int answer;
};

const Box kEngineFailedBox = {kEngineFailedText, wt::BoxIcon::kError, {"OK"}, IDOK};
const Box kQuestionYes = {kLoadDefaultText, wt::BoxIcon::kQuestion, {"&Yes", "&No"}, IDYES};
const Box kQuestionNo = {kLoadDefaultText, wt::BoxIcon::kQuestion, {"&Yes", "&No"}, IDNO};
const Box kStartFailedBox = {kStartFailedText, wt::BoxIcon::kError, {"OK"}, IDOK};

struct LaunchCase {
    const char* name;
    std::string tail;  // what follows the program name and one blank
    const char* engine;
    App app;
    InstallDir installDir;
    AppFile appFile;
    bool htaRegistered;
    // Expected:
    Calls calls;
    std::vector<Box> boxes;
    bool posted;
    Started started;
};

std::ostream& operator<<(std::ostream& out, const LaunchCase& c) { return out << c.name; }

const char kPath[] = "Z:\\catalogs\\family.lvc";
const std::string kQuotedPath = "\"C:\\My Catalogs\\holiday 2004.lvc\"   ";
// The path buffer holds 259 characters and the terminator.
const std::string kLongestPath = "C:\\" + std::string(256, 'a');
const std::string kTooLongPath = kLongestPath + "b";

// Each case: the world (tail, engine answer, running application, InstallDir,
// where app.hta lies, whether ".hta" has a handler), then what must happen.
const LaunchCase kCases[] = {
    // The description's table of paths, row by row.
    {"EmptyTailStartsApp", "", kNotRegistered, App::kNone, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kNone, {}, false, Started::kFromInstallDir},
    {"NoEngineAppRunningPosts", kPath, kNotRegistered, App::kEmptyTitle, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kNone, {kEngineFailedBox}, true, Started::kNothing},
    {"NoEngineStartsApp", kPath, kNotRegistered, App::kNone, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kNone, {kEngineFailedBox}, false, Started::kFromInstallDir},
    {"AcceptedAppRunningPosts", kPath, "accept", App::kEmptyTitle, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kAll, {}, true, Started::kNothing},
    {"AcceptedStartsApp", kPath, "accept", App::kNone, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kAll, {}, false, Started::kFromInstallDir},
    {"DeclinedNoEndsRun", kPath, "decline", App::kEmptyTitle, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kAll, {kQuestionNo}, false, Started::kNothing},
    {"DeclinedNoWithoutAppStartsNothing", kPath, "decline", App::kNone, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kAll, {kQuestionNo}, false, Started::kNothing},
    {"DeclinedYesAppRunningPosts", kPath, "decline", App::kEmptyTitle, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kAll, {kQuestionYes}, true, Started::kNothing},
    {"DeclinedYesStartsApp", kPath, "decline", App::kNone, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kAll, {kQuestionYes}, false, Started::kFromInstallDir},
    // A failing HRESULT declines even with VARIANT_TRUE in the result.
    {"FailedYesStartsApp", kPath, "fail", App::kNone, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kAll, {kQuestionYes}, false, Started::kFromInstallDir},
    {"FailedNoEndsRun", kPath, "fail", App::kEmptyTitle, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kAll, {kQuestionNo}, false, Started::kNothing},

    // The tail.
    {"BlankTailIsEmptyEvenWithAppRunning", "   ", "accept", App::kEmptyTitle, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kNone, {}, false, Started::kFromInstallDir},
    {"QuotedTailWithTrailingBlanksReachesEngine", kQuotedPath, "accept", App::kNone,
     InstallDir::kSet, AppFile::kInInstallDir, true,
     Calls::kAll, {}, false, Started::kFromInstallDir},
    {"LongestFittingTailReachesEngine", kLongestPath, "accept", App::kNone, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kAll, {}, false, Started::kFromInstallDir},
    // Not handed over at all, so the engine can't open a cut-off path.
    {"OverlongTailIsNotHandedAndAsks", kTooLongPath, "accept", App::kNone, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kNoPath, {kQuestionYes}, false, Started::kFromInstallDir},

    // The engine's answer.
    {"SFalseWithTrueIsAccepted", kPath, "sfalse_true", App::kEmptyTitle, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kAll, {}, true, Started::kNothing},
    {"BoolOneIsDeclined", kPath, "bool1", App::kNone, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kAll, {kQuestionYes}, false, Started::kFromInstallDir},
    {"UnwrittenResultIsDeclined", kPath, "unwritten", App::kNone, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kAll, {kQuestionNo}, false, Started::kNothing},
    {"MissingInterfaceIsCreationFailure", kPath, "nointerface", App::kEmptyTitle,
     InstallDir::kSet, AppFile::kInInstallDir, true,
     Calls::kCreateFails, {kEngineFailedBox}, true, Started::kNothing},

    // The running application.
    {"TitledWindowIsNotTheApp", kPath, "accept", App::kTitled, InstallDir::kSet,
     AppFile::kInInstallDir, true,
     Calls::kAll, {}, false, Started::kFromInstallDir},

    // The start of app.hta.
    {"InstallDirMissingStartsFromOwnFolder", "", kNotRegistered, App::kNone,
     InstallDir::kMissing, AppFile::kInStartDir, true,
     Calls::kNone, {}, false, Started::kFromStartDir},
    {"InstallDirFillingBufferIsBounded", "", kNotRegistered, App::kNone,
     InstallDir::kFillsBuffer, AppFile::kInStartDir, true,
     Calls::kNone, {}, false, Started::kFromStartDir},
    {"AppFileMissing", "", kNotRegistered, App::kNone, InstallDir::kSet, AppFile::kNowhere, true,
     Calls::kNone, {kStartFailedBox}, false, Started::kNothing},
    {"NoHandlerForHta", kPath, "accept", App::kNone, InstallDir::kSet, AppFile::kInInstallDir,
     false,
     Calls::kAll, {kStartFailedBox}, false, Started::kNothing},
};

// The second word of each journal line of one fixture, in order.
std::vector<std::string> Events(const wt::Journal& journal, const std::string& who)
{
    std::vector<std::string> events;
    for (const std::string& line : journal.Matching(who + " ")) {
        size_t start = who.size() + 1;
        size_t end = line.find(' ', start);
        events.push_back(line.substr(start, end == std::string::npos ? end : end - start));
    }
    return events;
}

// Position of the first line starting with prefix, or -1.
int LineIndex(const wt::Journal& journal, const std::string& prefix)
{
    std::vector<std::string> lines = journal.Lines();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].compare(0, prefix.size(), prefix) == 0)
            return static_cast<int>(i);
    return -1;
}

// The data of the first line starting with "<who> <event> ".
std::string EventData(const wt::Journal& journal, const std::string& who,
                      const std::string& event)
{
    std::string prefix = who + " " + event + " ";
    std::vector<std::string> lines = journal.Matching(prefix);
    return lines.empty() ? "<none>" : lines[0].substr(prefix.size());
}

bool SameText(const std::string& a, const std::string& b)
{
    return _stricmp(a.c_str(), b.c_str()) == 0;
}

class LaunchPaths : public ::testing::TestWithParam<LaunchCase> {
protected:
    void SetUp() override
    {
        wt::ClearProductRegistry();
        installDir_ = wt::NewScratchDir();
        startDir_ = wt::NewScratchDir();
    }

    void TearDown() override
    {
        if (app_.Running()) {
            PostMessageA(appWindow_, WM_CLOSE, 0, 0);
            app_.WaitExit(wt::kShortWaitMs);
        }
        SetEnvironmentVariableA(kEngineAnswerVariable, nullptr);
        wt::ClearProductRegistry();
    }

    void PrepareWorld(const LaunchCase& c)
    {
        if (c.appFile == AppFile::kInInstallDir)
            ASSERT_TRUE(wt::WriteTextFile(installDir_ + "\\" + kAppFile, kInstallCopy));
        if (c.appFile == AppFile::kInStartDir)
            ASSERT_TRUE(wt::WriteTextFile(startDir_ + "\\" + kAppFile, kStartCopy));
        // A copy in the other folder would hide a start from the wrong one.
        if (c.appFile == AppFile::kInStartDir)
            ASSERT_TRUE(wt::WriteTextFile(installDir_ + "\\" + kAppFile, kInstallCopy));

        if (c.installDir == InstallDir::kSet) {
            ASSERT_TRUE(wt::SetRegString(HKEY_LOCAL_MACHINE, wt::kProductKeyCurrent, "InstallDir",
                                         installDir_));
        } else if (c.installDir == InstallDir::kFillsBuffer) {
            // The install folder padded with "\." to the read's whole limit,
            // with no terminator inside it.
            std::string full = installDir_;
            while (full.size() + 2 <= MAX_PATH)
                full += "\\.";
            full.resize(MAX_PATH, '\\');
            ASSERT_TRUE(wt::SetRegData(HKEY_LOCAL_MACHINE, wt::kProductKeyCurrent, "InstallDir",
                                       REG_SZ, full.data(), MAX_PATH));
        }

        if (*c.engine) {
            std::string key = std::string(wt::kEngineServerKey) + "\\InprocServer32";
            ASSERT_TRUE(wt::SetRegString(HKEY_CLASSES_ROOT, key, nullptr,
                                         wt::FixtureFile("catalog_engine.dll")));
            ASSERT_TRUE(wt::SetRegString(HKEY_CLASSES_ROOT, key, "ThreadingModel", "Apartment"));
            SetEnvironmentVariableA(kEngineAnswerVariable, c.engine);
        }

        ASSERT_TRUE(wt::RegisterHtaHandler(c.htaRegistered));

        if (c.app != App::kNone) {
            std::string line = wt::Quoted(wt::FixtureFile("mainapp.exe"));
            if (c.app == App::kTitled)
                line += " Image Lumi-Vault";
            ASSERT_TRUE(app_.Start(line));
            ASSERT_TRUE(journal_.WaitFor("mainapp ready")) << journal_.Dump();
            appWindow_ = wt::WaitForWindow(app_.Pid(), "EngineWinClass");
            ASSERT_NE(appWindow_, nullptr);
        }
    }

    void AnswerBoxes(const LaunchCase& c)
    {
        for (const Box& expected : c.boxes) {
            wt::MessageBoxInfo box;
            ASSERT_TRUE(wt::WaitForMessageBox(launcher_.Pid(), &box))
                << "no box \"" << expected.text << "\"\n" << journal_.Dump();
            JournalWrite("test", "box", box.text.c_str());
            EXPECT_EQ(box.text, expected.text);
            EXPECT_EQ(box.caption, kCaption);
            EXPECT_EQ(wt::IconName(box.icon), wt::IconName(expected.icon));
            EXPECT_EQ(box.buttons, expected.buttons);
            wt::AnswerMessageBox(box, expected.answer);
            // Wait for this box to go before looking for the next one.
            DWORD start = GetTickCount();
            while (IsWindow(box.window) && GetTickCount() - start < wt::kWaitMs)
                Sleep(20);
        }
    }

    void CheckEngine(const LaunchCase& c)
    {
        std::vector<std::string> expected;
        switch (c.calls) {
        case Calls::kNone: break;
        case Calls::kCreateFails: expected = {"load", "create", "unload"}; break;
        case Calls::kNoPath: expected = {"load", "create", "preopen", "release", "unload"}; break;
        case Calls::kAll:
            expected = {"load", "create", "preopen", "opencatalog", "release", "unload"};
            break;
        }
        EXPECT_EQ(Events(journal_, "engine"), expected) << journal_.Dump();
        if (c.calls == Calls::kNone || c.calls == Calls::kCreateFails)
            return;
        EXPECT_EQ(EventData(journal_, "engine", "preopen"), "1");
        EXPECT_EQ(journal_.Matching("engine release "),
                  std::vector<std::string>{"engine release 0"});
        // COM let go of the engine (CoUninitialize) before the launcher
        // went on, not at the process's end.
        EXPECT_EQ(EventData(journal_, "engine", "unload"), "free");
        if (c.calls == Calls::kAll) {
            std::string expectedCall = "path-vt=8 result-vt=0 result-bool=0 length=" +
                                       std::to_string(c.tail.size()) + " path=" + c.tail;
            EXPECT_EQ(EventData(journal_, "engine", "opencatalog"), expectedCall);
        }
        // The question comes only after the engine is released.
        int question = LineIndex(journal_, "test box " + std::string(kLoadDefaultText));
        if (question >= 0)
            EXPECT_LT(LineIndex(journal_, "engine release"), question) << journal_.Dump();
    }

    void CheckPosted(const LaunchCase& c)
    {
        if (c.app == App::kNone)
            return;
        // Queued behind anything the launcher posted.
        PostMessageA(appWindow_, WM_APP + 1, 0, 0);
        ASSERT_TRUE(journal_.WaitFor("mainapp flush")) << journal_.Dump();
        std::vector<std::string> updates = journal_.Matching("mainapp update ");
        EXPECT_EQ(journal_.Matching("mainapp other-registered").size(), 0u) << journal_.Dump();
        if (!c.posted) {
            EXPECT_EQ(updates.size(), 0u) << journal_.Dump();
            return;
        }
        ASSERT_EQ(updates.size(), 1u) << journal_.Dump();
        EXPECT_EQ(updates[0], "mainapp update posted wparam=0 lparam=0");
        if (*c.engine)
            EXPECT_LT(LineIndex(journal_, "engine unload"), LineIndex(journal_, "mainapp update"));
    }

    void CheckStarted(const LaunchCase& c)
    {
        if (c.started == Started::kNothing) {
            Sleep(kSettleMs);
            EXPECT_EQ(journal_.Matching("hta ").size(), 0u) << journal_.Dump();
            return;
        }
        ASSERT_TRUE(journal_.WaitFor("hta show")) << journal_.Dump();
        EXPECT_EQ(journal_.Matching("hta open").size(), 1u) << journal_.Dump();
        bool fromInstall = c.started == Started::kFromInstallDir;
        const std::string& dir = fromInstall ? installDir_ : startDir_;
        EXPECT_TRUE(SameText(EventData(journal_, "hta", "open"), dir + "\\" + kAppFile))
            << journal_.Dump();
        EXPECT_TRUE(SameText(EventData(journal_, "hta", "cwd"), dir)) << journal_.Dump();
        EXPECT_EQ(EventData(journal_, "hta", "content"), fromInstall ? kInstallCopy : kStartCopy);
        EXPECT_EQ(EventData(journal_, "hta", "show"), std::to_string(kShowMaximized));
        if (*c.engine)
            EXPECT_LT(LineIndex(journal_, "engine unload"), LineIndex(journal_, "hta open"));
    }

    wt::Journal journal_;
    wt::Child app_;
    HWND appWindow_ = nullptr;
    wt::Child launcher_;
    std::string installDir_;
    std::string startDir_;
};

TEST_P(LaunchPaths, Run)
{
    const LaunchCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(PrepareWorld(c));

    std::string line = wt::Quoted(wt::DistFile("launcher.exe")) + " " + c.tail;
    ASSERT_TRUE(launcher_.Start(line, startDir_));
    ASSERT_NO_FATAL_FAILURE(AnswerBoxes(c));
    DWORD code = 99;
    if (!launcher_.WaitExit(wt::kWaitMs, &code)) {
        wt::MessageBoxInfo box;
        if (wt::WaitForMessageBox(launcher_.Pid(), &box, 0))
            FAIL() << "unexpected box \"" << box.text << "\"\n" << journal_.Dump();
        FAIL() << "launcher did not end\n" << journal_.Dump();
    }
    EXPECT_EQ(code, 0u);

    CheckEngine(c);
    CheckPosted(c);
    CheckStarted(c);
}

INSTANTIATE_TEST_SUITE_P(Launcher, LaunchPaths, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LaunchCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
