// Fractional reads of the source: bilinear from a host world of any depth or
// from a float image, and the blurred read that fades from the sharp world to
// the half-strength and then the full-strength blurred image.
#pragma once

#include <cmath>
#include <cstddef>

#include "AE_Effect.h"
#include "cpu/float_image.h"
#include "cpu/pixel_traits.h"
#include "shading/scalar_ops.h"

namespace prismora {

// (b - a) * t + a, channel by channel; the one mix form every renderer uses.
inline FloatPixel MixPixels(const FloatPixel &a, const FloatPixel &b, float t)
{
    return {(b.alpha - a.alpha) * t + a.alpha, (b.red - a.red) * t + a.red, (b.green - a.green) * t + a.green,
            (b.blue - a.blue) * t + a.blue};
}

namespace detail {

// The bilinear steps shared by worlds and float images. fetch(col, row) returns
// the already converted pixel; width and height are at least 1.
template <typename Fetch>
inline FloatPixel SampleBilinear(A_long width, A_long height, float x, float y, bool clamp_edges,
                                 const Fetch &fetch)
{
    const float last_x = static_cast<float>(width - 1);
    const float last_y = static_cast<float>(height - 1);
    if (clamp_edges) {
        x = ClampF(x, 0.0f, last_x);
        y = ClampF(y, 0.0f, last_y);
    } else if (x < 0.0f || y < 0.0f || x > last_x || y > last_y) {
        return FloatPixel{};
    }
    // A NaN position slips through both tests above; it must not become an index.
    if (std::isnan(x) || std::isnan(y)) {
        return FloatPixel{};
    }

    const A_long ix = static_cast<A_long>(floorf(x));
    const A_long iy = static_cast<A_long>(floorf(y));
    const float fx = x - static_cast<float>(ix);
    const float fy = y - static_cast<float>(iy);
    // On the last column or row the neighbour is the pixel itself.
    const A_long ix1 = ix + 1 < width - 1 ? ix + 1 : width - 1;
    const A_long iy1 = iy + 1 < height - 1 ? iy + 1 : height - 1;

    const FloatPixel p00 = fetch(ix, iy);
    const FloatPixel p10 = fetch(ix1, iy);
    const FloatPixel p01 = fetch(ix, iy1);
    const FloatPixel p11 = fetch(ix1, iy1);
    const FloatPixel top = MixPixels(p00, p10, fx);
    const FloatPixel bottom = MixPixels(p01, p11, fx);
    return MixPixels(top, bottom, fy);
}

} // namespace detail

// x, y in the world's own pixel indices (not layer coordinates).
template <typename Pixel>
inline FloatPixel SampleWorldBilinear(const PF_EffectWorld &world, float x, float y, bool clamp_edges)
{
    if (world.data == nullptr || world.width < 1 || world.height < 1) {
        return FloatPixel{};
    }
    return detail::SampleBilinear(
        world.width, world.height, x, y, clamp_edges,
        [&world](A_long col, A_long row) { return ToFloatPixel(*WorldPixelAt<Pixel>(world, col, row)); });
}

inline FloatPixel SampleFloatImageBilinear(const FloatImage &image, float x, float y, bool clamp_edges)
{
    if (!image.IsUsable()) {
        return FloatPixel{};
    }
    return detail::SampleBilinear(
        image.width, image.height, x, y, clamp_edges, [&image](A_long col, A_long row) {
            return image.pixels[static_cast<size_t>(row) * static_cast<size_t>(image.width) +
                                static_cast<size_t>(col)];
        });
}

// The blurred images (null when absent) share the world's pixel grid. blur_max
// is the strength of full_blur, half_blur has half of it; blur_amount is the
// strength wanted here. Image is a FloatImage or anything read through a
// SampleFloatImageBilinear overload (a window of the blurred frame).
template <typename Pixel, typename Image>
inline FloatPixel SampleBlurred(const PF_EffectWorld &world, const Image *half_blur, const Image *full_blur,
                                float x, float y, float blur_amount, float blur_max, bool clamp_edges)
{
    if (blur_amount <= 0.001f || full_blur == nullptr || !full_blur->IsUsable() || blur_max <= 0.001f) {
        return SampleWorldBilinear<Pixel>(world, x, y, clamp_edges);
    }
    const FloatPixel sharp = SampleWorldBilinear<Pixel>(world, x, y, clamp_edges);
    const FloatPixel full = SampleFloatImageBilinear(*full_blur, x, y, clamp_edges);
    const float half_level = blur_max * 0.5f;
    if (half_blur != nullptr && half_blur->IsUsable() && half_level > 0.001f) {
        const FloatPixel half = SampleFloatImageBilinear(*half_blur, x, y, clamp_edges);
        if (half_level >= blur_amount) {
            return MixPixels(sharp, half, ClampF(blur_amount / half_level, 0.0f, 1.0f));
        }
        const float t = ClampF((blur_amount - half_level) / MaxF(blur_max - half_level, 0.001f), 0.0f, 1.0f);
        return MixPixels(half, full, t);
    }
    return MixPixels(sharp, full, ClampF(blur_amount / blur_max, 0.0f, 1.0f));
}

} // namespace prismora
