// The expander and the bit reader against hand-made streams.
#include <gtest/gtest.h>

#include <cstdio>

#include "container/bit_reader.h"
#include "container/lzss_expand.h"
#include "tests/unit/test_support.h"

namespace {

Bytes Repeat(unsigned char byte, size_t count) {
    return Bytes(count, byte);
}

struct ExpandCase {
    const char* what;
    Bytes stream;
    Bytes expected;
};

class ExpandVectors : public ::testing::TestWithParam<ExpandCase> {};

TEST_P(ExpandVectors, ProducesExactly) {
    EXPECT_EQ(ExpandStream(GetParam().stream), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ExpandVectors,
    ::testing::Values(
        ExpandCase{"end marker and fill bits", {0x00, 0x00}, {}}, ExpandCase{"empty input", {}, {}},
        ExpandCase{"a single zero byte", {0x00}, {}},
        ExpandCase{"copy that overlaps its own output",
                   {0xB0, 0xD8, 0x80, 0x02, 0x80, 0x00},
                   {0x61, 0x62, 0x61, 0x62, 0x61, 0x62, 0x61, 0x62}},
        ExpandCase{
            "longest copy repeats one byte", {0xB0, 0x80, 0x07, 0xC0, 0x00}, Repeat(0x61, 18)},
        ExpandCase{"window index is absolute",
                   {0xB0, 0xD8, 0xAC, 0x76, 0x40, 0x00, 0x80, 0x00, 0x00},
                   {0x61, 0x62, 0x63, 0x64, 0x61, 0x62}},
        ExpandCase{"unwritten window reads as zero", {0x03, 0x20, 0x00, 0x00}, {0x00, 0x00}},
        ExpandCase{"copy at the current position reads 4096 back",
                   {0xBC, 0x00, 0x08, 0x40, 0x00},
                   {0x78, 0x00, 0x00, 0x00}},
        ExpandCase{"input ends in a literal's value (80)", {0x80}, {0x00}},
        ExpandCase{"input ends in a literal's value (FF)", {0xFF}, {0x00}},
        ExpandCase{"input ends in a window index", {0xB0, 0x82}, {0x61}},
        ExpandCase{"input ends in a length field", {0xB0, 0x80, 0x04}, {0x61, 0x61, 0x61}},
        ExpandCase{"no end marker", {0xB0, 0x80}, {0x61}}));

TEST(ExpandLzss, WindowWrapsAfter4095Bytes) {
    // 4095 bytes fill indices 1..4095, the 4096th lands on index 0 and the
    // 4097th on index 1. A copy from 4095 then reads index 4095 and index 0.
    Bytes plain = Pattern(4097, 7);
    Bytes stream = StreamWriter().Literals(plain).Match(4095, 2).End().Finish();
    Bytes expected = plain;
    expected.push_back(plain[4094]);  // stored at index 4095
    expected.push_back(plain[4095]);  // stored at index 0
    EXPECT_EQ(ExpandStream(stream), expected);
}

TEST(ExpandLzss, EachExpansionStartsFromAZeroWindow) {
    // The first stream leaves 0x61 at index 1; the second must not see it.
    Bytes first = StreamWriter().Literal(0x61).End().Finish();
    Bytes second = StreamWriter().Match(1, 2).End().Finish();
    ExpandStream(first);
    EXPECT_EQ(ExpandStream(second), Bytes({0x00, 0x00}));
}

TEST(ExpandLzss, StopsAtTheEndMarkerAndLeavesTheRestUnread) {
    Bytes stream = StreamWriter().Literal(0x41).End().Finish();  // 22 bits: 3 bytes
    Bytes input = Concat({stream, {0xEE, 0xEE}});
    long position = 0;
    EXPECT_EQ(ExpandStream(input, &position), Bytes({0x41}));
    EXPECT_EQ(position, 3);
}

// The expansion takes over the reader's cursor where earlier reads left it
// and hands it back exactly: mid-byte after the end marker, or at the end of
// the input with no byte (which is how a cut-off stream is told apart).
TEST(ExpandLzss, SharesTheBitCursorWithTheReader) {
    ScratchDir dir;
    Bytes stream =
        StreamWriter().Bits(0x5, 3).Literal(0x41).Match(1, 3).End().Bits(0x5A, 8).Finish();
    WriteWholeFile(dir.File("in"), stream);
    std::FILE* in = std::fopen(dir.File("in").c_str(), "rb");
    std::FILE* out = std::fopen(dir.File("out").c_str(), "wb");
    BitReader* reader = CreateBitReader(in);
    EXPECT_EQ(ReadBits(reader, 3), 0x5u);
    ExpandLzss(reader, out);
    EXPECT_EQ(ReadBits(reader, 8), 0x5Au);  // 3 + 9 + 17 + 13 bits in: mid-byte
    ExpandLzss(reader, out);                // only fill bits are left
    EXPECT_EQ(reader->currentByte, -1);
    EXPECT_EQ(reader->mask, 0x80);
    ReleaseBitReader(reader);
    std::fclose(in);
    std::fclose(out);
    EXPECT_EQ(ReadWholeFile(dir.File("out")), Bytes({0x41, 0x41, 0x41, 0x41}));
}

TEST(BitReader, ReadsMostSignificantBitFirstAcrossBytes) {
    ScratchDir dir;
    WriteWholeFile(dir.File("bits"), {0xA5, 0x3C});
    std::FILE* in = std::fopen(dir.File("bits").c_str(), "rb");
    BitReader* reader = CreateBitReader(in);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->mask, 0x80);
    EXPECT_EQ(reader->currentByte, 0);
    EXPECT_EQ(ReadBit(reader), 1);
    EXPECT_EQ(ReadBits(reader, 3), 0x2u);   // 010
    EXPECT_EQ(ReadBits(reader, 8), 0x53u);  // 0101 0011
    EXPECT_EQ(ReadBits(reader, 4), 0xCu);   // 1100
    EXPECT_EQ(ReadBit(reader), 0);          // input ended
    EXPECT_EQ(reader->currentByte, -1);
    EXPECT_EQ(reader->mask, 0x80);
    EXPECT_EQ(ReadBits(reader, 12), 0u);
    ReleaseBitReader(reader);
    std::fclose(in);
}

TEST(BitReader, ThirtyTwoBitsAndAShortRead) {
    ScratchDir dir;
    WriteWholeFile(dir.File("bits"), {0xDE, 0xAD, 0xBE, 0xEF, 0xFF});
    std::FILE* in = std::fopen(dir.File("bits").c_str(), "rb");
    BitReader* reader = CreateBitReader(in);
    EXPECT_EQ(ReadBits(reader, 32), 0xDEADBEEFu);
    // Only 8 bits are left: a 12-bit read drops them and gives 0.
    EXPECT_EQ(ReadBits(reader, 12), 0u);
    ReleaseBitReader(reader);
    std::fclose(in);
}

}  // namespace
