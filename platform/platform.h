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

// Removes the file `path`; a failure is not reported (nothing relies on it).
void PlatformRemoveFile(const char* path);

// Sets the process's error mode to `mode` (0x8001: no system dialog for
// critical errors or for files that cannot be opened) and drops the old one.
void PlatformSetErrorMode(unsigned mode);

// The raw command line the process was started with, program name included.
const char* PlatformGetCommandLine();

// Whether `byte` is the lead byte of a double-byte character in the process's
// ANSI code page; gives 1 or 0.
int PlatformIsLeadByte(unsigned char byte);

// Starts the program that `commandLine` names with show state `showCommand`.
// Gives the start result: 32 or more when the program was started, below 32
// (an error code) when the system refused, also for a line it finds too long.
unsigned PlatformStartProgram(const char* commandLine, int showCommand);

// Makes the system directory, and folders added later with
// PlatformAddLibraryFolder, the only places that libraries loaded by name
// come from (SetDefaultDllDirectories with LOAD_LIBRARY_SEARCH_SYSTEM32 and
// LOAD_LIBRARY_SEARCH_USER_DIRS), so that nothing is taken from the folder
// the program was started from. The call is looked up at run time: gives 1
// when the system has it and accepted it, 0 on systems without it.
int PlatformSetDefaultLibraryFolders();

// The older systems' partial remedy: takes the current folder out of the
// library search (SetDllDirectoryA with an empty string). Does nothing where
// even that call is missing (Windows XP before its first service pack).
void PlatformRemoveCurrentFolderFromSearch();

// Loads the library `path` into the process (LoadLibraryA, the system's
// standard search order). Gives its handle; the caller reads it as a signed
// 32-bit number, below 32 meaning failure.
void* PlatformLoadLibrary(const char* path);

// Loads the library at the full path `path`, taking the libraries it imports
// from its own folder and the system directory only (LoadLibraryExA with
// LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR and LOAD_LIBRARY_SEARCH_SYSTEM32). Only for
// systems where PlatformSetDefaultLibraryFolders gave 1. Gives the handle as
// PlatformLoadLibrary does.
void* PlatformLoadLibraryWithItsFolder(const char* path);

// Adds `folder` (a full path) to the places that libraries loaded by name
// come from after PlatformSetDefaultLibraryFolders (AddDllDirectory). Does
// nothing where the call is missing; a refusal is not reported.
void PlatformAddLibraryFolder(const char* folder);

// Gives the address of the export named exactly `name` in `library`, or null.
void* PlatformGetProcAddress(void* library, const char* name);

// Releases a library that PlatformLoadLibrary loaded, so that its file can be
// removed afterwards.
void PlatformFreeLibrary(void* library);

// Takes the next message for any window of the thread out of the queue,
// translates its keys and dispatches it. Gives 1 when there was one, 0 when
// the queue was empty. A quit message is dispatched like any other.
int PlatformDispatchNextMessage();

// Pauses the thread for `milliseconds`.
void PlatformSleep(unsigned milliseconds);

// Shows a modal message box without owner window and returns once the user
// has dismissed it. `style` is the box's style bits (0x10: OK and the error
// icon).
void PlatformMessageBox(const char* text, const char* caption, unsigned style);

#endif
