// The PE header reader over hand-made images: the fields it gives, the
// headers it refuses, and that no hostile count or offset makes it read
// outside the bytes it was given.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "container/pe_image.h"
#include "tests/unit/test_support.h"

namespace {

void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = (unsigned char)(v >> (8 * i));
    }
}

// Parses a copy that holds exactly the given bytes, so that ASan sees any
// read past them.
int Parse(const Bytes& bytes, PeImage* image) {
    std::unique_ptr<unsigned char[]> exact(new unsigned char[bytes.size() + 1]);
    if (!bytes.empty()) {
        std::memcpy(exact.get(), bytes.data(), bytes.size());
    }
    return ParsePeImage(exact.get(), bytes.size(), image);
}

class PeFormats : public ::testing::TestWithParam<bool> {};

TEST_P(PeFormats, GivesTheHeaderFieldsAndTheirOffsets) {
    PeLayout layout;
    layout.pe64 = GetParam();
    layout.security = {0x600, 0x48};
    layout.resource = {0x2000, 0x300};
    Bytes file = MakePeImage(layout);
    PeImage image;
    ASSERT_EQ(Parse(file, &image), 1);

    EXPECT_EQ(image.peHeaderOffset, 0x80u);
    EXPECT_EQ(image.machine, layout.pe64 ? 0x8664 : 0x14c);
    EXPECT_EQ(image.sectionCount, 2);
    EXPECT_EQ(image.magic, layout.pe64 ? kPeMagic64 : kPeMagic32);
    EXPECT_EQ(image.imageBase, layout.pe64 ? 0x140000000ull : 0x400000ull);
    EXPECT_EQ(image.sectionAlignment, 0x1000u);
    EXPECT_EQ(image.fileAlignment, 0x200u);
    EXPECT_EQ(image.sizeOfImage, 0x3000u);
    EXPECT_EQ(image.sizeOfHeaders, 0x200u);
    EXPECT_EQ(image.subsystem, 2);
    EXPECT_EQ(image.directoryCount, 16u);
    EXPECT_EQ(image.optionalHeaderOffset, 0x80u + 24);
    EXPECT_EQ(image.sectionTableOffset, 0x80u + 24 + (layout.pe64 ? 240 : 224));

    // The recorded offsets point at the fields themselves.
    EXPECT_EQ(image.checkSum, 0xC0DEu);
    EXPECT_EQ(file[image.checkSumOffset], 0xDE);
    EXPECT_EQ(image.dataDirectoryOffset + 8 * kPeDirSecurity, SecurityDirectoryOffset(layout));
    EXPECT_EQ(image.sizeOfImageOffset, image.optionalHeaderOffset + 56);
    EXPECT_EQ(image.sizeOfInitializedDataOffset, image.optionalHeaderOffset + 8);

    PeDataDirectory security = GetPeDirectory(&image, kPeDirSecurity);
    EXPECT_EQ(security.virtualAddress, 0x600u);
    EXPECT_EQ(security.size, 0x48u);
    PeDataDirectory resource = GetPeDirectory(&image, kPeDirResource);
    EXPECT_EQ(resource.virtualAddress, 0x2000u);

    PeSection rsrc;
    ASSERT_EQ(GetPeSection(file.data(), file.size(), &image, 1, &rsrc), 1);
    EXPECT_EQ(std::string(rsrc.name, 5), ".rsrc");
    EXPECT_EQ(rsrc.virtualAddress, 0x2000u);
    EXPECT_EQ(rsrc.virtualSize, 0x300u);
    EXPECT_EQ(rsrc.pointerToRawData, 0x400u);
    EXPECT_EQ(rsrc.sizeOfRawData, 0x200u);
    EXPECT_EQ(GetPeSection(file.data(), file.size(), &image, 2, &rsrc), 0);
    EXPECT_EQ(GetPeSection(file.data(), file.size(), &image, -1, &rsrc), 0);
}

