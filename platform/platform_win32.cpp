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

unsigned PlatformGetTempPath(unsigned size, char* buffer) {
    return GetTempPathA(size, buffer);
}

unsigned PlatformGetShortPathName(const char* path, char* buffer, unsigned size) {
    return GetShortPathNameA(path, buffer, size);
}

std::FILE* PlatformOpenFile(const char* path, FileOpenMode mode) {
    return OpenSharedFile(path, mode);
}

void PlatformRemoveFile(const char* path) {
    DeleteFileA(path);
}

void PlatformSetErrorMode(unsigned mode) {
    SetErrorMode(mode);
}

const char* PlatformGetCommandLine() {
    return GetCommandLineA();
}

int PlatformIsLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) ? 1 : 0;
}

unsigned PlatformStartProgram(const char* commandLine, int showCommand) {
    return WinExec(commandLine, UINT(showCommand));
}

void* PlatformLoadLibrary(const char* path) {
    return LoadLibraryA(path);
}

void* PlatformGetProcAddress(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void PlatformFreeLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

int PlatformDispatchNextMessage() {
    MSG message;
    if (!PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        return 0;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return 1;
}

void PlatformSleep(unsigned milliseconds) {
    Sleep(milliseconds);
}

void PlatformMessageBox(const char* text, const char* caption, unsigned style) {
    MessageBoxA(NULL, text, caption, style);
}
