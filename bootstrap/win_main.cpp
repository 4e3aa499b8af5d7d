// The entry of the windowed program. setup.exe is linked without the
// runtime's start-up code (see bootstrap/CMakeLists.txt): that code alone
// would take more room than the whole bootstrapper, and nothing here needs
// what it prepares (no arguments vector, no constructors, no thread-local
// data). The system DLL msvcrt initialises itself when it is loaded, so its
// file streams work without it.
#include <windows.h>

#include "bootstrap/command_line.h"
#include "bootstrap/entry_sequence.h"
#include "platform/platform.h"

// The classic windowed-program entry. The tail is derived from the raw
// command line by the bootstrapper's own rule, so the runtime's notion of it
// (which the own entry below does not compute anyway) never matters.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int showCommand) {
    return RunBootstrap(instance, previous, SkipProgramName(PlatformGetCommandLine()), showCommand);
}

// The process's first code: gathers what WinMain is given and ends the
// process with its result (0), also when a secondary library's Setup left
// threads of its own behind. Only system libraries are loaded before it runs.
extern "C" void BootstrapEntry() {
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int showCommand =
        (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    ExitProcess(UINT(WinMain(GetModuleHandleA(NULL), NULL, NULL, showCommand)));
}
