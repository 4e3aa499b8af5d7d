// The compressor: its streams expand back to the input, and they are as small
// as any stream of the format can be. Streams are not unique, so the tests
// compare sizes and round trips, never stream bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "container/bit_reader.h"
#include "container/lzss_compress.h"
#include "container/lzss_expand.h"
#include "tests/unit/test_support.h"

namespace {

// The least number of bits any stream for `plain` needs, end marker included,
// found the slow way: the expander's window is simulated byte by byte, every
// window index 1..4095 is tried as a copy source at every position, with the
// copy reading what it has itself just stored, and the cheapest combination
// of all copies and literals is taken.
uint64_t LeastBits(const Bytes& plain) {
    const uint64_t kNever = std::numeric_limits<uint64_t>::max();
    size_t n = plain.size();
    std::vector<uint64_t> least(n + 1, kNever);
    least[0] = 0;
    std::vector<unsigned char> window(4096, 0);
    unsigned current = 1;
    for (size_t i = 0; i < n; ++i) {
        least[i + 1] = std::min(least[i + 1], least[i] + 9);
        for (unsigned index = 1; index < 4096; ++index) {
            for (unsigned t = 0; t < 17 && i + t < n; ++t) {
                unsigned from = (index + t) % 4096;
                unsigned storedAt = (from + 4096 - current) % 4096;  // step that stored there
                unsigned char byte = storedAt < t ? plain[i + storedAt] : window[from];
                if (byte != plain[i + t]) {
                    break;
                }
                if (t >= 1) {
                    least[i + t + 1] = std::min(least[i + t + 1], least[i] + 17);
                }
            }
        }
        window[current] = plain[i];
        current = (current + 1) % 4096;
    }
    return least[n] + 13;
}

Bytes Random(size_t size, unsigned seed, unsigned alphabet = 256) {
    std::mt19937 rng(seed);
    Bytes out(size);
    for (unsigned char& b : out) {
        b = (unsigned char)(rng() % alphabet);
    }
    return out;
}

Bytes Text(size_t size, unsigned seed) {
    static const char* const kWords[] = {"setup ", "the ",  "window ", "of ",     "file ",
                                         "copy ",  "and ",  "a ",      "stream ", "bytes\n",
                                         "index ", "zero ", "Kiv ",    "image ",  ", "};
    std::mt19937 rng(seed);
    Bytes out;
    while (out.size() < size) {
        const char* w = kWords[rng() % 15];
        out.insert(out.end(), w, w + std::string(w).size());
    }
    out.resize(size);
    return out;
}

Bytes Repeats(size_t size, size_t period, unsigned seed) {
    Bytes unit = Random(period, seed);
    Bytes out(size);
    for (size_t i = 0; i < size; ++i) {
        out[i] = unit[i % period];
    }
    return out;
}

struct Sample {
    std::string what;
    Bytes plain;
};

void PrintTo(const Sample& s, std::ostream* os) {
    *os << s.what << " (" << s.plain.size() << ")";
}

// ---- least size --------------------------------------------------------

Bytes SourceOnlyAtIndexZero(size_t length) {
    // The `length` bytes produced 4096th (stored at window index 0) come back
    // later; the only source for them starts at index 0, which no copy may
    // use. Matches of 2, 3 and more bytes are searched for apart.
    Bytes plain = Random(4200, 11, 128);
    Bytes block = Random(length, 12, 128);
    for (unsigned char& b : block) {
        b = (unsigned char)(b + 128);  // bytes the rest never has
    }
    std::copy(block.begin(), block.end(), plain.begin() + 4095);
    std::copy(block.begin(), block.end(), plain.begin() + 4150);
    plain[4150 + length] = plain[4095 + length] ^ 1;  // the copy from index 1 is one byte shorter
    return plain;
}

Bytes SourceExactly4096Back() {
    // A block repeated 4096 bytes later: the copy's index equals the current
    // position, which reads the bytes stored 4096 positions earlier.
    Bytes plain = Random(4300, 21);
    std::copy(plain.begin() + 100, plain.begin() + 117, plain.begin() + 4196);
    return plain;
}

Bytes Runs(size_t count, unsigned seed) {
    // Runs of one byte, 1 to 22 long, each ended by one or two other bytes
    // (as zero-padded records have them), and a run that the input's end
    // cuts short: a run matches a longer run only as far as its own length.
    std::mt19937 rng(seed);
    const unsigned char kRunBytes[] = {0x00, 0x00, 0xFF, 'a'};
    Bytes plain;
    for (size_t i = 0; i < count; ++i) {
        unsigned char byte = kRunBytes[rng() % 4];
        plain.insert(plain.end(), 1 + rng() % 22, byte);
        for (unsigned n = 1 + rng() % 2; n > 0; --n) {
            plain.push_back((unsigned char)(byte + 1 + rng() % 3));
        }
    }
    plain.insert(plain.end(), 12, 0xFF);
    plain.push_back(0x42);  // a byte no run ends with: the last run must be copied whole
    plain.insert(plain.end(), 9, 0xFF);  // all of it from the tail of the run before
    return plain;
}

Bytes ZerosThenData() {
    Bytes plain(40, 0);
    Bytes tail = Text(60, 3);
    plain.insert(plain.end(), tail.begin(), tail.end());
    plain.insert(plain.end(), 5, 0);
    return plain;
}

class LeastSize : public ::testing::TestWithParam<Sample> {};

// Blocks that each search starts afresh in: one for the whole input, and
// blocks so short that every source near a block's start lies in blocks
// before it, down to a fresh search at every position.
struct PlanCase {
    const char* what;
    LzssSearchPlan plan;
};
const PlanCase kPlans[] = {
    {"default", LzssSearchPlan()},
    {"blocks of 700, one thread", {700, 1}},
    {"blocks of 4097, two threads", {4097, 2}},
    {"a block per position, three threads", {1, 3}},
};

TEST_P(LeastSize, EqualsTheExhaustiveOptimum) {
    const Bytes& plain = GetParam().plain;
    uint64_t least = LeastBits(plain);
    for (const PlanCase& c : kPlans) {
        SCOPED_TRACE(c.what);
        LzssStats stats;
        Bytes stream =
            CompressLzss(plain.data(), plain.size(), &stats, nullptr, LzssParse::kOptimal, c.plan);
        EXPECT_EQ(stats.bits, least);
        EXPECT_EQ(stream.size(), (stats.bits + 7) / 8);
        EXPECT_EQ(stats.bytes, stream.size());
        EXPECT_EQ(ExpandStream(stream), plain);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Small, LeastSize,
    ::testing::Values(
        Sample{"empty", {}}, Sample{"one byte", {0x41}}, Sample{"one zero", {0x00}},
        Sample{"two zeros", {0x00, 0x00}}, Sample{"zeros from the unwritten window", Bytes(60, 0)},
        Sample{"zeros then text", ZerosThenData()}, Sample{"overlapping pairs", Repeats(50, 2, 5)},
        Sample{"two-letter alphabet", Random(700, 1, 2)},
        Sample{"four-letter alphabet", Random(900, 2, 4)}, Sample{"text", Text(800, 4)},
        Sample{"runs of one byte", Runs(150, 13)}, Sample{"random", Random(300, 6)},
        Sample{"pair only at index zero", SourceOnlyAtIndexZero(2)},
        Sample{"three bytes only at index zero", SourceOnlyAtIndexZero(3)},
        Sample{"17 bytes only at index zero", SourceOnlyAtIndexZero(17)},
        Sample{"source exactly 4096 back", SourceExactly4096Back()},
        Sample{"small alphabet across the wrap", Random(4400, 8, 3)}));

// ---- round trips ---------------------------------------------------------

std::vector<Sample> RoundTripSamples() {
    std::vector<Sample> samples;
    for (size_t size : {size_t(0), size_t(1), size_t(2), size_t(17), size_t(18), size_t(4094),
                        size_t(4095), size_t(4096), size_t(4097), size_t(8191), size_t(8193)}) {
        std::string n = std::to_string(size);
        samples.push_back({"zeros " + n, Bytes(size, 0)});
        samples.push_back({"random " + n, Random(size, unsigned(size))});
        samples.push_back({"text " + n, Text(size, unsigned(size))});
    }
    for (size_t period : {1, 3, 17, 18, 1000, 4095, 4096, 4097, 5000}) {
        samples.push_back(
            {"period " + std::to_string(period), Repeats(60000, period, unsigned(period))});
    }
    // Runs of one byte among random data, and zero runs longer than a window.
    Bytes mixed = Random(200000, 9);
    for (size_t at = 0; at + 9000 < mixed.size(); at += 23456) {
        std::fill(mixed.begin() + at, mixed.begin() + at + (at % 9000), (unsigned char)(at % 3));
    }
    samples.push_back({"mixed runs", mixed});
    samples.push_back({"small alphabet", Random(300000, 10, 4)});
    return samples;
}

class RoundTrip : public ::testing::TestWithParam<Sample> {};

TEST_P(RoundTrip, OptimalAndGreedyStreamsExpandToTheInput) {
    const Bytes& plain = GetParam().plain;
    LzssStats optimal, greedy;
    Bytes stream = CompressLzss(plain.data(), plain.size(), &optimal);
    ASSERT_EQ(ExpandStream(stream), plain);
    Bytes greedyStream =
        CompressLzss(plain.data(), plain.size(), &greedy, nullptr, LzssParse::kGreedy);
    ASSERT_EQ(ExpandStream(greedyStream), plain);
    EXPECT_LE(optimal.bits, greedy.bits);
    // No stream beats one literal per byte by more than copies allow, and
    // none is worse than all literals.
    EXPECT_LE(optimal.bits, 9 * plain.size() + 13);
}

INSTANTIATE_TEST_SUITE_P(Generated, RoundTrip, ::testing::ValuesIn(RoundTripSamples()));

// Workers take blocks in whatever order they finish them; the stream must
// not show it, and the size must not depend on where blocks begin.
TEST(CompressLzss, ThreadsNeverChangeTheStreamAndBlocksNeverChangeItsSize) {
    Bytes plain = Random(120000, 31, 4);
    Bytes text = Text(120000, 32);
    plain.insert(plain.end(), text.begin(), text.end());
    plain.insert(plain.end(), 9000, 0);
    LzssStats whole;
    CompressLzss(plain.data(), plain.size(), &whole, nullptr, LzssParse::kOptimal,
                 {uint32_t(plain.size()), 1});
    for (uint32_t blockSize : {4095u, 4096u, 10007u, 65536u}) {
        SCOPED_TRACE(blockSize);
        LzssStats first;
        Bytes one = CompressLzss(plain.data(), plain.size(), &first, nullptr, LzssParse::kOptimal,
                                 {blockSize, 1});
        EXPECT_EQ(first.bits, whole.bits);
        EXPECT_EQ(ExpandStream(one), plain);
        for (unsigned threads : {2u, 4u}) {
            EXPECT_EQ(CompressLzss(plain.data(), plain.size(), nullptr, nullptr,
                                   LzssParse::kOptimal, {blockSize, threads}),
                      one)
                << threads << " threads";
        }
        LzssStats greedy;
        Bytes greedyStream = CompressLzss(plain.data(), plain.size(), &greedy, nullptr,
                                          LzssParse::kGreedy, {blockSize, 2});
        EXPECT_EQ(ExpandStream(greedyStream), plain);
        EXPECT_LE(whole.bits, greedy.bits);
    }
}

// A caller that gives up from its progress callback leaves workers that are
// waiting for buffers back: they must be stopped, not left to hang or abort.
TEST(CompressLzss, GivingUpFromTheProgressCallbackStopsTheWorkers) {
    Bytes plain = Text(4 << 20, 41);
    struct GiveUp {};
    for (unsigned threads : {1u, 2u, 4u}) {
        EXPECT_THROW(CompressLzss(plain.data(), plain.size(), nullptr,
                                  [](uint64_t, uint64_t) { throw GiveUp(); }, LzssParse::kOptimal,
                                  {4096, threads}),
                     GiveUp)
            << threads << " threads";
    }
}

TEST(CompressLzss, FileOutputMatchesTheBufferAndReportsProgress) {
    Bytes plain = Text(3 << 20, 77);  // three progress steps
    ScratchDir dir;
    std::FILE* out = std::fopen(dir.File("stream").c_str(), "wb");
    std::vector<uint64_t> reports;
    LzssStats stats =
        CompressLzssToFile(plain.data(), plain.size(), out, [&](uint64_t done, uint64_t total) {
            EXPECT_EQ(total, plain.size());
            reports.push_back(done);
        });
    std::fclose(out);
    Bytes stream = ReadWholeFile(dir.File("stream"));
    EXPECT_EQ(stream.size(), stats.bytes);
    EXPECT_EQ(ExpandStream(stream), plain);
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), plain.size());
    EXPECT_GE(reports.size(), 3u);
}

}  // namespace
