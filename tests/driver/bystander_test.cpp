// The driver presses buttons only inside the uninstaller it started: with
// other programs' dialogs and buttons on the desktop, and uninstallers that
// give it no window or no visible dialog to search, nothing else is pressed.
#include <gtest/gtest.h>

#include "driver_harness.h"

namespace {

using driver::Concat;
using driver::kInstalled;
using driver::Pressed;
using Strings = std::vector<std::string>;

// Bystanders live longer than any setup run here and are killed at the end.
const char kBystanderLife[] = "--timeout 40000";
// An uninstaller that is never pressed ends by itself after this long.
const char kUnpressedLife[] = "--timeout 2000";

Strings Unpressed(const std::string& name)
{
    std::string who = "uninstaller " + name + " ";
    return {who + "start", who + "timeout", who + "end"};
}

struct BystanderCase {
    const char* name;
    const char* currentOptions;
    const char* formerOptions;  // nullptr: no former product
    Strings expected;           // the uninstallers' events, then the installer's
};

const BystanderCase kBystanderCases[] = {
    {"UninstallerWithItsWindow", "", nullptr, Concat({Pressed("a"), kInstalled})},
    // No "{" window: nothing to walk, so nothing is pressed at all.
    {"UninstallerWithoutBraceWindow", "--no-window", nullptr,
     Concat({Unpressed("a"), kInstalled})},
    {"UninstallerWithOnlyATopLevelDialog", "--top-dialog", nullptr,
     Concat({Unpressed("a"), kInstalled})},
    // A "{" window without a visible dialog: no dialog to search buttons in.
    {"UninstallerWithHiddenDialog", "--hidden-dialog", nullptr,
     Concat({Unpressed("a"), kInstalled})},
    // The second run finds no "{" window; the first run's window is gone.
    {"SecondUninstallerWithoutBraceWindow", "", "--no-window",
     Concat({Pressed("a"), Unpressed("b"), kInstalled})},
};

// Cases print as their names (in test lists and failure messages).
void PrintTo(const BystanderCase& c, std::ostream* out) { *out << c.name; }

class DriverBystanders : public driver::DriverTest,
                   public ::testing::WithParamInterface<BystanderCase> {
protected:
    // Another program with a top-level dialog holding "&Continue" and
    // "&Close", and one with top-level buttons of those names.
    void StartBystanders()
    {
        ASSERT_TRUE(dialog_.Start(
            driver::UninstallerCommand("bystander", std::string("--top-dialog ") + kBystanderLife)));
        ASSERT_TRUE(buttons_.Start(
            driver::UninstallerCommand("strays", std::string("--top-buttons ") + kBystanderLife)));
        ASSERT_NE(wt::WaitForWindow(dialog_.Pid(), "#32770"), nullptr);
        ASSERT_NE(wt::WaitForWindow(buttons_.Pid(), "Button"), nullptr);
    }

    // Events of the programs setup ran, without the bystanders'.
    Strings RunEvents() const
    {
        Strings events;
        for (const std::string& event : driver::Events(journal_))
            if (event.rfind("uninstaller bystander ", 0) != 0 &&
                event.rfind("uninstaller strays ", 0) != 0)
                events.push_back(event);
        return events;
    }

    wt::Child dialog_;
    wt::Child buttons_;
};

std::string Options(const char* options)
{
    return std::string(options) + (*options ? " " : "") + kUnpressedLife;
}

TEST_P(DriverBystanders, AreNeverPressed)
{
    const BystanderCase& c = GetParam();
    StartBystanders();
    driver::RegisterCurrent(
        driver::UninstallerCommand("a", Options(c.currentOptions)),
        c.formerOptions ? driver::UninstallerCommand("b", Options(c.formerOptions)) : "");
    ASSERT_TRUE(setup_.Start());
    ASSERT_TRUE(setup_.ContinueQuestion()) << journal_.Dump();
    DWORD code = 99;
    ASSERT_TRUE(setup_.WaitExitWithoutBox(&code)) << journal_.Dump();
    EXPECT_EQ(code, 0u);

    EXPECT_EQ(RunEvents(), c.expected) << journal_.Dump();
    EXPECT_EQ(journal_.Matching("uninstaller bystander "),
              Strings{"uninstaller bystander start"});
    EXPECT_EQ(journal_.Matching("uninstaller strays "), Strings{"uninstaller strays start"});
}

INSTANTIATE_TEST_SUITE_P(Table, DriverBystanders, ::testing::ValuesIn(kBystanderCases),
                         [](const ::testing::TestParamInfo<BystanderCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
