#include "tests/fakes/fake_platform.h"

#include <cstring>

#include "platform/open_file.h"
#include "platform/platform.h"

FakePlatform& TheFakePlatform() {
    static FakePlatform fake;
    return fake;
}

// Copies like the Win32 calls: the whole text when it fits with its zero,
// else nothing and the size it would need.
static unsigned CopyOut(const std::string& text, char* buffer, unsigned size) {
    if (text.size() + 1 > size) {
        return unsigned(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return unsigned(text.size());
}

unsigned PlatformGetModuleFileName(void*, char* buffer, unsigned size) {
    const std::string& path = TheFakePlatform().modulePath;
    // GetModuleFileNameA truncates a long path to the buffer.
    size_t n = path.size() < size - 1 ? path.size() : size - 1;
    std::memcpy(buffer, path.data(), n);
    buffer[n] = 0;
    return unsigned(n);
}

unsigned PlatformGetTempPath(unsigned size, char* buffer) {
    if (!TheFakePlatform().hasTempPath) {
        return 0;
    }
    return CopyOut(TheFakePlatform().tempPath, buffer, size);
}

unsigned PlatformGetShortPathName(const char* path, char* buffer, unsigned size) {
    FakePlatform& fake = TheFakePlatform();
    ++fake.shortPathCalls;
    auto it = fake.shortPaths.find(path);
    if (it == fake.shortPaths.end()) {
        return 0;
    }
    return CopyOut(it->second, buffer, size);
}

std::FILE* PlatformOpenFile(const char* path, FileOpenMode mode) {
    FakePlatform& fake = TheFakePlatform();
    if (mode == FileOpenMode::Read && fake.unreadable.count(path)) {
        return nullptr;
    }
    if (mode != FileOpenMode::Read && fake.uncreatable.count(path)) {
        return nullptr;
    }
    return OpenSharedFile(path, mode);
}
