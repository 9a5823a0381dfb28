// The CPU's fractional reads of the source: bilinear from a host world of any
// depth or from a float image (all four channels, plain mixes), and the blurred
// read that fades from the sharp world to the half-strength and then the
// full-strength blurred image. The rules are the glass model's (model/bilinear.h).
#pragma once

#include <cstddef>

#include "AE_Effect.h"
#include "model/bilinear.h"
#include "model/float_image.h"
#include "model/glass_policy.h"
#include "model/pixel_traits.h"

namespace prismora {

// x, y in the world's own pixel indices (not layer coordinates).
template <typename Pixel>
inline FloatPixel SampleWorldBilinear(const PF_EffectWorld &world, float x, float y, bool clamp_edges)
{
    if (world.data == nullptr) {
        return FloatPixel{};
    }
    const BilinearCell cell = LocateBilinear<CpuGlassPolicy>(world.width, world.height, x, y, clamp_edges);
    if (!cell.valid) {
        return FloatPixel{};
    }
    return MixTaps<CpuGlassPolicy>(
        cell, [&world](int col, int row) { return ToFloatPixel(*WorldPixelAt<Pixel>(world, col, row)); });
}

// One channel of SampleWorldBilinear: the same taps and mixes, the other
// channels left unread.
template <typename Pixel>
inline float SampleWorldChannel(const PF_EffectWorld &world, float x, float y, bool clamp_edges,
                                ColorChannel channel)
{
    if (world.data == nullptr) {
        return 0.0f;
    }
    const BilinearCell cell = LocateBilinear<CpuGlassPolicy>(world.width, world.height, x, y, clamp_edges);
    if (!cell.valid) {
        return 0.0f;
    }
    return MixTaps<CpuGlassPolicy>(cell, [&world, channel](int col, int row) {
        return PixelTraits<Pixel>::ToFloat(ChannelOf(*WorldPixelAt<Pixel>(world, col, row), channel));
    });
}

inline FloatPixel SampleFloatImageBilinear(const FloatImage &image, float x, float y, bool clamp_edges)
{
    if (!image.IsUsable()) {
        return FloatPixel{};
    }
    const BilinearCell cell = LocateBilinear<CpuGlassPolicy>(image.width, image.height, x, y, clamp_edges);
    if (!cell.valid) {
        return FloatPixel{};
    }
    return MixTaps<CpuGlassPolicy>(cell, [&image](int col, int row) {
        return image
            .pixels[static_cast<size_t>(row) * static_cast<size_t>(image.width) + static_cast<size_t>(col)];
    });
}

// The blurred read at strength blur_amount from the sharp read and the blurred
// images (null when absent, sharing the world's pixel grid): blur_max is the
// strength of full_blur, half_blur has half of it. read_sharp() and
// read_image(image) are called only for the values the mix takes.
template <typename Policy, typename Image, typename ReadSharp, typename ReadImage>
inline auto BlurredRead(const Image *half_blur, const Image *full_blur, float blur_amount, float blur_max,
                        const ReadSharp &read_sharp, const ReadImage &read_image)
{
    if (blur_amount <= 0.001f || full_blur == nullptr || !full_blur->IsUsable() || blur_max <= 0.001f) {
        return read_sharp();
    }
    const bool half_readable = half_blur != nullptr && half_blur->IsUsable();
    return BlendBlurLevels<Policy>(
        read_sharp, half_readable, blur_amount, blur_max, [&] { return read_image(*half_blur); },
        [&] { return read_image(*full_blur); });
}

// All four channels of the blurred read. Image is a FloatImage or anything read
// through a SampleFloatImageBilinear overload (a window of the blurred frame).
template <typename Pixel, typename Image>
inline FloatPixel SampleBlurred(const PF_EffectWorld &world, const Image *half_blur, const Image *full_blur,
                                float x, float y, float blur_amount, float blur_max, bool clamp_edges)
{
    const FloatPixel sharp = SampleWorldBilinear<Pixel>(world, x, y, clamp_edges);
    return BlurredRead<CpuGlassPolicy>(
        half_blur, full_blur, blur_amount, blur_max, [&] { return sharp; },
        [&](const Image &image) { return SampleFloatImageBilinear(image, x, y, clamp_edges); });
}

} // namespace prismora
