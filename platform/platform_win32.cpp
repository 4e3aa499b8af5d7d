// The product's platform: the Win32 calls behind platform.h.
#include <windows.h>

#include "platform/open_file.h"
#include "platform/platform.h"

enum { kWidePathSize = 260 };

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

// The library search calls came with later systems (and an update of
// Windows Vista and 7); the program must still start on Windows XP, so they
// are looked up rather than imported.
static void* Kernel32Call(const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name));
}

enum : DWORD {
    kSearchDllLoadDir = 0x100,  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
    kSearchUserDirs = 0x400,    // LOAD_LIBRARY_SEARCH_USER_DIRS
    kSearchSystem32 = 0x800,    // LOAD_LIBRARY_SEARCH_SYSTEM32
};

int PlatformSetDefaultLibraryFolders() {
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesCall)(DWORD);
    auto call =
        reinterpret_cast<SetDefaultDllDirectoriesCall>(Kernel32Call("SetDefaultDllDirectories"));
    return call && call(kSearchSystem32 | kSearchUserDirs) ? 1 : 0;
}

void PlatformRemoveCurrentFolderFromSearch() {
    typedef BOOL(WINAPI * SetDllDirectoryCall)(LPCSTR);
    if (auto call = reinterpret_cast<SetDllDirectoryCall>(Kernel32Call("SetDllDirectoryA"))) {
        call("");
    }
}

void* PlatformLoadLibrary(const char* path) {
    return LoadLibraryA(path);
}

void* PlatformLoadLibraryWithItsFolder(const char* path) {
    return LoadLibraryExA(path, NULL, kSearchDllLoadDir | kSearchSystem32);
}

void PlatformAddLibraryFolder(const char* folder) {
    typedef void*(WINAPI * AddDllDirectoryCall)(const WCHAR*);
    auto call = reinterpret_cast<AddDllDirectoryCall>(Kernel32Call("AddDllDirectory"));
    // The call takes only a wide path; the folder is in the ANSI code page,
    // as every path of this program.
    WCHAR wide[kWidePathSize];
    if (call && MultiByteToWideChar(CP_ACP, 0, folder, -1, wide, kWidePathSize) > 0) {
        call(wide);
    }
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
