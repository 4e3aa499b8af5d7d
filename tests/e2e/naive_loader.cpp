// The careless program that library planting preys on: it loads libraries by
// name with the system's standard search, which starts in the program's own
// folder. Run from a folder with a planted copy, it shows whether the system
// (here Wine) takes the copy; the bootstrapper, run from the same folder,
// must not. Writes its probes to KIV_E2E_REPORT with ".txt" appended.
#include "tests/e2e/report_writer.h"

int main() {
    char name[MAX_PATH];
    FILE* report = OpenReport(".txt", name, sizeof name);
    if (!report) {
        return 1;
    }
    WriteLibraryProbe(report);
    fclose(report);
    return 0;
}
