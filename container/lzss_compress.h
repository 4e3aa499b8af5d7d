// The LZSS compressor: makes the image streams that ExpandLzss turns back
// into their bytes. Host only (kivpack and the tests); the bootstrapper never
// compresses.
//
// Every copy token costs 17 bits whatever its length and window index, and a
// literal 9, so the smallest stream is a shortest path over the input in which
// each position offers a literal and copies of every length from 2 up to the
// longest exact match there. The compressor finds that longest match exactly
// (a binary tree of the last 4096 positions, plus the zero bytes the window
// starts with) and takes the shortest path with a forward pass.
#ifndef KIV_CONTAINER_LZSS_COMPRESS_H
#define KIV_CONTAINER_LZSS_COMPRESS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

// How tokens are chosen: the least stream (kOptimal), or the longest match at
// every position (kGreedy), which exists only to measure what the optimal
// parse gains.
enum class LzssParse { kOptimal, kGreedy };

// Called about every MiB of input with the bytes parsed so far and the total,
// and once more at the end with done == total.
using LzssProgress = std::function<void(uint64_t done, uint64_t total)>;

// What one compression produced.
struct LzssStats {
    uint64_t literals = 0;  // literal tokens
    uint64_t matches = 0;   // copy tokens
    uint64_t bits = 0;      // every token and the end marker, without fill bits
    uint64_t bytes = 0;     // the stream's size: bits rounded up to whole bytes
};

// How the match search is spread over threads: blocks of `blockSize`
// positions, each searched afresh (from the 4096 bytes before it), by
// `threads` workers (0: one per processor). The stream's size never depends
// on either; its bytes depend only on the block size. The default block is
// large enough that starting afresh costs under one percent, and small
// enough that the first block is ready soon and the blocks in flight take a
// few MiB.
struct LzssSearchPlan {
    uint32_t blockSize = 1u << 19;
    unsigned threads = 0;
};

// The largest input the compressor takes: positions are kept in 32 bits.
constexpr size_t kMaxCompressInput = 0xFFFFFFF0u;

// Compresses `size` bytes at `data` into one stream closed by the end marker
// and written to `output` (open for binary writing) at its current position.
// Gives the stream's figures. Write errors are left in the stream's error
// state for the caller to check. Memory: two bytes per input byte besides the
// input, and per worker thread 0.75 MiB for the search and 3 MiB of found
// matches. Throws std::bad_alloc when that cannot be had and
// std::length_error for more than kMaxCompressInput bytes.
LzssStats CompressLzssToFile(const unsigned char* data, size_t size, std::FILE* output,
                             const LzssProgress& progress = nullptr,
                             LzssParse parse = LzssParse::kOptimal,
                             const LzssSearchPlan& plan = LzssSearchPlan());

// The same, into memory: gives the whole stream.
std::vector<unsigned char> CompressLzss(const unsigned char* data, size_t size,
                                        LzssStats* stats = nullptr,
                                        const LzssProgress& progress = nullptr,
                                        LzssParse parse = LzssParse::kOptimal,
                                        const LzssSearchPlan& plan = LzssSearchPlan());

#endif
