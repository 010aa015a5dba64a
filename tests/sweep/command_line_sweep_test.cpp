// Hostile command lines: the tail cutter in-process against a model of its
// rules, with every input ending right before an inaccessible page, then
// setupstub and launcher started with random and maximal tails.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "sweep_support.h"
#include "upgrade_scenario.h"
#include "wine_test.h"

namespace {

const char kSetupCaption[] = "Image Lumi-Vault Setup";
const char kNotUninstalled[] = "Image Lumi-Vault was not uninstalled from your system";
const char kFreshHeading[] = "Setup options";
const char kLauncherCaption[] = "Image Lumi-Vault";
const char kEngineFailed[] = "Can't load Image Lumi-Vault ActiveX object!";
const char kStartFailed[] = "Can't load Lumi-Vault!";

// The longest command line CreateProcessA takes, terminator included.
const size_t kMaxCommandLine = 32767;
const size_t kRandomLines = 5000;
const size_t kMaximalLines = 16;
const size_t kMaximalLength = 32 * 1024;
const unsigned char kQuote = '"';
const unsigned char kLastBlank = 0x20;

// ---- A buffer whose end touches an inaccessible page ---------------------

// Holds one text at a time so that its terminator is the last readable
// byte: any read past it faults at once.
class GuardedText {
public:
    explicit GuardedText(size_t capacity)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        size_t page = info.dwPageSize;
        usable_ = (capacity + 1 + page - 1) / page * page;
        base_ = static_cast<char*>(
            VirtualAlloc(nullptr, usable_ + page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old = 0;
        guarded_ = base_ && VirtualProtect(base_ + usable_, page, PAGE_NOACCESS, &old);
    }
    ~GuardedText()
    {
        if (base_)
            VirtualFree(base_, 0, MEM_RELEASE);
    }
    bool Ready() const { return guarded_; }
    // The text's copy, ending with its terminator at the guard page.
    const char* Place(const std::string& text)
    {
        char* start = base_ + usable_ - text.size() - 1;
        memcpy(start, text.data(), text.size());
        start[text.size()] = '\0';
        return start;
    }

private:
    char* base_ = nullptr;
    size_t usable_ = 0;
    bool guarded_ = false;
};

// ---- The rules, written as the description gives them --------------------

// Lead bytes of the ANSI code page, from its code page information (the
// cutter asks IsDBCSLeadByte; the model reads the ranges).
struct LeadBytes {
    bool lead[256] = {};
    int count = 0;
};

LeadBytes AnsiLeadBytes()
{
    LeadBytes leads;
    CPINFO info = {};
    if (!GetCPInfo(CP_ACP, &info))
        return leads;
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i]; i += 2)
        for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) {
            leads.lead[b] = true;
            ++leads.count;
        }
    return leads;
}

// How the model saw one line, for the coverage counts.
enum class NameKind { kUnquoted, kQuotedClosed, kQuotedUnclosed, kLeadAtEnd };

// Offset of the tail: the name is a quoted run (split into characters, a
// lead byte taking the next byte along unless the text ends) up to and
// including the first quote character, or else the run of bytes above
// 0x20; then the bytes 0x01..0x20 after it.
size_t ModelTail(const std::string& line, const LeadBytes& leads, NameKind* kind)
{
    const size_t n = line.size();
    auto byte = [&](size_t i) { return static_cast<unsigned char>(line[i]); };
    size_t nameEnd = 0;
    if (n > 0 && byte(0) == kQuote) {
        std::vector<size_t> starts;  // where each character of the name starts
        for (size_t i = 1; i < n;) {
            starts.push_back(i);
            i += (leads.lead[byte(i)] && i + 1 < n) ? 2 : 1;
        }
        nameEnd = n;
        *kind = NameKind::kQuotedUnclosed;
        for (size_t s : starts)
            if (byte(s) == kQuote && !(leads.lead[byte(s)])) {
                nameEnd = s + 1;
                *kind = NameKind::kQuotedClosed;
                break;
            }
        if (*kind == NameKind::kQuotedUnclosed && !starts.empty() && leads.lead[byte(n - 1)] &&
            starts.back() == n - 1)
            *kind = NameKind::kLeadAtEnd;
    } else {
        *kind = NameKind::kUnquoted;
        while (nameEnd < n && byte(nameEnd) > kLastBlank)
            ++nameEnd;
    }
    size_t tail = nameEnd;
    while (tail < n && byte(tail) <= kLastBlank)
        ++tail;
    return tail;
}

