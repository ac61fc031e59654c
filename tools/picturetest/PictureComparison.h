#pragma once

// Comparing two pictures of the same size pixel by pixel, and the picture that shows a person
// where they differ.

#include "platform/graphics/Bitmap.h"

#include <cstdint>

// How far two pictures may differ and still be the same: each channel of a pixel by at most
// `channel` (0 to 255), and beyond that at most `pixels` pixels.
struct Tolerance {
    int channel = 0;
    long pixels = 0;
};

struct PictureDifference {
    // Pixels with a channel that differs by more than the channel tolerance.
    long pixels = 0;
    // The box that holds them, right and bottom excluded; empty when no pixel differs.
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The pixels that differ between two pictures of the same size.
PictureDifference comparePictures(const Bitmap& expected, const Bitmap& actual, int channelTolerance);

// The colour that marks a differing pixel in a diff picture: no pixel of the faded copy has it.
constexpr uint32_t diffMark = 0xFFFF0000;

// The expected picture faded to light grey, with each pixel that differs from the actual one
// (beyond the channel tolerance) in diffMark. Both pictures have the same size.
Bitmap diffPicture(const Bitmap& expected, const Bitmap& actual, int channelTolerance);
