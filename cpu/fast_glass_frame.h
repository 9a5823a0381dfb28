// The fast frame's view of the glass model: the CPU frame (model/glass_shader.h)
// over the blurred windows, whose refracted reads work out only what the pixel
// uses: the one channel each read contributes, and only the blur levels its
// mix takes. Every value it does work out is the CPU frame's, bit for bit.
#pragma once

#include "AE_Effect.h"
#include "cpu/blur_window.h"
#include "model/glass_policy.h"
#include "model/glass_shader.h"
#include "model/image_sampling.h"

namespace prismora {

template <typename Pixel> struct CpuFastGlassFrame : CpuGlassFrame<Pixel, BlurWindow> {
    float Refracted(float sx, float sy, const GlassTerms &terms, ColorChannel channel) const
    {
        return BlurredRead<CpuFastGlassPolicy>(
            this->half_blur, this->full_blur, terms.blur_amount, terms.blur_max,
            [&] { return SampleWorldChannel<Pixel>(this->input, sx, sy, this->clamp_edges, channel); },
            [&](const BlurWindow &window) {
                return SampleWindowChannel(window, sx, sy, this->clamp_edges, channel);
            });
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
