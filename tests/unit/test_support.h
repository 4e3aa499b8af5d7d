// Helpers shared by the unit tests: scratch folders, whole-file I/O, and a
// small stream writer that makes compressed images token by token.
#ifndef KIV_TESTS_UNIT_TEST_SUPPORT_H
#define KIV_TESTS_UNIT_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "container/container_trailer.h"

using Bytes = std::vector<unsigned char>;

// A fresh, empty folder for one test, removed by the destructor.
class ScratchDir {
   public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

   private:
    std::string path_;
};

Bytes ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const Bytes& bytes);
bool FileExists(const std::string& path);

// Writes tokens of the stream format, most significant bit first.
class StreamWriter {
   public:
    StreamWriter& Literal(unsigned char byte);
    StreamWriter& Literals(const Bytes& bytes);
    StreamWriter& Match(unsigned index, unsigned length);  // length 2..17
    StreamWriter& End();
    StreamWriter& Bits(uint32_t value, int count);
    Bytes Finish() const { return bytes_; }  // fill bits are 0

   private:
    Bytes bytes_;
    int used_ = 8;  // bits used in the last byte
};

// A stream that produces exactly `plain`: literals and the end marker.
Bytes LiteralStream(const Bytes& plain);

// Expands `stream` from a real file into a real file, as the extraction
// does; *inputPositionAfter receives where the input stream stood afterwards.
Bytes ExpandStream(const Bytes& stream, long* inputPositionAfter = nullptr);

Bytes TrailerBytes(const ContainerTrailer& trailer);
ContainerTrailer MakeTrailer(PayloadSlot program, PayloadSlot library,
                             const std::vector<PayloadSlot>& info);

// A hand-made PE image: headers as the tests say, sections whose raw data
// is filled with a pattern. Defaults give a plain 32-bit program of 0x600
// bytes (headers in 0x200, two sections of 0x200).
struct PeLayout {
    struct Section {
        const char* name;
        uint32_t virtualAddress, virtualSize, pointerToRawData, sizeOfRawData;
    };
    bool pe64 = false;
    uint32_t peOffset = 0x80;
    uint32_t directoryCount = 16;     // NumberOfRvaAndSizes as written
    int32_t optionalHeaderSize = -1;  // -1: the standard size for the magic
    uint32_t sizeOfHeaders = 0x200;
    PayloadSlot security = {0, 0};  // directory 4: file offset and size
    PayloadSlot resource = {0, 0};  // directory 2: RVA and size
    std::vector<Section> sections = {{".text", 0x1000, 0x180, 0x200, 0x200},
                                     {".rsrc", 0x2000, 0x300, 0x400, 0x200}};
};
Bytes MakePeImage(const PeLayout& layout);

// Where the security directory's entry stands in an image made by
// MakePeImage, so that a test can point it at a certificate table.
size_t SecurityDirectoryOffset(const PeLayout& layout);

// Signs `file` the way a signing tool lays it out: zero padding up to a
// multiple of 8, then a certificate table of `tableSize` bytes (a multiple
// of 8) that ends the file, with the security directory pointing at it.
Bytes AppendCertificateTable(Bytes file, const PeLayout& layout, uint32_t tableSize = 1024);

Bytes Concat(std::initializer_list<Bytes> parts);
Bytes Pattern(size_t size, unsigned seed);  // deterministic, mixed bytes

#endif
