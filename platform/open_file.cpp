#include "platform/open_file.h"

#include <fcntl.h>

#if defined(_WIN32)
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

enum { kSharedStreamBuffer = 64 * 1024 };

std::FILE* OpenSharedFile(const char* path, FileOpenMode mode) {
    int flags = 0;
    const char* streamMode = "rb";
    switch (mode) {
        case FileOpenMode::Read:
            flags = O_RDONLY;
            break;
        case FileOpenMode::Write:
            flags = O_WRONLY | O_CREAT | O_TRUNC;
            streamMode = "wb";
            break;
        case FileOpenMode::CreateNew:
            flags = O_WRONLY | O_CREAT | O_EXCL;
            streamMode = "wb";
            break;
    }
#if defined(_WIN32)
    int fd = _sopen(path, flags | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, streamMode);
    if (!stream) {
        _close(fd);
    }
#else
    int fd = open(path, flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* stream = fdopen(fd, streamMode);
    if (!stream) {
        close(fd);
    }
#endif
    // The expansion moves every byte through these streams one at a time;
    // with the runtime's small default buffer the system calls would
    // dominate.
    if (stream) {
        std::setvbuf(stream, nullptr, _IOFBF, kSharedStreamBuffer);
    }
    return stream;
}
