// Reading and writing the 56-byte container trailer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "container/container_trailer.h"
#include "tests/unit/test_support.h"

namespace {

int ReadTrailerOf(const Bytes& file, ContainerTrailer* trailer) {
    ScratchDir dir;
    WriteWholeFile(dir.File("c"), file);
    std::FILE* f = std::fopen(dir.File("c").c_str(), "rb");
    int valid = ReadContainerTrailer(f, trailer);
    std::fclose(f);
    return valid;
}

TEST(ContainerTrailer, ReadsTheTwelveIntegersLittleEndian) {
    ContainerTrailer written = MakeTrailer({0x01020304, 0xA0B0C0D0}, {5, 6},
                                           {{7, 8}, {9, 10}, {11, 12}, {0xFFFFFFFF, 13}});
    ContainerTrailer read;
    ASSERT_EQ(ReadTrailerOf(Concat({Pattern(100, 1), TrailerBytes(written)}), &read), 1);
    EXPECT_EQ(std::memcmp(&read, &written, sizeof read), 0);
    Bytes bytes = TrailerBytes(written);
    EXPECT_EQ(bytes[0], 0x04);
    EXPECT_EQ(bytes[3], 0x01);
    EXPECT_EQ(bytes[4], 0xD0);
    EXPECT_EQ(std::string(bytes.begin() + 48, bytes.end()), "KivSetup");
}

TEST(ContainerTrailer, WriteEmitsExactly56BytesAtTheCurrentPosition) {
    ScratchDir dir;
    ContainerTrailer t = MakeTrailer({0, 0}, {0, 0}, {{100, 3}});
    std::FILE* f = std::fopen(dir.File("t").c_str(), "wb");
    std::fputs("abc", f);
    WriteContainerTrailer(f, &t);
    std::fclose(f);
    EXPECT_EQ(ReadWholeFile(dir.File("t")), Concat({{'a', 'b', 'c'}, TrailerBytes(t)}));
}

struct SignatureCase {
    const char* what;
    Bytes file;
};

class InvalidTrailers : public ::testing::TestWithParam<SignatureCase> {};

TEST_P(InvalidTrailers, AreRejected) {
    ContainerTrailer t;
    EXPECT_EQ(ReadTrailerOf(GetParam().file, &t), 0) << GetParam().what;
}

Bytes WithSignature(const char* signature) {
    Bytes b = TrailerBytes(MakeTrailer({1, 1}, {0, 0}, {}));
    std::memcpy(b.data() + 48, signature, 8);
    return b;
}

Bytes OneByteChanged(int at) {
    Bytes b = TrailerBytes(MakeTrailer({1, 1}, {0, 0}, {}));
    b[48 + at] ^= 0x01;
    return b;
}

// The tail of a valid trailer, too short to be one.
Bytes LastBytes(size_t count) {
    Bytes b = TrailerBytes(MakeTrailer({1, 1}, {0, 0}, {}));
    return Bytes(b.end() - long(count), b.end());
}

INSTANTIATE_TEST_SUITE_P(
    Files, InvalidTrailers,
    ::testing::Values(SignatureCase{"other letter case", WithSignature("kivsetup")},
                      SignatureCase{"first byte differs", OneByteChanged(0)},
                      SignatureCase{"last byte differs", OneByteChanged(7)},
                      SignatureCase{"55 bytes", LastBytes(55)}, SignatureCase{"empty file", {}},
                      SignatureCase{"signature not at the very end",
                                    Concat({TrailerBytes(MakeTrailer({1, 1}, {}, {})), {0}})}));

TEST(ContainerTrailer, AFileThatIsOnlyATrailerIsValid) {
    ContainerTrailer t;
    EXPECT_EQ(ReadTrailerOf(TrailerBytes(MakeTrailer({0, 0}, {0, 0}, {})), &t), 1);
}

TEST(ContainerTrailer, UsablePositionsStopBelow2To31) {
    EXPECT_TRUE(IsUsablePosition(0x7FFFFFFFu));
    EXPECT_FALSE(IsUsablePosition(0x80000000u));
    EXPECT_FALSE(IsUsablePosition(0xFFFFFFFFu));
}

}  // namespace
