#include "tests/unit/test_support.h"

#include "container/bit_reader.h"
#include "container/lzss_expand.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    static unsigned counter = 0;
    std::random_device rd;
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path p = base / ("kivtest-" + std::to_string(rd()) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path_ = p.generic_string();
            return;
        }
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

Bytes ReadWholeFile(const std::string& path) {
    Bytes bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        return bytes;
    }
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    std::fclose(f);
    return bytes;
}

void WriteWholeFile(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        return;
    }
    if (!bytes.empty()) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    }
    std::fclose(f);
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

StreamWriter& StreamWriter::Bits(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        if (used_ == 8) {
            bytes_.push_back(0);
            used_ = 0;
        }
        if ((value >> i) & 1) {
            bytes_.back() |= (unsigned char)(0x80 >> used_);
        }
        ++used_;
    }
    return *this;
}

StreamWriter& StreamWriter::Literal(unsigned char byte) {
    return Bits(1, 1).Bits(byte, 8);
}

StreamWriter& StreamWriter::Literals(const Bytes& bytes) {
    for (unsigned char b : bytes) {
        Literal(b);
    }
    return *this;
}

StreamWriter& StreamWriter::Match(unsigned index, unsigned length) {
    return Bits(0, 1).Bits(index, 12).Bits(length - 2, 4);
}

StreamWriter& StreamWriter::End() {
    return Bits(0, 13);
}

Bytes LiteralStream(const Bytes& plain) {
    return StreamWriter().Literals(plain).End().Finish();
}

Bytes ExpandStream(const Bytes& stream, long* inputPositionAfter) {
    ScratchDir dir;
    WriteWholeFile(dir.File("in"), stream);
    std::FILE* in = std::fopen(dir.File("in").c_str(), "rb");
    std::FILE* out = std::fopen(dir.File("out").c_str(), "wb");
    BitReader* reader = CreateBitReader(in);
    ExpandLzss(reader, out);
    ReleaseBitReader(reader);
    if (inputPositionAfter) {
        *inputPositionAfter = std::ftell(in);
    }
    std::fclose(in);
    std::fclose(out);
    return ReadWholeFile(dir.File("out"));
}

Bytes TrailerBytes(const ContainerTrailer& trailer) {
    Bytes bytes(kTrailerSize);
    EncodeContainerTrailer(&trailer, bytes.data());
    return bytes;
}

ContainerTrailer MakeTrailer(PayloadSlot program, PayloadSlot library,
                             const std::vector<PayloadSlot>& info) {
    ContainerTrailer t;
    std::memset(&t, 0, sizeof t);
    t.programImage = program;
    t.libraryImage = library;
    for (size_t i = 0; i < info.size() && i < kSetupInfoCount; ++i) {
        t.setupInfo[i] = info[i];
    }
    std::memcpy(t.signature, kContainerSignature, kSignatureSize);
    return t;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

Bytes Pattern(size_t size, unsigned seed) {
    Bytes out(size);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = (unsigned char)(x >> 24);
    }
    return out;
}

static void Put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = (unsigned char)v;
    b[at + 1] = (unsigned char)(v >> 8);
}

static void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xffff);
    Put16(b, at + 2, v >> 16);
}

static size_t StandardOptionalHeaderSize(bool pe64) {
    return pe64 ? 240 : 224;
}

size_t SecurityDirectoryOffset(const PeLayout& layout) {
    return layout.peOffset + 24 + (layout.pe64 ? 112 : 96) + 8 * 4;
}

Bytes MakePeImage(const PeLayout& layout) {
    size_t optSize = layout.optionalHeaderSize < 0 ? StandardOptionalHeaderSize(layout.pe64)
                                                   : size_t(layout.optionalHeaderSize);
    size_t opt = layout.peOffset + 24;
    size_t table = opt + optSize;
    size_t end = table + 40 * layout.sections.size();
    if (end < layout.sizeOfHeaders) {
        end = layout.sizeOfHeaders;
    }
    for (const PeLayout::Section& s : layout.sections) {
        if (size_t(s.pointerToRawData) + s.sizeOfRawData > end) {
            end = size_t(s.pointerToRawData) + s.sizeOfRawData;
        }
    }
    Bytes b(end, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3c, layout.peOffset);
    std::memcpy(&b[layout.peOffset], "PE\0\0", 4);
    Put16(b, layout.peOffset + 4, layout.pe64 ? 0x8664 : 0x14c);
    Put16(b, layout.peOffset + 6, uint32_t(layout.sections.size()));
    Put32(b, layout.peOffset + 8, 0x5f000000);
    Put16(b, layout.peOffset + 20, uint32_t(optSize));
    Put16(b, layout.peOffset + 22, 0x0102);
    // Only the fields the reader looks at, the rest stays zero; as much of
    // the optional header as its declared size holds.
    Bytes oh(std::max<size_t>(optSize, 240), 0);
    Put16(oh, 0, layout.pe64 ? 0x20b : 0x10b);
    if (layout.pe64) {
        Put32(oh, 24, 0x40000000);
        Put32(oh, 28, 0x1);
    } else {
        Put32(oh, 28, 0x400000);
    }
    Put32(oh, 32, 0x1000);
    Put32(oh, 36, 0x200);
    Put32(oh, 56, 0x3000);
    Put32(oh, 60, layout.sizeOfHeaders);
    Put32(oh, 64, 0xC0DE);
    Put16(oh, 68, 2);
    size_t countAt = layout.pe64 ? 108 : 92;
    Put32(oh, countAt, layout.directoryCount);
    Put32(oh, countAt + 4 + 8 * 2, layout.resource.offset);
    Put32(oh, countAt + 4 + 8 * 2 + 4, layout.resource.length);
    Put32(oh, countAt + 4 + 8 * 4, layout.security.offset);
    Put32(oh, countAt + 4 + 8 * 4 + 4, layout.security.length);
    std::memcpy(&b[opt], oh.data(), optSize);
    for (size_t i = 0; i < layout.sections.size(); ++i) {
        const PeLayout::Section& s = layout.sections[i];
        size_t at = table + 40 * i;
        std::strncpy(reinterpret_cast<char*>(&b[at]), s.name, 8);
        Put32(b, at + 8, s.virtualSize);
        Put32(b, at + 12, s.virtualAddress);
        Put32(b, at + 16, s.sizeOfRawData);
        Put32(b, at + 20, s.pointerToRawData);
        Put32(b, at + 36, 0x60000020);
        Bytes raw = Pattern(s.sizeOfRawData, unsigned(i + 7));
        std::copy(raw.begin(), raw.end(), b.begin() + s.pointerToRawData);
    }
    return b;
}

Bytes AppendCertificateTable(Bytes file, const PeLayout& layout, uint32_t tableSize) {
    while (file.size() % 8 != 0) {
        file.push_back(0);
    }
    uint32_t at = uint32_t(file.size());
    Bytes table = Pattern(tableSize, 99);
    Put32(table, 0, tableSize);  // WIN_CERTIFICATE: length, revision, type
    Put16(table, 4, 0x0200);
    Put16(table, 6, 0x0002);
    file.insert(file.end(), table.begin(), table.end());
    Put32(file, SecurityDirectoryOffset(layout), at);
    Put32(file, SecurityDirectoryOffset(layout) + 4, tableSize);
    return file;
}
