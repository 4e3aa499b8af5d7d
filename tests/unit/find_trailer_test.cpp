// Finding the trailer of a signed setup in front of its certificate table,
// and refusing everything that only looks like one.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "container/find_trailer.h"
#include "container/rewrite.h"
#include "container/setup_messages.h"
#include "tests/unit/test_support.h"

namespace {

struct Found {
    int valid;
    ContainerTrailer trailer;
    TrailerPlace place;
};

Found FindIn(const Bytes& file) {
    ScratchDir dir;
    WriteWholeFile(dir.File("setup.exe"), file);
    std::FILE* f = std::fopen(dir.File("setup.exe").c_str(), "rb");
    Found found;
    std::memset(&found, 0, sizeof found);
    found.valid = FindContainerTrailer(f, &found.trailer, &found.place);
    std::fclose(f);
    return found;
}

// A stub image, an image stream and one blob of `blobSize` bytes, then the
// trailer: an unsigned setup whose size the blob sets.
Bytes UnsignedSetup(const PeLayout& layout, size_t blobSize, ContainerTrailer* trailer) {
    Bytes stub = MakePeImage(layout);
    Bytes stream = LiteralStream(Pattern(300, 1));
    Bytes blob = Pattern(blobSize, 2);
    *trailer = MakeTrailer({uint32_t(stub.size()), uint32_t(stream.size())}, {0, 0},
                           {{uint32_t(stub.size() + stream.size()), uint32_t(blob.size())}});
    return Concat({stub, stream, blob, TrailerBytes(*trailer)});
}

class EveryPadding : public ::testing::TestWithParam<int> {};

TEST_P(EveryPadding, FindsTheTrailerInFrontOfTheCertificateTable) {
    PeLayout layout;
    ContainerTrailer written;
    Bytes plain = UnsignedSetup(layout, 100 + size_t(GetParam()), &written);
    uint32_t padding = uint32_t((8 - plain.size() % 8) % 8);
    Bytes file = AppendCertificateTable(plain, layout, 1032);

    Found found = FindIn(file);
    ASSERT_EQ(found.valid, 1) << "file size mod 8 = " << plain.size() % 8;
    EXPECT_EQ(std::memcmp(&found.trailer, &written, sizeof written), 0);
    EXPECT_EQ(found.place.isSigned, 1);
    EXPECT_EQ(found.place.padding, padding);
    EXPECT_EQ(found.place.position, plain.size() - kTrailerSize);
    EXPECT_EQ(found.place.certificateOffset, plain.size() + padding);
    EXPECT_EQ(found.place.certificateSize, 1032u);
}

INSTANTIATE_TEST_SUITE_P(SizeMod8, EveryPadding, ::testing::Range(0, 8));

TEST(FindTrailer, ATrailerThatEndsTheFileIsReadAsBeforeEvenWithACertificateDirectory) {
    PeLayout layout;
    layout.security = {0x10, 0x20};  // stale, pointing into the file
    ContainerTrailer written;
    Bytes file = UnsignedSetup(layout, 10, &written);
    Found found = FindIn(file);
    ASSERT_EQ(found.valid, 1);
    EXPECT_EQ(found.place.isSigned, 0);
    EXPECT_EQ(found.place.position, file.size() - kTrailerSize);
    EXPECT_EQ(std::memcmp(&found.trailer, &written, sizeof written), 0);
}

TEST(FindTrailer, AFileThatIsOnlyATrailerIsStillValid) {
    Found found = FindIn(TrailerBytes(MakeTrailer({0, 0}, {0, 0}, {})));
    EXPECT_EQ(found.valid, 1);
    EXPECT_EQ(found.place.position, 0u);
}

// A signed setup with 5 bytes of padding (blob of 103 bytes), spoiled one way.
struct Spoiled {
    const char* what;
    void (*spoil)(Bytes* file, size_t directory, size_t certificate);
};

class SpoiledSignedSetups : public ::testing::TestWithParam<Spoiled> {};

void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = (unsigned char)(v >> (8 * i));
    }
}

