// Helpers for tests that run the real programs under Wine: paths, child
// processes, the fixtures' journal, the registry, and driving windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace wt {

// Every wait in test code is bounded by one of these.
const DWORD kShortWaitMs = 3000;
const DWORD kWaitMs = 15000;

// ---- Paths ---------------------------------------------------------------

// Folder of the three shippable files and of the fixture programs, as
// Windows paths ("Z:\...").
std::string DistDir();
std::string FixtureDir();
std::string DistFile(const char* name);
std::string FixtureFile(const char* name);
// A new empty folder for this test, removed by no one (it lives under the
// build folder's scratch area).
std::string NewScratchDir();
// Writes a small file; returns false on failure.
bool WriteTextFile(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
// Quotes a path for a command line.
std::string Quoted(const std::string& text);

// ---- Journal -------------------------------------------------------------

// The file the fixtures append to, named by the environment variable
// LV_JOURNAL that children inherit. Each line is "<who> <event>[ <data>]".
const char kJournalVariable[] = "LV_JOURNAL";

class Journal {
public:
    Journal();  // a fresh, empty journal, set in the environment
    const std::string& Path() const { return path_; }
    std::vector<std::string> Lines() const;
    // Lines that start with the given prefix.
    std::vector<std::string> Matching(const std::string& prefix) const;
    // Waits (bounded) until a line starting with prefix appears.
    bool WaitFor(const std::string& prefix, DWORD timeoutMs = kWaitMs) const;
    std::string Dump() const;  // for failure messages

private:
    std::string path_;
};

// ---- Processes -----------------------------------------------------------

// A started program. The destructor kills it if it is still running, so a
// failed test leaves nothing behind.
class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    Child(Child&& other) noexcept;
    ~Child();

    // Starts commandLine exactly as given (CreateProcessA, no application
    // name). workDir may be empty for ours. Returns false if it can't.
    bool Start(const std::string& commandLine, const std::string& workDir = "",
               DWORD flags = 0);
    // Waits (bounded) for the end; true when it ended, with its exit code.
    bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    bool Running() const;
    void Kill();
    DWORD Pid() const { return info_.dwProcessId; }
    DWORD MainThreadId() const { return info_.dwThreadId; }
    const PROCESS_INFORMATION& Info() const { return info_; }

private:
    PROCESS_INFORMATION info_ = {};
};

// The system's own text for an error code, as FormatMessageA gives it
// (line break included), or "" when it has none.
std::string SystemErrorText(DWORD code);

// ---- Registry ------------------------------------------------------------

bool SetRegString(HKEY root, const std::string& key, const char* value, const std::string& text);
bool SetRegData(HKEY root, const std::string& key, const char* value, DWORD type,
                const void* data, DWORD size);
// The string value, or false when it is missing.
bool GetRegString(HKEY root, const std::string& key, const char* value, std::string* text);
void DeleteRegTree(HKEY root, const std::string& key);

// The products' keys.
extern const char kUninstallKeyCurrent[];
extern const char kUninstallKeyFormer[];
extern const char kProductKeyCurrent[];
extern const char kProductKeyFormer[];
extern const char kEngineServerKey[];  // under HKEY_CLASSES_ROOT
// Removes both products' keys (and the engine's registration).
void ClearProductRegistry();
// The data folder setup falls back to: the documents folder as the shell
// gives it to this process, followed by "\Quorvane\LumiVault". Wine's
// documents folder may end in a backslash, and then the result holds two.
std::string FallbackDataDir();

// Makes the fixture hta_handler.exe the program that opens ".hta" files
// (replacing the system's own association), or removes every association
// for ".hta". False when the registry refuses.
bool RegisterHtaHandler(bool registered);

// ---- Windows -------------------------------------------------------------

// Visible top-level windows of a process, optionally of one class.
std::vector<HWND> TopWindows(DWORD pid, const char* className = nullptr);
// Waits (bounded) for a visible top-level window of the process whose class
// (and title, when given) match.
HWND WaitForWindow(DWORD pid, const char* className, const char* title = nullptr,
                   DWORD timeoutMs = kWaitMs);
std::string WindowText(HWND window);
std::string ClassName(HWND window);
HWND Item(HWND dialog, int id);
bool Visible(HWND window);
// BM_GETCHECK of a button.
int CheckState(HWND button);
// Posts a button click (BM_CLICK) so that the receiver's modal work can't
// block the test.
void Click(HWND button);
// Posts WM_COMMAND for a control id, as a keyboard accelerator would.
void Command(HWND dialog, int id);
// Posts a key press and release to a window.
void PressKey(HWND window, UINT virtualKey);

// ---- Message boxes -------------------------------------------------------

enum class BoxIcon { kNone, kError, kInformation, kQuestion, kWarning, kUnknown };

struct MessageBoxInfo {
    HWND window = nullptr;
    std::string caption;
    std::string text;
    std::vector<std::string> buttons;  // texts of the push buttons, in order
    BoxIcon icon = BoxIcon::kUnknown;
    HWND owner = nullptr;
};

// Waits (bounded) for a message box ("#32770" with the message-box text
// control) of the process and reads it. False when none came.
bool WaitForMessageBox(DWORD pid, MessageBoxInfo* box, DWORD timeoutMs = kWaitMs);
// Presses the message box's button with the given id (IDOK, IDRETRY, ...).
void AnswerMessageBox(const MessageBoxInfo& box, int buttonId);
const char* IconName(BoxIcon icon);

// ---- Screenshots ---------------------------------------------------------

// The screen's pixels in a rectangle, top-down, as 0x00RRGGBB values.
std::vector<uint32_t> GrabScreen(const RECT& rect);

// Saves the screen area of a window as a PNG file.
bool SaveWindowPng(HWND window, const std::string& path);

}  // namespace wt
