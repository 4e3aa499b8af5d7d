#include "container/container_trailer.h"

#include <cstring>

const char kContainerSignature[kSignatureSize + 1] = "KivSetup";

static uint32_t LoadLe32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

static void StoreLe32(unsigned char* p, uint32_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}

// The twelve integers in file order, so decoding and encoding share one map.
static uint32_t* SlotField(ContainerTrailer* t, int i) {
    PayloadSlot* slots[6] = {&t->programImage, &t->libraryImage, &t->setupInfo[0],
                             &t->setupInfo[1], &t->setupInfo[2], &t->setupInfo[3]};
    PayloadSlot* s = slots[i / 2];
    return (i % 2) ? &s->length : &s->offset;
}

void DecodeContainerTrailer(const unsigned char bytes[kTrailerSize], ContainerTrailer* trailer) {
    for (int i = 0; i < 12; ++i) {
        *SlotField(trailer, i) = LoadLe32(bytes + 4 * i);
    }
    std::memcpy(trailer->signature, bytes + 48, kSignatureSize);
}

void EncodeContainerTrailer(const ContainerTrailer* trailer, unsigned char bytes[kTrailerSize]) {
    ContainerTrailer copy = *trailer;
    for (int i = 0; i < 12; ++i) {
        StoreLe32(bytes + 4 * i, *SlotField(&copy, i));
    }
    std::memcpy(bytes + 48, trailer->signature, kSignatureSize);
}

int HasContainerSignature(const ContainerTrailer* trailer) {
    return std::memcmp(trailer->signature, kContainerSignature, kSignatureSize) == 0;
}

int SeekToPosition(std::FILE* stream, uint32_t position) {
    if (!IsUsablePosition(position)) {
        return 0;
    }
    return std::fseek(stream, long(position), SEEK_SET) == 0;
}

int ReadContainerTrailer(std::FILE* container, ContainerTrailer* trailer) {
    std::memset(trailer, 0, sizeof *trailer);
    if (std::fseek(container, 0, SEEK_END) != 0) {
        return 0;
    }
    long size = std::ftell(container);
    if (size < kTrailerSize || std::fseek(container, size - kTrailerSize, SEEK_SET) != 0) {
        return 0;
    }
    unsigned char bytes[kTrailerSize];
    if (std::fread(bytes, 1, kTrailerSize, container) != kTrailerSize) {
        return 0;
    }
    DecodeContainerTrailer(bytes, trailer);
    return HasContainerSignature(trailer);
}

void WriteContainerTrailer(std::FILE* stream, const ContainerTrailer* trailer) {
    unsigned char bytes[kTrailerSize];
    EncodeContainerTrailer(trailer, bytes);
    std::fwrite(bytes, kTrailerSize, 1, stream);
}
