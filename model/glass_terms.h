// The per-pixel quantities of the glass model that depend only on the shape and
// the settings (not on what the source looks like), the debug views drawn from
// them, and the tint, rim light and composite that finish a glass pixel.
#pragma once

#include <cstdint>

#include "model/effect_settings.h"
#include "model/float_image.h"
#include "model/shape_field.h"

namespace prismora {

struct GlassTerms {
    float depth_px = 0.0f; // distance from the rim in pixels
    float rim_w = 0.0f;    // width of the rim band
    float chroma_w = 0.0f; // width of the colour-split band
    float bulge = 0.0f;    // 0 on the rim, 1 from depth_norm 0.42 inwards
    float lens = 0.0f;     // strength of the refraction
    float offset_x = 0.0f; // refraction displacement in pixels; reads move back by it
    float offset_y = 0.0f;
    float blur_max = 0.0f;    // strength of the full-blur image
    float blur_amount = 0.0f; // strength wanted here
    float rim_inner = 0.0f;   // thin bright line just inside the rim
    float chroma = 0.0f;      // strength of the colour split, 0 to 1
    float rim = 0.0f;         // not clamped
    float rim_c = 0.0f;       // rim clamped to 0..1
    float vis = 0.0f;         // edge visibility clamped to 0..2
    float split_x = 0.0f;     // colour-split displacement in pixels
    float split_y = 0.0f;
    float ny = 0.0f; // -1 at the panel's top edge, +1 at its bottom edge
    float light = 0.0f;
    float glow = 0.0f;
    float shade = 0.0f;
    float top = 0.0f;
    float highlight = 0.0f;
};

// For a pixel on the glass (shape.inside) at layer row y.
GlassTerms ComputeGlassTerms(const ShapeSample &shape, const EffectSettings &settings, float y);

// debug_view values 2 to 5 replace the shading with a diagnostic picture.
inline bool IsDebugView(int32_t debug_view)
{
    return debug_view >= 2 && debug_view <= 5;
}
FloatPixel DebugViewPixel(const ShapeSample &shape, const GlassTerms &terms, const EffectSettings &settings,
                          const FloatPixel &src);

// Tint, rim light and shade applied to the refracted colour (already scaled by
// the tint multiplier), then mixed over the source by coverage, opacity and amount.
FloatPixel CompositeGlass(const ShapeSample &shape, const GlassTerms &terms, const EffectSettings &settings,
                          const FloatPixel &src, float red, float green, float blue);

} // namespace prismora
