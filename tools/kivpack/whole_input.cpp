#include "tools/kivpack/whole_input.h"

#include <cerrno>
#include <cstring>

#include "tools/kivpack/cli.h"

namespace kivpack {

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
