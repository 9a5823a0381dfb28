// The CPU's glass pixel: the glass model (model/glass_pixel.h) over the CPU
// policy, reading a host world of any depth, the blurred float images and the
// matte field.
#pragma once

#include "AE_Effect.h"
#include "model/effect_settings.h"
#include "model/float_image.h"
#include "model/glass_pixel.h"
#include "model/glass_policy.h"
#include "model/image_sampling.h"
#include "model/matte_field.h"

namespace prismora {

// The CPU frame ShadeGlass reads (see model/glass_pixel.h). The blurred images
// are FloatImages or anything SampleBlurred reads (a window of the blurred frame).
template <typename Pixel, typename Image = FloatImage> struct CpuGlassFrame {
    const PF_EffectWorld &input;
    const MatteField *matte;
    const Image *half_blur;
    const Image *full_blur;
    bool clamp_edges;
    float origin_x;
    float origin_y;
    int32_t glass_mode;
    float blur_max;
    FloatPixel glass;

    FloatPixel Source(float sx, float sy) const
    {
        return SampleWorldBilinear<Pixel>(input, sx, sy, clamp_edges);
    }
    bool HasMatte() const { return matte != nullptr && matte->valid; }
    const MatteField &Matte() const { return *matte; }
    float Refracted(float sx, float sy, const GlassTerms &terms, ColorChannel channel) const
    {
        const FloatPixel p = SampleBlurred<Pixel>(input, half_blur, full_blur, sx, sy, terms.blur_amount,
                                                  terms.blur_max, clamp_edges);
        return channel == ColorChannel::kRed ? p.red : (channel == ColorChannel::kGreen ? p.green : p.blue);
    }
};

// The frame of one render: matte and the blurred images may be null; a matte
// whose valid flag is clear counts as absent.
template <typename Pixel, typename Image>
CpuGlassFrame<Pixel, Image> MakeCpuGlassFrame(const PF_EffectWorld &input, const EffectSettings &settings,
                                              const MatteField *matte, const Image *half_blur,
                                              const Image *full_blur)
{
    const float *color = settings.glass_color; // alpha, red, green, blue
    return {input,
            matte,
            half_blur,
            full_blur,
            settings.clamp_edges,
            static_cast<float>(input.origin_x),
            static_cast<float>(input.origin_y),
            settings.glass_mode,
            BlurStrength(settings),
            {color[0], color[1], color[2], color[3]}};
}

// x, y are layer coordinates.
template <typename Pixel>
FloatPixel ShadeGlassPixel(const PF_EffectWorld &input, const EffectSettings &settings,
                           const MatteField *matte, const FloatImage *half_blur, const FloatImage *full_blur,
                           float x, float y)
{
    return ShadeGlass<CpuGlassPolicy>(
        settings, MakeCpuGlassFrame<Pixel>(input, settings, matte, half_blur, full_blur), x, y);
}

} // namespace prismora
