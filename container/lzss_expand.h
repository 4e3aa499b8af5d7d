// The LZSS expander: turns a compressed image stream back into its bytes.
#ifndef KIV_CONTAINER_LZSS_EXPAND_H
#define KIV_CONTAINER_LZSS_EXPAND_H

#include <cstdio>

#include "container/bit_reader.h"

// Reads one stream through `reader` up to its end marker, or to the end of
// the input, and writes every byte it produces to `output` at the stream's
// current position. The window starts all zero with the current position at
// 1 on every call, so one process may expand several streams. Neither stream
// is seeked or closed; write failures are not looked at (the caller may check
// ferror). Afterwards `output` stands just past the last byte produced and the
// input just after the byte that held the end marker's last bit.
void ExpandLzss(BitReader* reader, std::FILE* output);

#endif
