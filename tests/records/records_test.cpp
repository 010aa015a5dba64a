// In-process tests of what setup reads from the command line, the registry
// and the file system: the command-line tail, the installation records and
// the exclusive-open tests.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <windows.h>

#include <string>

#include "command_line.h"
#include "main.h"
#include "records.h"
#include "wine_test.h"

namespace {

const char kCurrent[] = "Image Lumi-Vault";
const char kFormer[] = "Lumi-Vault";
const char kFallbackTail[] = "\\Quorvane\\LumiVault";

// A lookup result as the tests compare it: null stays apart from "".
struct Text {
    bool present;
    std::string text;
};

Text Got(const char* result)
{
    return result ? Text{true, result} : Text{false, ""};
}

void PrintTo(const Text& t, std::ostream* out)
{
    if (t.present)
        *out << '"' << t.text << '"' << " (" << t.text.size() << " chars)";
    else
        *out << "(none)";
}

bool operator==(const Text& a, const Text& b)
{
    return a.present == b.present && a.text == b.text;
}

const Text kNone = {false, ""};
Text Is(const std::string& text) { return Text{true, text}; }

// ---- Command-line tail ---------------------------------------------------

struct TailCase {
    const char* name;
    const char* commandLine;
    const char* tail;
};

const TailCase kTailCases[] = {
    {"QuotedNameSeveralBlanksQuotedInstaller",
     "\"C:\\Setup Files\\setupstub.exe\"    \"C:\\Inst Dir\\installer.exe\" /S",
     "\"C:\\Inst Dir\\installer.exe\" /S"},
    {"UnquotedNameOneBlank", "setupstub.exe C:\\inst\\installer.exe",
     "C:\\inst\\installer.exe"},
    {"UnclosedQuote", "\"C:\\Setup Files\\setupstub.exe x y",
     ""},
    {"NothingAfterUnquotedName", "setupstub.exe", ""},
    {"NothingAfterQuotedName", "\"C:\\a b\\setupstub.exe\"", ""},
    {"EmptyCommandLine", "", ""},
    {"OnlyBlanksAndTabs", "setupstub.exe \t  \t ", ""},
    {"ControlBytesSkipped",
     "setupstub.exe\x01\x02\x09\x0a\x0d\x1f\x20x.exe", "x.exe"},
    {"InnerAndTrailingBlanksStay", "setupstub.exe  a  b\t c  ", "a  b\t c  "},
    {"QuotesInTailStay", "setupstub.exe \"a\" \"b c\"", "\"a\" \"b c\""},
    {"TextRightAfterClosingQuote", "\"setup stub.exe\"x.exe /y", "x.exe /y"},
    {"QuoteInsideUnquotedName", "setup\"stub.exe x", "x"},
    // Bytes above 0x7F compare as unsigned: they end neither the name nor
    // the blanks that follow it.
    {"HighBytesInUnquotedName", "s\xe9tup\xa0stub.exe x", "x"},
    {"HighByteAfterBlanks", "setupstub.exe \xa0\xe9x", "\xa0\xe9x"},
    {"Bytes21And7FAreNotBlanks", "setupstub.exe \x21\x7f", "\x21\x7f"},
};

void PrintTo(const TailCase& c, std::ostream* out) { *out << c.name; }

class CommandLineTailTable : public ::testing::TestWithParam<TailCase> {};

TEST_P(CommandLineTailTable, CutsTheProgramName)
{
    const TailCase& c = GetParam();
    const char* tail = CommandLineTail(c.commandLine);
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(std::string(tail), c.tail) << c.name;
    // The tail is the end of the command line itself, not a copy.
    EXPECT_EQ(tail, c.commandLine + strlen(c.commandLine) - strlen(c.tail)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineTailTable, ::testing::ValuesIn(kTailCases));

// A double-byte lead byte of the ANSI code page, or 0 when it has none
// (single-byte code pages such as 1252).
unsigned char FindLeadByte()
{
    for (int b = 0x81; b <= 0xFE; ++b)
        if (IsDBCSLeadByte(static_cast<BYTE>(b)))
            return static_cast<unsigned char>(b);
    return 0;
}

// Runs only where the ANSI code page has double-byte characters; the build
// also runs this case under a double-byte locale (see CMakeLists.txt).
TEST(CommandLineTailDbcs, LeadByteTakesTrailByteInsideQuotes)
{
    unsigned char lead = FindLeadByte();
    if (!lead)
        GTEST_SKIP() << "ANSI code page " << GetACP() << " has no lead bytes";
    // 0x5C and 0x22 as trail bytes: the trail byte of a double-byte
    // character never ends the quoted name.
    std::string closed = std::string("\"C:\\") + char(lead) + "\"x.exe\"  inst.exe /S";
    EXPECT_EQ(std::string(CommandLineTail(closed.c_str())), "inst.exe /S");

    std::string unclosed = std::string("\"C:\\") + char(lead) + "\" inst.exe /S";
    EXPECT_EQ(std::string(CommandLineTail(unclosed.c_str())), "");

    // A lead byte as the last byte must not step over the terminator.
    std::string cutShort = std::string("\"C:\\setup") + char(lead);
    const char* tail = CommandLineTail(cutShort.c_str());
    EXPECT_EQ(tail, cutShort.c_str() + cutShort.size());
    EXPECT_EQ(std::string(tail), "");

    // Outside quotes the name is the run of bytes above 0x20 as before.
    std::string unquoted = std::string("set") + char(lead) + "\"up.exe inst.exe";
    EXPECT_EQ(std::string(CommandLineTail(unquoted.c_str())), "inst.exe");
}

// ---- Registry lookups ----------------------------------------------------

class Records : public ::testing::Test {
protected:
    void SetUp() override { wt::ClearProductRegistry(); }
    void TearDown() override { wt::ClearProductRegistry(); }

    static void SetText(const char* key, const char* value, const std::string& text)
    {
        ASSERT_TRUE(wt::SetRegString(HKEY_LOCAL_MACHINE, key, value, text));
    }
    static void SetRaw(const char* key, const char* value, DWORD type, const std::string& bytes)
    {
        ASSERT_TRUE(wt::SetRegData(HKEY_LOCAL_MACHINE, key, value, type, bytes.data(),
                                   static_cast<DWORD>(bytes.size())));
    }
};

// Each row writes one value and reads it back through the lookup that owns
// it. A value longer than the 260-byte buffer is not read at all.
struct ValueCase {
    const char* name;
    DWORD type;
    std::string bytes;  // the value's data as stored
    bool read;          // false: the lookup finds nothing
    std::string text;   // what it gives when read
};

std::string Chars(size_t count, char c = 'a') { return std::string(count, c); }
std::string Z(const std::string& text) { return text + '\0'; }

std::vector<ValueCase> ValueCases()
{
    std::string dword("\x41\x42\x43\x00", 4);
    return {
        {"empty string", REG_SZ, Z(""), true, ""},
        {"258 characters (259 bytes)", REG_SZ, Z(Chars(258)), true, Chars(258)},
        {"259 characters (260 bytes)", REG_SZ, Z(Chars(259, 'b')), true, Chars(259, 'b')},
        {"260 characters (261 bytes)", REG_SZ, Z(Chars(260)), false, ""},
        {"260 bytes of raw data without a zero", REG_BINARY, Chars(260, 'c'), true,
         Chars(260, 'c')},
        {"a number", REG_DWORD, dword, true, "ABC"},
        {"raw bytes with a zero inside", REG_BINARY, std::string("C:\\x\0yz", 7), true, "C:\\x"},
        {"raw bytes of 261", REG_BINARY, Chars(261), false, ""},
    };
}

struct LookupCase {
    const char* name;
    const char* key;
    const char* value;
    char* (*lookup)(const char*);
    const char* product;
};

char* InstallDirOnly(const char* product) { return ReadInstallDir(product, false); }

const LookupCase kLookups[] = {
    {"ReadUninstallCommand current", wt::kUninstallKeyCurrent, "UninstallString",
     ReadUninstallCommand, kCurrent},
    {"ReadUninstallCommand former", wt::kUninstallKeyFormer, "UninstallString",
     ReadUninstallCommand, kFormer},
    {"ReadInstallDir current", wt::kProductKeyCurrent, "InstallDir", InstallDirOnly, kCurrent},
    {"ReadInstallDir former", wt::kProductKeyFormer, "InstallDir", InstallDirOnly, kFormer},
    {"ReadDataDir current", wt::kProductKeyCurrent, "XMLDir", ReadDataDir, kCurrent},
    {"ReadDataDir former", wt::kProductKeyFormer, "XMLDir", ReadDataDir, kFormer},
};

TEST_F(Records, EveryLookupReadsItsValueUpTo260Bytes)
{
    const std::string fallback = wt::FallbackDataDir();
    for (const LookupCase& lookup : kLookups) {
        bool isDataDir = lookup.lookup == ReadDataDir;
        for (const ValueCase& c : ValueCases()) {
            wt::ClearProductRegistry();
            SetRaw(lookup.key, lookup.value, c.type, c.bytes);
            Text expected = c.read ? Is(c.text) : isDataDir ? Is(fallback) : kNone;
            EXPECT_EQ(Got(lookup.lookup(lookup.product)), expected)
                << lookup.name << ": " << c.name;
        }
    }
}

TEST_F(Records, MissingKeyOrValueGivesNoneOrTheFallback)
{
    const std::string fallback = wt::FallbackDataDir();
    // No key at all.
    for (const LookupCase& lookup : kLookups) {
        Text expected = lookup.lookup == ReadDataDir ? Is(fallback) : kNone;
        EXPECT_EQ(Got(lookup.lookup(lookup.product)), expected) << lookup.name;
    }
    // The key exists, holding only values of other names.
    for (const LookupCase& lookup : kLookups)
        SetText(lookup.key, "Unrelated", "C:\\elsewhere");
    for (const LookupCase& lookup : kLookups) {
        Text expected = lookup.lookup == ReadDataDir ? Is(fallback) : kNone;
        EXPECT_EQ(Got(lookup.lookup(lookup.product)), expected) << lookup.name;
    }
    EXPECT_EQ(Got(ReadInstallDir(kCurrent, true)), kNone);
    EXPECT_EQ(Got(ReadInstallDir(kFormer, true)), kNone);
}

TEST_F(Records, OnlyTheExactProductNamesSelectAKey)
{
    for (const LookupCase& lookup : kLookups)
        SetText(lookup.key, lookup.value, "C:\\present");
    const char* const otherNames[] = {"image lumi-vault", "IMAGE LUMI-VAULT", "Image lumi-Vault",
                                      "lumi-vault",       "LUMI-VAULT",       "Lumi-vault",
                                      "Lumi-Vault ",      " Lumi-Vault",      "Image Lumi-Vault2",
                                      "Image",            "Quorvane",         ""};
    for (const char* name : otherNames) {
        EXPECT_EQ(Got(ReadUninstallCommand(name)), kNone) << '"' << name << '"';
        EXPECT_EQ(Got(ReadInstallDir(name, false)), kNone) << '"' << name << '"';
        EXPECT_EQ(Got(ReadInstallDir(name, true)), kNone) << '"' << name << '"';
        // No fallback for a name that is no product.
        EXPECT_EQ(Got(ReadDataDir(name)), kNone) << '"' << name << '"';
    }
    // The same values are there for the exact names.
    EXPECT_EQ(Got(ReadUninstallCommand(kCurrent)), Is("C:\\present"));
    EXPECT_EQ(Got(ReadDataDir(kFormer)), Is("C:\\present"));
}

TEST_F(Records, EachProductReadsItsOwnKey)
{
    SetText(wt::kUninstallKeyCurrent, "UninstallString", "current-uninstall");
    SetText(wt::kUninstallKeyFormer, "UninstallString", "former-uninstall");
    SetText(wt::kProductKeyCurrent, "InstallDir", "C:\\current");
    SetText(wt::kProductKeyFormer, "InstallDir", "C:\\former");
    EXPECT_EQ(Got(ReadUninstallCommand(kCurrent)), Is("current-uninstall"));
    EXPECT_EQ(Got(ReadUninstallCommand(kFormer)), Is("former-uninstall"));
    EXPECT_EQ(Got(ReadInstallDir(kCurrent, false)), Is("C:\\current"));
    EXPECT_EQ(Got(ReadInstallDir(kFormer, false)), Is("C:\\former"));
}

TEST_F(Records, UninstallCommandComesBackAsStored)
{
    const std::string command = "\"%ProgramFiles%\\Lumi\\uninst.exe\"  /x  ";
    SetText(wt::kUninstallKeyCurrent, "UninstallString", command);
    EXPECT_EQ(Got(ReadUninstallCommand(kCurrent)), Is(command));
}

TEST_F(Records, LibraryPathAppendsOneBackslashAndTheLibraryName)
{
    struct {
        const char* installDir;
        const char* libraryPath;
    } cases[] = {
        {"C:\\Program Files\\Lumi", "C:\\Program Files\\Lumi\\crestmk.dll"},
        {"C:\\Program Files\\Lumi\\", "C:\\Program Files\\Lumi\\\\crestmk.dll"},
        {"relative", "relative\\crestmk.dll"},
        {"", "\\crestmk.dll"},
    };
    for (const auto& c : cases) {
        SetText(wt::kProductKeyCurrent, "InstallDir", c.installDir);
        SetText(wt::kProductKeyFormer, "InstallDir", c.installDir);
        EXPECT_EQ(Got(ReadInstallDir(kCurrent, true)), Is(c.libraryPath)) << c.installDir;
        EXPECT_EQ(Got(ReadInstallDir(kFormer, true)), Is(c.libraryPath)) << c.installDir;
        EXPECT_EQ(Got(ReadInstallDir(kCurrent, false)), Is(c.installDir)) << c.installDir;
    }
    // 259 characters still read; the joined path is longer than MAX_PATH
    // and comes back whole.
    std::string longDir = "C:\\" + Chars(256);
    SetText(wt::kProductKeyCurrent, "InstallDir", longDir);
    EXPECT_EQ(Got(ReadInstallDir(kCurrent, true)), Is(longDir + "\\crestmk.dll"));
}

TEST_F(Records, FallbackDataDirIsTheDocumentsFolderPlusTheProductFolder)
{
    std::string fallback = wt::FallbackDataDir();
    // Whatever the shell gave, the product folder follows it.
    ASSERT_GT(fallback.size(), strlen(kFallbackTail));
    EXPECT_EQ(Got(ReadDataDir(kCurrent)), Is(fallback));
    EXPECT_EQ(Got(ReadDataDir(kFormer)), Is(fallback));
}

TEST_F(Records, FormerProductFallsBackEvenWhenTheCurrentOneHasADataDir)
{
    SetText(wt::kProductKeyCurrent, "XMLDir", "C:\\current data");
    EXPECT_EQ(Got(ReadDataDir(kCurrent)), Is("C:\\current data"));
    EXPECT_EQ(Got(ReadDataDir(kFormer)), Is(wt::FallbackDataDir()));

    wt::ClearProductRegistry();
    SetText(wt::kProductKeyFormer, "XMLDir", "C:\\former data");
    EXPECT_EQ(Got(ReadDataDir(kFormer)), Is("C:\\former data"));
    EXPECT_EQ(Got(ReadDataDir(kCurrent)), Is(wt::FallbackDataDir()));
}

TEST_F(Records, WriteDataDirIsReadBackUnchanged)
{
    const std::string directories[] = {
        "C:\\Users\\me\\Old Data",
        wt::FallbackDataDir(),  // a fallback path, as the upgrade path may write it
        "D:\\trailing\\",
        "C:\\" + Chars(256),  // 259 characters: the longest that reads back
    };
    for (const std::string& directory : directories) {
        wt::ClearProductRegistry();
        WriteDataDir(directory.c_str());
        EXPECT_EQ(Got(ReadDataDir(kCurrent)), Is(directory));
        // Stored as REG_SZ, its length plus the terminating zero.
        HKEY key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, wt::kProductKeyCurrent, 0, KEY_QUERY_VALUE,
                                &key),
                  ERROR_SUCCESS);
        DWORD type = 0, size = 0;
        EXPECT_EQ(RegQueryValueExA(key, "XMLDir", nullptr, &type, nullptr, &size),
                  ERROR_SUCCESS);
        RegCloseKey(key);
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(size, directory.size() + 1);
        // Written under the current product only.
        std::string unused;
        EXPECT_FALSE(wt::GetRegString(HKEY_LOCAL_MACHINE, wt::kProductKeyFormer, "XMLDir",
                                      &unused));
    }
}