// A random command line, weighted so that quotes, blanks, control bytes
// and lead bytes are common. Never holds a zero byte.
std::string RandomLine(std::mt19937& random, const LeadBytes& leads, size_t length)
{
    static const char kSpecials[] = {'"', ' ', '\t', '\x01', '\x1f', '\x20', '\x21', '\x7f',
                                     '\\'};
    std::vector<int> leadList;
    for (int b = 0; b < 256; ++b)
        if (leads.lead[b])
            leadList.push_back(b);
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> anyByte(0x01, 0xFF);
    std::string line;
    line.reserve(length);
    if (length > 0 && percent(random) < 50)
        line += '"';
    while (line.size() < length) {
        int roll = percent(random);
        if (roll < 25) {
            line += kSpecials[random() % sizeof(kSpecials)];
        } else if (roll < 40 && !leadList.empty()) {
            line += static_cast<char>(leadList[random() % leadList.size()]);
        } else {
            line += static_cast<char>(anyByte(random));
        }
    }
    // Now and then the name ends in a lead byte right at the terminator.
    if (!leadList.empty() && length > 1 && percent(random) < 10) {
        line[0] = '"';
        for (size_t i = 1; i < line.size(); ++i)
            if (line[i] == '"')
                line[i] = 'q';
        line.back() = static_cast<char>(leadList[random() % leadList.size()]);
    }
    return line;
}

struct SweepCounts {
    size_t lines = 0, bytes = 0, maximal = 0;
    size_t unquoted = 0, closed = 0, unclosed = 0, leadAtEnd = 0, emptyTail = 0;
};

// Cuts every generated line in the guarded buffer and compares with the
// model. Stops reporting after a few mismatches.
SweepCounts SweepTails(uint32_t salt, const LeadBytes& leads)
{
    std::mt19937 random = sweep::SeededRandom(salt);
    GuardedText buffer(kMaximalLength + 64);
    EXPECT_TRUE(buffer.Ready()) << "no guard page";
    SweepCounts counts;
    int mismatches = 0;
    std::uniform_int_distribution<int> percent(0, 99);
    for (size_t i = 0; i < kRandomLines + kMaximalLines; ++i) {
        size_t length;
        if (i >= kRandomLines) {
            length = kMaximalLength + (random() % 64);
            ++counts.maximal;
        } else {
            int roll = percent(random);
            length = roll < 70 ? random() % 41 : roll < 95 ? 41 + random() % 360 : random() % 4096;
        }
        std::string line = RandomLine(random, leads, length);
        NameKind kind;
        size_t expected = ModelTail(line, leads, &kind);
        const char* placed = buffer.Place(line);
        const char* tail = CommandLineTail(placed);
        ++counts.lines;
        counts.bytes += line.size();
        switch (kind) {
        case NameKind::kUnquoted: ++counts.unquoted; break;
        case NameKind::kQuotedClosed: ++counts.closed; break;
        case NameKind::kQuotedUnclosed: ++counts.unclosed; break;
        case NameKind::kLeadAtEnd: ++counts.leadAtEnd; break;
        }
        if (expected == line.size())
            ++counts.emptyTail;
        if (tail != placed + expected && ++mismatches <= 5)
            ADD_FAILURE() << "line " << i << " (" << line.size() << " bytes) "
                          << sweep::Printable(line) << "\n  tail at "
                          << (tail ? std::to_string(tail - placed) : std::string("null"))
                          << ", expected at " << expected;
    }
    EXPECT_EQ(mismatches, 0);
    std::printf("code page %u, %d lead bytes: %zu lines, %zu bytes (%zu of %zu KiB or more); "
                "unquoted %zu, quoted %zu, unclosed %zu, lead byte at the end %zu, "
                "empty tails %zu\n",
                GetACP(), leads.count, counts.lines, counts.bytes, counts.maximal,
                kMaximalLength / 1024, counts.unquoted, counts.closed, counts.unclosed,
                counts.leadAtEnd, counts.emptyTail);
    return counts;
}

TEST(SweepCommandLine, RandomLinesCutAsTheModelSays)
{
    LeadBytes leads = AnsiLeadBytes();
    SweepCounts counts = SweepTails(0x0001, leads);
    // The generator must have reached every kind of name.
    EXPECT_GT(counts.unquoted, 0u);
    EXPECT_GT(counts.closed, 0u);
    EXPECT_GT(counts.unclosed, 0u);
    EXPECT_GT(counts.emptyTail, 0u);
    EXPECT_EQ(counts.maximal, kMaximalLines);
}

