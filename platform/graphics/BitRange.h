#pragma once

// Rows of bits kept in 64-bit words, bit i of a row in word i / 64 at position i % 64.

#include <cstdint>

// Sets bits first to last (inclusive, first <= last) of the row starting at words.
inline void setBits(uint64_t* words, int first, int last) {
    int w0 = first >> 6, w1 = last >> 6;
    uint64_t head = ~uint64_t{0} << (first & 63), tail = ~uint64_t{0} >> (63 - (last & 63));
    if (w0 == w1) {
        words[w0] |= head & tail;
        return;
    }
    words[w0] |= head;
    for (int w = w0 + 1; w < w1; ++w)
        words[w] = ~uint64_t{0};
    words[w1] |= tail;
}
