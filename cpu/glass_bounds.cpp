#include "cpu/glass_bounds.h"

#include <cmath>

namespace prismora {
namespace {

// Well inside float's exact integers, so a few roundings stay far below a pixel.
constexpr double kExactLimit = 4194304.0; // 2^22
// Beyond the rounding of the shape test (a small fraction of a pixel here).
constexpr double kSlack = 3.0;

bool Small(double v)
{
    return std::fabs(v) < kExactLimit; // false for NaN and the infinities
}

// [lo, hi] widened to whole pixels, as a half-open range.
void Span(double lo, double hi, A_long &begin, A_long &end)
{
    begin = static_cast<A_long>(std::floor(lo - kSlack));
    end = static_cast<A_long>(std::ceil(hi + kSlack)) + 1;
}

} // namespace

bool HasExactFloatCoordinates(const PF_LRect &rect)
{
    return Small(rect.left) && Small(rect.top) && Small(rect.right) && Small(rect.bottom);
}

GlassBounds FindGlassBounds(const EffectSettings &settings, const MatteField *matte)
{
    GlassBounds bounds;
    bounds.bounded = true;
    const bool full_frame = settings.glass_mode == kGlassFullFrame;
    const bool has_matte = matte != nullptr && matte->valid;
    // Without a shape, or with the glass faded out, the source passes everywhere.
    if ((full_frame && !has_matte) || (!full_frame && settings.glass_mode != kGlassRoundedRect) ||
        0.0001f >= settings.amount || 0.0001f >= settings.opacity) {
        return bounds;
    }

    double center_x = 0.0;
    double center_y = 0.0;
    double panel_width = 0.0; // signed: a negative width turns the refraction outwards
    double panel_height = 0.0;
    if (full_frame) {
        const double left = matte->grid_x;
        const double top = matte->grid_y;
        const double right = left + matte->grid_width;
        const double bottom = top + matte->grid_height;
        if (!Small(left) || !Small(top) || !Small(right) || !Small(bottom)) {
            bounds.bounded = false;
            return bounds;
        }
        // The matte field reads 0 beyond its grid, and its taps reach one cell.
        Span(left - 1.0, right, bounds.shaded.left, bounds.shaded.right);
        Span(top - 1.0, bottom, bounds.shaded.top, bounds.shaded.bottom);
        center_x = matte->center_x;
        center_y = matte->center_y;
        panel_width = matte->width;
        panel_height = matte->height;
    } else {
        center_x = settings.center_x;
        center_y = settings.center_y;
        panel_width = settings.glass_width;
        panel_height = settings.glass_height;
        const double half_w = std::fmax(std::fabs(panel_width) * 0.5, 1.0);
        const double half_h = std::fmax(std::fabs(panel_height) * 0.5, 1.0);
        if (!Small(center_x) || !Small(center_y) || !Small(half_w) || !Small(half_h) ||
            !std::isfinite(settings.corner_radius)) {
            bounds.bounded = false; // a NaN shape covers every pixel
            return bounds;
        }
        // Coverage needs a distance below 1 from the rounded box, which lies
        // inside the plain box.
        Span(center_x - half_w - 1.0, center_x + half_w + 1.0, bounds.shaded.left, bounds.shaded.right);
        Span(center_y - half_h - 1.0, center_y + half_h + 1.0, bounds.shaded.top, bounds.shaded.bottom);
    }

    // A read moves from the pixel by the refraction, lens * panel size / 2 *
    // direction * strength (lens and |direction| at most 1, the direction
    // pointing from the centre to the pixel), then by the colour split. With
    // a positive size the refraction pulls towards the centre: a pixel at
    // distance d lands within max(d, lens * size / 2 * strength) of it.
    const double strength = std::fmax(static_cast<double>(settings.distortion_scale), 0.0) * settings.amount;
    const double split = std::fabs(static_cast<double>(settings.chromatic_shift) * settings.amount) * 1.01;
    const auto reach = [&](double size, double begin, double end, double center) {
        const double spread = std::fmax(std::fabs(begin - center), std::fabs(end - center));
        const double pull = std::fabs(size) * 0.5 * strength * 1.01;
        const double moved = size >= 0.0 ? std::fmax(spread, pull) : spread + pull;
        return moved + split + kSlack + 1.0e-5 * (std::fabs(center) + moved + split);
    };
    const double reach_x = reach(panel_width, bounds.shaded.left, bounds.shaded.right, center_x);
    const double reach_y = reach(panel_height, bounds.shaded.top, bounds.shaded.bottom, center_y);
    if (std::isfinite(reach_x) && std::isfinite(reach_y)) {
        bounds.read_left = center_x - reach_x;
        bounds.read_right = center_x + reach_x;
        bounds.read_top = center_y - reach_y;
        bounds.read_bottom = center_y + reach_y;
    } else {
        bounds.read_left = bounds.read_top = -INFINITY;
        bounds.read_right = bounds.read_bottom = INFINITY;
    }
    return bounds;
}

} // namespace prismora
