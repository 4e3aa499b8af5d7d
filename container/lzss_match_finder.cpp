#include "container/lzss_match_finder.h"

#include <algorithm>
#include <cstring>

#include "container/lzss_format.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;
// Tree slots: a source may lie up to 4096 positions back, and the slot of the
// position being entered must not be that of a live source.
constexpr uint32_t kSlots = 2 * kWindowSize;
constexpr uint32_t kSlotMask = kSlots - 1;
constexpr unsigned kHeadBits = 16;
constexpr unsigned kHead3Bits = 15;
constexpr uint32_t kPrefetchAhead = 8;
constexpr unsigned kRunLengths = kMaxMatch + 1;  // run lengths index 0 to 17; 4 to 17 are used
constexpr uint32_t kFarthest = kWindowSize;      // a copy at the current index reads 4096 back

// A position whose byte the expander stores at window index 0.
inline bool StoredAtIndexZero(uint32_t position) {
    return (position & kWindowMask) == kWindowMask;
}

// The first three bytes, read as one little-endian number; `four` when at
// least four bytes are there to read at once.
inline uint32_t ThreeBytes(const unsigned char* bytes, bool four) {
    if (four) {
        uint32_t value;
        std::memcpy(&value, bytes, 4);
        return value & 0xFFFFFFu;
    }
    return bytes[0] | (uint32_t(bytes[1]) << 8) | (uint32_t(bytes[2]) << 16);
}

inline uint32_t Hash3(uint32_t three) {
    return (three * 2654435761u) >> (32 - kHead3Bits);
}

inline uint32_t Hash4(const unsigned char* bytes) {
    uint32_t four;
    std::memcpy(&four, bytes, 4);
    return (four * 2654435761u) >> (32 - kHeadBits);
}

// The tree's key for a source that begins with `run` (4 to 17) bytes
// `byte`: apart from the keys by four bytes, which collide with it only by
// chance.
inline uint32_t HashRun(unsigned byte, unsigned run) {
    uint32_t value = 0xA5000000u | (uint32_t(run) << 8) | byte;
    return (value * 2246822519u) >> (32 - kHeadBits);
}

// How far `earlier` and `current` agree, from `length` (known to agree) up
// to `limit`. When `wide`, at least kWideMargin bytes follow `current`, so
// eight bytes at a time may be compared.
constexpr uint32_t kWideMargin = kMaxMatch + 8;
inline unsigned CommonLength(const unsigned char* earlier, const unsigned char* current,
                             unsigned length, unsigned limit, bool wide) {
    if (wide) {
        while (length < limit) {
            uint64_t a, b;
            std::memcpy(&a, earlier + length, 8);
            std::memcpy(&b, current + length, 8);
            uint64_t diff = a ^ b;
            if (diff != 0) {
                length += unsigned(__builtin_ctzll(diff)) / 8;  // little-endian: first byte lowest
                return std::min(length, limit);
            }
            length += 8;
        }
        return limit;
    }
    while (length < limit && earlier[length] == current[length]) {
        ++length;
    }
    return length;
}

// How many bytes equal to the first begin `bytes`, up to `limit` (at
// least 4); 0 when fewer than four do. When `wide`, at least kWideMargin
// bytes follow.
inline unsigned RunLength(const unsigned char* bytes, unsigned limit, bool wide) {
    uint32_t four;
    std::memcpy(&four, bytes, 4);
    if (four != bytes[0] * 0x01010101u) {
        return 0;
    }
    unsigned length = 4;
    if (wide) {
        uint64_t pattern = bytes[0] * 0x0101010101010101ull;
        for (; length < limit; length += 8) {
            uint64_t eight;
            std::memcpy(&eight, bytes + length, 8);
            if (uint64_t diff = eight ^ pattern) {
                length += unsigned(__builtin_ctzll(diff)) / 8;
                return std::min(length, limit);
            }
        }
        return limit;
    }
    while (length < limit && bytes[length] == bytes[0]) {
        ++length;
    }
    return length;
}

}  // namespace

