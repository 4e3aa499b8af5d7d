#include "bootstrap/launch.h"

#include <cstdint>
#include <cstdlib>

#include "bootstrap/library_search.h"
#include "bootstrap/secondary_command_line.h"
#include "container/setup_messages.h"
#include "platform/platform.h"
#include "state/setup_state.h"
#include "ui/progress_window.h"

void PumpMessages() {
    while (PlatformDispatchNextMessage()) {
    }
    PlatformSleep(kPumpPauseMs);
}

int LaunchProgram() {
    unsigned started = 0;
    // A line the system cannot take is refused by the start itself, with a
    // result below 32, like any other start that fails; none is cut short.
    if (char* line = BuildSecondaryCommandLine(tempSetupPath, bootstrapPath, commandTail)) {
        started = PlatformStartProgram(line, kShowNormal);
        std::free(line);
    }
    if (started < kFirstStartedResult) {
        ReportError(KIV_MSG_START_FAILED);
        PlatformRemoveFile(tempSetupPath);
        return 0;
    }
    HideProgressWindow();
    // On 32-bit Windows the start result names no module, so this ends at
    // once; where it does name one, the wait lasts while that module lives.
    char moduleName[kPathBufferSize];
    void* module = reinterpret_cast<void*>(uintptr_t(started));
    while (PlatformGetModuleFileName(module, moduleName, kPathBufferSize) != 0) {
        PumpMessages();
    }
    return 1;
}

int LaunchLibrary() {
    void* library = LoadSecondaryLibrary(tempSetupPath);
    // Read as a signed 32-bit number: a handle above 2 GB would count as a
    // failure, which is why setup.exe is never linked large-address-aware.
    if (int32_t(uintptr_t(library)) < kFirstStartedResult) {
        ReportError(KIV_MSG_LOAD_FAILED);
        return 0;
    }
    void* entry = PlatformGetProcAddress(library, "Setup");
    if (!entry) {
        ReportError(KIV_MSG_NO_ENTRY);
        PlatformFreeLibrary(library);
        return 0;
    }
    // What Setup loads by name may come from its own folder, never from the
    // bootstrapper's.
    AllowLoadsBesideLibrary(tempSetupPath);
    HideProgressWindow();
    reinterpret_cast<SetupEntry>(entry)(bootstrapPath, commandTail);
    PlatformFreeLibrary(library);
    return 1;
}
