// Constants of the compressed image stream: LZSS over a 4096-byte window with
// absolute window indices. doc/stream_format.md describes the format.
#ifndef KIV_CONTAINER_LZSS_FORMAT_H
#define KIV_CONTAINER_LZSS_FORMAT_H

enum {
    kWindowSize = 4096,
    kWindowMask = kWindowSize - 1,
    kIndexBits = 12,
    kLengthBits = 4,
    kMinMatch = 2,                                   // length field 0
    kMaxMatch = kMinMatch + (1 << kLengthBits) - 1,  // length field 15: 17 bytes
    kFirstPosition = 1,                              // where the first byte is stored
    kLiteralBits = 1 + 8,
    kMatchBits = 1 + kIndexBits + kLengthBits,
    kEndMarkerBits = 1 + kIndexBits,
};

#endif
