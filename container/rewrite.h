// The platform-free core of the extraction: from an open container to the
// rewritten container (expanded image, non-empty setup information blobs, new
// trailer). The bootstrapper wraps it with its own file and a temporary file;
// `kivpack extract` wraps it with the files it is given. Every failure is
// reported through ReportError with the bootstrapper's own text.
#ifndef KIV_CONTAINER_REWRITE_H
#define KIV_CONTAINER_REWRITE_H

#include <cstdint>
#include <cstdio>

#include "container/container_trailer.h"
#include "state/setup_state.h"

// Reads the container's trailer with FindContainerTrailer: from the end of
// the file, or, in a signed setup, from in front of its certificate table.
// Gives 1 when it is valid; otherwise reports "Setup.exe is damaged." and
// gives 0.
int LoadContainerTrailer(std::FILE* container, ContainerTrailer* trailer);

// Chooses the image to expand: the program image when its offset is not 0,
// else the library image. Sets *mode and *imageOffset and gives 1. With no
// image it reports "This application requires a\r\n32-bit version of
// Windows." and gives 0; with an image offset that cannot be a file position
// (2^31 or more) it reports "Setup.exe is damaged." and gives 0, rather than
// expanding whatever a wrapped-around seek would find.
int ChooseSecondaryImage(const ContainerTrailer* trailer, LaunchMode* mode, uint32_t* imageOffset);

// Copies one setup information blob from `source` to the end of `destination`
// in chunks of 4096 bytes. A blob of length 0 copies nothing and gives the new
// slot (0, 0) without touching the source. Otherwise *newOffset is set to the
// destination's current position and *newLength to `length` before any byte
// moves. Gives 1 when every chunk was read and written whole, 0 otherwise
// (including an offset of 2^31 or more); it reports nothing itself.
int CopySlot(std::FILE* source, std::FILE* destination, uint32_t offset, uint32_t length,
             uint32_t* newOffset, uint32_t* newLength);

// Writes the rewritten container to `output`, from its current position:
// expands the image at `imageOffset`, appends blobs 0 to 3 with CopySlot and
// ends with the new trailer. Gives 1 on success. When a blob cannot be copied
// it reports "Cannot copy setup information\r\nto temporary file.", stops
// (no later blob, no trailer) and gives 0. Closes neither stream.
int WriteSecondarySetup(std::FILE* container, const ContainerTrailer* trailer, uint32_t imageOffset,
                        std::FILE* output);

#endif