TEST_P(SpoiledSignedSetups, AreDamaged) {
    PeLayout layout;
    ContainerTrailer written;
    Bytes plain = UnsignedSetup(layout, 103, &written);
    Bytes file = AppendCertificateTable(plain, layout, 64);
    size_t certificate = (plain.size() + 7) / 8 * 8;
    ASSERT_EQ(certificate - plain.size(), 5u);
    ASSERT_EQ(FindIn(file).valid, 1);
    GetParam().spoil(&file, SecurityDirectoryOffset(layout), certificate);
    EXPECT_EQ(FindIn(file).valid, 0) << GetParam().what;

    // The bootstrapper's reading says so in its words.
    ScratchDir dir;
    WriteWholeFile(dir.File("s"), file);
    std::FILE* f = std::fopen(dir.File("s").c_str(), "rb");
    ResetErrorLatch();
    ContainerTrailer t;
    EXPECT_EQ(LoadContainerTrailer(f, &t), 0);
    std::fclose(f);
    EXPECT_STREQ(errorLatch.text, KIV_MSG_DAMAGED);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpoiledSignedSetups,
    ::testing::Values(
        Spoiled{"table does not end the file", [](Bytes* f, size_t, size_t) { f->push_back(0); }},
        Spoiled{"table size one short", [](Bytes* f, size_t d, size_t) { Put32(*f, d + 4, 63); }},
        Spoiled{"table size 0", [](Bytes* f, size_t d, size_t) { Put32(*f, d + 4, 0); }},
        Spoiled{"table size wraps past 2^32",
                [](Bytes* f, size_t d, size_t c) {
                    Put32(*f, d, uint32_t(c + 8));
                    Put32(*f, d + 4, uint32_t(0x100000000ull - 8 + 64));
                }},
        Spoiled{"a padding byte is not zero", [](Bytes* f, size_t, size_t c) { (*f)[c - 1] = 1; }},
        Spoiled{"eight bytes of padding (five, and three more)",
                [](Bytes* f, size_t d, size_t c) {
                    f->insert(f->begin() + long(c), 3, 0);
                    Put32(*f, d, uint32_t(c + 3));
                }},
        Spoiled{"trailer signature in other letter case",
                [](Bytes* f, size_t, size_t c) { (*f)[c - 5 - 8] = 'k'; }},
        Spoiled{"no security directory (4 directories)",
                [](Bytes* f, size_t d, size_t) { Put32(*f, d - 8 * 4 - 4, 4); }},
        Spoiled{"not a PE image", [](Bytes* f, size_t, size_t) { (*f)[0] = 'Z'; }},
        Spoiled{"PE header offset 0xFFFFFFFF",
                [](Bytes* f, size_t, size_t) { Put32(*f, 0x3c, 0xFFFFFFFF); }}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(FindTrailer, ATableThatIsTheWholeFileAfterTheHeadersFindsNothing) {
    // The directory claims a table that starts before any room for a trailer.
    PeLayout layout;
    Bytes file = MakePeImage(layout);
    Put32(file, SecurityDirectoryOffset(layout), 40);
    Put32(file, SecurityDirectoryOffset(layout) + 4, uint32_t(file.size() - 40));
    EXPECT_EQ(FindIn(file).valid, 0);
}

TEST(FindTrailer, ATrailerRightAfterTheHeadersOfATinyFileIsFound) {
    // The smallest signed layout: headers, trailer, table; no room wasted.
    PeLayout layout;
    layout.sections.clear();
    Bytes headers = MakePeImage(layout);
    ContainerTrailer t = MakeTrailer({0, 0}, {uint32_t(headers.size()), 0}, {});
    Bytes file = AppendCertificateTable(Concat({headers, TrailerBytes(t)}), layout, 8);
    Found found = FindIn(file);
    ASSERT_EQ(found.valid, 1);
    EXPECT_EQ(found.place.position, headers.size());
}

}  // namespace