TEST_F(Records, WriteDataDirReplacesAnEarlierValue)
{
    SetText(wt::kProductKeyCurrent, "XMLDir", "C:\\earlier");
    SetText(wt::kProductKeyCurrent, "InstallDir", "C:\\install");
    WriteDataDir("C:\\later");
    EXPECT_EQ(Got(ReadDataDir(kCurrent)), Is("C:\\later"));
    EXPECT_EQ(Got(ReadInstallDir(kCurrent, false)), Is("C:\\install"));
}

TEST(ReadFileVersionTest, NoVersionToReadGivesTheEmptyString)
{
    std::string dir = wt::NewScratchDir();
    ASSERT_TRUE(wt::WriteTextFile(dir + "\\plain.txt", "no version here"));
    const std::string paths[] = {
        dir + "\\crestmk.dll",  // missing
        dir + "\\plain.txt",    // not a program file
        "",
    };
    for (const std::string& path : paths)
        EXPECT_EQ(Got(ReadFileVersion(path.c_str())), Is("")) << path;
}

// ---- Exclusive-open tests ------------------------------------------------

// Holds a file open without sharing in another process, as the running
// product holds its catalog store.
class HeldFile {
public:
    explicit HeldFile(const std::string& path) : path_(path) {}
    bool Hold()
    {
        if (!holder_.Start(wt::Quoted(wt::FixtureFile("file_holder.exe")) + " " + path_))
            return false;
        return journal_.WaitFor("holder opened ");
    }

private:
    std::string path_;
    wt::Journal journal_;
    wt::Child holder_;
};

