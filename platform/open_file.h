// The one place that turns a path into a shared, binary, buffered stream.
#ifndef KIV_PLATFORM_OPEN_FILE_H
#define KIV_PLATFORM_OPEN_FILE_H

#include <cstdio>

#include "platform/platform.h"

// Opens `path` as a binary <cstdio> stream that other processes may read and
// write while it is open (on Windows no share-deny flag is set). CreateNew
// fails when the name exists. Gives nullptr on failure.
std::FILE* OpenSharedFile(const char* path, FileOpenMode mode);

#endif
