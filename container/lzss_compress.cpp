#include "container/lzss_compress.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>
#include <stdexcept>

#include "container/lzss_format.h"
#include "container/lzss_match_blocks.h"

namespace {

// One token per input position, 16 bits: 0 is a literal; otherwise the
// window index (1 to 4095, never 0) over the length field, exactly the 16
// bits that follow a copy token's flag (and packed as a found match is).
using Token = LzssMatch;

inline unsigned TokenLength(Token token) {
    return token == 0 ? 1 : (token & ((1u << kLengthBits) - 1)) + kMinMatch;
}

constexpr uint64_t kProgressStep = 1u << 20;

// An uninitialised array of `count` elements that asks for large pages where
// the system has them: the parse writes its tokens all over a large input,
// and faulting it in 4 KiB at a time costs a tenth of the run.
template <typename T>
class LargeArray {
   public:
    explicit LargeArray(size_t count) {
        constexpr size_t kLargePage = size_t(2) << 20;
        size_t bytes = std::max<size_t>(count * sizeof(T), 1);
        if (bytes >= kLargePage) {
            bytes = (bytes + kLargePage - 1) / kLargePage * kLargePage;
            items_ = static_cast<T*>(std::aligned_alloc(kLargePage, bytes));
#ifdef MADV_HUGEPAGE
            if (items_) {
                madvise(items_, bytes, MADV_HUGEPAGE);  // a hint: failing is harmless
            }
#endif
        } else {
            items_ = static_cast<T*>(std::malloc(bytes));
        }
        if (!items_) {
            throw std::bad_alloc();
        }
    }
    ~LargeArray() {
        std::free(items_);
    }
    LargeArray(const LargeArray&) = delete;
    LargeArray& operator=(const LargeArray&) = delete;
    T* get() const {
        return items_;
    }
    T& operator[](size_t i) const {
        return items_[i];
    }

   private:
    T* items_ = nullptr;
};

// Chooses the tokens. Afterwards tokens[p] holds the token that starts at p
// for every p on the chosen path (other entries are left as they are).
//
// The optimal parse runs forward: the least cost of reaching a position is
// final once every position before it has offered its tokens, and a token
// reaches at most 17 positions ahead, so a ring of 32 costs suffices. For
// each position it keeps only the last token of its best path, in the slot
// of the position before it; walking back from the end then rewrites the
// path's tokens into the slots of their starts, which the walk has already
// passed.
void ChooseTokens(const unsigned char* data, uint32_t size, LzssParse parse, Token* tokens,
                  const LzssProgress& progress, const LzssSearchPlan& plan) {
    LzssMatchBlocks search(data, size, plan.blockSize, plan.threads);
    const uint32_t blockSize = search.blockSize();
    uint64_t nextReport = kProgressStep;

    constexpr unsigned kRing = 32;
    constexpr uint64_t kUnreached = std::numeric_limits<uint64_t>::max();
    uint64_t cost[kRing];
    for (uint64_t& c : cost) {
        c = kUnreached;
    }
    cost[0] = 0;
    uint64_t reach = 0;      // the farthest position any copy so far ends at
    uint32_t skipUntil = 0;  // greedy: the end of the token last taken
    for (uint32_t begin = 0, block = 0; begin < size; begin += blockSize, ++block) {
        const LzssMatch* matches = search.Block(block);
        uint32_t end = begin + std::min(blockSize, size - begin);
        for (uint32_t p = begin; p < end; ++p) {
            LzssMatch match = matches[p - begin];
            if (parse == LzssParse::kGreedy) {
                if (p >= skipUntil) {
                    tokens[p] = match;
                    skipUntil = p + TokenLength(match);
                }
                continue;
            }
            uint64_t here = cost[p % kRing];
            cost[p % kRing] = kUnreached;  // the slot now serves position p + 32
            uint64_t viaLiteral = here + kLiteralBits;
            if (viaLiteral < cost[(p + 1) % kRing]) {
                cost[(p + 1) % kRing] = viaLiteral;
                tokens[p] = 0;
            }
            if (match == 0) {
                continue;
            }
            unsigned longest = TokenLength(match);
            Token indexBits = Token(match & ~((1u << kLengthBits) - 1));
            uint64_t viaCopy = here + kMatchBits;
            // Least costs never fall as the position grows, so a copy from an
            // earlier position reached every position up to `reach` at no more
            // than this copy would: only the lengths beyond it can gain. And
            // they always do: nothing before reached past `reach` (a literal
            // reaches p + 1 at most).
            unsigned first = kMinMatch;
            if (reach >= p + kMinMatch) {
                first = unsigned(reach - p) + 1;
            }
            for (unsigned length = first; length <= longest; ++length) {
                cost[(p + length) % kRing] = viaCopy;
                tokens[p + length - 1] = Token(indexBits | (length - kMinMatch));
            }
            if (p + longest > reach) {
                reach = p + longest;
            }
        }
        if (progress && end >= nextReport) {
            progress(end, size);
            nextReport = (end / kProgressStep + 1) * kProgressStep;
        }
    }
    if (parse == LzssParse::kGreedy) {
        return;
    }
    // Walk back: each token moves from the slot before its end to its start.
    for (uint32_t end = size; end > 0;) {
        Token token = tokens[end - 1];
        end -= TokenLength(token);
        tokens[end] = token;
    }
}

// Packs tokens most significant bit first and hands out whole bytes, a
// buffer at a time.
template <typename PutBytes>
class BitWriter {
   public:
    explicit BitWriter(PutBytes put) : put_(put) {}
    void Write(uint32_t value, unsigned count) {  // count <= 24
        pending_ = (pending_ << count) | value;
        pendingBits_ += count;
        bits_ += count;
        while (pendingBits_ >= 8) {
            pendingBits_ -= 8;
            Put((unsigned char)(pending_ >> pendingBits_));
        }
    }
    // Fills the last byte with 0 bits and hands out what is left.
    void Finish() {
        if (pendingBits_ > 0) {
            Put((unsigned char)(pending_ << (8 - pendingBits_)));
            pendingBits_ = 0;
        }
        put_(buffer_, filled_);
        filled_ = 0;
    }
    uint64_t bits() const { return bits_; }

