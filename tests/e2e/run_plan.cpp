// Drives the bootstrapper for the end-to-end tests, inside Wine, one run after
// the other as a plan file lists them:
//
//   run <name>
//   temp <folder given to the bootstrapper as TMP and TEMP>
//   out <folder for this run's results>
//   cmd <the bootstrapper's raw command line, byte for byte>
//   await        (optional: wait for the secondary program's report)
//   end
//
// For each run it starts the command line, answers every message box
// captioned "Setup" that the bootstrapper's process shows (reading its text
// and noting the other visible windows of that process at that moment, which
// must be none), presses OK, and writes <out>\result.txt:
//
//   exit=<exit code>  boxes=<count>  box=<text, \r and \n escaped>
//   others=<visible windows of the process beside the box>
//
// The secondary setups write their reports to <out>\secondary.txt (through
// KIV_E2E_REPORT). Every wait is bounded, so a hanging run cannot block the
// whole suite.
#include <windows.h>

#include <stdio.h>
#include <string.h>

enum { kRunTimeoutMs = 120000, kPollMs = 50, kMaxBoxes = 8 };

struct Run {
    char name[128];
    char temp[1024];
    char out[1024];
    char cmd[8192];
    int await;
};

struct BoxScan {
    DWORD process;
    HWND answered[kMaxBoxes];
    int boxes;
    char texts[kMaxBoxes][1024];
    int others;
};

static BOOL CALLBACK CountOtherWindow(HWND window, LPARAM data) {
    BoxScan* scan = reinterpret_cast<BoxScan*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    if (process == scan->process && IsWindowVisible(window) && strcmp(title, "Setup") != 0) {
        ++scan->others;
    }
    return TRUE;
}

static BOOL CALLBACK ReadStaticText(HWND child, LPARAM data) {
    char cls[32] = "", text[1024] = "";
    GetClassNameA(child, cls, sizeof cls);
    GetWindowTextA(child, text, sizeof text);
    // The box's icon is a static without text; its message is the one with.
    if (lstrcmpiA(cls, "Static") == 0 && text[0]) {
        lstrcpynA(reinterpret_cast<char*>(data), text, 1024);
    }
    return TRUE;
}

static BOOL CALLBACK FindBox(HWND window, LPARAM data) {
    BoxScan* scan = reinterpret_cast<BoxScan*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char cls[32] = "", title[64] = "";
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, title, sizeof title);
    if (process != scan->process || strcmp(cls, "#32770") != 0 || strcmp(title, "Setup") != 0 ||
        !IsWindowVisible(window)) {
        return TRUE;
    }
    for (int i = 0; i < scan->boxes && i < kMaxBoxes; ++i) {
        if (scan->answered[i] == window) {
            return TRUE;  // already pressed, not closed yet
        }
    }
    if (scan->boxes < kMaxBoxes) {
        scan->answered[scan->boxes] = window;
        scan->texts[scan->boxes][0] = 0;
        EnumChildWindows(window, ReadStaticText,
                         reinterpret_cast<LPARAM>(scan->texts[scan->boxes]));
    }
    ++scan->boxes;
    EnumWindows(CountOtherWindow, data);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return TRUE;
}

static void WriteEscaped(FILE* f, const char* text) {
    for (const char* p = text; *p; ++p) {
        if (*p == '\r') {
            fputs("\\r", f);
        } else if (*p == '\n') {
            fputs("\\n", f);
        } else {
            fputc(*p, f);
        }
    }
}

// Whether `path` exists.
static int Exists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

static void Execute(const Run& run) {
    char report[1100], result[1100];
    snprintf(report, sizeof report, "%s\\secondary", run.out);
    snprintf(result, sizeof result, "%s\\result.txt", run.out);
    CreateDirectoryA(run.out, NULL);
    SetEnvironmentVariableA("TMP", run.temp);
    SetEnvironmentVariableA("TEMP", run.temp);
    SetEnvironmentVariableA("KIV_E2E_REPORT", report);

    FILE* f = fopen(result, "wb");
    if (!f) {
        printf("%s: cannot write %s\n", run.name, result);
        return;
    }
    static char cmd[8192];
    strcpy(cmd, run.cmd);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    if (!CreateProcessA(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        fprintf(f, "exit=cannot-start-%lu\n", GetLastError());
        fclose(f);
        printf("%s: cannot start the bootstrapper\n", run.name);
        return;
    }
    BoxScan scan;
    ZeroMemory(&scan, sizeof scan);
    scan.process = info.dwProcessId;
    DWORD waited = 0;
    while (WaitForSingleObject(info.hProcess, kPollMs) == WAIT_TIMEOUT) {
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&scan));
        waited += kPollMs;
        if (waited > kRunTimeoutMs) {
            TerminateProcess(info.hProcess, 99);
            fputs("timeout=1\n", f);
            break;
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);

    if (run.await) {
        char done[1200];
        snprintf(done, sizeof done, "%s.txt", report);
        for (DWORD w = 0; !Exists(done) && w < kRunTimeoutMs; w += kPollMs) {
            Sleep(kPollMs);
        }
    }
    fprintf(f, "exit=%lu\nboxes=%d\nothers=%d\n", code, scan.boxes, scan.others);
    for (int i = 0; i < scan.boxes && i < kMaxBoxes; ++i) {
        fputs("box=", f);
        WriteEscaped(f, scan.texts[i]);
        fputc('\n', f);
    }
    fclose(f);
    printf("%s: exit %lu, %d box(es)\n", run.name, code, scan.boxes);
}

// Copies the rest of `line` after "<key> " into `to`, without the line end.
static int Value(const char* line, const char* key, char* to, size_t size) {
    size_t k = strlen(key);
    if (strncmp(line, key, k) != 0 || line[k] != ' ') {
        return 0;
    }
    lstrcpynA(to, line + k + 1, int(size));
    size_t n = strlen(to);
    while (n > 0 && (to[n - 1] == '\n' || to[n - 1] == '\r')) {
        to[--n] = 0;
    }
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fputs("usage: run_plan PLAN\n", stderr);
        return 2;
    }
    FILE* plan = fopen(argv[1], "rb");
    if (!plan) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 2;
    }
    static char line[8300];
    static Run run;
    while (fgets(line, sizeof line, plan)) {
        if (Value(line, "run", run.name, sizeof run.name)) {
            run.temp[0] = run.out[0] = run.cmd[0] = 0;
            run.await = 0;
        } else if (Value(line, "temp", run.temp, sizeof run.temp) ||
                   Value(line, "out", run.out, sizeof run.out) ||
                   Value(line, "cmd", run.cmd, sizeof run.cmd)) {
        } else if (strncmp(line, "await", 5) == 0) {
            run.await = 1;
        } else if (strncmp(line, "end", 3) == 0) {
            Execute(run);
        }
    }
    fclose(plan);
    return 0;
}
