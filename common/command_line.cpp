#include "command_line.h"

#include <windows.h>

static const unsigned char kQuote = '"';
static const unsigned char kLastBlank = 0x20;

const char* CommandLineTail(const char* commandLine)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
    if (*p == kQuote) {
        // A quoted name runs to the next quote. A double-byte lead byte takes
        // its trail byte along, so a trail byte equal to '"' cannot end it,
        // but a lead byte right before the terminator must not step past it.
        ++p;
        while (*p && *p != kQuote) {
            if (IsDBCSLeadByte(*p) && p[1])
                ++p;
            ++p;
        }
        if (*p == kQuote)
            ++p;
    } else {
        while (*p > kLastBlank)
            ++p;
    }
    while (*p && *p <= kLastBlank)
        ++p;
    return reinterpret_cast<const char*>(p);
}
