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

Bytes TrailerBytes(const ContainerTrailer& trailer);
ContainerTrailer MakeTrailer(PayloadSlot program, PayloadSlot library,
                             const std::vector<PayloadSlot>& info);

Bytes Concat(std::initializer_list<Bytes> parts);
Bytes Pattern(size_t size, unsigned seed);  // deterministic, mixed bytes

#endif
