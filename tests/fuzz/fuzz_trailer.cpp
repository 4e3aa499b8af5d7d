// Fuzzes the PE header reader and the trailer lookup of signed setups: any
// input is a whole setup file.
//
// Checked beyond the sanitizers: a trailer found in front of a certificate
// table lies right before it (past at most 7 zero bytes) and the table ends
// the file; every section and directory the reader reports can be asked for.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "container/find_trailer.h"
#include "container/pe_image.h"
#include "tests/fuzz/fuzz_support.h"

static void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PeImage image;
    if (ParsePeImage(data, size, &image)) {
        Check(image.directoryCount <= kPeMaxDataDirectories, "directory count");
        for (int i = 0; i < image.sectionCount; ++i) {
            PeSection section;
            Check(GetPeSection(data, size, &image, i, &section) == 1, "a counted section");
        }
        for (int i = 0; i < kPeMaxDataDirectories; ++i) {
            uint32_t offset;
            if (PeRvaToFileOffset(data, size, &image, GetPeDirectory(&image, i).virtualAddress,
                                  &offset)) {
                (void)offset;
            }
        }
    }

    std::FILE* input = OpenMemoryInput(data, size);
    if (!input) {
        return 0;
    }
    ContainerTrailer trailer;
    TrailerPlace place;
    if (FindContainerTrailer(input, &trailer, &place)) {
        Check(std::memcmp(trailer.signature, "KivSetup", 8) == 0, "signature");
        Check(uint64_t(place.position) + kTrailerSize <= size, "trailer inside the file");
        Check(std::memcmp(data + place.position + 48, "KivSetup", 8) == 0, "trailer position");
        if (place.isSigned) {
            Check(place.padding <= kMaxCertificatePadding, "padding");
            Check(place.position + kTrailerSize + place.padding == place.certificateOffset,
                  "trailer right before the table");
            Check(uint64_t(place.certificateOffset) + place.certificateSize == size,
                  "table ends the file");
            for (uint32_t i = 0; i < place.padding; ++i) {
                Check(data[place.position + kTrailerSize + i] == 0, "zero padding");
            }
        } else {
            Check(place.position + kTrailerSize == size, "unsigned trailer ends the file");
        }
    }
    std::fclose(input);
    return 0;
}
