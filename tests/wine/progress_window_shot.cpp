// Opens the progress window and then behaves like a long extraction: it
// works for several seconds without taking a single message. The screenshot
// script photographs the screen meanwhile, so what it sees is exactly what a
// user would see during that time.
//
// Usage: progress_window_shot SECONDS
// Writes "window.txt" (the screen rectangles of the window and of both
// controls, and the button-face colour) and then "ready" in the current
// folder, works for SECONDS, closes the window and ends.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "ui/progress_window.h"
#include "ui/progress_window_state.h"

namespace {

void WriteRect(FILE* out, const char* name, HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    fprintf(out, "%s %ld %ld %ld %ld\n", name, r.left, r.top, r.right, r.bottom);
}

void Touch(const char* name) {
    FILE* f = fopen(name, "wb");
    if (f != nullptr) {
        fclose(f);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? atoi(argv[1]) : 8;
    OpenProgressWindow(GetModuleHandleA(nullptr));
    HWND window = progressWindowHandle;
    if (window == nullptr) {
        fprintf(stderr, "progress_window_shot: no window\n");
        return 1;
    }
    FILE* out = fopen("window.txt", "wb");
    if (out == nullptr) {
        return 1;
    }
    HWND icon = GetWindow(window, GW_CHILD);
    WriteRect(out, "window", window);
    WriteRect(out, "icon", icon);
    WriteRect(out, "text", GetWindow(icon, GW_HWNDNEXT));
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    fprintf(out, "face %d %d %d\n", GetRValue(face), GetGValue(face), GetBValue(face));
    fclose(out);
    Touch("ready");

    // Busy, as the extraction is: no message is taken from the queue.
    DWORD until = GetTickCount() + DWORD(seconds) * 1000;
    volatile unsigned spin = 0;
    while (LONG(GetTickCount() - until) < 0) {
        for (int i = 0; i < 100000; ++i) {
            spin = spin + 1;
        }
        Sleep(50);
    }

    CloseProgressWindow();
    ReleaseProgressWindowResources();
    return 0;
}
