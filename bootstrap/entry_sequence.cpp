#include "bootstrap/entry_sequence.h"

#include "bootstrap/launch.h"
#include "bootstrap/library_search.h"
#include "container/extract_setup.h"
#include "container/setup_messages.h"
#include "platform/platform.h"
#include "state/setup_state.h"
#include "ui/progress_window.h"

int RunBootstrap(void* instance, void*, const char* tail, int) {
    // Before anything can load a library on the program's behalf (the window
    // system does, for the progress window), so that none comes from the
    // folder setup.exe was started from.
    RestrictLibrarySearch();
    moduleInstance = instance;
    OpenProgressWindow(instance);
    // Failures to open files must reach the extraction as failed results,
    // never as a system dialog, so that they end in this program's own box.
    PlatformSetErrorMode(kErrorModeNoDialogs);
    ResetErrorLatch();
    launchMode = LaunchMode::Library;
    commandTail = tail;

    if (!ExtractSecondarySetup()) {
        errorLatch.flag = 1;
    } else {
        int launched = launchMode == LaunchMode::Program ? LaunchProgram() : LaunchLibrary();
        errorLatch.flag = launched ? 0 : 1;
        // A library's file is of no use once it is released, whatever became
        // of the call; a program's file belongs to the running program (or was
        // already removed when it could not start).
        if (launchMode == LaunchMode::Library) {
            PlatformRemoveFile(tempSetupPath);
        }
    }

    // The window goes before the box, so the two are never seen together;
    // its brush and font outlive the box.
    CloseProgressWindow();
    if (errorLatch.flag) {
        PlatformMessageBox(errorLatch.text, KIV_SETUP_CAPTION, kErrorBoxStyle);
    }
    ReleaseProgressWindowResources();
    return 0;
}
