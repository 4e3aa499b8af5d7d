// Entry of the bootstrapper. For now it shows the progress window around the
// extraction only; the hand-over comes with the entry sequence.
#include <windows.h>

#include "container/extract_setup.h"
#include "state/setup_state.h"
#include "ui/progress_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    moduleInstance = instance;
    OpenProgressWindow(moduleInstance);
    ResetErrorLatch();
    launchMode = LaunchMode::Library;
    ExtractSecondarySetup();
    CloseProgressWindow();
    ReleaseProgressWindowResources();
    return 0;
}
