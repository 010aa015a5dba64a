// Hostile registry values: every value that setup reads, stored with every
// registry type and with sizes around each read limit, with and without a
// terminating zero. In-process the lookups give nothing or exactly the
// stored text; end to end setup survives the worst of them.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "records.h"
#include "sweep_support.h"
#include "uninstaller.h"
#include "upgrade_scenario.h"
#include "wine_test.h"

namespace {

const char kCurrent[] = "Image Lumi-Vault";
const char kFormer[] = "Lumi-Vault";
const char kFallbackTail[] = "\\Quorvane\\LumiVault";
const char kLibraryTail[] = "\\crestmk.dll";
const char kEngineKey[] = "CLSID\\{7E3D9A52-4B1F-4C6A-9E21-5D8C0B7A3F62}\\InprocServer32";
const char kErrorCaption[] = "Error";
const char kSetupCaption[] = "Image Lumi-Vault Setup";

// The read limits: registry texts and the engine's server path.
const size_t kTextLimit = 260;
const size_t kEnginePathLimit = 1024;

const DWORD kTypes[] = {REG_SZ,    REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY,
                        REG_DWORD, REG_QWORD,     REG_NONE};
const size_t kSizes[] = {0, 1, 259, 260, 261, 1023, 1024, 1025, 4096, 9000};

const char* TypeName(DWORD type)
{
    switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_QWORD: return "REG_QWORD";
    case REG_NONE: return "REG_NONE";
    }
    return "?";
}

// One stored value: its data is non-zero filler, ending in a zero byte
// when terminated.
struct Stored {
    DWORD type;
    size_t size;
    bool terminated;
    std::string bytes;
};

std::string Describe(const Stored& s)
{
    return std::string(TypeName(s.type)) + ", " + std::to_string(s.size) + " bytes, " +
           (s.terminated ? "terminated" : "no terminator");
}

// Filler without '%', so that expanding a REG_EXPAND_SZ changes nothing.
std::string Filler(std::mt19937& random, size_t size)
{
    std::string bytes = sweep::RandomBytes(random, size);
    for (char& c : bytes)
        if (c == '%')
            c = '#';
    return bytes;
}

std::vector<Stored> AllValues(std::mt19937& random)
{
    std::vector<Stored> values;
    for (DWORD type : kTypes)
        for (size_t size : kSizes)
            for (bool terminated : {false, true}) {
                if (size == 0 && terminated)
                    continue;
                Stored s = {type, size, terminated, Filler(random, size)};
                if (terminated)
                    s.bytes.back() = '\0';
                values.push_back(s);
            }
    return values;
}

// What the registry hands an ANSI reader for the value: the "stored bytes"
// that a lookup may give, up to their first zero byte. String types pass
// through the code page on their way in and out.
bool ReadBack(HKEY root, const char* key, const char* value, std::string* bytes)
{
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return false;
    std::vector<char> buffer(64 * 1024);
    DWORD size = static_cast<DWORD>(buffer.size());
    LONG result = RegQueryValueExA(handle, value, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS)
        return false;
    bytes->assign(buffer.data(), size);
    return true;
}

