// One output pixel seen through the glass panel: refracted, blurred and
// colour-split reads of the source, tint, rim light and shade, mixed over the
// untouched source. Off the panel the source passes through.
#pragma once

#include "AE_Effect.h"
#include "cpu/float_image.h"
#include "cpu/matte_field.h"
#include "host/effect_settings.h"
#include "shading/glass_terms.h"
#include "shading/image_sampling.h"
#include "shading/shape_field.h"

namespace prismora {

// x, y are layer coordinates. matte and the blurred images may be null; a
// matte whose valid flag is clear counts as absent.
template <typename Pixel, typename Image = FloatImage>
FloatPixel ShadeGlassPixel(const PF_EffectWorld &input, const PF_EffectWorld & /*output*/,
                           const EffectSettings &settings, const MatteField *matte, const Image *half_blur,
                           const Image *full_blur, float x, float y)
{
    const float sx = x - static_cast<float>(input.origin_x);
    const float sy = y - static_cast<float>(input.origin_y);
    const FloatPixel src = SampleWorldBilinear<Pixel>(input, sx, sy, settings.clamp_edges);

    ShapeSample shape;
    if (settings.glass_mode == 2) {
        // Full Frame without a matte has no shape: the layer stays as it is.
        if (matte == nullptr || !matte->valid) {
            return src;
        }
        shape = ComputeMatteShape(*matte, settings, x, y);
    } else {
        shape = ComputeRectShape(settings, x, y);
    }
    if (!shape.inside || 0.0001f >= shape.coverage || 0.0001f >= settings.amount ||
        0.0001f >= settings.opacity) {
        return src;
    }

    const GlassTerms terms = ComputeGlassTerms(shape, settings, y);
    if (IsDebugView(settings.debug_view)) {
        return DebugViewPixel(shape, terms, settings, src);
    }

    // Read towards the panel centre, red and blue pushed apart along the radius.
    const float rx = sx - terms.offset_x;
    const float ry = sy - terms.offset_y;
    const auto read = [&](float px, float py) {
        return SampleBlurred<Pixel>(input, half_blur, full_blur, px, py, terms.blur_amount, terms.blur_max,
                                    settings.clamp_edges);
    };
    const FloatPixel sample_r = read(rx - terms.split_x, ry - terms.split_y);
    const FloatPixel sample_g = read(rx, ry);
    const FloatPixel sample_b = read(terms.split_x + rx, terms.split_y + ry);

    const float tint = settings.tint_multiplier;
    return CompositeGlass(shape, terms, settings, src, tint * sample_r.red, tint * sample_g.green,
                          tint * sample_b.blue);
}

} // namespace prismora