// True when nobody has the file open: an exclusive open succeeds.
bool NobodyHolds(const std::string& path)
{
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                    nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

struct OpenTest {
    const char* name;
    bool (*fileTest)(const std::string& dir);  // the test on dir's file
    const char* fileName;                      // the file it opens in dir
};

bool StoreTest(const std::string& dir) { return HasCatalogStore(dir.c_str()); }
bool PageTest(const std::string& dir) { return CanOpenFile((dir + "\\snapnote.htm").c_str()); }

const OpenTest kOpenTests[] = {
    {"HasCatalogStore", StoreTest, "store.xml"},
    {"CanOpenFile", PageTest, "snapnote.htm"},
};

void PrintTo(const OpenTest& t, std::ostream* out) { *out << t.name; }

class OpenTestTable : public ::testing::TestWithParam<OpenTest> {};

TEST_P(OpenTestTable, TrueForAFreeFileAndLeavesNoHandleOpen)
{
    const OpenTest& t = GetParam();
    std::string dir = wt::NewScratchDir();
    std::string file = dir + "\\" + t.fileName;
    ASSERT_TRUE(wt::WriteTextFile(file, "<x/>"));
    EXPECT_TRUE(t.fileTest(dir));
    // Nothing left open: an exclusive open works at once, and so does the
    // test again.
    EXPECT_TRUE(NobodyHolds(file));
    EXPECT_TRUE(t.fileTest(dir));
    EXPECT_TRUE(NobodyHolds(file));
}

TEST_P(OpenTestTable, FalseWhileAnotherProcessHoldsTheFile)
{
    const OpenTest& t = GetParam();
    std::string dir = wt::NewScratchDir();
    std::string file = dir + "\\" + t.fileName;
    ASSERT_TRUE(wt::WriteTextFile(file, "<x/>"));
    {
        HeldFile held(file);
        ASSERT_TRUE(held.Hold());
        EXPECT_FALSE(t.fileTest(dir));
    }
    // The holder has been killed: the file is free again.
    EXPECT_TRUE(t.fileTest(dir));
}

TEST_P(OpenTestTable, FalseWhenTheFileCannotBeOpened)
{
    const OpenTest& t = GetParam();
    std::string dir = wt::NewScratchDir();
    EXPECT_FALSE(t.fileTest(dir)) << "missing file";
    EXPECT_FALSE(t.fileTest(dir + "\\no such folder")) << "missing folder";
    EXPECT_FALSE(t.fileTest(dir + "\\bad|name<>")) << "name the file system refuses";
    // A folder of the file's name is no file.
    ASSERT_TRUE(CreateDirectoryA((dir + "\\" + t.fileName).c_str(), nullptr));
    EXPECT_FALSE(t.fileTest(dir)) << "a folder of that name";
}

TEST_P(OpenTestTable, FalseWhileThisProcessHoldsTheFileWithSharing)
{
    // Exclusive means exclusive: even a reader that lets others read and
    // write blocks the test.
    const OpenTest& t = GetParam();
    std::string dir = wt::NewScratchDir();
    std::string file = dir + "\\" + t.fileName;
    ASSERT_TRUE(wt::WriteTextFile(file, "<x/>"));
    HANDLE reader = CreateFileA(file.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(t.fileTest(dir));
    CloseHandle(reader);
    EXPECT_TRUE(t.fileTest(dir));
}

INSTANTIATE_TEST_SUITE_P(Files, OpenTestTable, ::testing::ValuesIn(kOpenTests));

TEST(RunSetupCommandTest, NoCommandRunsNothing)
{
    wt::Journal journal;
    RunSetupCommand(nullptr);
    EXPECT_TRUE(journal.Lines().empty()) << journal.Dump();
}

TEST(RunSetupCommandTest, RunsTheCommandAndWaitsForItsEnd)
{
    wt::Journal journal;
    SetEnvironmentVariableA("LV_INSTALLER_DELAY_MS", "300");
    std::string command = wt::Quoted(wt::FixtureFile("installer.exe")) + " %PATH% /a  ";
    RunSetupCommand(command.c_str());
    SetEnvironmentVariableA("LV_INSTALLER_DELAY_MS", nullptr);
    // Back only after the installer's end, and the command line unexpanded.
    std::vector<std::string> lines = journal.Lines();
    ASSERT_EQ(lines.size(), 3u) << journal.Dump();
    EXPECT_EQ(lines[0], "installer start " + command);
    EXPECT_EQ(lines[2], "installer end");
}

}  // namespace
