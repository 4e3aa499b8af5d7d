// The bootstrapper's extraction: from its own file to a freshly named
// temporary file holding the rewritten container.
#ifndef KIV_CONTAINER_EXTRACT_SETUP_H
#define KIV_CONTAINER_EXTRACT_SETUP_H

#include <cstdio>

#include "state/setup_state.h"

enum { kTempNameAttempts = 500, kShortPathBufferSize = 1024 };

// Opens the bootstrapper's own file (found through moduleInstance), checks
// its trailer, sets launchMode, creates the temporary file, writes the
// rewritten container into it and leaves bootstrapPath and tempSetupPath in
// short form. Gives 1 on success. On failure it has reported one of the
// extraction's texts through ReportError, closed every file it opened, and
// gives 0; a temporary file it created stays on disk.
int ExtractSecondarySetup();

// Replaces `path` (a 256-character buffer) by its short form where the system
// gives one that fits; otherwise leaves it as it was.
void ShortenPath(char* path);

// Fills tempSetupPath with the temporary directory and the first free name
// "\_setup<n>.exe" (or ".dll" in library mode), n = 0 to 499, and creates
// that file exclusively. A name that exists, readable or not, is never
// emptied; a name that would not fit the 256-character buffer is not tried.
// Gives the open stream, or nullptr when all 500 attempts failed (it reports
// nothing itself).
std::FILE* CreateTemporarySetupFile(LaunchMode mode);

#endif