LzssMatchFinder::LzssMatchFinder(const unsigned char* data, size_t size)
    : data_(data),
      size_(uint32_t(size)),
      head_(1u << kHeadBits, kNone),
      head3_(1u << kHead3Bits, kNone),
      chain3_(kSlots, kNone),
      lastPair_(1u << 16, kNone),
      runNewest_(256 * kRunLengths, kNone),
      tree_(2 * kSlots, kNone) {}

void LzssMatchFinder::Restart(uint32_t position) {
    std::fill(head_.begin(), head_.end(), kNone);
    std::fill(head3_.begin(), head3_.end(), kNone);
    std::fill(lastPair_.begin(), lastPair_.end(), kNone);
    std::fill(runNewest_.begin(), runNewest_.end(), kNone);
    // Tree nodes need no clearing: a position's links are set when it is
    // entered, and only entered positions are reached.
    unsigned index = 0;
    for (uint32_t p = position > kFarthest ? position - kFarthest : 0; p < position; ++p) {
        Find(p, &index);
    }
}

unsigned LzssMatchFinder::Find(uint32_t position, unsigned* windowIndex) {
    unsigned limit = unsigned(std::min<uint32_t>(kMaxMatch, size_ - position));
    if (limit < kMinMatch) {
        return 0;  // the last byte: nothing after it needs it as a source
    }
    const unsigned char* current = data_ + position;
    if (size_ - position >= kPrefetchAhead + 4) {
        // The tables are too large for the nearest cache: ask early for the
        // entries a later call reads.
        const unsigned char* later = current + kPrefetchAhead;
        __builtin_prefetch(&head_[Hash4(later)]);
        __builtin_prefetch(&head3_[Hash3(ThreeBytes(later, true))]);
        __builtin_prefetch(&lastPair_[(unsigned(later[0]) << 8) | later[1]]);
    }
    uint32_t source = 0;
    unsigned length = 0;
    if (limit >= 4) {
        // Sources that begin with a run of one byte go by the run's length,
        // apart from the other sources: zero-padded records and tables put
        // thousands of them behind the same four zero bytes.
        bool wide = size_ - position >= kWideMargin;
        unsigned run = RunLength(current, limit, wide);
        uint32_t key = run ? HashRun(current[0], run) : Hash4(current);
        length = FindInTree(position, limit, key, wide, &source);
        if (run) {
            uint32_t* newest = &runNewest_[current[0] * kRunLengths];
            // A source with a run of another length matches as far as the
            // shorter of the two runs; the tree covered runs as long as this.
            for (unsigned other = kMaxMatch; other > length && run > length; --other) {
                uint32_t candidate = newest[other];
                if (candidate != kNone && position - candidate <= kFarthest &&
                    std::min(run, other) > length) {
                    length = std::min(run, other);
                    source = candidate;
                }
            }
            if (!StoredAtIndexZero(position)) {
                newest[run] = position;
            }
        }
    }
    // Matches of two and three bytes are kept apart from the tree, whose
    // buckets go by four bytes: buckets by fewer grow long on text.
    if (limit >= 3) {
        uint32_t three = ThreeBytes(current, limit >= 4);
        uint32_t key = Hash3(three);
        if (length < 3) {
            for (uint32_t candidate = head3_[key];
                 candidate != kNone && position - candidate <= kFarthest;
                 candidate = chain3_[candidate & kSlotMask]) {
                // A source lies before the current position: four bytes are there.
                if (ThreeBytes(data_ + candidate, true) == three) {
                    length = 3;
                    source = candidate;
                    break;
                }
            }
        }
        if (!StoredAtIndexZero(position)) {
            chain3_[position & kSlotMask] = head3_[key];
            head3_[key] = position;
        }
    }
    unsigned pair = (unsigned(current[0]) << 8) | current[1];
    uint32_t lastPair = lastPair_[pair];
    if (length < kMinMatch && lastPair != kNone && position - lastPair <= kFarthest) {
        length = kMinMatch;
        source = lastPair;
    }
    if (!StoredAtIndexZero(position)) {
        lastPair_[pair] = position;
    }
    // Before position 4095 some sources still lie in the zero bytes that the
    // window starts with (the one 4095 bytes back would be window index 0).
    if (length < limit && position < kWindowSize - 1) {
        uint32_t distance = 0;
        unsigned zeroLength = FindInZeroPrefix(position, limit, &distance);
        if (zeroLength > length) {
            length = zeroLength;
            source = position - distance;  // wraps below 0; only its low bits matter
        }
    }
    if (length < kMinMatch) {
        return 0;
    }
    *windowIndex = (source + 1) & kWindowMask;
    return length;
}

