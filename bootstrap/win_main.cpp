// Entry of the bootstrapper. For now it runs the extraction only; the
// hand-over and the progress window come with the entry sequence.
#include <windows.h>

#include "container/extract_setup.h"
#include "state/setup_state.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    moduleInstance = instance;
    ResetErrorLatch();
    launchMode = LaunchMode::Library;
    ExtractSecondarySetup();
    return 0;
}
