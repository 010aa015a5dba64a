// The process-wide record and the small helpers shared by setupstub's files.
#include "setup_state.h"

SetupState setupState;

const char kSetupCaption[] = "Image Lumi-Vault Setup";
const char kNotUninstalledText[] = "Image Lumi-Vault was not uninstalled from your system";
const char kCurrentProduct[] = "Image Lumi-Vault";
const char kFormerProduct[] = "Lumi-Vault";

// Allocation failure has no sensible way on; say so rather than crash.
static const char kOutOfMemoryText[] = "Not enough memory.";

char* NewString(size_t size)
{
    void* memory = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
    if (!memory) {
        MessageBoxA(NULL, kOutOfMemoryText, kSetupCaption, MB_ICONERROR);
        ExitProcess(0);
    }
    return static_cast<char*>(memory);
}

char* NewTextFromData(const char* data, DWORD size, DWORD capacity)
{
    DWORD length = 0;
    while (length < size && length < capacity && data[length])
        ++length;
    char* text = NewString(length + 1);
    CopyMemory(text, data, length);
    return text;
}

char* JoinStrings(const char* first, const char* second)
{
    size_t firstLength = lstrlenA(first);
    size_t secondLength = lstrlenA(second);
    char* joined = NewString(firstLength + secondLength + 1);
    CopyMemory(joined, first, firstLength);
    CopyMemory(joined + firstLength, second, secondLength);
    return joined;
}

// Byte for byte: the locale-aware comparisons are not exact.
bool SameText(const char* a, const char* b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

void LoadDialogText(UINT id, char* field)
{
    char buffer[kDialogTextSize] = "";
    LoadStringA(setupState.instance, id, buffer, kDialogTextSize);
    lstrcpynA(field, buffer, kDialogTextSize);
}

void FailAndExit(const char* text)
{
    MessageBoxA(NULL, text, kSetupCaption, MB_ICONINFORMATION);
    ExitProcess(0);
}