std::string UpToZero(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

// A lookup of setup's records, by product.
struct TextSlot {
    const char* name;
    const char* key;
    const char* value;
    const char* product;
    enum { kUninstall, kInstallDir, kDataDir } lookup;
};

const TextSlot kTextSlots[] = {
    {"UninstallString current", wt::kUninstallKeyCurrent, "UninstallString", kCurrent,
     TextSlot::kUninstall},
    {"UninstallString former", wt::kUninstallKeyFormer, "UninstallString", kFormer,
     TextSlot::kUninstall},
    {"InstallDir current", wt::kProductKeyCurrent, "InstallDir", kCurrent, TextSlot::kInstallDir},
    {"InstallDir former", wt::kProductKeyFormer, "InstallDir", kFormer, TextSlot::kInstallDir},
    {"XMLDir current", wt::kProductKeyCurrent, "XMLDir", kCurrent, TextSlot::kDataDir},
    {"XMLDir former", wt::kProductKeyFormer, "XMLDir", kFormer, TextSlot::kDataDir},
};

// A value that exactly fills the buffer and has no terminator: Wine's
// expansion of REG_EXPAND_SZ needs room for one more byte and fails, which
// counts as not read. Either answer is right for it.
bool MayGoEitherWay(const Stored& s, size_t limit)
{
    return s.type == REG_EXPAND_SZ && s.size == limit && !s.terminated;
}

class SweepRegistry : public ::testing::Test {
protected:
    void SetUp() override { wt::ClearProductRegistry(); }
    void TearDown() override { wt::ClearProductRegistry(); }
};

// The result of a lookup for one stored value: nothing (the substitute for
// XMLDir) or the value's text exactly, never longer than the buffer.
TEST_F(SweepRegistry, TextLookupsGiveNothingOrExactlyTheStoredText)
{
    std::mt19937 random = sweep::SeededRandom(0x0100);
    const std::vector<Stored> values = AllValues(random);
    const std::string fallback = wt::FallbackDataDir();
    size_t lookups = 0, read = 0, notRead = 0;
    for (const TextSlot& slot : kTextSlots) {
        for (const Stored& s : values) {
            wt::ClearProductRegistry();
            ASSERT_TRUE(wt::SetRegData(HKEY_LOCAL_MACHINE, slot.key, slot.value, s.type,
                                       s.bytes.data(), static_cast<DWORD>(s.size)))
                << slot.name << ": " << Describe(s);
            std::string stored;
            ASSERT_TRUE(ReadBack(HKEY_LOCAL_MACHINE, slot.key, slot.value, &stored));
            std::string text = UpToZero(stored);
            const bool fits = stored.size() <= kTextLimit;
            const std::string where = std::string(slot.name) + ": " + Describe(s);

            const char* result = nullptr;
            switch (slot.lookup) {
            case TextSlot::kUninstall: result = ReadUninstallCommand(slot.product); break;
            case TextSlot::kInstallDir: result = ReadInstallDir(slot.product, false); break;
            case TextSlot::kDataDir: result = ReadDataDir(slot.product); break;
            }
            ++lookups;
            bool gotText = result && !(slot.lookup == TextSlot::kDataDir && result == fallback &&
                                       text != fallback);
            if (gotText) {
                ++read;
                std::string got(result);
                EXPECT_LE(got.size(), kTextLimit) << where;
                EXPECT_EQ(got, text) << where << "\n  got " << sweep::Printable(got);
                EXPECT_TRUE(fits || MayGoEitherWay(s, kTextLimit)) << where << ": too long, read";
            } else {
                ++notRead;
                EXPECT_TRUE(!fits || MayGoEitherWay(s, kTextLimit)) << where << ": not read";
                if (slot.lookup == TextSlot::kDataDir)
                    EXPECT_EQ(result ? std::string(result) : "(none)", fallback) << where;
                else
                    EXPECT_EQ(result, nullptr) << where;
            }
            // The library path is the directory and the library's name.
            if (slot.lookup == TextSlot::kInstallDir) {
                const char* library = ReadInstallDir(slot.product, true);
                if (result)
                    EXPECT_EQ(library ? std::string(library) : "(none)",
                              std::string(result) + kLibraryTail)
                        << where;
                else
                    EXPECT_EQ(library, nullptr) << where;
            }
        }
    }
    std::printf("%zu values x %zu lookups = %zu reads: %zu gave the text, %zu nothing\n",
                values.size(), sizeof(kTextSlots) / sizeof(kTextSlots[0]), lookups, read,
                notRead);
    EXPECT_GT(read, 0u);
    EXPECT_GT(notRead, 0u);
}

// The engine's server path: read into 1024 bytes; a value that doesn't
// fit shows one "Error" box with the registry's error text.
TEST_F(SweepRegistry, EngineServerPathGivesNothingOrTheStoredTextAndOneBoxPerFailure)
{
    std::mt19937 random = sweep::SeededRandom(0x0101);
    const std::vector<Stored> values = AllValues(random);
    const std::string moreDataText = sweep::SystemErrorText(ERROR_MORE_DATA);
    sweep::BoxWatcher watcher;
    size_t reads = 0, failures = 0;
    for (const Stored& s : values) {
        wt::ClearProductRegistry();
        ASSERT_TRUE(wt::SetRegData(HKEY_CLASSES_ROOT, kEngineKey, nullptr, s.type, s.bytes.data(),
                                   static_cast<DWORD>(s.size)))
            << Describe(s);
        std::string stored;
        ASSERT_TRUE(ReadBack(HKEY_CLASSES_ROOT, kEngineKey, nullptr, &stored));
        const bool fits = stored.size() <= kEnginePathLimit;
        const std::string where = Describe(s);

        const char* result = ReadEngineServerPath();
        std::vector<wt::MessageBoxInfo> boxes = watcher.Take();
        ++reads;
        if (fits) {
            ASSERT_NE(result, nullptr) << where;
            EXPECT_EQ(std::string(result), UpToZero(stored)) << where;
            EXPECT_TRUE(boxes.empty()) << where << ": box \"" << boxes.front().text << '"';
        } else {
            ++failures;
            EXPECT_EQ(result, nullptr) << where;
            ASSERT_EQ(boxes.size(), 1u) << where;
            EXPECT_EQ(boxes[0].caption, kErrorCaption) << where;
            EXPECT_EQ(sweep::TrimEnd(boxes[0].text), moreDataText) << where;
            EXPECT_EQ(wt::IconName(boxes[0].icon), wt::IconName(wt::BoxIcon::kInformation));
        }
    }

    // The key without its default value: the registry's "not found" text.
    wt::ClearProductRegistry();
    ASSERT_TRUE(wt::SetRegString(HKEY_CLASSES_ROOT, kEngineKey, "Other", "x"));
    EXPECT_EQ(ReadEngineServerPath(), nullptr);
    std::vector<wt::MessageBoxInfo> boxes = watcher.Take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(sweep::TrimEnd(boxes[0].text), sweep::SystemErrorText(ERROR_FILE_NOT_FOUND));
    // No key at all: no box.
    wt::ClearProductRegistry();
    EXPECT_EQ(ReadEngineServerPath(), nullptr);
    EXPECT_TRUE(watcher.Take().empty());
    std::printf("%zu engine paths, %zu over the limit\n", reads, failures);
    EXPECT_GT(failures, 0u);
}

// ---- End to end ----------------------------------------------------------

class SweepRegistrySetup : public SweepRegistry {
protected:
    void SetUp() override
    {
        SweepRegistry::SetUp();
        upgrade::InstallBrowserFixture();
    }
    void TearDown() override
    {
        run_.Process().Kill();
        SweepRegistry::TearDown();
        wt::DeleteRegTree(HKEY_LOCAL_MACHINE, "Software\\Quorvane");
    }

    static void SetRaw(const char* key, const char* value, DWORD type, const std::string& bytes,
                       HKEY root = HKEY_LOCAL_MACHINE)
    {
        ASSERT_TRUE(wt::SetRegData(root, key, value, type, bytes.data(),
                                   static_cast<DWORD>(bytes.size())));
    }

    // Setup runs to its end with exit code 0, answering OK to message boxes
    // with the given texts on the way and pressing "&Continue" whenever
    // the options dialog comes; gives the number of dialogs.
    void RunThrough(const std::vector<std::string>& boxTexts, int* dialogs)
    {
        ASSERT_TRUE(run_.Start(upgrade::InstallerTail()));
        size_t box = 0;
        *dialogs = 0;
        DWORD start = GetTickCount();
        while (run_.Process().Running() && GetTickCount() - start < 2 * wt::kWaitMs) {
            upgrade::OptionsDialog dialog;
            if (run_.NextDialog(&dialog, 100)) {
                ++*dialogs;
                run_.Continue(dialog);
                continue;
            }
            wt::MessageBoxInfo info;
            if (wt::WaitForMessageBox(run_.Process().Pid(), &info, 0)) {
                ASSERT_LT(box, boxTexts.size()) << "unexpected box \"" << info.text << "\"\n"
                                                << journal_.Dump();
                EXPECT_EQ(sweep::TrimEnd(info.text), boxTexts[box]);
                ++box;
                wt::AnswerMessageBox(info, IDOK);
                DWORD gone = GetTickCount();
                while (IsWindow(info.window) && GetTickCount() - gone < wt::kWaitMs)
                    Sleep(20);
            }
        }
        DWORD code = 99;
        ASSERT_TRUE(run_.Process().WaitExit(0, &code)) << "setup did not end\n" << journal_.Dump();
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(box, boxTexts.size()) << journal_.Dump();
    }

    std::string UninstallerCommand(const std::string& name)
    {
        return wt::Quoted(wt::FixtureFile("uninstaller.exe")) + " " + name;
    }

    wt::Journal journal_;
    upgrade::SetupRun run_;
};

// The worst values of each kind, end to end. Each case sets up the current
// product and says what setup must do.
struct WorstCase {
    const char* name;
    DWORD uninstallType;   // of "UninstallString"
    size_t uninstallPad;   // filler after the command, no terminator
    size_t installDirSize; // 0: a real folder with the older library
    size_t dataDirSize;    // 0: none
    size_t engineSize;     // 0: no engine registration
    // Expected:
    int dialogs;
    bool uninstalled;
    bool errorBox;
};

const WorstCase kWorstCases[] = {
    // 261 bytes: no uninstall command, a fresh install.
    {"UninstallStringOf261Bytes", REG_SZ, 261, 0, 0, 0, 1, false, false},
    // Raw bytes filling the buffer without a zero: the command as read runs.
    {"BinaryUninstallStringFillingTheBuffer", REG_BINARY, 260, 0, 0, 0, 1, true, false},
    // No version without InstallDir: no question, no uninstall, the installer.
    {"InstallDirOf261Bytes", REG_SZ, 0, 261, 0, 0, 0, false, false},
    {"InstallDirOf9000BinaryBytes", REG_BINARY, 0, 9000, 0, 0, 0, false, false},
    {"XMLDirFillingTheBuffer", REG_SZ, 0, 0, 260, 0, 1, true, false},
    {"EnginePathOf1025Bytes", REG_SZ, 0, 0, 0, 1025, 1, true, true},
    {"EnginePathFillingTheBuffer", REG_SZ, 0, 0, 0, 1024, 1, true, false},
};

void PrintTo(const WorstCase& c, std::ostream* out) { *out << c.name; }

class WorstValues : public SweepRegistrySetup, public ::testing::WithParamInterface<WorstCase> {};

TEST_P(WorstValues, SetupEndsWithExitCodeZero)
{
    const WorstCase& c = GetParam();
    std::mt19937 random = sweep::SeededRandom(0x0110);
    upgrade::Installation installation;
    installation.withDataDir = false;
    installation.withInstallDir = c.installDirSize == 0;
    upgrade::Register(kCurrent, &installation);

    // The uninstall command, padded with blanks-free filler to the size
    // asked for, so that the tail after the name is long.
    std::string command = UninstallerCommand("worst");
    std::string bytes = command;
    if (c.uninstallPad > bytes.size())
        bytes += " " + std::string(c.uninstallPad - bytes.size() - 1, 'p');
    else
        bytes += '\0';
    SetRaw(wt::kUninstallKeyCurrent, "UninstallString", c.uninstallType, bytes);
    if (c.installDirSize)
        SetRaw(wt::kProductKeyCurrent, "InstallDir", REG_BINARY, Filler(random, c.installDirSize));
    if (c.dataDirSize)
        SetRaw(wt::kProductKeyCurrent, "XMLDir", REG_SZ,
               "C:\\" + std::string(c.dataDirSize - 4, 'd') + std::string(1, '\0'));
    if (c.engineSize)
        SetRaw(kEngineKey, nullptr, REG_SZ,
               "C:\\" + std::string(c.engineSize - 4, 'e') + std::string(1, '\0'),
               HKEY_CLASSES_ROOT);

    std::vector<std::string> boxes;
    if (c.errorBox)
        boxes.push_back(sweep::SystemErrorText(ERROR_MORE_DATA));
    int dialogs = 0;
    ASSERT_NO_FATAL_FAILURE(RunThrough(boxes, &dialogs));
    EXPECT_EQ(dialogs, c.dialogs);
    EXPECT_EQ(!journal_.Matching("uninstaller worst close").empty(), c.uninstalled)
        << journal_.Dump();
    // A fresh install with the 261-byte command, or an upgrade: the
    // installer runs either way.
    EXPECT_EQ(journal_.Matching("installer end").size(), 1u) << journal_.Dump();
}

INSTANTIATE_TEST_SUITE_P(Sweep, WorstValues, ::testing::ValuesIn(kWorstCases),
                         [](const ::testing::TestParamInfo<WorstCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