   private:
    void Put(unsigned char byte) {
        buffer_[filled_++] = byte;
        if (filled_ == sizeof buffer_) {
            put_(buffer_, filled_);
            filled_ = 0;
        }
    }

    PutBytes put_;
    uint64_t pending_ = 0;
    unsigned pendingBits_ = 0;
    uint64_t bits_ = 0;
    size_t filled_ = 0;
    unsigned char buffer_[1 << 14];
};

template <typename PutBytes>
LzssStats Compress(const unsigned char* data, size_t size, PutBytes put,
                   const LzssProgress& progress, LzssParse parse, const LzssSearchPlan& plan) {
    if (size > kMaxCompressInput) {
        throw std::length_error("input too large to compress (4 GiB or more)");
    }
    // Left uninitialised: every entry read has been written first.
    LargeArray<Token> tokens(size);
    ChooseTokens(data, uint32_t(size), parse, tokens.get(), progress, plan);

    LzssStats stats;
    BitWriter<PutBytes> writer(put);
    for (size_t p = 0; p < size;) {
        Token token = tokens[p];
        if (token == 0) {
            writer.Write((1u << 8) | data[p], kLiteralBits);
            ++stats.literals;
        } else {
            writer.Write(token, kMatchBits);  // the flag 0 comes first
            ++stats.matches;
        }
        p += TokenLength(token);
    }
    writer.Write(0, kEndMarkerBits);
    writer.Finish();
    stats.bits = writer.bits();
    stats.bytes = (stats.bits + 7) / 8;
    if (progress) {
        progress(size, size);
    }
    return stats;
}

}  // namespace

LzssStats CompressLzssToFile(const unsigned char* data, size_t size, std::FILE* output,
                             const LzssProgress& progress, LzssParse parse,
                             const LzssSearchPlan& plan) {
    return Compress(
        data, size,
        [output](const unsigned char* bytes, size_t count) {
            std::fwrite(bytes, 1, count, output);
        },
        progress, parse, plan);
}

std::vector<unsigned char> CompressLzss(const unsigned char* data, size_t size, LzssStats* stats,
                                        const LzssProgress& progress, LzssParse parse,
                                        const LzssSearchPlan& plan) {
    std::vector<unsigned char> stream;
    stream.reserve(size / 2 + 16);
    LzssStats figures = Compress(
        data, size,
        [&stream](const unsigned char* bytes, size_t count) {
            stream.insert(stream.end(), bytes, bytes + count);
        },
        progress, parse, plan);
    if (stats) {
        *stats = figures;
    }
    return stream;
}
