// What the two renderers do differently in the glass model. The formulas are
// written once (model/bilinear.h, shape_field.h, glass_terms.h, glass_pixel.h)
// over a policy; these two carry each renderer's own constants and rounding,
// which its output has always had. How each reads its images is the other half
// of the difference: the frame a renderer hands to ShadeGlass (model/glass_shader.h
// for the CPU, gpu/kernels/glass_kernel.h for the device).
#pragma once

#include <math.h>

#include "model/host_device.h"

namespace prismora {

// The CPU: the plain reading of every formula under -ffp-contract=off.
struct CpuGlassPolicy {
    // The narrowest rim or colour-split band, in pixels.
    static constexpr float kMinBandWidth = 0.75f;
    // A vector no longer than this normalises to (0, 0).
    static constexpr float kNormalizeFloor = 0.00001f;
    // Debug views are drawn only where amount and opacity leave the glass visible.
    static constexpr bool kDebugViewsFirst = false;
    // A NaN read position reads the default instead of reaching the taps.
    static constexpr bool kNanReadsOutside = true;
    // Every glass pixel works out its shape's normal.
    static constexpr bool kNormalWhenBorrowed = false;

    // (b - a) * t + a, rounded after each step.
    PRISMORA_HD static float Mix(float a, float b, float t) { return (b - a) * t + a; }

    // SmoothStep with equal edges is a step that includes the edge itself.
    PRISMORA_HD static bool EdgesMeet(float edge0, float edge1) { return edge0 == edge1; }
    PRISMORA_HD static float HardStep(float edge0, float /*edge1*/, float v)
    {
        return edge0 > v ? 0.0f : 1.0f;
    }

    // A NaN coverage counts as on the glass.
    PRISMORA_HD static bool Covers(float coverage) { return !(coverage <= 0.003f); }

    // The gradient's sum starts from +0, so a first term of -0 becomes +0; the
    // sum is multiplied by the reciprocal of the weights' sum.
    static constexpr float kGradientSeed = 0.0f;
    PRISMORA_HD static float ScaleGradient(float g, float weight_sum) { return g * (1.0f / weight_sum); }
};

// The CPU's fast frame: the same arithmetic for every value the pixel uses; the
// shape's normal (eight or twelve distance reads) only where the direction
// borrows it, at the panel centre.
struct CpuFastGlassPolicy : CpuGlassPolicy {
    static constexpr bool kNormalWhenBorrowed = true;
};

// The device: fused mixes, millionth thresholds, half-pixel band floors, and
// debug views before the amount and opacity exits.
struct GpuGlassPolicy {
    static constexpr float kMinBandWidth = 0.5f;
    static constexpr float kNormalizeFloor = 0.000001f;
    static constexpr bool kDebugViewsFirst = true;
    // A NaN position floors to index 0 and carries its NaN fraction into the mix.
    static constexpr bool kNanReadsOutside = false;
    static constexpr bool kNormalWhenBorrowed = false;

    PRISMORA_HD static float Mix(float a, float b, float t) { return fmaf(b - a, t, a); }

    // Edges within a millionth make a hard step at edge1.
    PRISMORA_HD static bool EdgesMeet(float edge0, float edge1) { return fabsf(edge1 - edge0) < 0.000001f; }
    PRISMORA_HD static float HardStep(float /*edge0*/, float edge1, float v)
    {
        return v >= edge1 ? 1.0f : 0.0f;
    }

    // A NaN coverage counts as off the glass.
    PRISMORA_HD static bool Covers(float coverage) { return coverage > 0.003f; }

    // The gradient's sum starts from its first term as it is (-0 added leaves
    // every value alone); the sum is divided by the weights' sum.
    static constexpr float kGradientSeed = -0.0f;
    PRISMORA_HD static float ScaleGradient(float g, float weight_sum) { return g / weight_sum; }
};

} // namespace prismora
