// Bit input over a buffered byte stream, most significant bit first.
#ifndef KIV_CONTAINER_BIT_READER_H
#define KIV_CONTAINER_BIT_READER_H

#include <cstdint>
#include <cstdio>

// The bit cursor of one stream. `mask` is the bit of `currentByte` that the
// next read takes (0x80 down to 0x01); 0x80 also means "fetch a byte first".
// `currentByte` is the last fetched byte, or -1 when that fetch found none.
// Whenever mask != 0x80, currentByte holds a byte.
struct BitReader {
    std::FILE* stream;  // borrowed: never seeked, rewound or closed here
    uint8_t mask;
    int32_t currentByte;
};

// Allocates a reader over `stream` (mask 0x80, currentByte 0). Reads nothing.
// Gives nullptr when no memory can be had.
BitReader* CreateBitReader(std::FILE* stream);

// Gives the next bit (0 or 1), or 0 once the input has ended. A fetch that
// finds no byte leaves the mask at 0x80, so every later read tries again.
int ReadBit(BitReader* reader);

// Gives the next `n` bits (1 <= n <= 32), the first read as the most
// significant. When the input ends before all n bits are read the result is
// 0: the bits taken so far in this call are dropped.
uint32_t ReadBits(BitReader* reader, int n);

// Frees the reader; its stream stays open where it stands.
void ReleaseBitReader(BitReader* reader);

#endif
