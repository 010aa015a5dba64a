// Helpers for tests that drive the real programs under Wine.
#include "wine_test.h"

#include <shlobj.h>

#include <stdio.h>

#include <algorithm>
#include <cstdint>
#include <functional>

#ifndef LV_DIST_DIR
#error "LV_DIST_DIR must name the folder of the shippable files"
#endif

namespace wt {

namespace {

const DWORD kPollMs = 20;

// Unix paths from the build reach Wine through drive Z:.
std::string FromUnixPath(const char* unixPath)
{
    std::string path = std::string("Z:") + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

}  // namespace

// ---- Paths ---------------------------------------------------------------

std::string DistDir() { return FromUnixPath(LV_DIST_DIR); }
std::string FixtureDir() { return FromUnixPath(LV_FIXTURE_DIR); }
std::string DistFile(const char* name) { return DistDir() + "\\" + name; }
std::string FixtureFile(const char* name) { return FixtureDir() + "\\" + name; }

std::string NewScratchDir()
{
    static int counter = 0;
    std::string base = FromUnixPath(LV_SCRATCH_DIR);
    CreateDirectoryA(base.c_str(), nullptr);
    for (;;) {
        char name[64];
        snprintf(name, sizeof(name), "\\t%lu_%d", GetCurrentProcessId(), ++counter);
        std::string dir = base + name;
        if (CreateDirectoryA(dir.c_str(), nullptr))
            return dir;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return dir;
    }
}

bool WriteTextFile(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// ---- Journal -------------------------------------------------------------

Journal::Journal()
{
    path_ = NewScratchDir() + "\\journal.txt";
    WriteTextFile(path_, "");
    SetEnvironmentVariableA(kJournalVariable, path_.c_str());
}

std::vector<std::string> Journal::Lines() const
{
    std::vector<std::string> lines;
    HANDLE file = CreateFileA(path_.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lines;
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        content.append(buffer, got);
    CloseHandle(file);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            break;  // a line still being written
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> Journal::Matching(const std::string& prefix) const
{
    std::vector<std::string> result;
    for (const std::string& line : Lines())
        if (line.compare(0, prefix.size(), prefix) == 0)
            result.push_back(line);
    return result;
}

bool Journal::WaitFor(const std::string& prefix, DWORD timeoutMs) const
{
    DWORD start = GetTickCount();
    do {
        if (!Matching(prefix).empty())
            return true;
        Sleep(kPollMs);
    } while (GetTickCount() - start < timeoutMs);
    return !Matching(prefix).empty();
}

std::string Journal::Dump() const
{
    std::string text = "journal:\n";
    for (const std::string& line : Lines())
        text += "  " + line + "\n";
    return text;
}

// ---- Processes -----------------------------------------------------------

Child::Child(Child&& other) noexcept : info_(other.info_) { other.info_ = {}; }

Child::~Child()
{
    Kill();
    if (info_.hProcess)
        CloseHandle(info_.hProcess);
    if (info_.hThread)
        CloseHandle(info_.hThread);
}

bool Child::Start(const std::string& commandLine, const std::string& workDir, DWORD flags)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                          workDir.empty() ? nullptr : workDir.c_str(), &startup, &info_) != 0;
}

bool Child::WaitExit(DWORD timeoutMs, DWORD* exitCode)
{
    if (!info_.hProcess)
        return false;
    if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(info_.hProcess, exitCode);
    return true;
}

bool Child::Running() const
{
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void Child::Kill()
{
    if (Running()) {
        TerminateProcess(info_.hProcess, 255);
        WaitForSingleObject(info_.hProcess, kShortWaitMs);
    }
}

std::string SystemErrorText(DWORD code)
{
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = text ? text : "";
    if (text)
        LocalFree(text);
    return result;
}

// ---- Registry ------------------------------------------------------------

const char kUninstallKeyCurrent[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Image Lumi-Vault";
const char kUninstallKeyFormer[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumi-Vault";
const char kProductKeyCurrent[] = "Software\\Quorvane\\Image Lumi-Vault";
const char kProductKeyFormer[] = "Software\\Quorvane\\Lumi-Vault";
const char kEngineServerKey[] = "CLSID\\{7E3D9A52-4B1F-4C6A-9E21-5D8C0B7A3F62}";

bool SetRegData(HKEY root, const std::string& key, const char* value, DWORD type,
                const void* data, DWORD size)
{
    HKEY handle;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG result =
        RegSetValueExA(handle, value, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

bool SetRegString(HKEY root, const std::string& key, const char* value, const std::string& text)
{
    return SetRegData(root, key, value, REG_SZ, text.c_str(),
                      static_cast<DWORD>(text.size() + 1));
}

bool GetRegString(HKEY root, const std::string& key, const char* value, std::string* text)
{
    char buffer[4096];
    DWORD size = sizeof(buffer) - 1;
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return false;
    LONG result =
        RegQueryValueExA(handle, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS)
        return false;
    buffer[size] = '\0';
    *text = std::string(buffer, strnlen(buffer, size));
    return true;
}

void DeleteRegTree(HKEY root, const std::string& key) { RegDeleteTreeA(root, key.c_str()); }

void ClearProductRegistry()
{
    DeleteRegTree(HKEY_LOCAL_MACHINE, kUninstallKeyCurrent);
    DeleteRegTree(HKEY_LOCAL_MACHINE, kUninstallKeyFormer);
    DeleteRegTree(HKEY_LOCAL_MACHINE, kProductKeyCurrent);
    DeleteRegTree(HKEY_LOCAL_MACHINE, kProductKeyFormer);
    DeleteRegTree(HKEY_CLASSES_ROOT, kEngineServerKey);
}

std::string FallbackDataDir()
{
    char folder[MAX_PATH + 1] = "";
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_PERSONAL, &items)) && items) {
        SHGetPathFromIDListA(items, folder);
        CoTaskMemFree(items);
    }
    return std::string(folder) + "\\Quorvane\\LumiVault";
}

bool RegisterHtaHandler(bool registered)
{
    const char kProgId[] = "LumiVaultTest.hta";
    DeleteRegTree(HKEY_CLASSES_ROOT, ".hta");
    DeleteRegTree(HKEY_CURRENT_USER, "Software\\Classes\\.hta");
    DeleteRegTree(HKEY_CLASSES_ROOT, kProgId);
    if (!registered)
        return true;
    return SetRegString(HKEY_CLASSES_ROOT, ".hta", nullptr, kProgId) &&
           SetRegString(HKEY_CLASSES_ROOT, std::string(kProgId) + "\\shell\\open\\command",
                        nullptr, Quoted(FixtureFile("hta_handler.exe")) + " \"%1\"");
}

// ---- Windows -------------------------------------------------------------

namespace {

struct TopWindowSearch {
    DWORD pid;
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM lParam)
{
    TopWindowSearch* search = reinterpret_cast<TopWindowSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window))
        return TRUE;
    if (search->className && ClassName(window) != search->className)
        return TRUE;
    search->found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopWindows(DWORD pid, const char* className)
{
    TopWindowSearch search = {pid, className, {}};
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD pid, const char* className, const char* title, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND window : TopWindows(pid, className))
            if (!title || WindowText(window) == title)
                return window;
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        Sleep(kPollMs);
    }
}

std::string WindowText(HWND window)
{
    char buffer[4096] = "";
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, kShortWaitMs, &length);
    return std::string(buffer, strnlen(buffer, sizeof(buffer)));
}

std::string ClassName(HWND window)
{
    char buffer[256] = "";
    int length = GetClassNameA(window, buffer, sizeof(buffer));
    return std::string(buffer, length > 0 ? length : 0);
}

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

bool Visible(HWND window) { return window && IsWindowVisible(window); }

int CheckState(HWND button)
{
    DWORD_PTR state = 0;
    SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kShortWaitMs, &state);
    return static_cast<int>(state);
}

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

void Command(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PressKey(HWND window, UINT virtualKey)
{
    UINT scan = MapVirtualKeyA(virtualKey, 0);
    PostMessageA(window, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageA(window, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

// ---- Message boxes -------------------------------------------------------

namespace {

struct BoxParts {
    HWND icon = nullptr;
    HWND text = nullptr;
    std::vector<HWND> buttons;
};

BOOL CALLBACK CollectBoxPart(HWND child, LPARAM lParam)
{
    BoxParts* parts = reinterpret_cast<BoxParts*>(lParam);
    std::string cls = ClassName(child);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (_stricmp(cls.c_str(), "Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON)
            parts->icon = child;
        else if (IsWindowVisible(child))
            parts->text = child;
    } else if (_stricmp(cls.c_str(), "Button") == 0 && IsWindowVisible(child)) {
        parts->buttons.push_back(child);
    }
    return TRUE;
}

// Paints into a 32-bit top-down bitmap and gives its pixels (0x00RRGGBB).
std::vector<uint32_t> Paint(int width, int height,
                            const std::function<void(HDC, uint32_t*)>& draw)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    draw(memory, static_cast<uint32_t*>(bits));
    GdiFlush();
    memcpy(pixels.data(), bits, pixels.size() * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Draws a system icon on the given background.
std::vector<uint32_t> RenderIcon(LPCSTR iconId, int width, int height, uint32_t background)
{
    return Paint(width, height, [&](HDC dc, uint32_t* bits) {
        std::fill(bits, bits + static_cast<size_t>(width) * height, background);
        DrawIconEx(dc, 0, 0, LoadIconA(nullptr, iconId), 0, 0, 0, nullptr, DI_NORMAL);
    });
}

}  // namespace

std::vector<uint32_t> GrabScreen(const RECT& rect)
{
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    return Paint(width, height, [&](HDC dc, uint32_t*) {
        HDC screen = GetDC(nullptr);
        BitBlt(dc, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
    });
}

namespace {

// Icons are per-process handles under Wine, so the box's icon is told by
// what it draws: the closest of the system icons rendered here.
BoxIcon IdentifyIcon(HWND iconControl)
{
    if (!iconControl || !IsWindowVisible(iconControl))
        return BoxIcon::kNone;
    RECT rect;
    GetWindowRect(iconControl, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return BoxIcon::kNone;
    std::vector<uint32_t> shown = GrabScreen(rect);
    uint32_t background = shown[0] & 0xFFFFFF;
    const struct {
        LPCSTR id;
        BoxIcon icon;
    } candidates[] = {{IDI_HAND, BoxIcon::kError},
                      {IDI_ASTERISK, BoxIcon::kInformation},
                      {IDI_QUESTION, BoxIcon::kQuestion},
                      {IDI_EXCLAMATION, BoxIcon::kWarning}};
    BoxIcon best = BoxIcon::kUnknown;
    uint64_t bestDistance = UINT64_MAX;
    for (const auto& candidate : candidates) {
        std::vector<uint32_t> drawn = RenderIcon(candidate.id, width, height, background);
        uint64_t distance = 0;
        for (size_t i = 0; i < drawn.size(); ++i)
            for (int shift = 0; shift < 24; shift += 8) {
                int a = (shown[i] >> shift) & 0xFF, b = (drawn[i] >> shift) & 0xFF;
                distance += static_cast<uint64_t>(a > b ? a - b : b - a);
            }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate.icon;
        }
    }
    return best;
}

}  // namespace

const char* IconName(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::kNone: return "none";
    case BoxIcon::kError: return "error";
    case BoxIcon::kInformation: return "information";
    case BoxIcon::kQuestion: return "question";
    case BoxIcon::kWarning: return "warning";
    default: return "unknown";
    }
}

bool WaitForMessageBox(DWORD pid, MessageBoxInfo* box, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND window : TopWindows(pid, "#32770")) {
            BoxParts parts;
            EnumChildWindows(window, CollectBoxPart, reinterpret_cast<LPARAM>(&parts));
            // The options dialog has check boxes and no icon; a message box
            // has an icon control (hidden when there is no icon).
            if (!parts.icon || parts.buttons.empty())
                continue;
            // Let it paint before its icon is read from the screen.
            UpdateWindow(window);
            Sleep(200);
            box->window = window;
            box->caption = WindowText(window);
            box->text = parts.text ? WindowText(parts.text) : "";
            box->buttons.clear();
            for (HWND button : parts.buttons)
                box->buttons.push_back(WindowText(button));
            box->icon = IdentifyIcon(parts.icon);
            box->owner = GetWindow(window, GW_OWNER);
            return true;
        }
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(kPollMs);
    }
}

void AnswerMessageBox(const MessageBoxInfo& box, int buttonId)
{
    PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box.window, buttonId)));
}

}  // namespace wt
