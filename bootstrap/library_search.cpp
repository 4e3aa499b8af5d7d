#include "bootstrap/library_search.h"

#include <cstring>

#include "platform/platform.h"
#include "state/setup_state.h"

int librarySearchRestricted = 0;

void RestrictLibrarySearch() {
    librarySearchRestricted = PlatformSetDefaultLibraryFolders();
    if (!librarySearchRestricted) {
        PlatformRemoveCurrentFolderFromSearch();
    }
}

void* LoadSecondaryLibrary(const char* path) {
    return librarySearchRestricted ? PlatformLoadLibraryWithItsFolder(path)
                                   : PlatformLoadLibrary(path);
}

void AllowLoadsBesideLibrary(const char* path) {
    char folder[kPathBufferSize];
    if (librarySearchRestricted && LibraryFolderOf(path, folder, sizeof folder)) {
        PlatformAddLibraryFolder(folder);
    }
}

int LibraryFolderOf(const char* path, char* folder, unsigned size) {
    const char* last = nullptr;
    for (const char* p = path; *p; ++p) {
        if (*p == '\\' || *p == '/') {
            last = p;
        }
    }
    if (size > 0) {
        folder[0] = 0;
    }
    if (!last) {
        return 0;
    }
    size_t length = size_t(last - path);
    // "C:\name" and "\name": the folder is the root, separator and all.
    if (length == 0 || (length == 2 && path[1] == ':')) {
        ++length;
    }
    if (length + 1 > size) {
        return 0;
    }
    std::memcpy(folder, path, length);
    folder[length] = 0;
    return 1;
}
