#include "tools/kivpack/whole_input.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "tools/kivpack/cli.h"

namespace kivpack {

// Asks the system to back the whole 2 MiB pages within `size` bytes at
// `data` (not yet touched) with large pages: faulting a large input in 4 KiB
// at a time costs a noticeable part of a compression. A hint; failing is
// harmless.
static void AskForLargePages(void* data, size_t size) {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t kLargePage = uintptr_t(2) << 20;
    uintptr_t begin = (uintptr_t(data) + kLargePage - 1) & ~(kLargePage - 1);
    uintptr_t end = (uintptr_t(data) + size) & ~(kLargePage - 1);
    if (end > begin) {
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)size;
#endif
}

std::vector<unsigned char> ReadRest(std::FILE* file, const std::string& path) {
    std::vector<unsigned char> bytes;
    long position = std::ftell(file);
    unsigned long long size = FileSize(file);
    size_t expected = 0;  // a hint: pipes say 0, and a file may change while it is read
    if (position >= 0 && size > (unsigned long long)position) {
        expected = size_t(size - (unsigned long long)position);
    }
    // Straight into place for the size the file had, then in chunks for
    // whatever follows.
    bytes.reserve(expected);
    AskForLargePages(bytes.data(), bytes.capacity());
    bytes.resize(expected);
    bytes.resize(std::fread(bytes.data(), 1, expected, file));
    if (bytes.size() == expected) {
        unsigned char chunk[1 << 16];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
    }
    if (std::ferror(file)) {
        FailBad("cannot read " + path + ": " + std::strerror(errno));
    }
    return bytes;
}

}  // namespace kivpack
