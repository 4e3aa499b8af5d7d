// Plumbing shared by the fuzz targets: inputs as read-only streams over the
// fuzzer's bytes, and an output stream that only counts.
#ifndef KIV_TESTS_FUZZ_FUZZ_SUPPORT_H
#define KIV_TESTS_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// A binary stream that reads `data` (which must outlive it). An empty input
// is served from /dev/null, since fmemopen refuses a size of 0.
std::FILE* OpenMemoryInput(const uint8_t* data, size_t size);

// A write-only stream that counts the bytes written to it.
class CountingSink {
   public:
    CountingSink();
    ~CountingSink();
    std::FILE* stream() const { return stream_; }
    unsigned long long Count();  // flushes first

   private:
    unsigned long long count_ = 0;
    std::FILE* stream_;
};

#endif