// Runs where the ANSI code page has lead bytes; the build runs it once more
// under a Japanese locale (see CMakeLists.txt).
TEST(SweepCommandLineDbcs, RandomLinesUnderDoubleByteCodePage)
{
    LeadBytes leads = AnsiLeadBytes();
    if (leads.count == 0)
        GTEST_SKIP() << "ANSI code page " << GetACP()
                     << " has no lead bytes; Sweep.UnderJapaneseCodePage runs this case";
    SweepCounts counts = SweepTails(0x0002, leads);
    EXPECT_GT(counts.closed, 0u);
    EXPECT_GT(counts.unclosed, 0u);
    EXPECT_GT(counts.leadAtEnd, 0u);
}

// ---- setupstub and launcher with hostile tails ---------------------------

// Random tails that don't begin with a blank, so none is cut away.
std::vector<std::string> RandomTails(std::mt19937& random, std::initializer_list<size_t> lengths)
{
    std::vector<std::string> tails;
    for (size_t length : lengths) {
        std::string tail = sweep::RandomBytes(random, length);
        tail[0] = static_cast<char>(0x21 + random() % (0xFF - 0x21));
        tails.push_back(tail);
    }
    return tails;
}

// A random tail that fills the command line up to its limit.
std::string MaximalTail(std::mt19937& random, const std::string& programPart)
{
    std::string tail = sweep::RandomBytes(random, kMaxCommandLine - 1 - programPart.size());
    tail[0] = 'x';
    return tail;
}

bool WaitGone(HWND window)
{
    DWORD start = GetTickCount();
    while (IsWindow(window) && GetTickCount() - start < wt::kWaitMs)
        Sleep(20);
    return !IsWindow(window);
}

class SweepSetupTails : public ::testing::Test {
protected:
    void SetUp() override { wt::ClearProductRegistry(); }
    void TearDown() override { wt::ClearProductRegistry(); }

    // Starts setup with the tail and returns its options dialog.
    void StartAndAsk(upgrade::SetupRun* run, const std::string& tail, const std::string& exe = "")
    {
        upgrade::OptionsDialog dialog;
        ASSERT_TRUE(run->Start(tail, exe)) << "could not start with " << sweep::Printable(tail);
        ASSERT_TRUE(run->NextDialog(&dialog))
            << "no options dialog for tail " << sweep::Printable(tail);
        EXPECT_EQ(dialog.heading, kFreshHeading);
        dialog_ = dialog;
    }

    void ExpectExitZero(upgrade::SetupRun* run, const std::string& tail)
    {
        DWORD code = 99;
        ASSERT_TRUE(run->WaitExit(&code)) << "setup did not end for " << sweep::Printable(tail);
        EXPECT_EQ(code, 0u) << "tail " << sweep::Printable(tail);
    }

    wt::Journal journal_;
    upgrade::OptionsDialog dialog_;
};

TEST_F(SweepSetupTails, RandomAndMaximalTailsShowTheDialogAndExit)
{
    std::mt19937 random = sweep::SeededRandom(0x0010);
    std::vector<std::string> tails = RandomTails(random, {1, 7, 64, 260, 1000});
    tails.push_back(MaximalTail(random, wt::Quoted(wt::DistFile("setupstub.exe")) + " "));
    for (const std::string& tail : tails) {
        upgrade::SetupRun run;
        ASSERT_NO_FATAL_FAILURE(StartAndAsk(&run, tail));
        run.Exit(dialog_);
        ASSERT_NO_FATAL_FAILURE(ExpectExitZero(&run, tail));
    }
    std::printf("%zu tails, the longest %zu bytes\n", tails.size(), tails.back().size());
}

TEST_F(SweepSetupTails, UnstartableTailEndsWithTheNotUninstalledBox)
{
    std::mt19937 random = sweep::SeededRandom(0x0011);
    std::vector<std::string> tails = RandomTails(random, {200});
    tails.push_back(MaximalTail(random, wt::Quoted(wt::DistFile("setupstub.exe")) + " "));
    for (const std::string& tail : tails) {
        upgrade::SetupRun run;
        ASSERT_NO_FATAL_FAILURE(StartAndAsk(&run, tail));
        run.Continue(dialog_);
        wt::MessageBoxInfo box;
        ASSERT_TRUE(wt::WaitForMessageBox(run.Process().Pid(), &box))
            << "no box for " << sweep::Printable(tail);
        EXPECT_EQ(box.text, kNotUninstalled);
        EXPECT_EQ(box.caption, kSetupCaption);
        EXPECT_EQ(wt::IconName(box.icon), wt::IconName(wt::BoxIcon::kInformation));
        wt::AnswerMessageBox(box, IDOK);
        ASSERT_NO_FATAL_FAILURE(ExpectExitZero(&run, tail));
    }
}

