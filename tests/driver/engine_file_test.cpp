// The wait for the catalog engine's server file before each uninstall: the
// Retry/Cancel question while the file is held open, and the registrations
// that lead to no check at all or to one "Error" message.
#include <gtest/gtest.h>

#include "driver_harness.h"

namespace {

using driver::Concat;
using driver::Events;
using driver::kInstalled;
using driver::Pressed;
using Strings = std::vector<std::string>;

const std::string kServerKey = std::string(wt::kEngineServerKey) + "\\InprocServer32";
const size_t kPathBufferSize = 1024;

void RegisterServerPath(const std::string& path)
{
    wt::SetRegString(HKEY_CLASSES_ROOT, kServerKey, nullptr, path);
}

// A file under a new folder; returns its path.
std::string NewFile(const char* name)
{
    std::string path = wt::NewScratchDir() + "\\" + name;
    wt::WriteTextFile(path, "MZ");
    return path;
}

class DriverEngineFile : public driver::DriverTest {
protected:
    // Starts the holder on a file and waits until it holds it.
    void Hold(const std::string& path)
    {
        // The holder takes its whole tail as the path, quotes and all.
        ASSERT_TRUE(holder_.Start(wt::Quoted(wt::FixtureFile("file_holder.exe")) + " " + path));
        ASSERT_TRUE(journal_.WaitFor("holder opened")) << journal_.Dump();
    }

    void StartSetup(const std::string& exePath = "")
    {
        driver::RegisterCurrent(driver::UninstallerCommand("a"));
        ASSERT_TRUE(setup_.Start(exePath));
        ASSERT_TRUE(setup_.ContinueQuestion()) << journal_.Dump();
    }

    // Waits for the files-in-use question and checks it.
    void ExpectFilesInUseQuestion(wt::MessageBoxInfo* box, HWND previous = nullptr)
    {
        ASSERT_TRUE(setup_.NextBox(box, previous)) << journal_.Dump();
        EXPECT_EQ(box->caption, driver::kSetupCaption);
        EXPECT_EQ(box->text, driver::kFilesInUseText);
        EXPECT_EQ(box->icon, wt::BoxIcon::kError) << wt::IconName(box->icon);
        EXPECT_EQ(box->buttons, (Strings{"&Retry", "Cancel"}));
    }

