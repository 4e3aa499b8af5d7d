#include "tests/fakes/fake_platform.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/open_file.h"
#include "platform/platform.h"
#include "state/setup_state.h"

FakePlatform& TheFakePlatform() {
    static FakePlatform fake;
    return fake;
}

void ResetFakePlatform(const std::string& folder) {
    FakePlatform& fake = TheFakePlatform();
    fake = FakePlatform();
    fake.modulePath = folder + "/setup.exe";
    fake.tempPath = folder + "/tmp\\";
    std::filesystem::create_directory(folder + "/tmp");
    bootstrapPath[0] = 0;
    tempSetupPath[0] = 0;
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

void RecordEvent(const std::string& event) {
    TheFakePlatform().events.push_back(event);
}

unsigned PlatformGetModuleFileName(void* module, char* buffer, unsigned size) {
    FakePlatform& fake = TheFakePlatform();
    if (module != nullptr && module == fake.startedModule) {
        RecordEvent("ModuleName(" + std::to_string(uintptr_t(module)) + ")");
        if (fake.moduleAliveQueries <= 0) {
            buffer[0] = 0;
            return 0;
        }
        --fake.moduleAliveQueries;
        return CopyOut("C:\\secondary.exe", buffer, size);
    }
    const std::string& path = fake.modulePath;
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

void PlatformRemoveFile(const char* path) {
    RecordEvent(std::string("RemoveFile(") + path + ")");
    std::remove(path);
}

void PlatformSetErrorMode(unsigned mode) {
    char text[32];
    std::snprintf(text, sizeof text, "SetErrorMode(0x%x)", mode);
    RecordEvent(text);
}

const char* PlatformGetCommandLine() {
    return TheFakePlatform().commandLine.c_str();
}

int PlatformIsLeadByte(unsigned char byte) {
    return byte != 0 && TheFakePlatform().leadBytes.find(char(byte)) != std::string::npos;
}

unsigned PlatformStartProgram(const char* commandLine, int showCommand) {
    FakePlatform& fake = TheFakePlatform();
    RecordEvent("StartProgram(" + std::to_string(showCommand) + ")");
    fake.startedLines.push_back(commandLine);
    if (std::strlen(commandLine) > fake.longestCommandLine) {
        return fake.refusedResult;
    }
    fake.startedModule =
        fake.startResult >= 32 ? reinterpret_cast<void*>(uintptr_t(fake.startResult)) : nullptr;
    return fake.startResult;
}

void* PlatformLoadLibrary(const char* path) {
    RecordEvent(std::string("LoadLibrary(") + path + ")");
    return TheFakePlatform().libraryHandle;
}

int PlatformSetDefaultLibraryFolders() {
    // Recorded also where the call is missing: the attempt comes first.
    RecordEvent("SetDefaultDllDirectories(0xc00)");
    return TheFakePlatform().restrictsLibrarySearch ? 1 : 0;
}

void PlatformRemoveCurrentFolderFromSearch() {
    RecordEvent("SetDllDirectory()");
}

void* PlatformLoadLibraryWithItsFolder(const char* path) {
    RecordEvent(std::string("LoadLibraryEx(") + path + "|0x900)");
    return TheFakePlatform().libraryHandle;
}

void PlatformAddLibraryFolder(const char* folder) {
    RecordEvent(std::string("AddDllDirectory(") + folder + ")");
}

void* PlatformGetProcAddress(void*, const char* name) {
    RecordEvent(std::string("GetProcAddress(") + name + ")");
    return std::strcmp(name, "Setup") == 0 ? TheFakePlatform().setupEntry : nullptr;
}

void PlatformFreeLibrary(void*) {
    RecordEvent("FreeLibrary");
}

int PlatformDispatchNextMessage() {
    FakePlatform& fake = TheFakePlatform();
    if (fake.queuedMessages <= 0) {
        return 0;
    }
    --fake.queuedMessages;
    RecordEvent("DispatchMessage");
    return 1;
}

void PlatformSleep(unsigned milliseconds) {
    RecordEvent("Sleep(" + std::to_string(milliseconds) + ")");
}

void PlatformMessageBox(const char* text, const char* caption, unsigned style) {
    char bits[16];
    std::snprintf(bits, sizeof bits, "0x%x", style);
    RecordEvent(std::string("MessageBox(") + text + "|" + caption + "|" + bits + ")");
}
