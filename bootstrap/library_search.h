// Where the libraries of the process come from. A setup program is mostly
// run from a downloads folder that holds whatever else was downloaded; a
// library planted there under a system library's name must never be loaded
// into the bootstrapper, nor into the secondary library it calls.
#ifndef KIV_BOOTSTRAP_LIBRARY_SEARCH_H
#define KIV_BOOTSTRAP_LIBRARY_SEARCH_H

// 1 when the system restricts library loads by name to the system directory
// and to added folders (set by RestrictLibrarySearch), 0 on older systems.
extern int librarySearchRestricted;

// The first step of a run: restricts the search to the system directory and
// to folders added later (none is added here), so that neither the program's
// own folder nor the current folder is searched. Where the system lacks that,
// it takes at least the current folder out of the search; the program's own
// folder then stays first in the system's order, which nothing here can
// change.
void RestrictLibrarySearch();

// Loads the secondary library at the full path `path`: with the libraries it
// imports taken from its own folder and the system directory only where the
// search is restricted, with the system's standard search otherwise. Gives
// the handle, which the caller tests as before.
void* LoadSecondaryLibrary(const char* path);

// Lets the secondary library at `path` load libraries by name from its own
// folder during its Setup call, where the search is restricted (there the
// folder would otherwise not be searched at all). Does nothing elsewhere, or
// when `path` names no folder.
void AllowLoadsBesideLibrary(const char* path);

// Writes the folder of `path` into `folder` (`size` characters): everything
// before the last backslash or slash, which is kept only for a root such as
// "C:\". Gives 1, or 0 with `folder` empty when `path` holds no separator or
// the folder does not fit.
int LibraryFolderOf(const char* path, char* folder, unsigned size);

#endif
