#include "container/pe_image.h"

#include <cstring>

// Field positions inside the optional header; PE32 and PE32+ share all up to
// the stack sizes, which are 4 bytes wide in one and 8 in the other.
enum {
    kOptSizeOfInitializedData = 8,
    kOptImageBase = 24,  // PE32+: 8 bytes at 24; PE32: 4 bytes at 28
    kOptSectionAlignment = 32,
    kOptFileAlignment = 36,
    kOptSizeOfImage = 56,
    kOptSizeOfHeaders = 60,
    kOptCheckSum = 64,
    kOptSubsystem = 68,
    kOptDirectoryCount32 = 92,
    kOptDirectoryCount64 = 108,
};

static uint16_t Le16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}

static uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// True when [offset, offset + length) lies inside `size` bytes; computed so
// that no sum can wrap, whatever the header claims.
static bool Fits(size_t size, uint64_t offset, uint64_t length) {
    return offset <= size && length <= size - offset;
}

int ParsePeImage(const unsigned char* bytes, size_t size, PeImage* image) {
    std::memset(image, 0, sizeof *image);
    if (!Fits(size, 0, kPeDosHeaderSize) || bytes[0] != 'M' || bytes[1] != 'Z') {
        return 0;
    }
    uint32_t pe = Le32(bytes + 0x3c);
    if (!Fits(size, pe, 4 + kPeFileHeaderSize) || std::memcmp(bytes + pe, "PE\0\0", 4) != 0) {
        return 0;
    }
    image->peHeaderOffset = pe;
    const unsigned char* fh = bytes + pe + 4;
    image->machine = Le16(fh);
    image->sectionCount = Le16(fh + 2);
    image->timeDateStamp = Le32(fh + 4);
    image->optionalHeaderSize = Le16(fh + 16);
    image->characteristics = Le16(fh + 18);

    uint32_t opt = pe + 4 + kPeFileHeaderSize;
    image->optionalHeaderOffset = opt;
    if (!Fits(size, opt, image->optionalHeaderSize) || image->optionalHeaderSize < 2) {
        return 0;
    }
    const unsigned char* oh = bytes + opt;
    image->magic = Le16(oh);
    uint32_t countAt;
    if (image->magic == kPeMagic32) {
        countAt = kOptDirectoryCount32;
    } else if (image->magic == kPeMagic64) {
        countAt = kOptDirectoryCount64;
    } else {
        return 0;
    }
    uint32_t directoriesAt = countAt + 4;
    if (image->optionalHeaderSize < directoriesAt) {
        return 0;
    }
    image->imageBase = image->magic == kPeMagic64 ? uint64_t(Le32(oh + kOptImageBase)) |
                                                        uint64_t(Le32(oh + kOptImageBase + 4)) << 32
                                                  : Le32(oh + kOptImageBase + 4);
    image->sizeOfInitializedDataOffset = opt + kOptSizeOfInitializedData;
    image->sizeOfInitializedData = Le32(oh + kOptSizeOfInitializedData);
    image->sectionAlignment = Le32(oh + kOptSectionAlignment);
    image->fileAlignment = Le32(oh + kOptFileAlignment);
    image->sizeOfImageOffset = opt + kOptSizeOfImage;
    image->sizeOfImage = Le32(oh + kOptSizeOfImage);
    image->sizeOfHeaders = Le32(oh + kOptSizeOfHeaders);
    image->checkSumOffset = opt + kOptCheckSum;
    image->checkSum = Le32(oh + kOptCheckSum);
    image->subsystem = Le16(oh + kOptSubsystem);

    // The directory count is believed only as far as the optional header's
    // declared size holds the entries.
    uint32_t count = Le32(oh + countAt);
    uint32_t room = (image->optionalHeaderSize - directoriesAt) / 8;
    if (count > room) {
        count = room;
    }
    if (count > kPeMaxDataDirectories) {
        count = kPeMaxDataDirectories;
    }
    image->dataDirectoryOffset = opt + directoriesAt;
    image->directoryCount = count;
    for (uint32_t i = 0; i < count; ++i) {
        image->directories[i].virtualAddress = Le32(oh + directoriesAt + 8 * i);
        image->directories[i].size = Le32(oh + directoriesAt + 8 * i + 4);
    }

    image->sectionTableOffset = opt + image->optionalHeaderSize;
    if (image->sectionCount > kPeMaxSections ||
        !Fits(size, image->sectionTableOffset,
              uint64_t(image->sectionCount) * kPeSectionHeaderSize)) {
        return 0;
    }
    return 1;
}

PeDataDirectory GetPeDirectory(const PeImage* image, int index) {
    PeDataDirectory none = {0, 0};
    if (index < 0 || uint32_t(index) >= image->directoryCount) {
        return none;
    }
    return image->directories[index];
}

int GetPeSection(const unsigned char* bytes, size_t size, const PeImage* image, int index,
                 PeSection* section) {
    if (index < 0 || index >= image->sectionCount) {
        return 0;
    }
    uint64_t at = uint64_t(image->sectionTableOffset) + uint64_t(index) * kPeSectionHeaderSize;
    if (!Fits(size, at, kPeSectionHeaderSize)) {
        return 0;  // not the bytes that were parsed
    }
    const unsigned char* p = bytes + at;
    std::memcpy(section->name, p, 8);
    section->virtualSize = Le32(p + 8);
    section->virtualAddress = Le32(p + 12);
    section->sizeOfRawData = Le32(p + 16);
    section->pointerToRawData = Le32(p + 20);
    section->characteristics = Le32(p + 36);
    return 1;
}

int PeRvaToFileOffset(const unsigned char* bytes, size_t size, const PeImage* image, uint32_t rva,
                      uint32_t* fileOffset) {
    if (rva < image->sizeOfHeaders) {
        *fileOffset = rva;
        return 1;
    }
    for (int i = 0; i < image->sectionCount; ++i) {
        PeSection s;
        if (!GetPeSection(bytes, size, image, i, &s)) {
            return 0;
        }
        // Only the part backed by raw data has a file offset.
        if (rva >= s.virtualAddress && uint64_t(rva) - s.virtualAddress < s.sizeOfRawData) {
            uint64_t offset = uint64_t(s.pointerToRawData) + (rva - s.virtualAddress);
            if (offset > 0xffffffffu) {
                return 0;
            }
            *fileOffset = uint32_t(offset);
            return 1;
        }
    }
    return 0;
}

uint32_t ComputePeChecksum(const unsigned char* bytes, size_t size, uint32_t checkSumOffset) {
    uint64_t sum = 0;
    for (size_t i = 0; i < size; i += 2) {
        // The field's own bytes count as zero; it is 4-byte aligned in every
        // image, so it covers whole words.
        if (i >= checkSumOffset && i - checkSumOffset < 4) {
            continue;
        }
        uint32_t word = bytes[i] | (i + 1 < size ? bytes[i + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xffff) + (sum >> 16);
    }
    sum = (sum & 0xffff) + (sum >> 16);
    return uint32_t(sum + size);
}
