#include "model/glass_terms.h"

#include <cmath>

#include "model/scalar_ops.h"

namespace prismora {

GlassTerms ComputeGlassTerms(const ShapeSample &shape, const EffectSettings &settings, float y)
{
    GlassTerms t;
    t.depth_px = MaxF(shape.depth_norm * shape.min_side, 0.0f);
    t.rim_w = BandWidth(settings.edge_range, shape.min_side);
    t.chroma_w = BandWidth(settings.chromatic_range, shape.min_side);

    // Only a band along the rim bends the image: lens is 0 on the rim itself,
    // rises within 1.5 pixels and is gone where depth_norm reaches 0.42.
    const float s1 = SmoothStep(0.0f, 0.42f, shape.depth_norm);
    t.bulge = sqrtf(MaxF(1.0f - (1.0f - s1) * (1.0f - s1), 0.0f));
    const float s2 = SmoothStep(0.0f, 1.5f, t.depth_px);
    t.lens = (1.0f - t.bulge) * s2;

    const float strength = MaxF(settings.distortion_scale, 0.0f) * settings.amount;
    t.offset_x = t.lens * shape.panel_width * 0.5f * shape.dir_x * strength;
    t.offset_y = t.lens * shape.panel_height * 0.5f * shape.dir_y * strength;

    // Full blur in the flat middle, half as much where the lens bends most.
    t.blur_max = BlurStrength(settings);
    t.blur_amount = (1.0f - t.lens * 0.5f) * t.blur_max;

    t.rim_inner = 1.0f - SmoothStep(0.0f, MaxF(t.rim_w * 0.1f, 2.0f), t.depth_px);
    float c1 = 0.0f;
    float c2 = 0.0f;
    if (t.chroma_w > 0.0f) {
        c1 = 1.0f - SmoothStep(0.0f, t.chroma_w, t.depth_px);
        c2 = 1.0f - SmoothStep(0.0f, MaxF(t.chroma_w * 0.1f, 2.0f), t.depth_px);
    }
    t.chroma = ClampF(MaxF(c2, c1), 0.0f, 1.0f);
    t.rim = MaxF(t.rim_inner, shape.edge_factor);
    t.rim_c = ClampF(t.rim, 0.0f, 1.0f);
    t.vis = ClampF(settings.edge_visibility, 0.0f, 2.0f);
    t.split_x = t.chroma * shape.dir_x * settings.chromatic_shift * settings.amount;
    t.split_y = t.chroma * shape.dir_y * settings.chromatic_shift * settings.amount;

    // Light from above: the top rim brightens more, the bottom rim darkens more.
    t.ny = (y - shape.panel_center_y) / MaxF(shape.panel_height * 0.5f, 1.0f);
    t.light = ClampF(t.rim * t.vis * 0.55f, 0.0f, 1.0f);
    t.glow = t.vis * 0.12f * t.rim_inner;
    t.shade = t.light * ClampF(t.ny * 0.3f + 0.45f, 0.0f, 1.0f) * 0.04f;
    t.top = ClampF(0.55f - t.ny * 0.35f, 0.0f, 1.0f);
    t.highlight = (t.light * t.top * 0.12f + 0.05f) * t.light + t.glow;
    return t;
}

FloatPixel DebugViewPixel(const ShapeSample &shape, const GlassTerms &terms, const EffectSettings &settings,
                          const FloatPixel &src)
{
    // The rectangle shows its own coverage as alpha; a matte keeps the layer's.
    const float alpha = settings.glass_mode == 1 ? shape.coverage : src.alpha;
    switch (settings.debug_view) {
    case 2:
        return {alpha, shape.coverage, shape.coverage, shape.coverage};
    case 3: {
        const float v = ClampF(shape.depth_norm / MaxF(settings.edge_range, 0.001f), 0.0f, 1.0f);
        return {alpha, v, v, v};
    }
    case 4:
        return {alpha, terms.lens, terms.lens, terms.lens};
    default: {
        const float reach = MaxF(MaxF(shape.panel_height, shape.panel_width) * 0.5f, 1.0f);
        const float m = ClampF(
            sqrtf(terms.offset_y * terms.offset_y + terms.offset_x * terms.offset_x) / reach, 0.0f, 1.0f);
        return {alpha, m, m * 0.65f, 1.0f - m};
    }
    }
}

FloatPixel CompositeGlass(const ShapeSample &shape, const GlassTerms &terms, const EffectSettings &settings,
                          const FloatPixel &src, float red, float green, float blue)
{
    const float glass_red = settings.glass_color[1];
    const float glass_green = settings.glass_color[2];
    const float glass_blue = settings.glass_color[3];
    if (settings.color_amount > 0.0001f) {
        // Stronger on the rim (up to 0.9) than in the middle (0.62).
        const float k = (terms.rim_c * 0.28f + 0.62f) * ClampF(settings.color_amount, 0.0f, 1.0f);
        red = (glass_red - red) * k + red;
        green = (glass_green - green) * k + green;
        blue = (glass_blue - blue) * k + blue;
    }

    // The rim light takes on the glass colour; white without a tint.
    const float ca = ClampF(settings.color_amount * 0.75f, 0.0f, 1.0f);
    const auto lit = [&](float c, float g) {
        const float light_color = ca * g + (1.0f - ca);
        return ClampF(light_color * terms.highlight + c - terms.shade, 0.0f, 1.0f);
    };
    const float out_red = lit(red, glass_red);
    const float out_green = lit(green, glass_green);
    const float out_blue = lit(blue, glass_blue);

    // The panel is at least as opaque as its coverage and never lowers the source alpha.
    const float mix = ClampF(shape.coverage * settings.opacity * settings.amount, 0.0f, 1.0f);
    return {MaxF(mix, src.alpha), (out_red - src.red) * mix + src.red,
            (out_green - src.green) * mix + src.green, (out_blue - src.blue) * mix + src.blue};
}

} // namespace prismora
