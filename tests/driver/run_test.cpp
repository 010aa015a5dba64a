// One uninstall run through setupstub with the shipped hook library: the
// window kept off screen, the two presses, the wait for the end, the
// expansion of the command, and several runs in a row.
#include <gtest/gtest.h>

#include <sstream>

#include "driver_harness.h"

namespace {

using driver::Concat;
using driver::Events;
using driver::kInstalled;
using driver::Pressed;

class DriverRun : public driver::DriverTest {
protected:
    // Runs setup through the given number of questions to its end.
    void RunSetup(int questions = 1)
    {
        ASSERT_TRUE(setup_.Start());
        for (int i = 0; i < questions; ++i)
            ASSERT_TRUE(setup_.ContinueQuestion()) << "no question " << i + 1 << journal_.Dump();
        DWORD code = 99;
        wt::MessageBoxInfo box;
        ASSERT_TRUE(setup_.WaitExitWithoutBox(&code, &box))
            << "message box: " << box.text << "\n" << journal_.Dump();
        EXPECT_EQ(code, 0u);
    }

    // Every show of the window happened off screen.
    void ExpectParkedWhenShown(const std::string& name, size_t shows)
    {
        std::vector<RECT> rects = driver::ShownRects(journal_, name);
        EXPECT_EQ(rects.size(), shows) << journal_.Dump();
        for (const RECT& rect : rects)
            EXPECT_TRUE(driver::IsParked(rect))
                << name << " shown at " << rect.left << "," << rect.top << journal_.Dump();
    }
};

// The uninstaller's own events with the window's shows, in order.
std::vector<std::string> OwnEvents(const wt::Journal& journal, const std::string& name)
{
    std::vector<std::string> events;
    for (const std::string& line : journal.Matching("uninstaller " + name + " ")) {
        std::istringstream words(line);
        std::string skip, event;
        words >> skip >> skip >> event;
        events.push_back(event);
    }
    return events;
}

TEST_F(DriverRun, KeepsTheWindowOffScreenWheneverShownAndPressesContinueThenClose)
{
    // The window hides and comes back on screen after "&Continue", as a
    // wizard changing pages: it must be parked again.
    driver::RegisterCurrent(driver::UninstallerCommand("a", "--reshow-on-continue"));
    RunSetup();
    EXPECT_EQ(Events(journal_), Concat({Pressed("a"), kInstalled})) << journal_.Dump();
    EXPECT_EQ(OwnEvents(journal_, "a"),
              (std::vector<std::string>{"start", "shown", "continue", "hidden", "shown", "close",
                                        "end"}));
    ExpectParkedWhenShown("a", 2);
}

TEST_F(DriverRun, ReturnsOnlyAfterTheUninstallerHasEnded)
{
    driver::RegisterCurrent(driver::UninstallerCommand("a", "--slow-end 1500"));
    RunSetup();
    // The installer starts only after the uninstaller's end.
    EXPECT_EQ(Events(journal_), Concat({Pressed("a"), kInstalled})) << journal_.Dump();
}

TEST_F(DriverRun, ExpandsEnvironmentReferencesInTheCommand)
{
    // setupstub inherits these from the test.
    SetEnvironmentVariableA("LV_FIXTURES", wt::FixtureDir().c_str());
    SetEnvironmentVariableA("LV_UNINSTALL_NAME", "expanded");
    driver::RegisterCurrent("\"%LV_FIXTURES%\\uninstaller.exe\" %LV_UNINSTALL_NAME%");
    RunSetup();
    EXPECT_EQ(Events(journal_), Concat({Pressed("expanded"), kInstalled})) << journal_.Dump();
}

TEST_F(DriverRun, LateContinueIsNotPressedButCloseIs)
{
    driver::RegisterCurrent(driver::UninstallerCommand("a", "--late-continue"));
    RunSetup();
    EXPECT_EQ(Events(journal_), Concat({{"uninstaller a start", "uninstaller a close",
                                         "uninstaller a end"},
                                        kInstalled}))
        << journal_.Dump();
    ExpectParkedWhenShown("a", 1);
}

TEST_F(DriverRun, RunsInARowEachWithItsWindowHiddenAndNoHookLeftAfterwards)
{
    // Two questions, each running both commands: four runs.
    driver::RegisterBoth(driver::UninstallerCommand("a"), driver::UninstallerCommand("b"));
    RunSetup(2);
    EXPECT_EQ(Events(journal_),
              Concat({Pressed("a"), Pressed("b"), Pressed("a"), Pressed("b"), kInstalled}))
        << journal_.Dump();
    ExpectParkedWhenShown("a", 2);
    ExpectParkedWhenShown("b", 2);

    // Setup has ended: a new "{" window stays where it is put.
    wt::Child after;
    ASSERT_TRUE(after.Start(driver::UninstallerCommand("after", "--timeout 5000")));
    ASSERT_TRUE(journal_.WaitFor("uninstaller after shown ")) << journal_.Dump();
    std::vector<RECT> rects = driver::ShownRects(journal_, "after");
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_TRUE(driver::IsOnScreen(rects[0])) << journal_.Dump();
}

}  // namespace
