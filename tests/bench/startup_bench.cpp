// Start-up benchmark, side by side in one run: launcher.exe with an empty
// tail against an empty program that starts "app.hta" the same way, and
// setupstub.exe up to its visible options dialog against an empty program
// showing an empty modal dialog. Prints the medians and their ratios.
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "wine_test.h"

namespace {

const int kRounds = 15;

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * counter.QuadPart / frequency.QuadPart;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Milliseconds from the start of the program until it has ended.
double TimeToExit(const std::string& commandLine, const std::string& workDir)
{
    wt::Child child;
    double start = Now();
    if (!child.Start(commandLine, workDir) || !child.WaitExit(wt::kWaitMs))
        return -1;
    return Now() - start;
}

// Milliseconds from the start of the program until its first visible dialog;
// the dialog is then closed.
double TimeToDialog(const std::string& commandLine)
{
    wt::Child child;
    double start = Now();
    if (!child.Start(commandLine))
        return -1;
    HWND dialog = nullptr;
    while (!dialog && Now() - start < wt::kWaitMs) {
        std::vector<HWND> windows = wt::TopWindows(child.Pid(), "#32770");
        if (!windows.empty())
            dialog = windows[0];
        else
            Sleep(1);
    }
    double elapsed = Now() - start;
    if (!dialog)
        return -1;
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    child.WaitExit(wt::kWaitMs);
    return elapsed;
}

// ".hta" opens with the fixture handler; app.hta lies in the folder that
// InstallDir names.
std::string PrepareHta()
{
    wt::RegisterHtaHandler(true);
    std::string dir = wt::NewScratchDir();
    wt::WriteTextFile(dir + "\\app.hta", "bench\r\n");
    wt::SetRegString(HKEY_LOCAL_MACHINE, wt::kProductKeyCurrent, "InstallDir", dir);
    return dir;
}

// The handler that a start of "app.hta" runs lives on after the program that
// started it; the next measurement must not share the machine with it.
void WaitForHandler(const wt::Journal& journal, size_t starts)
{
    DWORD start = GetTickCount();
    while (journal.Matching("hta show").size() < starts && GetTickCount() - start < wt::kWaitMs)
        Sleep(1);
    Sleep(50);
}

void Report(const char* what, const std::vector<double>& ours, const char* baselineName,
            const std::vector<double>& baseline, double goal)
{
    double ratio = Median(ours) / Median(baseline);
    printf("%s: %.1f ms, %s: %.1f ms, ratio %.2f (goal at most %.1f)\n", what, Median(ours),
           baselineName, Median(baseline), ratio, goal);
}

}  // namespace

int main()
{
    wt::ClearProductRegistry();
    wt::Journal journal;
    std::string appDir = PrepareHta();
    std::string launcher = wt::Quoted(wt::DistFile("launcher.exe"));
    std::string shellBaseline = wt::Quoted(wt::FixtureFile("bench_shell.exe"));
    std::string setup = wt::Quoted(wt::DistFile("setupstub.exe")) + " " +
                        wt::Quoted(wt::FixtureFile("installer.exe"));
    std::string dialogBaseline = wt::Quoted(wt::FixtureFile("bench_dialog.exe"));

    std::vector<double> launcherTimes, shellTimes, setupTimes, dialogTimes;
    // One warm-up round each, then alternating rounds so that drift in the
    // machine's speed falls on both sides alike.
    size_t handlerStarts = 0;
    TimeToExit(launcher, "");
    WaitForHandler(journal, ++handlerStarts);
    TimeToDialog(setup);
    for (int round = 0; round < kRounds; ++round) {
        // Which of a pair goes first alternates, so that neither always
        // runs right after the other.
        bool oursFirst = round % 2 == 0;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == oursFirst)
                launcherTimes.push_back(TimeToExit(launcher, ""));
            else
                shellTimes.push_back(TimeToExit(shellBaseline, appDir));
            WaitForHandler(journal, ++handlerStarts);
        }
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == oursFirst)
                setupTimes.push_back(TimeToDialog(setup));
            else
                dialogTimes.push_back(TimeToDialog(dialogBaseline));
        }
    }
    const struct {
        const char* name;
        const std::vector<double>* times;
    } runs[] = {{"launcher.exe", &launcherTimes},
                {"bench_shell.exe", &shellTimes},
                {"setupstub.exe", &setupTimes},
                {"bench_dialog.exe", &dialogTimes}};
    for (const auto& run : runs)
        if (std::count(run.times->begin(), run.times->end(), -1.0) > 0) {
            printf("bench: %s did not start or end in time\n", run.name);
            return 1;
        }
    wt::ClearProductRegistry();
    Report("launcher.exe start (empty tail)", launcherTimes, "empty program", shellTimes, 1.2);
    Report("setupstub.exe to its dialog", setupTimes, "empty dialog program", dialogTimes, 1.2);
    return 0;
}
