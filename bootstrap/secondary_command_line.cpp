#include "bootstrap/secondary_command_line.h"

#include <cstdlib>
#include <cstring>

// Whether `path` needs quotes to stay one part of the line.
static int HoldsBlank(const char* path) {
    return std::strchr(path, ' ') != nullptr;
}

// Copies `path` to `at`, in quotes when it holds a blank; gives the end.
static char* AppendPath(char* at, const char* path) {
    size_t length = std::strlen(path);
    int quoted = HoldsBlank(path);
    if (quoted) {
        *at++ = '"';
    }
    std::memcpy(at, path, length);
    at += length;
    if (quoted) {
        *at++ = '"';
    }
    return at;
}

char* BuildSecondaryCommandLine(const char* setupPath, const char* bootstrapPath,
                                const char* tail) {
    size_t tailLength = std::strlen(tail);
    size_t size = std::strlen(setupPath) + 2 * HoldsBlank(setupPath) + 1 +
                  std::strlen(bootstrapPath) + 2 * HoldsBlank(bootstrapPath) + 1 + tailLength + 1;
    char* line = static_cast<char*>(std::malloc(size));
    if (!line) {
        return nullptr;
    }
    char* at = AppendPath(line, setupPath);
    *at++ = ' ';
    at = AppendPath(at, bootstrapPath);
    *at++ = ' ';
    std::memcpy(at, tail, tailLength + 1);
    return line;
}
