// The payload container's trailer: the 56 bytes that end a container and
// locate every piece in it. doc/container_format.md describes the layout.
#ifndef KIV_CONTAINER_CONTAINER_TRAILER_H
#define KIV_CONTAINER_CONTAINER_TRAILER_H

#include <cstdint>
#include <cstdio>

enum { kTrailerSize = 56, kSignatureSize = 8, kSetupInfoCount = 4 };

// The 8 signature bytes, without a terminating zero in the file.
extern const char kContainerSignature[kSignatureSize + 1];

// Place of one piece: absolute file position and size in bytes. An empty slot
// is (0, 0).
struct PayloadSlot {
    uint32_t offset;
    uint32_t length;
};

// The trailer in memory, fields in file order.
struct ContainerTrailer {
    PayloadSlot programImage;                // present when offset != 0; length never read
    PayloadSlot libraryImage;                // present when offset != 0; length never read
    PayloadSlot setupInfo[kSetupInfoCount];  // empty when length == 0
    char signature[kSignatureSize];
};

// Reads the last 56 bytes of `container` (a binary stream open for reading)
// into `trailer`, which starts out all zero. Gives 1 when the signature
// matches exactly, 0 otherwise, also for a file shorter than 56 bytes. No
// other field is checked. Leaves the stream positioned anywhere.
int ReadContainerTrailer(std::FILE* container, ContainerTrailer* trailer);

// Writes the trailer's 56-byte file form, integers little-endian, with one
// write at the stream's current position. The result is not checked; the
// caller learns of a failed write, if at all, from the stream's error state.
void WriteContainerTrailer(std::FILE* stream, const ContainerTrailer* trailer);

// Decodes / encodes the 56-byte file form. Used by the stream functions above
// and by tools that hold a container in memory.
void DecodeContainerTrailer(const unsigned char bytes[kTrailerSize], ContainerTrailer* trailer);
void EncodeContainerTrailer(const ContainerTrailer* trailer, unsigned char bytes[kTrailerSize]);

// Gives 1 when `trailer` carries the signature byte for byte.
int HasContainerSignature(const ContainerTrailer* trailer);

// Positions at or above 2^31 cannot be used as file positions by the Windows
// runtime, and the host runtime would seek somewhere else entirely; every
// reader refuses them before seeking. Gives 1 for a usable position.
inline int IsUsablePosition(uint32_t position) {
    return position < 0x80000000u;
}

// Seeks `stream` to `position` from its start after checking it with
// IsUsablePosition. Gives 1 on success, 0 for an unusable position or a
// failed seek.
int SeekToPosition(std::FILE* stream, uint32_t position);

#endif
