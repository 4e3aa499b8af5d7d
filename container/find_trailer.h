// Finding a container's trailer in a setup that may have been signed.
//
// Signing an executable appends a certificate table (aligned to 8 bytes)
// behind everything else, so in a signed setup the trailer no longer ends the
// file: it stands directly in front of that table, possibly followed by up to
// 7 zero bytes of padding. The bootstrapper and kivpack both find the trailer
// here, so that they always agree on what a file holds.
#ifndef KIV_CONTAINER_FIND_TRAILER_H
#define KIV_CONTAINER_FIND_TRAILER_H

#include <cstdint>
#include <cstdio>

#include "container/container_trailer.h"

enum {
    kMaxCertificatePadding = 7,
    // The PE headers are looked for in this many bytes at the file's start;
    // the linkers put them in the first 1024.
    kPeHeaderWindow = 4096,
};

// Where the trailer was found.
struct TrailerPlace {
    uint32_t position;           // file position of the trailer's first byte
    int isSigned;                // 1: found in front of the certificate table
    uint32_t certificateOffset;  // the table's file offset and size (when signed)
    uint32_t certificateSize;
    uint32_t padding;  // zero bytes between the trailer and the table
};

// Reads the trailer of `container` (a binary stream open for reading). First
// exactly as ReadContainerTrailer does, from the file's last 56 bytes. Only
// when those carry no signature, and the file is a PE image whose certificate
// table (a non-empty security directory) ends the file, the trailer is looked
// for directly in front of that table, skipping at most 7 zero bytes. Gives
// 1 with *trailer (and *place, when not null) filled when a valid trailer was
// found; 0 otherwise, with *trailer as ReadContainerTrailer left it. Leaves
// the stream positioned anywhere.
int FindContainerTrailer(std::FILE* container, ContainerTrailer* trailer, TrailerPlace* place);

#endif
