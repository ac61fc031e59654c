#pragma once

// GIF's LZW coding of one image's 8-bit colour indices: the code size byte, the codes in sub-blocks
// of at most 255 bytes, and the empty block that ends them.

#include <cstddef>
#include <cstdint>
#include <vector>

// Appends the coded `indices` to `out`.
void encodeGifLzw(const uint8_t* indices, size_t count, std::vector<uint8_t>& out);
