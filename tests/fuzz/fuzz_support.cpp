#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>
#include <sys/types.h>

std::FILE* OpenMemoryInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return std::fopen("/dev/null", "rb");
    }
    return fmemopen(const_cast<uint8_t*>(data), size, "rb");
}

static ssize_t CountWrite(void* cookie, const char*, size_t size) {
    *static_cast<unsigned long long*>(cookie) += size;
    return ssize_t(size);
}

CountingSink::CountingSink() {
    cookie_io_functions_t io{};
    io.write = CountWrite;
    stream_ = fopencookie(&count_, "wb", io);
    if (!stream_) {
        std::abort();
    }
}

CountingSink::~CountingSink() {
    std::fclose(stream_);
}

unsigned long long CountingSink::Count() {
    std::fflush(stream_);
    return count_;
}
