// Exact longest-match search for the compressor, over the window exactly as
// the expander keeps it.
//
// The expander stores produced byte k at window index (k + 1) mod 4096 and
// starts with 4096 zero bytes, so before producing byte i its window holds
// the 4096 bytes that precede i in the input with 4096 zero bytes in front.
// A copy from window index x therefore reads the input (or that zero prefix)
// from the position k with (k + 1) mod 4096 == x, at a distance of 1 to 4096
// behind i, overlapping what it writes when the distance is short. Index 0
// cannot start a copy, so a position k with k mod 4096 == 4095 is never a
// source: such positions are searched from but never entered into the tree.
#ifndef KIV_CONTAINER_LZSS_MATCH_FINDER_H
#define KIV_CONTAINER_LZSS_MATCH_FINDER_H

#include <cstddef>
#include <cstdint>
#include <vector>

class LzssMatchFinder {
   public:
    // Searches `data` (borrowed, `size` bytes, below 2^32 - 1).
    LzssMatchFinder(const unsigned char* data, size_t size);

    // The longest copy (at most 17 bytes, never past the end of the input)
    // that produces the input from `position` on. Must be called once for
    // every position, in order from 0 or from where Restart left the search:
    // each call also enters the position as a source for the calls after it.
    // Gives the length, or 0 when no copy of 2 bytes or more exists, and then
    // sets *windowIndex (1 to 4095).
    unsigned Find(uint32_t position, unsigned* windowIndex);

    // Forgets every source and enters the (up to 4096) positions before
    // `position`, the only ones a copy there can read, so that Find may go
    // on from `position`. Lets separate searches cover separate stretches of
    // one input: the lengths found do not depend on where a search began
    // (the window index chosen among equally long sources may).
    void Restart(uint32_t position);

   private:
    unsigned FindInTree(uint32_t position, unsigned limit, uint32_t key, bool wide,
                        uint32_t* source);
    unsigned FindInZeroPrefix(uint32_t position, unsigned limit, uint32_t* distance) const;

    const unsigned char* data_;
    uint32_t size_;
    std::vector<uint32_t> head_;       // per hash of four bytes: the newest source, a tree's root
    std::vector<uint32_t> head3_;      // per hash of three bytes: the newest source
    std::vector<uint32_t> chain3_;     // per source, by position modulo 8192: the one before
                                       // it with the same hash of three bytes
    std::vector<uint32_t> lastPair_;   // per first two bytes: the newest source
    std::vector<uint32_t> runNewest_;  // per byte and run length (4 to 17): the newest source
                                       // that begins with a run of that byte that long
    std::vector<uint32_t> tree_;       // per source, by position modulo 8192: smaller, larger
};

#endif
