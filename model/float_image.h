// The CPU's working image format and the conversions between host worlds of
// every depth and floats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "AE_Effect.h"
#include "model/float_pixel.h"

namespace prismora {

// Row-major, unpadded: pixel (x, y) is pixels[y * width + x]. Nothing is clamped.
struct FloatImage {
    A_long width = 0;
    A_long height = 0;
    std::vector<FloatPixel> pixels;

    // Both sizes at least 1 and exactly width * height pixels; anything else is
    // treated as absent by every consumer.
    bool IsUsable() const
    {
        return width >= 1 && height >= 1 &&
               pixels.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }
};

template <typename Pixel> FloatImage ToFloatImage(const PF_EffectWorld &world);

uint32_t PackPixel8(const FloatPixel &pixel);  // alpha in bits 0-7 ... blue in 24-31
uint64_t PackPixel16(const FloatPixel &pixel); // alpha in bits 0-15 ... blue in 48-63
FloatPixel ClampPixelFloat(const FloatPixel &pixel);

// Alpha of world pixel (x, y) (world indices, not layer coordinates), 0 to 1;
// 0 outside the world or for a world without data.
template <typename Pixel> float WorldAlphaAt(const PF_EffectWorld &world, A_long x, A_long y);

} // namespace prismora
