#include "container/bit_reader.h"

#include <cstdlib>

#include "container/stream_bytes.h"

BitReader* CreateBitReader(std::FILE* stream) {
    BitReader* reader = static_cast<BitReader*>(std::calloc(1, sizeof(BitReader)));
    if (reader) {
        reader->stream = stream;
        reader->mask = 0x80;
        reader->currentByte = 0;
    }
    return reader;
}

// Fetches the next byte when the cursor stands at a byte boundary. Gives 0
// when the input has ended, leaving mask at 0x80.
static inline int FetchIfNeeded(BitReader* reader) {
    if (reader->mask == 0x80) {
        reader->currentByte = KIV_GETC(reader->stream);  // EOF is -1
        if (reader->currentByte < 0) {
            reader->currentByte = -1;
            return 0;
        }
    }
    return 1;
}

static inline int TakeBit(BitReader* reader) {
    int bit = (reader->currentByte & reader->mask) ? 1 : 0;
    reader->mask >>= 1;
    if (reader->mask == 0) {
        reader->mask = 0x80;
    }
    return bit;
}

int ReadBit(BitReader* reader) {
    if (!FetchIfNeeded(reader)) {
        return 0;
    }
    return TakeBit(reader);
}

uint32_t ReadBits(BitReader* reader, int n) {
    uint32_t value = 0;
    for (uint32_t bit = uint32_t(1) << (n - 1); bit != 0; bit >>= 1) {
        if (!FetchIfNeeded(reader)) {
            return 0;
        }
        if (TakeBit(reader)) {
            value |= bit;
        }
    }
    return value;
}

void ReleaseBitReader(BitReader* reader) {
    std::free(reader);
}