    wt::Child holder_;
};

TEST_F(DriverEngineFile, HeldOpenAsksAgainAfterEachRetryAndGoesOnOnceReleased)
{
    std::string server = NewFile("engine.dll");
    RegisterServerPath(server);
    Hold(server);
    StartSetup();

    wt::MessageBoxInfo box;
    ExpectFilesInUseQuestion(&box);
    for (int retry = 0; retry < 2; ++retry) {
        HWND previous = box.window;
        wt::AnswerMessageBox(box, IDRETRY);
        ExpectFilesInUseQuestion(&box, previous);
    }
    EXPECT_EQ(Events(journal_), Strings{}) << "nothing runs while the file is held";

    holder_.Kill();
    wt::AnswerMessageBox(box, IDRETRY);
    DWORD code = 99;
    ASSERT_TRUE(setup_.WaitExitWithoutBox(&code)) << journal_.Dump();
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(Events(journal_), Concat({Pressed("a"), kInstalled})) << journal_.Dump();
}

TEST_F(DriverEngineFile, CancelEndsSetupBeforeAnyHookUninstallerOrInstaller)
{
    std::string server = NewFile("engine.dll");
    RegisterServerPath(server);
    Hold(server);
    driver::PassHookCallsToRealLibrary();
    StartSetup(driver::SetupCopy("driver_shadewin.dll"));

    wt::MessageBoxInfo box;
    ExpectFilesInUseQuestion(&box);
    wt::AnswerMessageBox(box, IDCANCEL);
    DWORD code = 99;
    ASSERT_TRUE(setup_.Process().WaitExit(wt::kWaitMs, &code)) << journal_.Dump();
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(Events(journal_), Strings{}) << journal_.Dump();
}

// Registrations of the engine that lead to no check (no message) or to one
// "Error" message with the system's text for the registry's error code.
struct RegistrationCase {
    const char* name;
    void (*registerEngine)();
    DWORD errorCode;  // 0: no message at all
};

void NotRegistered() {}

void KeyWithoutDefaultValue()
{
    wt::SetRegString(HKEY_CLASSES_ROOT, kServerKey, "ThreadingModel", "Apartment");
}

void PathLongerThanTheBuffer()
{
    RegisterServerPath("C:\\" + std::string(kPathBufferSize + 200, 'x') + ".dll");
}

// Exactly the buffer's size and no zero byte: read without running past it.
void PathFillingTheBufferUnterminated()
{
    std::string data(kPathBufferSize, 'y');
    wt::SetRegData(HKEY_CLASSES_ROOT, kServerKey, nullptr, REG_BINARY, data.data(),
                   static_cast<DWORD>(data.size()));
}

void MissingFile() { RegisterServerPath(wt::NewScratchDir() + "\\absent.dll"); }

// Opening for writing fails for a reason other than sharing.
void ReadOnlyFile()
{
    std::string path = NewFile("engine.dll");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    RegisterServerPath(path);
}

const RegistrationCase kRegistrationCases[] = {
    {"NotRegistered", NotRegistered, 0},
    {"KeyWithoutDefaultValue", KeyWithoutDefaultValue, ERROR_FILE_NOT_FOUND},
    {"PathLongerThanTheBuffer", PathLongerThanTheBuffer, ERROR_MORE_DATA},
    {"PathFillingTheBufferUnterminated", PathFillingTheBufferUnterminated, 0},
    {"MissingFile", MissingFile, 0},
    {"ReadOnlyFile", ReadOnlyFile, 0},
};

// Cases print as their names (in test lists and failure messages).
void PrintTo(const RegistrationCase& c, std::ostream* out) { *out << c.name; }

class DriverEngineRegistration : public DriverEngineFile,
                           public ::testing::WithParamInterface<RegistrationCase> {};

TEST_P(DriverEngineRegistration, ChecksOnlyAReadablePathAndReportsAnUnreadableOne)
{
    const RegistrationCase& c = GetParam();
    c.registerEngine();
    StartSetup();
    if (c.errorCode) {
        wt::MessageBoxInfo box;
        ASSERT_TRUE(setup_.NextBox(&box)) << journal_.Dump();
        EXPECT_EQ(box.caption, "Error");
        std::string expected = wt::SystemErrorText(c.errorCode);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(box.text, expected);
        EXPECT_EQ(box.icon, wt::BoxIcon::kInformation) << wt::IconName(box.icon);
        EXPECT_EQ(box.buttons, Strings{"OK"});
        EXPECT_EQ(Events(journal_), Strings{}) << "the uninstall waits for the message";
        wt::AnswerMessageBox(box, IDOK);
    }
    // No (further) message: the uninstall and the installer run.
    DWORD code = 99;
    wt::MessageBoxInfo unexpected;
    ASSERT_TRUE(setup_.WaitExitWithoutBox(&code, &unexpected))
        << "message: " << unexpected.caption << ": " << unexpected.text << journal_.Dump();
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(Events(journal_), Concat({Pressed("a"), kInstalled})) << journal_.Dump();
}

INSTANTIATE_TEST_SUITE_P(Table, DriverEngineRegistration, ::testing::ValuesIn(kRegistrationCases),
                         [](const ::testing::TestParamInfo<RegistrationCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(DriverEngineFile, PathIsUsedAsStoredWithoutExpansion)
{
    // The expanded path names a held file; the stored one names nothing.
    std::string server = NewFile("engine.dll");
    std::string dir = server.substr(0, server.rfind('\\'));
    SetEnvironmentVariableA("LV_ENGINE_DIR", dir.c_str());
    RegisterServerPath("%LV_ENGINE_DIR%\\engine.dll");
    Hold(server);
    StartSetup();
    DWORD code = 99;
    wt::MessageBoxInfo unexpected;
    ASSERT_TRUE(setup_.WaitExitWithoutBox(&code, &unexpected))
        << "message: " << unexpected.text << journal_.Dump();
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(Events(journal_), Concat({Pressed("a"), kInstalled})) << journal_.Dump();
}

}  // namespace
