// shadewin's hook at work across processes: the test process loads the real
// library, a fixture target creates, shows and hides windows, and a fixture
// control process calls the exports from a process of its own.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "wine_test.h"

namespace {

typedef BOOL(WINAPI* InitHookProc)(void);
typedef BOOL(WINAPI* TermHookProc)(void);
typedef DWORD(WINAPI* GetThreadIdProc)(const PROCESS_INFORMATION*);

// Where the hook parks the target window, and the size it gives it. The
// fixture's windows accept any size, so the system reports 0 by 0 here.
const LONG kParkedLeft = -1000;
const LONG kParkedTop = -1000;
const LONG kParkedWidth = 0;
const LONG kParkedHeight = 0;

// A window's place as the target journaled it at one moment.
struct Sighting {
    // created, placed (back where it was created), wndproc-show,
    // wndproc-hide, after-show, after-hide
    std::string phase;
    std::string className;
    LONG x = 0, y = 0, width = 0, height = 0;
};

std::string Describe(const Sighting& s)
{
    std::ostringstream out;
    out << s.phase << " " << s.className << " at (" << s.x << "," << s.y << ") " << s.width
        << "x" << s.height;
    return out.str();
}

// One run of the fixture target, started suspended as setup starts an
// uninstaller: the test does its hook calls, then lets it run to its end.
class TargetRun {
public:
    explicit TargetRun(const wt::Journal& journal) : journal_(journal) {}

    void Start(const std::vector<std::string>& steps)
    {
        firstLine_ = journal_.Lines().size();
        std::string line = wt::Quoted(wt::FixtureFile("hook_target.exe"));
        for (const std::string& step : steps)
            line += " " + step;
        ASSERT_TRUE(child_.Start(line, "", CREATE_SUSPENDED)) << line;
    }

    const PROCESS_INFORMATION& Info() const { return child_.Info(); }

    void Resume() { ASSERT_NE(ResumeThread(child_.Info().hThread), static_cast<DWORD>(-1)); }

    // Waits for the end and reads what the target journaled.
    void Finish()
    {
        ASSERT_TRUE(child_.WaitExit(wt::kWaitMs)) << journal_.Dump();
        std::vector<std::string> lines = journal_.Lines();
        bool ended = false;
        for (size_t i = firstLine_; i < lines.size(); ++i) {
            std::istringstream in(lines[i]);
            std::string who, phase;
            in >> who >> phase;
            if (who != "target")
                continue;
            ended = ended || phase == "end";
            ASSERT_TRUE(phase != "bad-step" && phase != "create-failed" &&
                        phase != "no-window" && phase != "step-timeout" &&
                        phase != "wait-timeout" && phase != "no-second-thread")
                << lines[i];
            Sighting s;
            s.phase = phase;
            if (phase == "created" || phase == "placed" || phase.rfind("wndproc-", 0) == 0 ||
                phase.rfind("after-", 0) == 0) {
                in >> s.className >> s.x >> s.y >> s.width >> s.height;
                ASSERT_FALSE(in.fail()) << lines[i];
                sightings_.push_back(s);
            }
        }
        ASSERT_TRUE(ended) << journal_.Dump();
    }

    // Start, resume and finish with no hook calls in between.
    void Run(const std::vector<std::string>& steps)
    {
        Start(steps);
        Resume();
        Finish();
    }

