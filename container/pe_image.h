// A small reader for the headers of a portable executable (PE) image: the
// DOS header, the PE signature, the file header, the optional header (PE32 or
// PE32+), its data directories and the section table.
//
// It works on bytes in memory and needs no Windows header, so the same code
// serves the bootstrapper (which looks for a certificate table behind its
// container), kivpack and the host tests. Every field is read through a
// bounds check against the given size: a hostile or truncated header makes
// the parse fail, never read outside the buffer. Besides the values, the
// reader records the file offsets of the structures so that a tool can patch
// them in place.
#ifndef KIV_CONTAINER_PE_IMAGE_H
#define KIV_CONTAINER_PE_IMAGE_H

#include <cstddef>
#include <cstdint>

enum {
    kPeDosHeaderSize = 64,
    kPeFileHeaderSize = 20,
    kPeSectionHeaderSize = 40,
    kPeMaxDataDirectories = 16,
    kPeMaxSections = 96,  // the most the Windows loader accepts
    kPeMagic32 = 0x10b,
    kPeMagic64 = 0x20b,
};

// Indices into the data directory table.
enum PeDirectory {
    kPeDirExport = 0,
    kPeDirImport = 1,
    kPeDirResource = 2,
    kPeDirException = 3,
    kPeDirSecurity = 4,  // the certificate table; its address is a FILE offset
    kPeDirBaseReloc = 5,
    kPeDirDebug = 6,
};

struct PeDataDirectory {
    uint32_t virtualAddress;  // an RVA, except for kPeDirSecurity (a file offset)
    uint32_t size;
};

struct PeSection {
    char name[8];  // not zero-terminated when all 8 are used
    uint32_t virtualSize;
    uint32_t virtualAddress;
    uint32_t sizeOfRawData;
    uint32_t pointerToRawData;
    uint32_t characteristics;
};

// What ParsePeImage learns. Offsets are counted from the start of the file.
struct PeImage {
    uint32_t peHeaderOffset;  // e_lfanew: where "PE\0\0" stands
    // File header.
    uint16_t machine;
    uint16_t sectionCount;
    uint32_t timeDateStamp;
    uint16_t optionalHeaderSize;
    uint16_t characteristics;
    // Optional header.
    uint32_t optionalHeaderOffset;
    uint16_t magic;  // kPeMagic32 or kPeMagic64
    uint32_t sizeOfInitializedDataOffset;
    uint32_t sizeOfInitializedData;
    uint64_t imageBase;
    uint32_t sectionAlignment;
    uint32_t fileAlignment;
    uint32_t sizeOfImageOffset;  // where the 32-bit SizeOfImage field stands
    uint32_t sizeOfImage;
    uint32_t sizeOfHeaders;
    uint32_t checkSumOffset;  // where the 32-bit CheckSum field stands
    uint32_t checkSum;
    uint16_t subsystem;
    // Data directories: as many as the header declares and its size holds,
    // at most 16; the ones beyond directoryCount read as (0, 0).
    uint32_t dataDirectoryOffset;
    uint32_t directoryCount;
    PeDataDirectory directories[kPeMaxDataDirectories];
    // Section table: sectionCount entries of 40 bytes, all inside the bytes
    // that were parsed.
    uint32_t sectionTableOffset;
};

// Parses the headers of the image whose first `size` bytes are `bytes`.
// Gives 1 when they form a PE image: "MZ", a PE header inside the bytes with
// its signature, an optional header of a known magic that fits the size the
// file header declares, and a section table of at most 96 entries inside the
// bytes. Gives 0 otherwise; *image is then undefined.
int ParsePeImage(const unsigned char* bytes, size_t size, PeImage* image);

// Gives data directory `index` (0 to 15), or (0, 0) when the image has none.
PeDataDirectory GetPeDirectory(const PeImage* image, int index);

// Reads section header `index` (below image->sectionCount) from the same
// bytes that were parsed. Gives 1, or 0 for an index out of range.
int GetPeSection(const unsigned char* bytes, size_t size, const PeImage* image, int index,
                 PeSection* section);

// Turns an RVA into a file offset through the section that holds it in its
// raw data, or through the headers when it lies below sizeOfHeaders. Gives 1
// and sets *fileOffset, or 0 when no section's raw data covers the RVA.
int PeRvaToFileOffset(const unsigned char* bytes, size_t size, const PeImage* image, uint32_t rva,
                      uint32_t* fileOffset);

// The image checksum as the Windows loader and signing tools compute it: the
// file summed as 16-bit little-endian words with the carries folded back in,
// the CheckSum field itself (4 bytes at checkSumOffset) counted as zero, an odd
// last byte as a word of its own, and the file size added at the end. A tool
// that changes an image recomputes it so that the field stays true.
uint32_t ComputePeChecksum(const unsigned char* bytes, size_t size, uint32_t checkSumOffset);

#endif
