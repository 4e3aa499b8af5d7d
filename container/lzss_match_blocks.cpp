#include "container/lzss_match_blocks.h"

#include <algorithm>
#include <system_error>

#include "container/lzss_format.h"
#include "container/lzss_match_finder.h"

namespace {

constexpr unsigned kMaxWorkers = 4;
// Buffers per worker: enough that a worker rarely waits for the caller to
// give one back when its blocks take unequal times.
constexpr unsigned kSlotsPerWorker = 3;

}  // namespace

LzssMatchBlocks::LzssMatchBlocks(const unsigned char* data, uint32_t size, uint32_t blockSize,
                                 unsigned threads)
    : data_(data), size_(size), blockSize_(std::max<uint32_t>(blockSize, 1)) {
    blocks_ = uint32_t((uint64_t(size_) + blockSize_ - 1) / blockSize_);
    if (threads == 0) {
        threads = std::max(1u, std::min(kMaxWorkers, std::thread::hardware_concurrency()));
    }
    workers_ = std::max(1u, std::min<unsigned>(threads, std::max<uint32_t>(blocks_, 1)));
    slots_ = workers_ == 1 ? 1 : workers_ * kSlotsPerWorker;
    uint32_t bufferSize = std::min(blockSize_, std::max<uint32_t>(size_, 1));
    for (unsigned i = 0; i < slots_; ++i) {
        buffers_.emplace_back(new LzssMatch[bufferSize]);
    }
    for (unsigned i = 0; i < workers_; ++i) {
        finders_.emplace_back(new LzssMatchFinder(data_, size_));
    }
    ready_.assign(slots_, 0);
    if (workers_ == 1) {
        return;
    }
    try {
        for (unsigned i = 0; i < workers_; ++i) {
            threads_.emplace_back(&LzssMatchBlocks::Work, this, i);
        }
    } catch (const std::system_error&) {
        // No threads to be had: search on the calling thread instead.
        StopWorkers();
        workers_ = 1;
        slots_ = 1;
        stop_ = false;
        ready_.assign(slots_, 0);
    }
}

LzssMatchBlocks::~LzssMatchBlocks() {
    StopWorkers();
}

void LzssMatchBlocks::StopWorkers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    released_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
    threads_.clear();
}

const LzssMatch* LzssMatchBlocks::Block(uint32_t block) {
    if (threads_.empty()) {
        Search(*finders_[0], block, buffers_[0].get());
        return buffers_[0].get();
    }
    unsigned slot = block % slots_;
    std::unique_lock<std::mutex> lock(mutex_);
    taken_ = block;
    released_.notify_all();
    searched_.wait(lock, [&] { return ready_[slot] == block + 1; });
    return buffers_[slot].get();
}

void LzssMatchBlocks::Work(unsigned worker) {
    for (uint32_t block = worker; block < blocks_; block += workers_) {
        unsigned slot = block % slots_;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            // The buffer is free once the caller holds a later block than
            // the one last in it.
            released_.wait(lock, [&] { return stop_ || block < taken_ + slots_; });
            if (stop_) {
                return;
            }
        }
        Search(*finders_[worker], block, buffers_[slot].get());
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ready_[slot] = block + 1;
        }
        searched_.notify_all();
    }
}

void LzssMatchBlocks::Search(LzssMatchFinder& finder, uint32_t block, LzssMatch* out) const {
    uint32_t begin = block * blockSize_;
    uint32_t end = begin + std::min(blockSize_, size_ - begin);
    finder.Restart(begin);
    for (uint32_t p = begin; p < end; ++p) {
        unsigned index = 0;
        unsigned length = finder.Find(p, &index);
        out[p - begin] = length ? LzssMatch((index << kLengthBits) | (length - kMinMatch)) : 0;
    }
}
