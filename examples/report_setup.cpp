// An example secondary setup: the program a bootstrapper carries and starts.
//
// It does what a real installer would do first: read the container trailer at
// the end of its own file to find the setup information it was given, and
// look at its command line ("<own file> <bootstrapper> <tail>"). It writes a
// report of both to the file named after "/report" in the tail (or to
// report.txt beside the bootstrapper), and shows the report unless the tail
// holds "/quiet".
//
// Build: i686-w64-mingw32-g++ -O2 -static -mwindows report_setup.cpp -o report_setup.exe
#include <windows.h>

#include <stdio.h>
#include <string.h>

enum { kTrailerSize = 56, kInfoCount = 4 };

// The trailer's slots: program image, library image, four blobs, each an
// (offset, length) pair of little-endian 32-bit numbers, then the signature.
struct Slot {
    unsigned long offset, length;
};

static unsigned long ReadLittle32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | ((unsigned long)p[2] << 16) | ((unsigned long)p[3] << 24);
}

// CRC-32 (the common polynomial 0xEDB88320), to name a blob's contents.
static unsigned long Crc32(FILE* f, unsigned long length) {
    unsigned long crc = 0xFFFFFFFFul;
    int c;
    while (length-- > 0 && (c = getc(f)) != EOF) {
        crc ^= (unsigned)c;
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320ul & (0ul - (crc & 1)));
        }
    }
    return crc ^ 0xFFFFFFFFul;
}

// Splits off one part of the command line: in quotes, or up to a blank.
static const char* TakePart(const char* p, char* part, size_t size) {
    size_t n = 0;
    char end = ' ';
    if (*p == '"') {
        end = '"';
        ++p;
    }
    for (; *p && *p != end; ++p) {
        if (n + 1 < size) {
            part[n++] = *p;
        }
    }
    part[n] = 0;
    if (*p == '"') {
        ++p;
    }
    return *p == ' ' ? p + 1 : p;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    static char report[16384];
    size_t used = 0;
#define SAY(...) used += snprintf(report + used, sizeof report - used, __VA_ARGS__)

    const char* line = GetCommandLineA();
    char self[MAX_PATH], bootstrapper[MAX_PATH];
    const char* tail =
        TakePart(TakePart(line, self, sizeof self), bootstrapper, sizeof bootstrapper);
    SAY("command line: %s\r\n", line);
    SAY("own file: %s\r\n", self);
    SAY("bootstrapper: %s\r\n", bootstrapper);
    SAY("tail: [%s]\r\n", tail);

    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof path);
    FILE* f = fopen(path, "rb");
    unsigned char trailer[kTrailerSize];
    if (!f || fseek(f, -kTrailerSize, SEEK_END) != 0 ||
        fread(trailer, 1, kTrailerSize, f) != kTrailerSize ||
        memcmp(trailer + 48, "KivSetup", 8) != 0) {
        SAY("no setup information: the file does not end in a container trailer\r\n");
    } else {
        for (int i = 0; i < kInfoCount; ++i) {
            Slot slot = {ReadLittle32(trailer + 16 + 8 * i), ReadLittle32(trailer + 20 + 8 * i)};
            if (slot.length == 0) {
                SAY("info%d: none\r\n", i);
                continue;
            }
            fseek(f, (long)slot.offset, SEEK_SET);
            SAY("info%d: %lu bytes at %lu, crc32 %08lx\r\n", i, slot.length, slot.offset,
                Crc32(f, slot.length));
        }
    }
    if (f) {
        fclose(f);
    }

    // Where to write: after "/report " in the tail, up to the next blank.
    char out[MAX_PATH] = "";
    const char* at = strstr(tail, "/report ");
    if (at) {
        TakePart(at + 8, out, sizeof out);
    } else {
        snprintf(out, sizeof out, "%s", bootstrapper);
        char* slash = strrchr(out, '\\');
        snprintf(slash ? slash + 1 : out, sizeof out - (slash ? slash + 1 - out : 0), "report.txt");
    }
    FILE* r = fopen(out, "wb");
    if (r) {
        fwrite(report, 1, used, r);
        fclose(r);
    }
    if (!strstr(tail, "/quiet")) {
        MessageBoxA(NULL, report, "Example secondary setup", MB_OK | MB_ICONINFORMATION);
    }
    return 0;
}