    const std::vector<Sighting>& Sightings() const { return sightings_; }

private:
    const wt::Journal& journal_;
    wt::Child child_;
    size_t firstLine_ = 0;
    std::vector<Sighting> sightings_;
};

bool IsShowPhase(const std::string& phase)
{
    return phase.rfind("wndproc-", 0) == 0 || phase.rfind("after-", 0) == 0;
}

// Every WM_SHOWWINDOW of the window, as its procedure saw it and after
// ShowWindow returned, found it parked off screen. The steps put it back
// between shows ("place:"), so each show has to park it anew.
void ExpectParkedOnEveryShow(const TargetRun& run, const std::string& className)
{
    int seenByProcedure = 0;
    for (const Sighting& s : run.Sightings()) {
        if (s.className != className)
            continue;
        if (s.phase == "placed")
            EXPECT_NE(s.x, kParkedLeft) << "could not put it back: " << Describe(s);
        if (!IsShowPhase(s.phase))
            continue;
        if (s.phase.rfind("wndproc-", 0) == 0)
            ++seenByProcedure;
        EXPECT_TRUE(s.x == kParkedLeft && s.y == kParkedTop && s.width == kParkedWidth &&
                    s.height == kParkedHeight)
            << "not parked: " << Describe(s);
    }
    EXPECT_GT(seenByProcedure, 0) << className << " was never sent WM_SHOWWINDOW";
}

// The window stayed where it was created through all its shows and hides.
void ExpectNeverMoved(const TargetRun& run, const std::string& className)
{
    const Sighting* created = nullptr;
    int shows = 0;
    for (const Sighting& s : run.Sightings()) {
        if (s.className != className)
            continue;
        if (s.phase == "created") {
            created = &s;
            continue;
        }
        ASSERT_NE(created, nullptr) << className << " shown before it was created";
        ++shows;
        EXPECT_TRUE(s.x == created->x && s.y == created->y && s.width == created->width &&
                    s.height == created->height)
            << "moved: " << Describe(s) << ", created as " << Describe(*created);
    }
    EXPECT_GT(shows, 0) << className << " was never shown";
}

// A "{" window shown, put back, hidden, put back and shown again.
const std::vector<std::string> kShowAndHide = {"create:{A", "show:{A", "place:{A", "hide:{A",
                                               "place:{A", "show:{A"};

class HookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        library_ = LoadLibraryA(wt::DistFile("shadewin.dll").c_str());
        ASSERT_NE(library_, nullptr) << wt::DistFile("shadewin.dll");
        initHook_ = reinterpret_cast<InitHookProc>(GetProcAddress(library_, "InitHook"));
        termHook_ = reinterpret_cast<TermHookProc>(GetProcAddress(library_, "TermHook"));
        getThreadId_ = reinterpret_cast<GetThreadIdProc>(GetProcAddress(library_, "GetThreadID"));
        ASSERT_TRUE(initHook_ && termHook_ && getThreadId_);
        // The shared record outlives this process while any other process
        // (one the window manager injected the library into) still maps
        // it: start every test without a hook handle and without a target.
        ResetSharedRecord();
    }

    void TearDown() override
    {
        if (library_) {
            ResetSharedRecord();
            FreeLibrary(library_);
        }
    }

    void ResetSharedRecord()
    {
        termHook_();
        PROCESS_INFORMATION none = {};
        getThreadId_(&none);
    }

    // Hands the target to the hook as setup does, checking the result.
    void SetTarget(const TargetRun& run)
    {
        EXPECT_EQ(getThreadId_(&run.Info()), run.Info().dwThreadId);
    }

    // The order setup follows: hook, start suspended, target, resume.
    void RunHooked(TargetRun* run, const std::vector<std::string>& steps)
    {
        EXPECT_EQ(initHook_(), 1);
        run->Start(steps);
        if (HasFatalFailure())
            return;
        SetTarget(*run);
        run->Resume();
        run->Finish();
    }

    // A targeted run after the hook was removed: nothing may be parked.
    void ExpectNoHookLeft()
    {
        TargetRun run(journal_);
        run.Start(kShowAndHide);
        ASSERT_FALSE(HasFatalFailure());
        SetTarget(run);
        run.Resume();
        run.Finish();
        ASSERT_FALSE(HasFatalFailure());
        ExpectNeverMoved(run, "{A");
    }

    HMODULE library_ = nullptr;
    InitHookProc initHook_ = nullptr;
    TermHookProc termHook_ = nullptr;
    GetThreadIdProc getThreadId_ = nullptr;
    wt::Journal journal_;
};

// ---- Which windows are parked ----------------------------------------------

struct WindowCase {
    const char* name;
    std::vector<std::string> steps;
    std::vector<std::string> parked;  // on every WM_SHOWWINDOW
    std::vector<std::string> kept;    // never moved
};

