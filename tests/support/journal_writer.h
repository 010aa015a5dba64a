// How fixture programs record what happens to them: one line per event,
// appended to the file that LV_JOURNAL names.
#pragma once

#include <windows.h>

// Appends "<who> <event>[ <data>]\n" in one write, so lines of several
// processes never interleave. Does nothing without LV_JOURNAL.
void JournalWrite(const char* who, const char* event, const char* data = nullptr);
// printf-style data.
void JournalWritef(const char* who, const char* event, const char* format, ...);
