#include "model/shape_field.h"

#include <cmath>
#include <cstddef>

#include "model/scalar_ops.h"

namespace prismora {

namespace {

float Length2(float x, float y)
{
    return sqrtf(x * x + y * y);
}

// The panel's centre and size, and the pixel (x, y) relative to that centre.
void PlacePanel(ShapeSample &sample, float center_x, float center_y, float width, float height, float x,
                float y)
{
    sample.panel_center_x = center_x;
    sample.panel_center_y = center_y;
    sample.panel_width = width;
    sample.panel_height = height;
    sample.local_x = x - center_x;
    sample.local_y = y - center_y;
}

// Central differences of f(u, v) around (x, y) at each step size h, weighted by
// 1 / h, then divided by the sum of the weights (its reciprocal formed once).
template <typename Field, std::size_t N>
Vec2 WeightedGradient(const Field &f, float x, float y, const float (&steps)[N])
{
    float gx = 0.0f;
    float gy = 0.0f;
    float wsum = 0.0f;
    for (const float h : steps) {
        const float w = 1.0f / h;
        const float k = 1.0f / (h + h);
        gx = (f(x + h, y) - f(x - h, y)) * k * w + gx;
        gy = (f(x, y + h) - f(x, y - h)) * k * w + gy;
        wsum = wsum + w;
    }
    if (wsum > 0.0f) {
        const float inv = 1.0f / wsum;
        gx = gx * inv;
        gy = gy * inv;
    }
    return {gx, gy};
}

} // namespace

float SmoothStep(float edge0, float edge1, float v)
{
    // A zero-width ramp is a step; dividing by zero would give NaN.
    if (edge0 == edge1) {
        return edge0 > v ? 0.0f : 1.0f;
    }
    const float t = ClampF((v - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return (3.0f - (t + t)) * (t * t);
}

Vec2 Normalize2(float x, float y)
{
    const float length = Length2(x, y);
    if (length <= 0.00001f) {
        return {};
    }
    return {x / length, y / length};
}

float RoundedBoxDistance(float px, float py, float half_w, float half_h, float radius)
{
    const float r = ClampF(radius, 0.0f, MinF(half_w, half_h));
    const float qx = std::fabs(px) - half_w + r;
    const float qy = std::fabs(py) - half_h + r;
    const float ox = MaxF(qx, 0.0f);
    const float oy = MaxF(qy, 0.0f);
    return sqrtf(ox * ox + oy * oy) + MinF(MaxF(qx, qy), 0.0f) - r;
}

float BandWidth(float range, float min_side)
{
    return 0.0f >= range ? 0.0f : MaxF(range * min_side, 0.75f);
}

ShapeSample ComputeRectShape(const EffectSettings &settings, float x, float y)
{
    ShapeSample sample;
    if (settings.glass_mode != 1) {
        return sample;
    }
    PlacePanel(sample, settings.center_x, settings.center_y, settings.glass_width, settings.glass_height, x,
               y);

    // Never thinner than two pixels, whatever the width and height say.
    const float half_w = MaxF(settings.glass_width * 0.5f, 1.0f);
    const float half_h = MaxF(settings.glass_height * 0.5f, 1.0f);
    const float radius = settings.corner_radius;
    const float lx = sample.local_x;
    const float ly = sample.local_y;
    const auto distance = [&](float px, float py) {
        return RoundedBoxDistance(px, py, half_w, half_h, radius);
    };

    const float d = distance(lx, ly);
    sample.coverage = 1.0f - SmoothStep(0.0f, 1.0f, d);
    if (sample.coverage <= 0.003f) {
        return sample;
    }
    sample.depth = MaxF(-d, 0.0f);
    sample.inside = true;

    // Two step sizes smooth the kink of the distance function at the corners'
    // tangent points; the wider step counts half.
    static constexpr float kSteps[] = {1.0f, 2.0f};
    const Vec2 gradient = WeightedGradient(distance, lx, ly, kSteps);
    const Vec2 normal = Normalize2(gradient.x, gradient.y);
    sample.normal_x = normal.x;
    sample.normal_y = normal.y;
    FinishShape(sample, settings);
    return sample;
}

ShapeSample ComputeMatteShape(const MatteField &matte, const EffectSettings &settings, float x, float y)
{
    ShapeSample sample;
    sample.coverage = ClampF(SampleMatteField(matte, matte.alpha, x, y, 0.0f), 0.0f, 1.0f);
    if (sample.coverage <= 0.003f) {
        return sample;
    }
    sample.inside = true;
    PlacePanel(sample, matte.center_x, matte.center_y, matte.width, matte.height, x, y);
    sample.depth = MaxF(SampleMatteField(matte, matte.distance, x, y, -1.0f), 0.0f);

    // The chamfer distance is blocky; wide steps average the gradient over a
    // few cells.
    const auto field = [&](float u, float v) {
        return MaxF(SampleMatteField(matte, matte.distance, u, v, 0.0f), 0.0f);
    };
    static constexpr float kSteps[] = {1.5f, 3.0f, 5.0f};
    const Vec2 gradient = WeightedGradient(field, x, y, kSteps);
    Vec2 n = Normalize2(gradient.x, gradient.y);
    if (Length2(n.x, n.y) <= 0.00001f) {
        // A flat spot has no gradient: lean towards the matte's centre instead.
        n = Normalize2(matte.center_x - x, matte.center_y - y);
    }
    // The distance grows inwards, so the outward normal is the negated gradient.
    sample.normal_x = n.x * -1.0f;
    sample.normal_y = n.y * -1.0f;
    FinishShape(sample, settings);
    return sample;
}

float SampleMatteField(const MatteField &matte, const std::vector<float> &plane, float x, float y,
                       float default_value)
{
    const A_long ix = static_cast<A_long>(floorf(x));
    const A_long iy = static_cast<A_long>(floorf(y));
    const float fx = x - static_cast<float>(ix);
    const float fy = y - static_cast<float>(iy);

    // A plane that does not cover the grid is treated like an empty one, so a
    // malformed field can never be read out of bounds.
    const bool readable =
        matte.valid && matte.grid_width > 0 && matte.grid_height > 0 &&
        plane.size() >= static_cast<size_t>(matte.grid_width) * static_cast<size_t>(matte.grid_height);
    // Each tap is tested on its own: a sample straddling the grid's border
    // mixes real values with the default.
    const auto tap = [&](A_long c, A_long r) {
        if (!readable || c < matte.grid_x || c - matte.grid_x >= matte.grid_width || r < matte.grid_y ||
            r - matte.grid_y >= matte.grid_height) {
            return default_value;
        }
        return plane[static_cast<size_t>(r - matte.grid_y) * static_cast<size_t>(matte.grid_width) +
                     static_cast<size_t>(c - matte.grid_x)];
    };
    const float s00 = tap(ix, iy);
    const float s10 = tap(ix + 1, iy);
    const float s01 = tap(ix, iy + 1);
    const float s11 = tap(ix + 1, iy + 1);
    const float top = (s10 - s00) * fx + s00;
    const float bottom = (s11 - s01) * fx + s01;
    return (bottom - top) * fy + top;
}

void FinishShape(ShapeSample &sample, const EffectSettings &settings)
{
    sample.min_side = MaxF(MinF(sample.panel_width, sample.panel_height), 1.0f);
    sample.depth = MaxF(sample.depth, 0.0f);
    sample.depth_norm = sample.depth / sample.min_side;

    // Without a rim width the equal-edges step gives 1 for every depth, so the
    // edge factor is 0 across the whole panel.
    const float rim_width = BandWidth(settings.edge_range, sample.min_side);
    sample.edge_factor = 1.0f - SmoothStep(0.0f, rim_width, sample.depth);

    const Vec2 dir = Normalize2(sample.local_x, sample.local_y);
    sample.dir_x = dir.x;
    sample.dir_y = dir.y;
    if (Length2(sample.dir_x, sample.dir_y) <= 0.00001f) {
        // At the panel centre the direction is undefined: borrow the normal.
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

} // namespace prismora
