// Storing a shaded float pixel into an output world of each depth.
#pragma once

#include "AE_Effect.h"
#include "model/float_image.h"

namespace prismora {

// Unpacks a packed pixel word (alpha in the lowest channel) into the world's pixel.
template <typename Pixel, typename Word> void StorePacked(Pixel &dst, Word packed)
{
    using Channel = decltype(dst.alpha);
    constexpr unsigned kBits = sizeof(Channel) * 8;
    constexpr Word kMask = (Word{1} << kBits) - 1;
    dst.alpha = static_cast<Channel>(packed & kMask);
    dst.red = static_cast<Channel>((packed >> kBits) & kMask);
    dst.green = static_cast<Channel>((packed >> (2 * kBits)) & kMask);
    dst.blue = static_cast<Channel>((packed >> (3 * kBits)) & kMask);
}

inline void StorePixel(PF_Pixel8 &dst, const FloatPixel &value)
{
    StorePacked(dst, PackPixel8(value));
}

inline void StorePixel(PF_Pixel16 &dst, const FloatPixel &value)
{
    StorePacked(dst, PackPixel16(value));
}

inline void StorePixel(PF_PixelFloat &dst, const FloatPixel &value)
{
    const FloatPixel clamped = ClampPixelFloat(value);
    dst.alpha = clamped.alpha;
    dst.red = clamped.red;
    dst.green = clamped.green;
    dst.blue = clamped.blue;
}

} // namespace prismora
