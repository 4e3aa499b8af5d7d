// Fuzzes the whole extraction over the fake platform: any input is the
// bootstrapper's own file.
//
// Checked beyond the sanitizers: the extraction answers 1 with a clear latch
// and a temporary file that ends in a valid trailer whose blobs lie inside
// it, or 0 with one of its own messages.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "container/container_trailer.h"
#include "container/extract_setup.h"
#include "container/setup_messages.h"
#include "tests/fakes/fake_platform.h"

static void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s (latch: %s)\n", what, errorLatch.text);
        std::abort();
    }
}

// One folder per fuzzing process, on a memory file system where there is
// one; removed at exit. Plain storage, so that it outlives the exit handler.
static char folder[64];

static void RemoveFolder() {
    std::string setup = std::string(folder) + "/setup.exe";
    std::remove(setup.c_str());
    rmdir(folder);
}

static const char* Folder() {
    if (!folder[0]) {
        std::strcpy(folder, "/dev/shm/kivfuzz-XXXXXX");
        if (!mkdtemp(folder)) {
            std::strcpy(folder, "/tmp/kivfuzz-XXXXXX");
            if (!mkdtemp(folder)) {
                std::abort();
            }
        }
        std::atexit(RemoveFolder);
    }
    return folder;
}

static bool KnownFailure(const char* text) {
    const char* known[] = {KIV_MSG_DAMAGED, KIV_MSG_NO_IMAGE, KIV_MSG_NO_TEMP_FILE,
                           KIV_MSG_COPY_FAILED};
    for (const char* k : known) {
        if (!std::strcmp(text, k)) {
            return true;
        }
    }
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string setup = std::string(Folder()) + "/setup.exe";
    std::FILE* f = std::fopen(setup.c_str(), "wb");
    if (!f) {
        std::abort();
    }
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    FakePlatform& fake = TheFakePlatform();
    fake = FakePlatform();
    fake.modulePath = setup;
    fake.tempPath = std::string(Folder()) + "/";  // the name follows the "/"
    ResetErrorLatch();
    launchMode = LaunchMode::Library;
    bootstrapPath[0] = 0;
    tempSetupPath[0] = 0;

    int result = ExtractSecondarySetup();
    if (result) {
        Check(errorLatch.flag == 0, "success with the latch set");
        std::FILE* out = std::fopen(tempSetupPath, "rb");
        Check(out != nullptr, "no temporary file");
        ContainerTrailer trailer;
        Check(ReadContainerTrailer(out, &trailer) == 1, "no valid trailer in the temporary file");
        long outSize = std::ftell(out);  // just past the trailer: the file size
        std::fclose(out);
        Check(trailer.programImage.offset == 0 && trailer.libraryImage.offset == 0,
              "image slots in the new trailer");
        for (const PayloadSlot& s : trailer.setupInfo) {
            Check(s.length == 0 ? s.offset == 0
                                : uint64_t(s.offset) + s.length + kTrailerSize <= uint64_t(outSize),
                  "a new slot outside the temporary file");
        }
    } else {
        Check(errorLatch.flag == 1 && KnownFailure(errorLatch.text), "failure without its message");
    }
    if (tempSetupPath[0]) {
        std::remove(tempSetupPath);
    }
    return 0;
}
