#include "container/find_trailer.h"

#include <cstring>

#include "container/pe_image.h"

// Reads `count` bytes at `position`; gives 1 when all arrived.
static int ReadAt(std::FILE* stream, uint32_t position, unsigned char* bytes, size_t count) {
    return SeekToPosition(stream, position) && std::fread(bytes, 1, count, stream) == count;
}

// Looks for the trailer in front of the certificate table that ends a file
// of `fileSize` bytes. Gives 1 with *trailer and *place filled.
static int FindSignedTrailer(std::FILE* container, long fileSize, ContainerTrailer* trailer,
                             TrailerPlace* place) {
    unsigned char header[kPeHeaderWindow];
    size_t headerSize =
        fileSize < long(kPeHeaderWindow) ? size_t(fileSize) : size_t(kPeHeaderWindow);
    PeImage image;
    if (!ReadAt(container, 0, header, headerSize) || !ParsePeImage(header, headerSize, &image)) {
        return 0;
    }
    PeDataDirectory table = GetPeDirectory(&image, kPeDirSecurity);
    if (table.size == 0 || uint64_t(table.virtualAddress) + table.size != uint64_t(fileSize) ||
        table.virtualAddress < uint32_t(kTrailerSize)) {
        return 0;
    }
    // The bytes in front of the table: the trailer and at most 7 of padding.
    enum { kLookBack = kTrailerSize + kMaxCertificatePadding };
    unsigned char tail[kLookBack];
    uint32_t back =
        table.virtualAddress < uint32_t(kLookBack) ? table.virtualAddress : uint32_t(kLookBack);
    if (!ReadAt(container, table.virtualAddress - back, tail, back)) {
        return 0;
    }
    for (uint32_t padding = 0; padding <= kMaxCertificatePadding; ++padding) {
        if (padding > 0 && tail[back - padding] != 0) {
            return 0;  // padding is zero bytes only
        }
        if (back < padding + kTrailerSize) {
            return 0;
        }
        ContainerTrailer candidate;
        DecodeContainerTrailer(tail + back - padding - kTrailerSize, &candidate);
        if (HasContainerSignature(&candidate)) {
            *trailer = candidate;
            place->position = table.virtualAddress - padding - kTrailerSize;
            place->isSigned = 1;
            place->certificateOffset = table.virtualAddress;
            place->certificateSize = table.size;
            place->padding = padding;
            return 1;
        }
    }
    return 0;
}

int FindContainerTrailer(std::FILE* container, ContainerTrailer* trailer, TrailerPlace* place) {
    TrailerPlace found;
    std::memset(&found, 0, sizeof found);
    int valid = ReadContainerTrailer(container, trailer);
    long fileSize = std::fseek(container, 0, SEEK_END) == 0 ? std::ftell(container) : -1;
    if (valid) {
        found.position = uint32_t(fileSize - kTrailerSize);
    } else if (fileSize >= long(kTrailerSize)) {
        valid = FindSignedTrailer(container, fileSize, trailer, &found);
    }
    if (valid && place) {
        *place = found;
    }
    return valid;
}
