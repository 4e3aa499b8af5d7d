// Fuzzes the bit reader and the LZSS expander: any input is a stream.
//
// Besides the sanitizers' checks, the expansion must stay within what the
// format can produce: at most 17 bytes per 17 bits, plus the two bytes that
// a stream cut inside a length field yields.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "container/bit_reader.h"
#include "container/lzss_expand.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* input = OpenMemoryInput(data, size);
    if (!input) {
        return 0;
    }
    CountingSink sink;
    BitReader* reader = CreateBitReader(input);
    ExpandLzss(reader, sink.stream());
    ReleaseBitReader(reader);
    std::fclose(input);
    unsigned long long produced = sink.Count();
    if (produced > 8ull * size + 2) {
        std::fprintf(stderr, "%llu bytes from %zu input bytes\n", produced, size);
        std::abort();
    }
    return 0;
}
