// The longest match at every position of an input, found block by block on
// worker threads while the caller takes the blocks in order.
//
// A copy reads at most 4096 bytes back, so the search over one block needs
// only the block and the 4096 bytes before it: every block gets a search of
// its own, started afresh there (LzssMatchFinder::Restart). The results are
// therefore the same whatever the number of threads and whichever thread
// takes a block; only the block size may change which of several equally
// long sources a match names.
#ifndef KIV_CONTAINER_LZSS_MATCH_BLOCKS_H
#define KIV_CONTAINER_LZSS_MATCH_BLOCKS_H

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class LzssMatchFinder;

// One position's longest match packed as the 16 bits that follow a copy
// token's flag: window index (1 to 4095) over length - 2; 0 when no copy of
// 2 bytes or more exists there (no copy starts at window index 0).
using LzssMatch = uint16_t;

class LzssMatchBlocks {
   public:
    // Searches `size` bytes at `data` (borrowed; fewer than 2^32 - 1) in
    // blocks of `blockSize` positions (at least 1) with `threads` workers; 0
    // picks one per processor, at most 4. With one worker, or one block, the
    // search runs on the calling thread as each block is asked for. Throws
    // std::bad_alloc when the buffers cannot be had.
    LzssMatchBlocks(const unsigned char* data, uint32_t size, uint32_t blockSize, unsigned threads);

    // Stops and joins the workers, also when the caller gives up early.
    ~LzssMatchBlocks();

    LzssMatchBlocks(const LzssMatchBlocks&) = delete;
    LzssMatchBlocks& operator=(const LzssMatchBlocks&) = delete;

    uint32_t blockSize() const { return blockSize_; }

    // The matches of the positions block * blockSize() on, one per position
    // up to the block's end, waiting for them when needed. Blocks must be
    // asked for in order from 0, each once; asking for one gives the buffer
    // of the one before back to the workers, so its pointer goes stale.
    const LzssMatch* Block(uint32_t block);

   private:
    void Search(LzssMatchFinder& finder, uint32_t block, LzssMatch* out) const;
    void Work(unsigned worker);
    void StopWorkers();

    const unsigned char* data_;
    uint32_t size_;
    uint32_t blockSize_;
    uint32_t blocks_;
    unsigned workers_ = 1;
    unsigned slots_;  // buffers in flight: block b goes to buffer b % slots_
    std::vector<std::unique_ptr<LzssMatch[]>> buffers_;
    std::vector<std::unique_ptr<LzssMatchFinder>> finders_;  // one per worker
    std::vector<std::thread> threads_;

    std::mutex mutex_;
    std::condition_variable searched_;  // a block became ready
    std::condition_variable released_;  // the caller gave a buffer back, or stop
    std::vector<uint32_t> ready_;       // per buffer: 1 + the block it holds, 0 when none
    uint32_t taken_ = 0;                // blocks below this one may be overwritten
    bool stop_ = false;
};

#endif