// The tail reaches the installer byte for byte (line ends left out: the
// journal is line by line).
TEST_F(SweepSetupTails, InstallerGetsARandomTailUnchanged)
{
    std::mt19937 random = sweep::SeededRandom(0x0012);
    std::string arguments = sweep::RandomBytes(random, 300);
    for (char& c : arguments)
        if (c == '\r' || c == '\n')
            c = '~';
    std::string tail = upgrade::InstallerTail() + " " + arguments;
    upgrade::SetupRun run;
    ASSERT_NO_FATAL_FAILURE(StartAndAsk(&run, tail));
    run.Continue(dialog_);
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero(&run, tail));
    EXPECT_EQ(journal_.Matching("installer start "),
              std::vector<std::string>{"installer start " + tail})
        << journal_.Dump();
}

// Under a double-byte code page: setup in a folder whose name holds
// characters with a backslash as their trail byte, its installer likewise,
// and a tail of such characters; the installer gets the tail unchanged.
TEST_F(SweepSetupTails, DbcsFolderAndTailUnderDoubleByteCodePage)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs the Japanese ANSI code page, have " << GetACP()
                     << "; Sweep.UnderJapaneseCodePage runs this case";
    // "表" and "ソ" in code page 932: 0x95 0x5C and 0x83 0x5C.
    const std::string kName = "\x95\x5C\x83\x5C";
    std::string setupDir = wt::NewScratchDir() + "\\" + kName;
    std::string installerDir = wt::NewScratchDir() + "\\" + kName + " x";
    ASSERT_TRUE(CreateDirectoryA(setupDir.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(installerDir.c_str(), nullptr));
    for (const char* file : {"setupstub.exe", "shadewin.dll"})
        ASSERT_TRUE(CopyFileA(wt::DistFile(file).c_str(), (setupDir + "\\" + file).c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(wt::FixtureFile("installer.exe").c_str(),
                          (installerDir + "\\installer.exe").c_str(), FALSE));

    std::string tail = wt::Quoted(installerDir + "\\installer.exe") + " " + kName + " \"" + kName +
                       "\" " + kName;
    upgrade::SetupRun run;
    ASSERT_NO_FATAL_FAILURE(StartAndAsk(&run, tail, setupDir + "\\setupstub.exe"));
    run.Continue(dialog_);
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero(&run, tail));
    EXPECT_EQ(journal_.Matching("installer start "),
              std::vector<std::string>{"installer start " + tail})
        << journal_.Dump();
}

// Without an engine, an InstallDir or an app.hta in the start folder: the
// two failure boxes in order, then exit code 0.
TEST(SweepLauncherTails, RandomTailsReportTheEngineAndTheStart)
{
    std::string exe = wt::DistFile("launcher.exe");
    if (!wt::FileExists(exe))
        GTEST_SKIP() << "no launcher.exe in dist yet";
    wt::ClearProductRegistry();
    wt::Journal journal;
    std::mt19937 random = sweep::SeededRandom(0x0020);
    std::vector<std::string> tails = RandomTails(random, {1, 33, 259, 260, 2000});
    tails.push_back(MaximalTail(random, wt::Quoted(exe) + " "));
    for (const std::string& tail : tails) {
        wt::Child launcher;
        ASSERT_TRUE(launcher.Start(wt::Quoted(exe) + " " + tail, wt::NewScratchDir()));
        for (const char* expected : {kEngineFailed, kStartFailed}) {
            wt::MessageBoxInfo box;
            ASSERT_TRUE(wt::WaitForMessageBox(launcher.Pid(), &box))
                << "no box \"" << expected << "\" for " << sweep::Printable(tail);
            EXPECT_EQ(box.text, expected) << sweep::Printable(tail);
            EXPECT_EQ(box.caption, kLauncherCaption);
            EXPECT_EQ(wt::IconName(box.icon), wt::IconName(wt::BoxIcon::kError));
            wt::AnswerMessageBox(box, IDOK);
            ASSERT_TRUE(WaitGone(box.window));
        }
        DWORD code = 99;
        ASSERT_TRUE(launcher.WaitExit(wt::kWaitMs, &code)) << sweep::Printable(tail);
        EXPECT_EQ(code, 0u) << sweep::Printable(tail);
    }
}

}  // namespace
