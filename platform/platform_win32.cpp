// The product's platform: the Win32 calls behind platform.h.
#include <windows.h>

#include "platform/open_file.h"
#include "platform/platform.h"

unsigned PlatformGetModuleFileName(void* module, char* buffer, unsigned size) {
    DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), buffer, size);
    // Windows XP does not terminate a path that filled the buffer.
    if (size > 0) {
        buffer[size - 1] = 0;
    }
    return length;
}

unsigned PlatformGetTempPath(unsigned size, char* buffer) { return GetTempPathA(size, buffer); }

unsigned PlatformGetShortPathName(const char* path, char* buffer, unsigned size) {
    return GetShortPathNameA(path, buffer, size);
}

std::FILE* PlatformOpenFile(const char* path, FileOpenMode mode) {
    return OpenSharedFile(path, mode);
}
