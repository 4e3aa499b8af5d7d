// The progress window for host tests: each of its four operations only
// appends its name to the fake platform's event log, so tests see where the
// window was opened, hidden, destroyed and released relative to the rest.
#include "tests/fakes/fake_platform.h"
#include "ui/progress_window.h"

void OpenProgressWindow(void*) {
    RecordEvent("OpenProgressWindow");
}

void HideProgressWindow() {
    RecordEvent("HideProgressWindow");
}

void CloseProgressWindow() {
    RecordEvent("CloseProgressWindow");
}

void ReleaseProgressWindowResources() {
    RecordEvent("ReleaseProgressWindowResources");
}
