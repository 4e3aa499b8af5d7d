// The one seam between the bootstrapper and the operating system.
//
// Everything the payload code and the entry sequence ask of the system goes
// through these functions. The product links platform_win32.cpp; host tests
// link a fake (tests/fakes/) that serves the same calls from memory, so the
// ordering and failure rules can be checked natively. No Windows type appears
// here, so container/ and the tests need no Windows header.
#ifndef KIV_PLATFORM_PLATFORM_H
#define KIV_PLATFORM_PLATFORM_H

#include <cstdio>

// Writes the full path of `module`'s file into `buffer` (zero-terminated,
// within `size` characters) and gives its length, or 0 on failure.
unsigned PlatformGetModuleFileName(void* module, char* buffer, unsigned size);

// Writes the user's temporary directory, normally ending in a backslash, into
// `buffer` of `size` characters and gives its length; leaves the buffer
// untouched and gives 0 when the system has none.
unsigned PlatformGetTempPath(unsigned size, char* buffer);

// Writes the short (8.3) form of the existing file `path` into `buffer` of
// `size` characters and gives its length. When the system has no short form,
// or it does not fit, the buffer is left as it was and the result is 0, or a
// length of `size` or more (the size the system would need).
unsigned PlatformGetShortPathName(const char* path, char* buffer, unsigned size);

enum class FileOpenMode {
    Read,       // "rb": an existing file, for reading
    Write,      // "wb": create or empty, for writing
    CreateNew,  // like Write, but fails when the name exists
};

// Opens `path` as a buffered binary stream that other processes may read and
// write while it is open. Gives nullptr on failure.
std::FILE* PlatformOpenFile(const char* path, FileOpenMode mode);

#endif
