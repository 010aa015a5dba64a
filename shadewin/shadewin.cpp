// shadewin: a system-wide call-window-procedure hook that keeps the newest
// "{" window of one chosen thread off screen whenever it is shown.
#include <windows.h>

// Where the target window is parked, and its size there.
static const int kHiddenLeft = -1000;
static const int kHiddenTop = -1000;
static const char kTargetClassMark = '{';
// Class names given as atoms are below this value and are not pointers.
static const ULONG_PTR kFirstClassNamePointer = 0x10000;

struct HookData {
    HHOOK hookHandle;                  // the installed hook, or null
    PROCESS_INFORMATION targetProcess; // the target; only dwThreadId is used
    HWND targetWindow;                 // newest "{" window of the target thread
};

// One record for every process that maps the library. It must be
// initialised data to land in the shared section, not in .bss.
__attribute__((section("SEGHOOK"), shared)) HookData SharedHookData = {};

// This process's copy of the library, for SetWindowsHookExA.
static HINSTANCE moduleInstance;

static LRESULT CALLBACK HookProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    // Every sent message of the desktop passes here: any thread but the
    // target costs one thread-id read and one comparison.
    if (nCode >= 0 && GetCurrentThreadId() == SharedHookData.targetProcess.dwThreadId) {
        const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (call->message == WM_CREATE) {
            const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(call->lParam);
            ULONG_PTR className = reinterpret_cast<ULONG_PTR>(create->lpszClass);
            // An atom class is not a string and counts as no match.
            if (className >= kFirstClassNamePointer && create->lpszClass[0] == kTargetClassMark)
                SharedHookData.targetWindow = call->hwnd;
        } else if (call->message == WM_SHOWWINDOW && call->hwnd == SharedHookData.targetWindow) {
            MoveWindow(SharedHookData.targetWindow, kHiddenLeft, kHiddenTop, 0, 0, FALSE);
        }
    }
    return CallNextHookEx(SharedHookData.hookHandle, nCode, wParam, lParam);
}

extern "C" BOOL WINAPI InitHook(void)
{
    if (!SharedHookData.hookHandle)
        SharedHookData.hookHandle = SetWindowsHookExA(WH_CALLWNDPROC, HookProc, moduleInstance, 0);
    return 1;
}

extern "C" BOOL WINAPI TermHook(void)
{
    if (!SharedHookData.hookHandle)
        return 0;
    BOOL result = UnhookWindowsHookEx(SharedHookData.hookHandle);
    SharedHookData.hookHandle = NULL;
    return result;
}

extern "C" DWORD WINAPI GetThreadID(const PROCESS_INFORMATION* processInfo)
{
    // Cleared first and the thread id stored last: a hook running meanwhile
    // in another process sees the old id, zero, or the new one.
    volatile PROCESS_INFORMATION* target = &SharedHookData.targetProcess;
    target->dwThreadId = 0;
    target->hProcess = NULL;
    target->hThread = NULL;
    target->dwProcessId = 0;
    target->hProcess = processInfo->hProcess;
    target->hThread = processInfo->hThread;
    target->dwProcessId = processInfo->dwProcessId;
    target->dwThreadId = processInfo->dwThreadId;
    return processInfo->dwThreadId;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    // The hook is not removed on detach: TermHook owns that.
    if (reason == DLL_PROCESS_ATTACH)
        moduleInstance = instance;
    return TRUE;
}
