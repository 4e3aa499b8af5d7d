// What the recording secondary setups share: a report of "key=value" lines
// (tabs, carriage returns and line feeds written as \t, \r and \n so that
// every value stays on its line), the short and long forms of a path, and a
// copy of their own file, so the test sees exactly what they received and
// what their file holds.
#ifndef KIV_TESTS_E2E_REPORT_WRITER_H
#define KIV_TESTS_E2E_REPORT_WRITER_H

#include <windows.h>

#include <stdio.h>
#include <string.h>

// Opens the report named by KIV_E2E_REPORT with `suffix` appended; null
// without that variable.
inline FILE* OpenReport(const char* suffix, char* name, DWORD size) {
    DWORD n = GetEnvironmentVariableA("KIV_E2E_REPORT", name, size);
    if (n == 0 || n + strlen(suffix) + 1 > size) {
        return NULL;
    }
    strcat(name, suffix);
    return fopen(name, "wb");
}

inline void WriteValue(FILE* report, const char* key, const char* value) {
    fprintf(report, "%s=", key);
    for (const char* p = value; *p; ++p) {
        if (*p == '\t') {
            fputs("\\t", report);
        } else if (*p == '\r') {
            fputs("\\r", report);
        } else if (*p == '\n') {
            fputs("\\n", report);
        } else {
            fputc(*p, report);
        }
    }
    fputc('\n', report);
}

// Writes `key`, `key`short and `key`long for `path`.
inline void WritePath(FILE* report, const char* key, const char* path) {
    char converted[1024], name[64];
    WriteValue(report, key, path);
    converted[0] = 0;
    GetShortPathNameA(path, converted, sizeof converted);
    snprintf(name, sizeof name, "%sshort", key);
    WriteValue(report, name, converted);
    converted[0] = 0;
    GetLongPathNameA(path, converted, sizeof converted);
    snprintf(name, sizeof name, "%slong", key);
    WriteValue(report, name, converted);
}

// Copies the file `from` to `to` byte for byte; gives 1 on success.
inline int CopyWholeFile(const char* from, const char* to) {
    FILE* in = fopen(from, "rb");
    FILE* out = in ? fopen(to, "wb") : NULL;
    int ok = in && out;
    char buffer[65536];
    size_t n;
    while (ok && (n = fread(buffer, 1, sizeof buffer, in)) > 0) {
        ok = fwrite(buffer, 1, n, out) == n;
    }
    if (in) {
        fclose(in);
    }
    if (out) {
        ok = fclose(out) == 0 && ok;
    }
    return ok;
}

// Loads, by name only as a careless program would, a library that exists
// nowhere but where a test plants it, and writes where it came from:
// "probe.kivplant.dll=<path>", or "none" when it was not found. A copy
// planted beside the bootstrapper must never be what the secondary library
// gets. (A system library's name would show nothing under Wine: Wine runs
// its own code for those, whatever file its search found first.)
inline void WriteLibraryProbe(FILE* report) {
    char path[MAX_PATH] = "none";
    HMODULE library = LoadLibraryA("kivplant.dll");
    if (library) {
        GetModuleFileNameA(library, path, sizeof path);
        FreeLibrary(library);
    }
    WriteValue(report, "probe.kivplant.dll", path);
}

// Ends the report: copies the module's own file beside it as ".image", then
// renames the report from ".part" to ".txt", so a reader that finds the
// ".txt" knows that everything is in place.
inline void FinishReport(FILE* report, const char* partName, HMODULE module) {
    char self[MAX_PATH], image[MAX_PATH + 16], done[MAX_PATH + 16];
    GetModuleFileNameA(module, self, sizeof self);
    WritePath(report, "self", self);
    size_t base = strlen(partName) - strlen(".part");
    snprintf(image, sizeof image, "%.*s.image", (int)base, partName);
    snprintf(done, sizeof done, "%.*s.txt", (int)base, partName);
    WriteValue(report, "imagecopy", CopyWholeFile(self, image) ? "ok" : "failed");
    fclose(report);
    MoveFileA(partName, done);
}

#endif
