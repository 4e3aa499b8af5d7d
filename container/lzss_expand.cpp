#include "container/lzss_expand.h"

#include <cstring>

#include "container/lzss_format.h"
#include "container/stream_bytes.h"

// Fixed storage for the window: the expansion allocates nothing.
static unsigned char window[kWindowSize];

void ExpandLzss(BitReader* reader, std::FILE* output) {
    std::memset(window, 0, sizeof window);
    unsigned position = kFirstPosition;
    for (;;) {
        if (ReadBit(reader)) {
            int byte = int(ReadBits(reader, 8));
            KIV_PUTC(byte, output);
            window[position] = (unsigned char)byte;
            position = (position + 1) & kWindowMask;
            continue;
        }
        unsigned index = ReadBits(reader, kIndexBits);
        if (index == 0) {
            return;  // the end marker, or the end of the input
        }
        unsigned count = ReadBits(reader, kLengthBits) + kMinMatch;
        for (unsigned i = 0; i < count; ++i) {
            // Read before store: a copy that overlaps its own output repeats.
            unsigned char byte = window[(index + i) & kWindowMask];
            KIV_PUTC(byte, output);
            window[position] = byte;
            position = (position + 1) & kWindowMask;
        }
    }
}
