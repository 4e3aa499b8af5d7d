#include "bootstrap/command_line.h"

#include "platform/platform.h"

const char* SkipProgramName(const char* line) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(line);
    if (*p == '"') {
        ++p;
        while (*p != 0 && *p != '"') {
            // The second byte of a double-byte character may have the quote's
            // code; it belongs to the name. A lead byte right before the zero
            // takes nothing along: the zero still ends the line.
            if (PlatformIsLeadByte(*p) && p[1] != 0) {
                ++p;
            }
            ++p;
        }
        if (*p == '"') {
            ++p;
        }
    } else {
        // Bytes of 128 and above (accented letters, double-byte characters)
        // are part of the name, hence the unsigned comparison.
        while (*p > ' ') {
            ++p;
        }
    }
    while (*p != 0 && *p <= ' ') {
        ++p;
    }
    return reinterpret_cast<const char*>(p);
}