const WindowCase kWindowCases[] = {
    {"ShownAndHiddenAgain",
     {"create:{A", "show:{A", "place:{A", "hide:{A", "place:{A", "show:{A", "place:{A",
      "hide:{A"},
     {"{A"},
     {}},
    {"OnlyTheNewestOfSeveral",
     {"create:{A", "create:{B", "create:{C", "show:{A", "hide:{A", "show:{B", "show:{C",
      "place:{C", "hide:{C"},
     {"{C"},
     {"{A", "{B"}},
    {"NotInAnotherThreadOfTheTarget",
     {"create:{A", "t2/create:{B", "t2/show:{B", "t2/hide:{B", "show:{A", "place:{A",
      "hide:{A"},
     {"{A"},
     {"{B"}},
    {"NotOtherClasses",
     {"create:{A", "create:Plain", "create:x{", "show:Plain", "hide:Plain", "show:x{",
      "show:{A", "place:{A", "hide:{A"},
     {"{A"},
     {"Plain", "x{"}},
    {"NotAClassGivenAsAtom",
     {"create:{A", "atom:{Atom", "show:{Atom", "hide:{Atom", "show:{A"},
     {"{A"},
     {"{Atom"}},
};

void PrintTo(const WindowCase& c, std::ostream* out) { *out << c.name; }

class WindowChoice : public HookTest, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(WindowChoice, ParksOnlyTheTargetThreadsNewestBraceWindow)
{
    const WindowCase& c = GetParam();
    TargetRun run(journal_);
    RunHooked(&run, c.steps);
    ASSERT_FALSE(HasFatalFailure());
    for (const std::string& name : c.parked)
        ExpectParkedOnEveryShow(run, name);
    for (const std::string& name : c.kept)
        ExpectNeverMoved(run, name);
}

INSTANTIATE_TEST_SUITE_P(Hook, WindowChoice, ::testing::ValuesIn(kWindowCases),
                         [](const ::testing::TestParamInfo<WindowCase>& info) {
                             return std::string(info.param.name);
                         });

// ---- Order of calls and the hook's life ------------------------------------

TEST_F(HookTest, TargetStoredBeforeInitHookTakesEffectWithTheHook)
{
    TargetRun run(journal_);
    run.Start(kShowAndHide);
    ASSERT_FALSE(HasFatalFailure());
    SetTarget(run);
    EXPECT_EQ(initHook_(), 1);
    run.Resume();
    run.Finish();
    ASSERT_FALSE(HasFatalFailure());
    ExpectParkedOnEveryShow(run, "{A");
}

TEST_F(HookTest, NothingMovesWithoutATarget)
{
    EXPECT_EQ(initHook_(), 1);
    TargetRun run(journal_);
    run.Run(kShowAndHide);
    ASSERT_FALSE(HasFatalFailure());
    ExpectNeverMoved(run, "{A");
}

TEST_F(HookTest, TermHookWithoutAHookReturnsZero)
{
    EXPECT_EQ(termHook_(), 0);
    EXPECT_EQ(termHook_(), 0);
}

TEST_F(HookTest, NothingMovesAfterTermHook)
{
    EXPECT_EQ(initHook_(), 1);
    EXPECT_NE(termHook_(), 0);
    EXPECT_EQ(termHook_(), 0);
    ExpectNoHookLeft();
}

// A second InitHook must not install a second hook that the single
// TermHook would leave behind.
TEST_F(HookTest, InitHookTwiceInstallsOneHookThatOneTermHookRemoves)
{
    EXPECT_EQ(initHook_(), 1);
    EXPECT_EQ(initHook_(), 1);
    EXPECT_NE(termHook_(), 0);
    EXPECT_EQ(termHook_(), 0);
    ExpectNoHookLeft();
}

TEST_F(HookTest, HookCanBeInstalledAgainAfterTermHook)
{
    EXPECT_EQ(initHook_(), 1);
    EXPECT_NE(termHook_(), 0);
    TargetRun run(journal_);
    RunHooked(&run, kShowAndHide);
    ASSERT_FALSE(HasFatalFailure());
    ExpectParkedOnEveryShow(run, "{A");
}

