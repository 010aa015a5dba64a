// setupstub on a machine without a previous installation: the options
// dialog, the installer run and the information page.
#include <gtest/gtest.h>

#include "wine_test.h"

namespace {

const char kDialogTitle[] = "Image Lumi-Vault Setup";

class FreshInstall : public ::testing::Test {
protected:
    void SetUp() override { wt::ClearProductRegistry(); }

    // Starts setupstub with the fixture installer as its tail.
    void StartSetup(const std::string& tail)
    {
        std::string line = wt::Quoted(wt::DistFile("setupstub.exe")) + " " + tail;
        ASSERT_TRUE(setup_.Start(line));
        dialog_ = wt::WaitForWindow(setup_.Pid(), "#32770", kDialogTitle);
        ASSERT_NE(dialog_, nullptr) << "no options dialog";
    }

    wt::Journal journal_;
    wt::Child setup_;
    HWND dialog_ = nullptr;
};

TEST_F(FreshInstall, ContinueRunsTheTailAsInstallerCommandLine)
{
    std::string tail = wt::Quoted(wt::FixtureFile("installer.exe")) + " /S  /D=x ";
    StartSetup(tail);
    EXPECT_EQ(wt::WindowText(wt::Item(dialog_, 1061)), "Setup options");
    wt::Click(wt::Item(dialog_, 1034));
    DWORD code = 99;
    ASSERT_TRUE(setup_.WaitExit(wt::kWaitMs, &code)) << journal_.Dump();
    EXPECT_EQ(code, 0u);
    auto starts = journal_.Matching("installer start ");
    ASSERT_EQ(starts.size(), 1u) << journal_.Dump();
    EXPECT_EQ(starts[0], "installer start " + tail);
}

}  // namespace