INSTANTIATE_TEST_SUITE_P(Magic, PeFormats, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Pe32Plus" : "Pe32"; });

struct BadHeader {
    const char* what;
    void (*spoil)(PeLayout* layout, Bytes* file);
};

class BadHeaders : public ::testing::TestWithParam<BadHeader> {};

TEST_P(BadHeaders, AreRefused) {
    PeLayout layout;
    Bytes file = MakePeImage(layout);
    GetParam().spoil(&layout, &file);
    PeImage image;
    EXPECT_EQ(Parse(file, &image), 0) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadHeaders,
    ::testing::Values(
        BadHeader{"empty", [](PeLayout*, Bytes* f) { f->clear(); }},
        BadHeader{"shorter than the DOS header", [](PeLayout*, Bytes* f) { f->resize(63); }},
        BadHeader{"no MZ", [](PeLayout*, Bytes* f) { (*f)[1] = 'X'; }},
        BadHeader{"PE header offset past the end",
                  [](PeLayout*, Bytes* f) { Put32(*f, 0x3c, 0x10000); }},
        BadHeader{"PE header offset 0xFFFFFFFF",
                  [](PeLayout*, Bytes* f) { Put32(*f, 0x3c, 0xFFFFFFFF); }},
        BadHeader{"PE header offset 2^31",
                  [](PeLayout*, Bytes* f) { Put32(*f, 0x3c, 0x80000000); }},
        BadHeader{"file header cut off",
                  [](PeLayout*, Bytes* f) { Put32(*f, 0x3c, uint32_t(f->size() - 20)); }},
        BadHeader{"wrong PE signature", [](PeLayout*, Bytes* f) { (*f)[0x82] = 1; }},
        BadHeader{"unknown optional header magic",
                  [](PeLayout*, Bytes* f) { (*f)[0x80 + 24] = 0x07; }},
        BadHeader{"optional header too small for its directories",
                  [](PeLayout*, Bytes* f) { (*f)[0x80 + 20] = 95, (*f)[0x80 + 21] = 0; }},
        BadHeader{"optional header size past the end",
                  [](PeLayout*, Bytes* f) { (*f)[0x80 + 20] = 0xff, (*f)[0x80 + 21] = 0xff; }},
        BadHeader{"97 sections", [](PeLayout*, Bytes* f) { (*f)[0x80 + 6] = 97; }},
        BadHeader{"section count 0xFFFF",
                  [](PeLayout*, Bytes* f) { (*f)[0x80 + 6] = 0xff, (*f)[0x80 + 7] = 0xff; }},
        BadHeader{"section table cut off",
                  [](PeLayout*, Bytes* f) { f->resize(0x80 + 24 + 224 + 79); }}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(PeImage, AnyPrefixParsesOnlyOnceItHoldsTheSectionTable) {
    PeLayout layout;
    layout.sections.push_back({".data", 0x3000, 0x10, 0x600, 0x200});
    Bytes file = MakePeImage(layout);
    size_t tableEnd = 0x80 + 24 + 224 + 3 * 40;
    for (size_t n = 0; n <= file.size(); ++n) {
        PeImage image;
        Bytes prefix(file.begin(), file.begin() + n);
        EXPECT_EQ(Parse(prefix, &image), n >= tableEnd ? 1 : 0) << "prefix of " << n;
    }
}

struct DirectoryCountCase {
    uint32_t declared;
    int32_t optionalHeaderSize;
    uint32_t expected;
};

class DirectoryCounts : public ::testing::TestWithParam<DirectoryCountCase> {};

// The count in the header is believed only as far as the header holds
// entries; a directory beyond it reads as (0, 0).
TEST_P(DirectoryCounts, AreClampedToWhatTheHeaderHolds) {
    PeLayout layout;
    layout.directoryCount = GetParam().declared;
    layout.optionalHeaderSize = GetParam().optionalHeaderSize;
    layout.security = {0x600, 0x40};
    PeImage image;
    ASSERT_EQ(Parse(MakePeImage(layout), &image), 1);
    EXPECT_EQ(image.directoryCount, GetParam().expected);
    PeDataDirectory security = GetPeDirectory(&image, kPeDirSecurity);
    EXPECT_EQ(security.virtualAddress, GetParam().expected > 4 ? 0x600u : 0u);
    EXPECT_EQ(GetPeDirectory(&image, 16).size, 0u);
    EXPECT_EQ(GetPeDirectory(&image, -1).size, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DirectoryCounts,
    ::testing::Values(DirectoryCountCase{16, -1, 16}, DirectoryCountCase{0xFFFFFFFF, -1, 16},
                      DirectoryCountCase{4, -1, 4}, DirectoryCountCase{0, -1, 0},
                      DirectoryCountCase{16, 96 + 5 * 8, 5},
                      DirectoryCountCase{16, 96 + 4 * 8 + 7, 4}, DirectoryCountCase{16, 96, 0}));

TEST(PeImage, MapsRvasThroughTheSectionsRawData) {
    PeLayout layout;
    Bytes file = MakePeImage(layout);
    PeImage image;
    ASSERT_EQ(Parse(file, &image), 1);
    struct {
        uint32_t rva;
        int found;
        uint32_t offset;
    } cases[] = {
        {0x40, 1, 0x40},     // inside the headers
        {0x1000, 1, 0x200},  // first byte of .text
        {0x2123, 1, 0x523},  // inside .rsrc
        {0x21ff, 1, 0x5ff},  // last byte with raw data
        {0x2200, 0, 0},      // virtual only: no file offset
        {0x800, 0, 0},       // between the headers and the first section
        {0xFFFFFFFF, 0, 0},
    };
    for (const auto& c : cases) {
        uint32_t offset = 0;
        EXPECT_EQ(PeRvaToFileOffset(file.data(), file.size(), &image, c.rva, &offset), c.found)
            << std::hex << c.rva;
        if (c.found) {
            EXPECT_EQ(offset, c.offset) << std::hex << c.rva;
        }
    }
}

TEST(PeImage, AnRvaNearTheTopDoesNotWrapIntoASection) {
    PeLayout layout;
    layout.sections = {{".big", 0xFFFFF000, 0x2000, 0x200, 0x200}};
    Bytes file = MakePeImage(layout);
    PeImage image;
    ASSERT_EQ(Parse(file, &image), 1);
    uint32_t offset = 0;
    EXPECT_EQ(PeRvaToFileOffset(file.data(), file.size(), &image, 0xFFFFF010, &offset), 1);
    EXPECT_EQ(offset, 0x210u);
    EXPECT_EQ(PeRvaToFileOffset(file.data(), file.size(), &image, 0x10, &offset), 1);  // headers
    EXPECT_EQ(PeRvaToFileOffset(file.data(), file.size(), &image, 0x300, &offset), 0);
}

}  // namespace

// Sums worked out by hand: 16-bit little-endian words, carries folded back
// in, the CheckSum field skipped, an odd last byte a word of its own, and
// the size added last.
TEST(PeChecksum, FollowsTheLoadersAlgorithm) {
    struct Case {
        const char* what;
        Bytes bytes;
        uint32_t checkSumOffset;
        uint32_t want;
    } cases[] = {
        {"empty", {}, 0, 0},
        {"two words", {0x01, 0x02, 0x03, 0x04}, 100, 0x0201 + 0x0403 + 4},
        {"odd last byte", {0x01, 0x02, 0x7f}, 100, 0x0201 + 0x7f + 3},
        {"carry folds back", {0xff, 0xff, 0x02, 0x00}, 100, 0x0002 + 4},
        {"field counts as zero", {0x10, 0x00, 0xaa, 0xbb, 0xcc, 0xdd, 0x20, 0x00}, 2, 0x30 + 8},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComputePeChecksum(c.bytes.data(), c.bytes.size(), c.checkSumOffset), c.want)
            << c.what;
    }
}
