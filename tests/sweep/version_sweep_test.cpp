// Hostile version resources: empty, odd-length, one-character and
// over-long FILEVERSION texts in the product library.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "records.h"
#include "sweep_support.h"
#include "upgrade_scenario.h"
#include "wine_test.h"

namespace {

const char kSubBlock[] = "StringFileInfo\\040904b0\\FILEVERSION";
const char kOwnVersion[] = "2, 00, 1, 1";

// The crestmk fixture variants and the texts their resources hold.
struct VersionCase {
    const char* variant;
    std::string text;
};

const VersionCase kVersions[] = {
    {"empty", ""},
    {"one", "7"},
    {"odd", "2, 00, 1"},
    {"long300", std::string(300, '9')},
    {"long2000", std::string(2000, '1')},
};

void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.variant; }

std::string Library(const char* variant)
{
    return wt::FixtureFile(("crestmk_" + std::string(variant) + ".dll").c_str());
}

// What the version functions report for the text: its characters up to
// the reported length (terminator counted in it), or "" when none.
std::string ReportedText(const std::string& path, UINT* reportedLength)
{
    *reportedLength = 0;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (!size)
        return "";
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        return "";
    char* text = nullptr;
    if (!VerQueryValueA(block.data(), kSubBlock, reinterpret_cast<void**>(&text), reportedLength) ||
        !text || *reportedLength == 0)
        return "";
    return std::string(text, strnlen(text, *reportedLength - 1));
}

class VersionTexts : public ::testing::TestWithParam<VersionCase> {};

// The version text is a prefix of what the resource holds, bounded by the
// length the system reports.
TEST_P(VersionTexts, ReadFileVersionGivesTheStoredTextBoundedByItsLength)
{
    const VersionCase& c = GetParam();
    std::string path = Library(c.variant);
    ASSERT_TRUE(wt::FileExists(path)) << path;
    UINT reported = 0;
    std::string expected = ReportedText(path, &reported);
    const char* version = ReadFileVersion(path.c_str());
    ASSERT_NE(version, nullptr);
    std::string got(version);
    std::printf("%s: stored %zu characters, reported length %u, read %zu\n", c.variant,
                c.text.size(), reported, got.size());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(c.text.compare(0, got.size(), got), 0) << "not a prefix of the stored text";
    if (reported > 0)
        EXPECT_LE(got.size(), reported - 1u);
}

INSTANTIATE_TEST_SUITE_P(Sweep, VersionTexts, ::testing::ValuesIn(kVersions),
                         [](const ::testing::TestParamInfo<VersionCase>& info) {
                             return std::string(info.param.variant);
                         });

// End to end: the question for each text is the one its string order
// with setup's own version asks for.
class VersionQuestion : public ::testing::TestWithParam<VersionCase> {
protected:
    void SetUp() override { wt::ClearProductRegistry(); }
    void TearDown() override
    {
        run_.Process().Kill();
        wt::ClearProductRegistry();
        wt::DeleteRegTree(HKEY_LOCAL_MACHINE, "Software\\Quorvane");
    }
    wt::Journal journal_;
    upgrade::SetupRun run_;
};

TEST_P(VersionQuestion, AsksAsTheStringOrderRanksIt)
{
    const VersionCase& c = GetParam();
    upgrade::Installation installation;
    installation.uninstallerName = "v";
    installation.library = c.variant;
    upgrade::Register(upgrade::kCurrentProduct, &installation);

    const char* installed = ReadFileVersion((installation.installDir + "\\crestmk.dll").c_str());
    ASSERT_NE(installed, nullptr);
    int order = lstrcmpA(kOwnVersion, installed);
    const char* expected = order < 0   ? upgrade::kMessageNewer
                           : order > 0 ? upgrade::kMessageOlder
                                       : upgrade::kMessageSame;

    ASSERT_TRUE(run_.Start(upgrade::InstallerTail()));
    upgrade::OptionsDialog dialog;
    ASSERT_TRUE(run_.NextDialog(&dialog)) << journal_.Dump();
    EXPECT_EQ(dialog.heading, upgrade::kHeadingUpgrade);
    EXPECT_EQ(dialog.message, expected) << c.variant << " ranks " << order;
    run_.Exit(dialog);
    DWORD code = 99;
    ASSERT_TRUE(run_.WaitExit(&code));
    EXPECT_EQ(code, 0u);
}

INSTANTIATE_TEST_SUITE_P(Sweep, VersionQuestion, ::testing::ValuesIn(kVersions),
                         [](const ::testing::TestParamInfo<VersionCase>& info) {
                             return std::string(info.param.variant);
                         });

}  // namespace
