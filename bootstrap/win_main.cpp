// The entry of the windowed program. The tail is derived from the raw command
// line rather than taken from the runtime's start-up code, so that it is
// exactly what the bootstrapper's own rule leaves.
#include <windows.h>

#include "bootstrap/command_line.h"
#include "bootstrap/entry_sequence.h"
#include "platform/platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int showCommand) {
    return RunBootstrap(instance, previous, SkipProgramName(PlatformGetCommandLine()), showCommand);
}
