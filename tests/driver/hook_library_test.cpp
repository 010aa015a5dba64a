// The driver with each shape of hook library beside setupstub: none, all
// three entry points, or one missing. A journaling stand-in records each call
// (and passes it on to the real library), so the calls' order and number
// per run are seen directly.
#include <gtest/gtest.h>

#include "driver_harness.h"

namespace {

using driver::Concat;
using driver::Events;
using driver::kInstalled;
using driver::Pressed;
using Strings = std::vector<std::string>;

const char kInit[] = "shadewin InitHook";
const char kThreadIdWhileSuspended[] = "shadewin GetThreadID suspended";
const char kTerm[] = "shadewin TermHook";

struct HookCase {
    const char* name;
    const char* library;  // fixture copied beside setupstub as shadewin.dll
    Strings beforeRun;    // hook calls before the uninstaller starts
    Strings afterRun;     // hook calls after it has ended
    bool hidden;          // the window is parked whenever it is shown
};

const HookCase kHookCases[] = {
    {"NoLibrary", "", {}, {}, false},
    {"AllEntryPoints", "driver_shadewin.dll", {kInit, kThreadIdWhileSuspended}, {kTerm}, true},
    {"WithoutInitHook", "driver_shadewin_no_init.dll", {kThreadIdWhileSuspended}, {kTerm}, false},
    {"WithoutGetThreadID", "driver_shadewin_no_threadid.dll", {kInit}, {kTerm}, false},
    // No removal: the hook goes when setup's thread ends.
    {"WithoutTermHook", "driver_shadewin_no_term.dll", {kInit, kThreadIdWhileSuspended}, {},
     true},
};

// Cases print as their names (in test lists and failure messages).
void PrintTo(const HookCase& c, std::ostream* out) { *out << c.name; }

class DriverHookLibrary : public driver::DriverTest, public ::testing::WithParamInterface<HookCase> {};

TEST_P(DriverHookLibrary, PressesTheSameButtonsAndHidesOnlyWithAWorkingHook)
{
    const HookCase& c = GetParam();
    driver::PassHookCallsToRealLibrary();
    driver::RegisterCurrent(driver::UninstallerCommand("a"));
    ASSERT_TRUE(setup_.Start(driver::SetupCopy(c.library)));
    ASSERT_TRUE(setup_.ContinueQuestion()) << journal_.Dump();
    DWORD code = 99;
    ASSERT_TRUE(setup_.WaitExitWithoutBox(&code)) << journal_.Dump();
    EXPECT_EQ(code, 0u);

    EXPECT_EQ(Events(journal_), Concat({c.beforeRun, Pressed("a"), c.afterRun, kInstalled}))
        << journal_.Dump();
    std::vector<RECT> rects = driver::ShownRects(journal_, "a");
    ASSERT_EQ(rects.size(), 1u) << journal_.Dump();
    if (c.hidden)
        EXPECT_TRUE(driver::IsParked(rects[0])) << journal_.Dump();
    else
        EXPECT_TRUE(driver::IsOnScreen(rects[0])) << journal_.Dump();
}

INSTANTIATE_TEST_SUITE_P(Table, DriverHookLibrary, ::testing::ValuesIn(kHookCases),
                         [](const ::testing::TestParamInfo<HookCase>& info) {
                             return std::string(info.param.name);
                         });

class DriverHookCalls : public driver::DriverTest {};

TEST_F(DriverHookCalls, OnceEachPerRunOverFourRuns)
{
    driver::PassHookCallsToRealLibrary();
    driver::RegisterBoth(driver::UninstallerCommand("a"), driver::UninstallerCommand("b"));
    ASSERT_TRUE(setup_.Start(driver::SetupCopy("driver_shadewin.dll")));
    ASSERT_TRUE(setup_.ContinueQuestion()) << journal_.Dump();
    ASSERT_TRUE(setup_.ContinueQuestion()) << journal_.Dump();
    DWORD code = 99;
    ASSERT_TRUE(setup_.WaitExitWithoutBox(&code)) << journal_.Dump();
    EXPECT_EQ(code, 0u);

    Strings run;
    for (const char* name : {"a", "b", "a", "b"})
        run = Concat({run, {kInit, kThreadIdWhileSuspended}, Pressed(name), {kTerm}});
    EXPECT_EQ(Events(journal_), Concat({run, kInstalled})) << journal_.Dump();
    for (const char* name : {"a", "b"})
        for (const RECT& rect : driver::ShownRects(journal_, name))
            EXPECT_TRUE(driver::IsParked(rect)) << name << journal_.Dump();
}

TEST_F(DriverHookCalls, UninstallerThatCannotStartRemovesTheHookBeforeTheMessage)
{
    driver::PassHookCallsToRealLibrary();
    std::string missing = wt::NewScratchDir() + "\\gone\\uninstaller.exe";
    driver::RegisterCurrent(wt::Quoted(missing) + " a");
    ASSERT_TRUE(setup_.Start(driver::SetupCopy("driver_shadewin.dll")));
    ASSERT_TRUE(setup_.ContinueQuestion()) << journal_.Dump();

    wt::MessageBoxInfo box;
    ASSERT_TRUE(setup_.NextBox(&box)) << journal_.Dump();
    EXPECT_EQ(box.caption, driver::kSetupCaption);
    EXPECT_EQ(box.text, driver::kNotUninstalledText);
    EXPECT_EQ(box.icon, wt::BoxIcon::kInformation) << wt::IconName(box.icon);
    EXPECT_EQ(box.buttons, Strings{"OK"});
    EXPECT_EQ(Events(journal_), (Strings{kInit, kTerm})) << "while the message is up";

    wt::AnswerMessageBox(box, IDOK);
    DWORD code = 99;
    ASSERT_TRUE(setup_.Process().WaitExit(wt::kWaitMs, &code));
    EXPECT_EQ(code, 0u);
    // TermHook once, and no installer.
    EXPECT_EQ(Events(journal_), (Strings{kInit, kTerm})) << journal_.Dump();
}

}  // namespace
