// A platform served from memory for host tests: the module path, the
// temporary directory and the short forms are what the test says, files are
// real files (under a test folder), and chosen paths can be made unreadable
// even for root. The calls of the hand-over and the entry sequence (and the
// progress window's, from fake_progress_window.cpp) are written to one
// ordered event log, so tests can check what happened in which order.
#ifndef KIV_TESTS_FAKES_FAKE_PLATFORM_H
#define KIV_TESTS_FAKES_FAKE_PLATFORM_H

#include <map>
#include <set>
#include <string>
#include <vector>

struct FakePlatform {
    std::string modulePath;
    bool hasTempPath = true;
    std::string tempPath;
    std::map<std::string, std::string> shortPaths;  // long path -> short form
    std::set<std::string> unreadable;               // opens for reading fail
    std::set<std::string> uncreatable;              // opens for writing fail
    int shortPathCalls = 0;

    // Ordered record: "OpenProgressWindow", "SetErrorMode(0x8001)",
    // "StartProgram(5)", "ModuleName(33)", "DispatchMessage", "Sleep(100)",
    // "SetDefaultDllDirectories(0xc00)", "SetDllDirectory()",
    // "LoadLibrary(<path>)", "LoadLibraryEx(<path>|0x900)",
    // "AddDllDirectory(<folder>)", "GetProcAddress(Setup)", "FreeLibrary",
    // "HideProgressWindow", "RemoveFile(<path>)", "CloseProgressWindow",
    // "MessageBox(<text>|<caption>|0x10)", "ReleaseProgressWindowResources".
    std::vector<std::string> events;

    std::string commandLine;  // what PlatformGetCommandLine gives
    std::string leadBytes;    // the bytes the fake code page takes as lead bytes

    // Process start: lines longer than longestCommandLine are refused with
    // refusedResult; others give startResult. The start result names a module
    // for the first moduleAliveQueries questions of the module wait.
    unsigned startResult = 33;
    size_t longestCommandLine = 32767;
    unsigned refusedResult = 0;
    int moduleAliveQueries = 0;
    std::vector<std::string> startedLines;  // every line handed to the start
    void* startedModule = nullptr;          // set by a start that succeeded

    // Whether the system restricts the library search
    // (SetDefaultDllDirectories exists): a current system when true, one
    // without the update when false.
    bool restrictsLibrarySearch = false;

    // Library load: the handle LoadLibrary gives (read as signed 32-bit by
    // the launch), and what the lookup of "Setup" gives.
    void* libraryHandle = reinterpret_cast<void*>(0x10000000);
    void* setupEntry = nullptr;

    int queuedMessages = 0;  // messages waiting in the thread's queue
};

// The fake that the Platform* functions consult; tests reset it in SetUp.
FakePlatform& TheFakePlatform();

// Resets the fake to a bootstrapper at `folder`/setup.exe whose temporary
// directory is `folder`/tmp with a trailing backslash, makes that folder (on
// Windows the backslash separates it from the name, so it must exist;
// elsewhere it is part of the file's name), and clears the paths that the
// extraction fills.
void ResetFakePlatform(const std::string& folder);

// Appends one entry to the fake's event log.
void RecordEvent(const std::string& event);

#endif
