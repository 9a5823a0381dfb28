// The CPU's working image format and the conversions between host worlds of
// every depth and floats.
#pragma once

#include <cmath>
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

// Greater than 1 gives 1, else below 0 gives 0; a NaN passes through unchanged.
inline float ClampUnit(float v)
{
    if (v > 1.0f) {
        return 1.0f;
    }
    if (v < 0.0f) {
        return 0.0f;
    }
    return v;
}

namespace detail {

// Rounds half up into the channel's integer range by truncating value * scale + 0.5.
// The hardware turns a NaN into the integer-indefinite value, whose low bits are 0;
// converting a NaN is undefined in C++, so that 0 is produced explicitly.
template <uint32_t kMask> uint32_t PackChannel(float value, float scale)
{
    const float clamped = ClampUnit(value);
    if (std::isnan(clamped)) {
        return 0u;
    }
    const float scaled = clamped * scale + 0.5f;
    return static_cast<uint32_t>(static_cast<int32_t>(scaled)) & kMask;
}

// The four channels in bit fields of kBits each: alpha lowest, then red, green, blue.
template <typename Word, unsigned kBits> Word PackChannels(const FloatPixel &pixel, float scale)
{
    constexpr uint32_t kMask = (1u << kBits) - 1u;
    const Word alpha = PackChannel<kMask>(pixel.alpha, scale);
    const Word red = PackChannel<kMask>(pixel.red, scale);
    const Word green = PackChannel<kMask>(pixel.green, scale);
    const Word blue = PackChannel<kMask>(pixel.blue, scale);
    return alpha | (red << kBits) | (green << (2 * kBits)) | (blue << (3 * kBits));
}

} // namespace detail

// Inline: the stores call them once per pixel.
inline uint32_t PackPixel8(const FloatPixel &pixel) // alpha in bits 0-7 ... blue in 24-31
{
    return detail::PackChannels<uint32_t, 8>(pixel, 255.0f);
}

inline uint64_t PackPixel16(const FloatPixel &pixel) // alpha in bits 0-15 ... blue in 48-63
{
    return detail::PackChannels<uint64_t, 16>(pixel, 32768.0f);
}

inline FloatPixel ClampPixelFloat(const FloatPixel &pixel)
{
    // Colour has no upper bound in float output, so highlights above 1 survive;
    // written as a comparison so that a NaN colour becomes 0.
    const auto non_negative = [](float v) { return v > 0.0f ? v : 0.0f; };
    return {ClampUnit(pixel.alpha), non_negative(pixel.red), non_negative(pixel.green),
            non_negative(pixel.blue)};
}

} // namespace prismora
