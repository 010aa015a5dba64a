// Appends fixture events to the shared journal file.
#include "journal_writer.h"

#include <stdarg.h>
#include <stdio.h>

static const int kLineSize = 40000;

void JournalWrite(const char* who, const char* event, const char* data)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("LV_JOURNAL", path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return;
    static char line[kLineSize];
    int size = snprintf(line, sizeof(line), data ? "%s %s %s\n" : "%s %s\n", who, event,
                        data ? data : "");
    if (size < 0 || size >= kLineSize)
        size = kLineSize - 1;
    // FILE_APPEND_DATA makes every write land at the current end of file.
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file = CreateFileA(path, FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                  OPEN_ALWAYS, 0, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, line, static_cast<DWORD>(size), &written, NULL);
            CloseHandle(file);
            return;
        }
        Sleep(5);
    }
}

void JournalWritef(const char* who, const char* event, const char* format, ...)
{
    char data[kLineSize / 2];
    va_list args;
    va_start(args, format);
    vsnprintf(data, sizeof(data), format, args);
    va_end(args);
    JournalWrite(who, event, data);
}
