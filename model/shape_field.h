// Where a pixel lies relative to the glass panel, for the rounded rectangle and
// for the matte shape, and the numeric primitives of the glass model; one
// definition for both renderers over their policy (model/glass_policy.h).
#pragma once

#include <math.h>

#include "model/glass_policy.h"
#include "model/host_device.h"
#include "model/scalar_ops.h"

namespace prismora {

struct ShapeSample {
    bool inside = false;
    float coverage = 0.0f;
    float depth_norm = 0.0f;
    float edge_factor = 0.0f;
    float depth = 0.0f;
    float min_side = 1.0f;
    float dir_x = 0.0f;
    float dir_y = 0.0f;
    float normal_x = 0.0f;
    float normal_y = 0.0f;
    float local_x = 0.0f;
    float local_y = 0.0f;
    float panel_width = 0.0f;
    float panel_height = 0.0f;
    float panel_center_x = 0.0f;
    float panel_center_y = 0.0f;
};

struct Vec2 {
    float x = 0.0f;
    float y = 0.0f;
};

template <typename Policy> PRISMORA_HD inline float SmoothStep(float edge0, float edge1, float v)
{
    // A zero-width ramp is a step; dividing by zero would give NaN.
    if (Policy::EdgesMeet(edge0, edge1)) {
        return Policy::HardStep(edge0, edge1, v);
    }
    const float t = ClampF((v - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return (3.0f - (t + t)) * (t * t);
}

template <typename Policy> PRISMORA_HD inline Vec2 Normalize2(float x, float y)
{
    const float length = Length2(x, y);
    if (length <= Policy::kNormalizeFloor) {
        return {0.0f, 0.0f};
    }
    return {x / length, y / length};
}

PRISMORA_HD inline float RoundedBoxDistance(float px, float py, float half_w, float half_h, float radius)
{
    const float r = ClampF(radius, 0.0f, MinF(half_w, half_h));
    const float qx = fabsf(px) - half_w + r;
    const float qy = fabsf(py) - half_h + r;
    const float ox = MaxF(qx, 0.0f);
    const float oy = MaxF(qy, 0.0f);
    return sqrtf(ox * ox + oy * oy) + MinF(MaxF(qx, qy), 0.0f) - r;
}

// A band proportional to the panel's smaller side, never under the policy's
// floor; none at all for a range of 0 (the rim and the colour split use it).
template <typename Policy> PRISMORA_HD inline float BandWidth(float range, float min_side)
{
    return 0.0f >= range ? 0.0f : MaxF(range * min_side, Policy::kMinBandWidth);
}

// One step size h of a central difference, with its 1 / (2h) and its weight 1 / h.
struct GradientStep {
    float h;
    float half_inverse;
    float weight;
};

PRISMORA_HD constexpr GradientStep StepOf(float h)
{
    return {h, 1.0f / (h + h), 1.0f / h};
}

// Central differences of f(u, v) around (x, y) at each step, weighted, summed
// in step order and scaled by the sum of the weights. The steps are constants,
// so the device folds every factor.
template <typename Policy, typename Field, int N>
PRISMORA_HD inline Vec2 WeightedGradient(const Field &f, float x, float y, const GradientStep (&steps)[N])
{
    float gx = Policy::kGradientSeed;
    float gy = Policy::kGradientSeed;
    float weight_sum = 0.0f;
    for (int i = 0; i < N; ++i) {
        const GradientStep &s = steps[i];
        gx = (f(x + s.h, y) - f(x - s.h, y)) * s.half_inverse * s.weight + gx;
        gy = (f(x, y + s.h) - f(x, y - s.h)) * s.half_inverse * s.weight + gy;
        weight_sum = weight_sum + s.weight;
    }
    return {Policy::ScaleGradient(gx, weight_sum), Policy::ScaleGradient(gy, weight_sum)};
}

// The panel's centre and size, and the pixel (x, y) relative to that centre.
PRISMORA_HD inline void PlacePanel(ShapeSample &sample, float center_x, float center_y, float width,
                                   float height, float x, float y)
{
    sample.panel_center_x = center_x;
    sample.panel_center_y = center_y;
    sample.panel_width = width;
    sample.panel_height = height;
    sample.local_x = x - center_x;
    sample.local_y = y - center_y;
}

// The common last step of both shapes: depth, rim, direction and normal.
// normal() gives the shape's normal; the direction borrows it at the panel
// centre, and nothing else reads it, so a policy with kNormalWhenBorrowed asks
// for it only there.
template <typename Policy, typename Normal>
PRISMORA_HD inline void FinishShape(ShapeSample &sample, float edge_range, const Normal &normal)
{
    const auto take_normal = [&] {
        const Vec2 n = normal();
        sample.normal_x = n.x;
        sample.normal_y = n.y;
    };
    if constexpr (!Policy::kNormalWhenBorrowed) {
        take_normal();
    }
    sample.min_side = MaxF(MinF(sample.panel_width, sample.panel_height), 1.0f);
    sample.depth = MaxF(sample.depth, 0.0f);
    sample.depth_norm = sample.depth / sample.min_side;

    // Without a rim width the edges meet, so the edge factor is 0 across the panel.
    const float rim_width = BandWidth<Policy>(edge_range, sample.min_side);
    sample.edge_factor = 1.0f - SmoothStep<Policy>(0.0f, rim_width, sample.depth);

    const Vec2 dir = Normalize2<Policy>(sample.local_x, sample.local_y);
    sample.dir_x = dir.x;
    sample.dir_y = dir.y;
    if (Length2(sample.dir_x, sample.dir_y) <= 0.00001f) {
        // At the panel centre the direction is undefined: borrow the normal.
        if constexpr (Policy::kNormalWhenBorrowed) {
            take_normal();
        }
        if (Length2(sample.normal_x, sample.normal_y) > 0.00001f) {
            sample.dir_x = sample.normal_x;
            sample.dir_y = sample.normal_y;
        } else {
            sample.dir_x = 1.0f;
            sample.dir_y = 0.0f;
        }
    }
    if (Length2(sample.normal_x, sample.normal_y) <= 0.00001f) {
        sample.normal_x = sample.dir_x;
        sample.normal_y = sample.dir_y;
    }
}

// The same with the normal already in the sample.
template <typename Policy> PRISMORA_HD inline void FinishShape(ShapeSample &sample, float edge_range)
{
    const Vec2 normal{sample.normal_x, sample.normal_y};
    FinishShape<Policy>(sample, edge_range, [&] { return normal; });
}

// The rounded rectangle of the settings (center_x, center_y, glass_width,
// glass_height, corner_radius, edge_range) at layer position (x, y).
template <typename Policy, typename Settings>
PRISMORA_HD inline ShapeSample RectShape(const Settings &s, float x, float y)
{
    ShapeSample sample;
    PlacePanel(sample, s.center_x, s.center_y, s.glass_width, s.glass_height, x, y);

    // Never thinner than two pixels, whatever the width and height say.
    const float half_w = MaxF(s.glass_width * 0.5f, 1.0f);
    const float half_h = MaxF(s.glass_height * 0.5f, 1.0f);
    const float radius = s.corner_radius;
    const float lx = sample.local_x;
    const float ly = sample.local_y;
    const auto distance = [&](float px, float py) {
        return RoundedBoxDistance(px, py, half_w, half_h, radius);
    };

    const float d = distance(lx, ly);
    sample.coverage = 1.0f - SmoothStep<Policy>(0.0f, 1.0f, d);
    if (!Policy::Covers(sample.coverage)) {
        return sample;
    }
    sample.depth = MaxF(-d, 0.0f);
    sample.inside = true;

    FinishShape<Policy>(sample, s.edge_range, [&] {
        // Two step sizes smooth the kink of the distance function at the
        // corners' tangent points; the wider step counts half.
        const GradientStep steps[] = {StepOf(1.0f), StepOf(2.0f)};
        const Vec2 gradient = WeightedGradient<Policy>(distance, lx, ly, steps);
        return Normalize2<Policy>(gradient.x, gradient.y);
    });
    return sample;
}

// The shape of a matte at layer position (x, y). The renderer's matte gives
// Coverage(x, y) (its alpha), Distance(x, y, fallback) (the smoothed distance
// inside the shape) and the panel it spans: center_x, center_y, width, height.
template <typename Policy, typename Matte>
PRISMORA_HD inline ShapeSample MatteShape(const Matte &matte, float edge_range, float x, float y)
{
    ShapeSample sample;
    sample.coverage = ClampF(matte.Coverage(x, y), 0.0f, 1.0f);
    if (!Policy::Covers(sample.coverage)) {
        return sample;
    }
    sample.inside = true;
    PlacePanel(sample, matte.center_x, matte.center_y, matte.width, matte.height, x, y);
    sample.depth = MaxF(matte.Distance(x, y, -1.0f), 0.0f);

    FinishShape<Policy>(sample, edge_range, [&] {
        // The chamfer distance is blocky; wide steps average the gradient over
        // a few cells.
        const auto field = [&](float u, float v) { return MaxF(matte.Distance(u, v, 0.0f), 0.0f); };
        const GradientStep steps[] = {StepOf(1.5f), StepOf(3.0f), StepOf(5.0f)};
        const Vec2 gradient = WeightedGradient<Policy>(field, x, y, steps);
        Vec2 n = Normalize2<Policy>(gradient.x, gradient.y);
        if (Length2(n.x, n.y) <= 0.00001f) {
            // A flat spot has no gradient: lean towards the matte's centre instead.
            n = Normalize2<Policy>(matte.center_x - x, matte.center_y - y);
        }
        // The distance grows inwards, so the outward normal is the negated gradient.
        return Vec2{n.x * -1.0f, n.y * -1.0f};
    });
    return sample;
}

} // namespace prismora
