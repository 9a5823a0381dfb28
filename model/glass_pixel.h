// One output pixel seen through the glass panel: refracted, blurred and
// colour-split reads of the source, tint, rim light and shade, mixed over the
// untouched source. Off the panel the source passes through. Written once for
// both renderers; the policy carries their arithmetic, the frame their images.
#pragma once

#include "model/float_pixel.h"
#include "model/glass_terms.h"
#include "model/host_device.h"
#include "model/popup_values.h"
#include "model/shape_field.h"

namespace prismora {

// x, y are layer coordinates. Settings is the renderer's record of the controls
// (the names ComputeGlassTerms and RectShape read, tint_multiplier and
// debug_view). A Frame is what one renderer reads for a frame:
//   origin_x, origin_y      the source's layer position
//   glass_mode              a GlassMode value
//   blur_max                the strength of the full-blur image
//   glass                   the glass colour (alpha unused)
//   Source(sx, sy)          the sharp FloatPixel at source indices
//   HasMatte(), Matte()     whether a matte shapes Full Frame, and its reader (MatteShape)
//   Refracted(sx, sy, terms, channel)   one channel of the blurred read
template <typename Policy, typename Settings, typename Frame>
PRISMORA_HD inline FloatPixel ShadeGlass(const Settings &s, const Frame &frame, float x, float y)
{
    const float sx = x - frame.origin_x;
    const float sy = y - frame.origin_y;
    const FloatPixel src = frame.Source(sx, sy);

    ShapeSample shape;
    if (frame.glass_mode == kGlassFullFrame) {
        // Full Frame without a matte has no shape: the layer stays as it is.
        if (!frame.HasMatte()) {
            return src;
        }
        shape = MatteShape<Policy>(frame.Matte(), s.edge_range, x, y);
    } else if (frame.glass_mode == kGlassRoundedRect) {
        shape = RectShape<Policy>(s, x, y);
    }
    if (!shape.inside) {
        return src;
    }
    const bool faint = 0.0001f >= s.amount || 0.0001f >= s.opacity;
    if (faint && !Policy::kDebugViewsFirst) {
        return src;
    }

    const GlassTerms terms = ComputeGlassTerms<Policy>(shape, s, frame.blur_max, y);
    if (IsDebugView(s.debug_view)) {
        // The rectangle shows its own coverage as alpha; a matte keeps the layer's.
        const float alpha = frame.glass_mode == kGlassRoundedRect ? shape.coverage : src.alpha;
        return DebugViewPixel(s.debug_view, shape, terms, s.edge_range, alpha);
    }
    if (faint) {
        return src;
    }

    // Read towards the panel centre, red and blue pushed apart along the radius.
    const float rx = sx - terms.offset_x;
    const float ry = sy - terms.offset_y;
    const float red = frame.Refracted(rx - terms.split_x, ry - terms.split_y, terms, ColorChannel::kRed);
    const float green = frame.Refracted(rx, ry, terms, ColorChannel::kGreen);
    const float blue = frame.Refracted(terms.split_x + rx, terms.split_y + ry, terms, ColorChannel::kBlue);

    const float tint = s.tint_multiplier;
    return CompositeGlass<Policy>(shape, terms, s, frame.glass, src, tint * red, tint * green, tint * blue);
}

} // namespace prismora