// The binary tree holds, per hash of the first four bytes, the sources of the last 4096
// positions ordered by the (up to 17) bytes that follow them, the newest at
// the root and every node newer than its children, so that the walk may stop
// at the first node that lies too far back. Entering a position splits the
// tree along the walk into the sources that sort before it and those after,
// which become its two subtrees; the longest match is met on that walk.
unsigned LzssMatchFinder::FindInTree(uint32_t position, unsigned limit, uint32_t key, bool wide,
                                     uint32_t* source) {
    const unsigned char* current = data_ + position;
    uint32_t candidate = head_[key];
    unsigned best = 0;
    unsigned smallerLength = 0;  // common prefix with the nearest smaller source so far
    unsigned largerLength = 0;   // and with the nearest larger one

    if (StoredAtIndexZero(position)) {
        // Search only: the tree stays as it is.
        while (candidate != kNone && position - candidate <= kFarthest) {
            const unsigned char* earlier = data_ + candidate;
            unsigned length =
                CommonLength(earlier, current, std::min(smallerLength, largerLength), limit, wide);
            if (length > best) {
                best = length;
                *source = candidate;
            }
            if (length == limit) {
                break;
            }
            uint32_t* pair = &tree_[2 * (candidate & kSlotMask)];
            if (earlier[length] < current[length]) {
                smallerLength = length;
                candidate = pair[1];
            } else {
                largerLength = length;
                candidate = pair[0];
            }
        }
        return best;
    }

    head_[key] = position;
    uint32_t* pair = &tree_[2 * (position & kSlotMask)];
    uint32_t* smallerLink = &pair[0];  // where the next smaller source hangs
    uint32_t* largerLink = &pair[1];   // where the next larger source hangs
    for (;;) {
        if (candidate == kNone || position - candidate > kFarthest) {
            *smallerLink = kNone;
            *largerLink = kNone;
            return best;
        }
        const unsigned char* earlier = data_ + candidate;
        uint32_t* candidatePair = &tree_[2 * (candidate & kSlotMask)];
        unsigned length =
            CommonLength(earlier, current, std::min(smallerLength, largerLength), limit, wide);
        if (length > best) {
            best = length;
            *source = candidate;
        }
        if (length == limit) {
            // Equal as far as anyone compares: the new position takes the
            // candidate's place and its subtrees.
            *smallerLink = candidatePair[0];
            *largerLink = candidatePair[1];
            return best;
        }
        if (earlier[length] < current[length]) {
            *smallerLink = candidate;
            smallerLink = &candidatePair[1];
            candidate = *smallerLink;
            smallerLength = length;
        } else {
            *largerLink = candidate;
            largerLink = &candidatePair[0];
            candidate = *largerLink;
            largerLength = length;
        }
    }
}

// Copies that start in the zero bytes the window begins with. A source m
// bytes before the input (m from 2 to 4096 - position; m = 1 would be window
// index 0) reads m zero bytes and then the input from its first byte on.
unsigned LzssMatchFinder::FindInZeroPrefix(uint32_t position, unsigned limit,
                                           uint32_t* distance) const {
    const unsigned char* current = data_ + position;
    unsigned zeros = 0;
    while (zeros < limit && current[zeros] == 0) {
        ++zeros;
    }
    if (zeros < kMinMatch) {
        return 0;
    }
    uint32_t farthest = kWindowSize - position;  // the largest m
    unsigned best = 0;
    if (farthest > zeros) {
        // Any m beyond the zero run matches exactly the run.
        best = zeros;
        *distance = position + zeros + 1;
    }
    uint32_t nearest = std::min<uint32_t>(zeros, farthest);
    for (uint32_t m = kMinMatch; m <= nearest && best < limit; ++m) {
        unsigned length = m;
        while (length < limit && data_[length - m] == current[length]) {
            ++length;
        }
        if (length > best) {
            best = length;
            *distance = position + m;
        }
    }
    return best;
}
