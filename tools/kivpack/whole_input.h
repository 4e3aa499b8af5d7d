// Reading a whole input file into memory, for the compressor, which needs
// all of an image at once.
#ifndef KIV_TOOLS_KIVPACK_WHOLE_INPUT_H
#define KIV_TOOLS_KIVPACK_WHOLE_INPUT_H

#include <cstdio>
#include <string>
#include <vector>

namespace kivpack {

// Reads `file` (named `path` in messages) from its current position to its
// end. Fails the run with a clear message when a read fails.
std::vector<unsigned char> ReadRest(std::FILE* file, const std::string& path);

}  // namespace kivpack

#endif
