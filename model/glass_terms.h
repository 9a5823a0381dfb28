// The per-pixel quantities of the glass model that depend only on the shape and
// the settings (not on what the source looks like), the debug views drawn from
// them, and the tint, rim light and composite that finish a glass pixel. One
// definition for both renderers over their policy; Settings is the renderer's
// record with the controls under the settings' names (amount, opacity,
// distortion_scale, edge_range, edge_visibility, chromatic_shift,
// chromatic_range, color_amount).
#pragma once

#include <math.h>
#include <stdint.h>

#include "model/float_pixel.h"
#include "model/host_device.h"
#include "model/popup_values.h"
#include "model/scalar_ops.h"
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

// For a pixel on the glass (shape.inside) at layer row y; blur_max is the
// strength of the full-blur image.
template <typename Policy, typename Settings>
PRISMORA_HD inline GlassTerms ComputeGlassTerms(const ShapeSample &shape, const Settings &s, float blur_max,
                                                float y)
{
    GlassTerms t;
    t.depth_px = MaxF(shape.depth_norm * shape.min_side, 0.0f);
    t.rim_w = BandWidth<Policy>(s.edge_range, shape.min_side);
    t.chroma_w = BandWidth<Policy>(s.chromatic_range, shape.min_side);

    // Only a band along the rim bends the image: lens is 0 on the rim itself,
    // rises within 1.5 pixels and is gone where depth_norm reaches 0.42.
    const float s1 = SmoothStep<Policy>(0.0f, 0.42f, shape.depth_norm);
    t.bulge = sqrtf(MaxF(1.0f - (1.0f - s1) * (1.0f - s1), 0.0f));
    const float s2 = SmoothStep<Policy>(0.0f, 1.5f, t.depth_px);
    t.lens = (1.0f - t.bulge) * s2;

    const float strength = MaxF(s.distortion_scale, 0.0f) * s.amount;
    t.offset_x = t.lens * shape.panel_width * 0.5f * shape.dir_x * strength;
    t.offset_y = t.lens * shape.panel_height * 0.5f * shape.dir_y * strength;

    // Full blur in the flat middle, half as much where the lens bends most.
    t.blur_max = blur_max;
    t.blur_amount = (1.0f - t.lens * 0.5f) * t.blur_max;

    t.rim_inner = 1.0f - SmoothStep<Policy>(0.0f, MaxF(t.rim_w * 0.1f, 2.0f), t.depth_px);
    float c1 = 0.0f;
    float c2 = 0.0f;
    if (t.chroma_w > 0.0f) {
        c1 = 1.0f - SmoothStep<Policy>(0.0f, t.chroma_w, t.depth_px);
        c2 = 1.0f - SmoothStep<Policy>(0.0f, MaxF(t.chroma_w * 0.1f, 2.0f), t.depth_px);
    }
    t.chroma = ClampF(MaxF(c2, c1), 0.0f, 1.0f);
    t.rim = MaxF(t.rim_inner, shape.edge_factor);
    t.rim_c = ClampF(t.rim, 0.0f, 1.0f);
    t.vis = ClampF(s.edge_visibility, 0.0f, 2.0f);
    t.split_x = t.chroma * shape.dir_x * s.chromatic_shift * s.amount;
    t.split_y = t.chroma * shape.dir_y * s.chromatic_shift * s.amount;

    // Light from above: the top rim brightens more, the bottom rim darkens more.
    t.ny = (y - shape.panel_center_y) / MaxF(shape.panel_height * 0.5f, 1.0f);
    t.light = ClampF(t.rim * t.vis * 0.55f, 0.0f, 1.0f);
    t.glow = t.vis * 0.12f * t.rim_inner;
    t.shade = t.light * ClampF(t.ny * 0.3f + 0.45f, 0.0f, 1.0f) * 0.04f;
    t.top = ClampF(0.55f - t.ny * 0.35f, 0.0f, 1.0f);
    t.highlight = (t.light * t.top * 0.12f + 0.05f) * t.light + t.glow;
    return t;
}

// The picture a debug view (IsDebugView) draws of the model at a glass pixel,
// with the given alpha.
PRISMORA_HD inline FloatPixel DebugViewPixel(int32_t view, const ShapeSample &shape, const GlassTerms &terms,
                                             float edge_range, float alpha)
{
    switch (view) {
    case kDebugGlassMask:
        return {alpha, shape.coverage, shape.coverage, shape.coverage};
    case kDebugInversedSdf: {
        const float v = ClampF(shape.depth_norm / MaxF(edge_range, 0.001f), 0.0f, 1.0f);
        return {alpha, v, v, v};
    }
    case kDebugDistortion:
        return {alpha, terms.lens, terms.lens, terms.lens};
    default: { // kDebugSampleOffset
        const float reach = MaxF(MaxF(shape.panel_height, shape.panel_width) * 0.5f, 1.0f);
        const float m = ClampF(
            sqrtf(terms.offset_y * terms.offset_y + terms.offset_x * terms.offset_x) / reach, 0.0f, 1.0f);
        return {alpha, m, m * 0.65f, 1.0f - m};
    }
    }
}

// Tint (towards glass, alpha unused), rim light and shade applied to the
// refracted colour (already scaled by the tint multiplier), then mixed over the
// source by coverage, opacity and amount.
template <typename Policy, typename Settings>
PRISMORA_HD inline FloatPixel CompositeGlass(const ShapeSample &shape, const GlassTerms &terms,
                                             const Settings &s, const FloatPixel &glass,
                                             const FloatPixel &src, float red, float green, float blue)
{
    if (s.color_amount > 0.0001f) {
        // Stronger on the rim (up to 0.9) than in the middle (0.62).
        const float k = (terms.rim_c * 0.28f + 0.62f) * ClampF(s.color_amount, 0.0f, 1.0f);
        red = Policy::Mix(red, glass.red, k);
        green = Policy::Mix(green, glass.green, k);
        blue = Policy::Mix(blue, glass.blue, k);
    }

    // The rim light takes on the glass colour; white without a tint.
    const float ca = ClampF(s.color_amount * 0.75f, 0.0f, 1.0f);
    const auto lit = [&](float c, float g) {
        const float light_color = ca * g + (1.0f - ca);
        return ClampF(light_color * terms.highlight + c - terms.shade, 0.0f, 1.0f);
    };
    const float out_red = lit(red, glass.red);
    const float out_green = lit(green, glass.green);
    const float out_blue = lit(blue, glass.blue);

    // The panel is at least as opaque as its coverage and never lowers the source alpha.
    const float mix = ClampF(shape.coverage * s.opacity * s.amount, 0.0f, 1.0f);
    return {MaxF(mix, src.alpha), Policy::Mix(src.red, out_red, mix), Policy::Mix(src.green, out_green, mix),
            Policy::Mix(src.blue, out_blue, mix)};
}

} // namespace prismora
