// Runs the bootstrapper's extraction on one file over the fake platform, for
// the script suites: extract_file SETUP TEMPDIR
//
// Prints "ok <temporary file>" or "failed <the message>" (its \r\n written
// as a line break) and exits 0 either way; anything else (a crash, a
// sanitizer report, a hang) is the fault the suites look for.
#include <cstdio>

#include "container/extract_setup.h"
#include "tests/fakes/fake_platform.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: extract_file SETUP TEMPDIR\n");
        return 2;
    }
    TheFakePlatform().modulePath = argv[1];
    // The name brings a backslash of its own, which on the host is part of the
    // file name: give TEMPDIR with a trailing "/" to create it inside.
    TheFakePlatform().tempPath = argv[2];
    ResetErrorLatch();
    if (ExtractSecondarySetup()) {
        std::printf("ok %s\n", tempSetupPath);
    } else {
        std::printf("failed %s\n", errorLatch.text);
    }
    return 0;
}
