// The fast frame's view of the glass model: the CPU frame (model/glass_shader.h)
// over the blurred windows, whose refracted reads work out only what the pixel
// uses: the one channel each read contributes, only the blur levels its mix
// takes, and an 8- or 16-bit source pixel without the mix of a read between
// pixels. Every value it does work out is the CPU frame's, bit for bit.
#pragma once

#include <type_traits>

#include "AE_Effect.h"
#include "cpu/blur_window.h"
#include "model/glass_policy.h"
#include "model/glass_shader.h"
#include "model/image_sampling.h"

namespace prismora {

template <typename Pixel> struct CpuFastGlassFrame : CpuGlassFrame<Pixel, BlurWindow> {
    FloatPixel Source(float sx, float sy) const
    {
        if constexpr (!std::is_same_v<Pixel, PF_PixelFloat>) {
            // 8- and 16-bit channels are finite and never -0, so every mix of
            // a read at a whole position, (b - a) * 0 + a, gives a itself.
            const PF_EffectWorld &world = this->input;
            const BilinearCell cell =
                LocateBilinear<CpuGlassPolicy>(world.width, world.height, sx, sy, this->clamp_edges);
            if (world.data != nullptr && cell.valid && cell.fx == 0.0f && cell.fy == 0.0f) {
                return ToFloatPixel(*WorldPixelAt<Pixel>(world, cell.x0, cell.y0));
            }
        }
        return CpuGlassFrame<Pixel, BlurWindow>::Source(sx, sy);
    }
    float Refracted(float sx, float sy, const GlassTerms &terms, ColorChannel channel) const
    {
        // Both windows hold the same rectangle of the same frame (BlurWorldWindow
        // makes them together), so one cell serves the half and the full read.
        const BilinearCell cell = this->full_blur != nullptr
                                      ? WindowCell(*this->full_blur, sx, sy, this->clamp_edges)
                                      : BilinearCell{};
        return BlurredRead<CpuFastGlassPolicy>(
            this->half_blur, this->full_blur, terms.blur_amount, terms.blur_max,
            [&] { return SampleWorldChannel<Pixel>(this->input, sx, sy, this->clamp_edges, channel); },
            [&](const BlurWindow &window) { return WindowChannelAt(window, cell, channel); });
    }
};

// The pixel at layer position (x, y), as ShadeGlassPixel gives it.
template <typename Pixel>
FloatPixel ShadeGlassFast(const EffectSettings &settings, const CpuFastGlassFrame<Pixel> &frame, float x,
                          float y)
{
    return ShadeGlass<CpuFastGlassPolicy>(settings, frame, x, y);
}

} // namespace prismora
