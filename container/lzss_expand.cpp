#include "container/lzss_expand.h"

#include <cstring>

#include "container/lzss_format.h"
#include "container/stream_bytes.h"

// Fixed storage for the window: the expansion allocates nothing.
static unsigned char window[kWindowSize];

namespace {

// The reader's bit cursor held in locals for the length of one expansion, so
// that a token costs a few shifts instead of a call per bit. It takes the
// bits exactly as ReadBit/ReadBits do: the same fetches, in the same order,
// and the same outcome when the input ends (0, with the bits already taken in
// that read dropped, and a fresh fetch on the next read).
struct Cursor {
    std::FILE* stream;
    int32_t currentByte;
    unsigned left;  // bits of currentByte still to take, 0 to 7; 0: fetch first

    // The next `n` bits (1 to 16), or 0 when the input ends first.
    inline unsigned Take(unsigned n) {
        unsigned value = 0;
        while (n > 0) {
            if (left == 0) {
                int byte = KIV_GETC(stream);
                if (byte < 0) {
                    currentByte = -1;
                    return 0;
                }
                currentByte = byte;
                left = 8;
            }
            unsigned take = n < left ? n : left;
            left -= take;
            value = (value << take) | ((unsigned(currentByte) >> left) & ((1u << take) - 1));
            n -= take;
        }
        return value;
    }
};

}  // namespace

void ExpandLzss(BitReader* reader, std::FILE* output) {
    std::memset(window, 0, sizeof window);
    // mask 0x80 means "fetch first" (0 bits left); mask 1 << k leaves k + 1.
    Cursor in{reader->stream, reader->currentByte, 0};
    if (reader->mask != 0x80) {
        for (unsigned m = reader->mask; m != 0; m >>= 1) {
            ++in.left;
        }
    }
    unsigned position = kFirstPosition;
    for (;;) {
        if (in.Take(1)) {
            unsigned char byte = (unsigned char)in.Take(8);
            KIV_PUTC(byte, output);
            window[position] = byte;
            position = (position + 1) & kWindowMask;
            continue;
        }
        unsigned index = in.Take(kIndexBits);
        if (index == 0) {
            break;  // the end marker, or the end of the input
        }
        unsigned count = in.Take(kLengthBits) + kMinMatch;
        for (unsigned i = 0; i < count; ++i) {
            // Read before store: a copy that overlaps its own output repeats.
            unsigned char byte = window[(index + i) & kWindowMask];
            KIV_PUTC(byte, output);
            window[position] = byte;
            position = (position + 1) & kWindowMask;
        }
    }
    reader->currentByte = in.currentByte;
    reader->mask = (uint8_t)(in.left == 0 ? 0x80 : 1u << (in.left - 1));
}
