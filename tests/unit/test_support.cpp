#include "tests/unit/test_support.h"

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

StreamWriter& StreamWriter::Literal(unsigned char byte) { return Bits(1, 1).Bits(byte, 8); }

StreamWriter& StreamWriter::Literals(const Bytes& bytes) {
    for (unsigned char b : bytes) {
        Literal(b);
    }
    return *this;
}

StreamWriter& StreamWriter::Match(unsigned index, unsigned length) {
    return Bits(0, 1).Bits(index, 12).Bits(length - 2, 4);
}

StreamWriter& StreamWriter::End() { return Bits(0, 13); }

Bytes LiteralStream(const Bytes& plain) { return StreamWriter().Literals(plain).End().Finish(); }

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
