// A secondary program for the end-to-end tests: writes the command line it was
// started with, split into the two paths and the tail the way a secondary
// setup reads it, and a copy of its own file.
#include "tests/e2e/report_writer.h"

// Copies the part at `*line` (in double quotes, or up to the next blank) to
// `part`, and moves `*line` past it and the one blank behind it.
static void TakePart(const char** line, char* part, size_t size) {
    const char* p = *line;
    size_t n = 0;
    if (*p == '"') {
        for (++p; *p && *p != '"'; ++p) {
            if (n + 1 < size) {
                part[n++] = *p;
            }
        }
        if (*p == '"') {
            ++p;
        }
    } else {
        for (; *p && *p != ' '; ++p) {
            if (n + 1 < size) {
                part[n++] = *p;
            }
        }
    }
    part[n] = 0;
    if (*p == ' ') {
        ++p;
    }
    *line = p;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char name[MAX_PATH];
    FILE* report = OpenReport(".part", name, sizeof name);
    if (!report) {
        return 1;
    }
    const char* line = GetCommandLineA();
    WriteValue(report, "kind", "program");
    WriteValue(report, "line", line);
    char setupPath[1024], bootstrapPath[1024];
    TakePart(&line, setupPath, sizeof setupPath);
    TakePart(&line, bootstrapPath, sizeof bootstrapPath);
    WritePath(report, "part1", setupPath);
    WritePath(report, "part2", bootstrapPath);
    WriteValue(report, "tail", line);
    FinishReport(report, name, NULL);
    return 0;
}
