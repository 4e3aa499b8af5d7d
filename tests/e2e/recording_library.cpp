// A secondary library for the end-to-end tests. Its `Setup` (stdcall,
// exported undecorated) writes the two strings it received, the process's
// error mode, the windows of the calling thread (the bootstrapper's progress
// window must exist and be hidden), where the libraries it loads by name come
// from, and a copy of its own file.
#include "tests/e2e/report_writer.h"

static HINSTANCE self;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
    }
    return TRUE;
}

struct WindowCount {
    int all;
    int visible;
};

static BOOL CALLBACK CountWindow(HWND window, LPARAM data) {
    WindowCount* count = reinterpret_cast<WindowCount*>(data);
    ++count->all;
    if (IsWindowVisible(window)) {
        ++count->visible;
    }
    return TRUE;
}

extern "C" __declspec(dllexport) int __stdcall Setup(const char* bootstrapPath,
                                                     const char* commandTail) {
    char name[MAX_PATH], text[64];
    FILE* report = OpenReport(".part", name, sizeof name);
    if (!report) {
        return 0;
    }
    WriteValue(report, "kind", "library");
    WritePath(report, "arg1", bootstrapPath);
    WriteValue(report, "tail", commandTail);
    UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    snprintf(text, sizeof text, "0x%x", mode);
    WriteValue(report, "errormode", text);
    WindowCount count = {0, 0};
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    snprintf(text, sizeof text, "%d", count.all);
    WriteValue(report, "threadwindows", text);
    snprintf(text, sizeof text, "%d", count.visible);
    WriteValue(report, "visiblewindows", text);
    WriteLibraryProbe(report);
    FinishReport(report, name, self);
    return 12345;  // ignored by the bootstrapper
}
