#include "container/rewrite.h"

#include <cstring>

#include "container/bit_reader.h"
#include "container/find_trailer.h"
#include "container/lzss_expand.h"
#include "container/setup_messages.h"

enum { kCopyChunk = 4096 };

int LoadContainerTrailer(std::FILE* container, ContainerTrailer* trailer) {
    if (!FindContainerTrailer(container, trailer, nullptr)) {
        ReportError(KIV_MSG_DAMAGED);
        return 0;
    }
    return 1;
}

int ChooseSecondaryImage(const ContainerTrailer* trailer, LaunchMode* mode, uint32_t* imageOffset) {
    if (trailer->programImage.offset != 0) {
        *mode = LaunchMode::Program;
        *imageOffset = trailer->programImage.offset;
    } else if (trailer->libraryImage.offset != 0) {
        *mode = LaunchMode::Library;
        *imageOffset = trailer->libraryImage.offset;
    } else {
        ReportError(KIV_MSG_NO_IMAGE);
        return 0;
    }
    if (!IsUsablePosition(*imageOffset)) {
        ReportError(KIV_MSG_DAMAGED);
        return 0;
    }
    return 1;
}

int CopySlot(std::FILE* source, std::FILE* destination, uint32_t offset, uint32_t length,
             uint32_t* newOffset, uint32_t* newLength) {
    if (length == 0) {
        *newOffset = 0;
        *newLength = 0;
        return 1;
    }
    int seeked = SeekToPosition(source, offset);
    *newOffset = uint32_t(std::ftell(destination));
    *newLength = length;
    if (!seeked) {
        return 0;
    }
    static unsigned char buffer[kCopyChunk];
    uint32_t remaining = length;
    while (remaining > 0) {
        size_t chunk = remaining < uint32_t(kCopyChunk) ? remaining : uint32_t(kCopyChunk);
        if (std::fread(buffer, chunk, 1, source) != 1) {
            return 0;
        }
        if (std::fwrite(buffer, chunk, 1, destination) != 1) {
            return 0;
        }
        remaining -= uint32_t(chunk);
    }
    return 1;
}

int WriteSecondarySetup(std::FILE* container, const ContainerTrailer* trailer, uint32_t imageOffset,
                        std::FILE* output) {
    SeekToPosition(container, imageOffset);  // checked by ChooseSecondaryImage
    BitReader* reader = CreateBitReader(container);
    if (!reader) {
        // Without a reader nothing can be expanded; going on would hand over
        // a file that holds only the blobs and call that success.
        ReportError(KIV_MSG_COPY_FAILED);
        return 0;
    }
    ExpandLzss(reader, output);
    ReleaseBitReader(reader);

    ContainerTrailer newTrailer;
    std::memset(&newTrailer, 0, sizeof newTrailer);
    std::memcpy(newTrailer.signature, kContainerSignature, kSignatureSize);
    for (int i = 0; i < kSetupInfoCount; ++i) {
        if (!CopySlot(container, output, trailer->setupInfo[i].offset, trailer->setupInfo[i].length,
                      &newTrailer.setupInfo[i].offset, &newTrailer.setupInfo[i].length)) {
            ReportError(KIV_MSG_COPY_FAILED);
            return 0;
        }
    }
    WriteContainerTrailer(output, &newTrailer);
    return 1;
}