// TermHook and a new InitHook leave the target and its remembered window
// in force: the window created before is parked by the new hook.
TEST_F(HookTest, TargetAndWindowOutliveTermHookAndNewInitHook)
{
    const char kEvent[] = "hook_test_rehooked";
    HANDLE rehooked = CreateEventA(nullptr, TRUE, FALSE, kEvent);
    ASSERT_NE(rehooked, nullptr);
    TargetRun run(journal_);
    EXPECT_EQ(initHook_(), 1);
    run.Start({"create:{A", "show:{A", "place:{A", std::string("wait:") + kEvent, "hide:{A",
               "place:{A", "show:{A"});
    ASSERT_FALSE(HasFatalFailure());
    SetTarget(run);
    run.Resume();
    ASSERT_TRUE(journal_.WaitFor(std::string("target waiting ") + kEvent)) << journal_.Dump();
    EXPECT_NE(termHook_(), 0);
    EXPECT_EQ(initHook_(), 1);
    SetEvent(rehooked);
    run.Finish();
    CloseHandle(rehooked);
    ASSERT_FALSE(HasFatalFailure());
    ExpectParkedOnEveryShow(run, "{A");
    int hidesAfterRehook = 0;
    for (const Sighting& s : run.Sightings())
        hidesAfterRehook += s.className == "{A" && s.phase == "wndproc-hide";
    EXPECT_EQ(hidesAfterRehook, 1);
}

// ---- One record for all processes ------------------------------------------

// Runs the control fixture with its steps to its end.
void RunControl(const std::vector<std::string>& steps, wt::Child* control)
{
    std::string line = wt::Quoted(wt::FixtureFile("hook_control.exe")) + " " +
                       wt::Quoted(wt::DistFile("shadewin.dll"));
    for (const std::string& step : steps)
        line += " " + step;
    ASSERT_TRUE(control->Start(line)) << line;
}

TEST_F(HookTest, TargetStoredByAnotherProcessIsSeenByTheHook)
{
    EXPECT_EQ(initHook_(), 1);
    TargetRun run(journal_);
    run.Start(kShowAndHide);
    ASSERT_FALSE(HasFatalFailure());
    std::string tid = std::to_string(run.Info().dwThreadId);
    wt::Child control;
    RunControl({"target:" + tid}, &control);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(control.WaitExit(wt::kWaitMs)) << journal_.Dump();
    EXPECT_EQ(journal_.Matching("control GetThreadID "),
              std::vector<std::string>{"control GetThreadID " + tid});
    run.Resume();
    run.Finish();
    ASSERT_FALSE(HasFatalFailure());
    ExpectParkedOnEveryShow(run, "{A");
}

// The control process installs the hook; this process stores the target,
// cannot install a second hook, and removes the other process's hook.
TEST_F(HookTest, HookHandleIsSharedWithAnotherProcess)
{
    const char kEvent[] = "hook_test_control_may_end";
    HANDLE mayEnd = CreateEventA(nullptr, TRUE, FALSE, kEvent);
    ASSERT_NE(mayEnd, nullptr);
    wt::Child control;
    RunControl({"init", std::string("wait:") + kEvent, "term"}, &control);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(journal_.WaitFor("control InitHook 1")) << journal_.Dump();

    TargetRun hooked(journal_);
    hooked.Start(kShowAndHide);
    ASSERT_FALSE(HasFatalFailure());
    SetTarget(hooked);
    hooked.Resume();
    hooked.Finish();
    ASSERT_FALSE(HasFatalFailure());
    ExpectParkedOnEveryShow(hooked, "{A");

    EXPECT_EQ(initHook_(), 1);
    EXPECT_NE(termHook_(), 0);
    SetEvent(mayEnd);
    ASSERT_TRUE(control.WaitExit(wt::kWaitMs)) << journal_.Dump();
    CloseHandle(mayEnd);
    EXPECT_EQ(journal_.Matching("control TermHook "),
              std::vector<std::string>{"control TermHook 0"});

    TargetRun unhooked(journal_);
    unhooked.Start(kShowAndHide);
    ASSERT_FALSE(HasFatalFailure());
    SetTarget(unhooked);
    unhooked.Resume();
    unhooked.Finish();
    ASSERT_FALSE(HasFatalFailure());
    ExpectNeverMoved(unhooked, "{A");
}

}  // namespace
