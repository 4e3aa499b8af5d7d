#include "container/extract_setup.h"

#include <cstring>

#include "container/rewrite.h"
#include "container/setup_messages.h"
#include "platform/platform.h"

// Writes "\_setup<n>.<ext>" at `at`; gives its length (12 to 14).
static int FormatTempName(char* at, int n, const char* extension) {
    char digits[4];
    int count = 0;
    do {
        digits[count++] = char('0' + n % 10);
        n /= 10;
    } while (n > 0);
    char* p = at;
    const char* prefix = "\\_setup";
    while (*prefix) {
        *p++ = *prefix++;
    }
    while (count > 0) {
        *p++ = digits[--count];
    }
    *p++ = '.';
    while (*extension) {
        *p++ = *extension++;
    }
    *p = 0;
    return int(p - at);
}

std::FILE* CreateTemporarySetupFile(LaunchMode mode) {
    tempSetupPath[0] = 0;
    PlatformGetTempPath(kPathBufferSize, tempSetupPath);
    tempSetupPath[kPathBufferSize - 1] = 0;
    int length = int(std::strlen(tempSetupPath));
    // The name brings its own backslash, so it takes the place of a trailing one.
    int at = (length >= 1 && tempSetupPath[length - 1] == '\\') ? length - 1 : length;
    const char* extension = mode == LaunchMode::Program ? "exe" : "dll";

    char name[16];
    for (int n = 0; n < kTempNameAttempts; ++n) {
        int nameLength = FormatTempName(name, n, extension);
        if (at + nameLength > kPathBufferSize - 1) {
            continue;  // would run past the buffer
        }
        std::memcpy(tempSetupPath + at, name, size_t(nameLength) + 1);
        if (std::FILE* existing = PlatformOpenFile(tempSetupPath, FileOpenMode::Read)) {
            std::fclose(existing);
            continue;
        }
        // Exclusive: a name that exists but cannot be read is skipped, and two
        // bootstrappers started together never share a file.
        if (std::FILE* created = PlatformOpenFile(tempSetupPath, FileOpenMode::CreateNew)) {
            return created;
        }
    }
    return nullptr;
}

void ShortenPath(char* path) {
    char buffer[kShortPathBufferSize];
    std::strcpy(buffer, path);
    PlatformGetShortPathName(path, buffer, kShortPathBufferSize);
    buffer[kShortPathBufferSize - 1] = 0;
    // A short form that does not fit the path's buffer leaves the path as it
    // was, rather than overrunning it.
    if (std::strlen(buffer) < kPathBufferSize) {
        std::strcpy(path, buffer);
    }
}

// Reports "Cannot open <path>." (cut to the latch's size by ReportError).
static void ReportCannotOpen(const char* path) {
    char message[1024];
    size_t prefix = sizeof(KIV_MSG_CANNOT_OPEN_PREFIX) - 1;
    size_t pathLength = std::strlen(path);
    if (pathLength > sizeof message - prefix - 2) {
        pathLength = sizeof message - prefix - 2;
    }
    std::memcpy(message, KIV_MSG_CANNOT_OPEN_PREFIX, prefix);
    std::memcpy(message + prefix, path, pathLength);
    message[prefix + pathLength] = '.';
    message[prefix + pathLength + 1] = 0;
    ReportError(message);
}

int ExtractSecondarySetup() {
    char modulePath[kPathBufferSize];
    modulePath[0] = 0;
    PlatformGetModuleFileName(moduleInstance, modulePath, kPathBufferSize);
    modulePath[kPathBufferSize - 1] = 0;
    std::FILE* container = PlatformOpenFile(modulePath, FileOpenMode::Read);
    if (!container) {
        ReportCannotOpen(modulePath);
        return 0;
    }
    ContainerTrailer trailer;
    if (!LoadContainerTrailer(container, &trailer)) {
        std::fclose(container);
        return 0;
    }
    PlatformGetModuleFileName(moduleInstance, bootstrapPath, kPathBufferSize);
    bootstrapPath[kPathBufferSize - 1] = 0;
    ShortenPath(bootstrapPath);

    uint32_t imageOffset = 0;
    if (!ChooseSecondaryImage(&trailer, &launchMode, &imageOffset)) {
        std::fclose(container);
        return 0;
    }
    std::FILE* output = CreateTemporarySetupFile(launchMode);
    if (!output) {
        ReportError(KIV_MSG_NO_TEMP_FILE);
        std::fclose(container);
        return 0;
    }
    if (!WriteSecondarySetup(container, &trailer, imageOffset, output)) {
        std::fclose(container);
        std::fclose(output);
        return 0;
    }
    std::fclose(output);
    std::fclose(container);
    ShortenPath(tempSetupPath);
    return 1;
}
