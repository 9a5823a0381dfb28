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
    const bool full_frame = settings.glass_mode == 2;
    const bool has_matte = matte != nullptr && matte->valid;
    // Without a shape, or with the glass faded out, the source passes everywhere.
    if ((full_frame && !has_matte) || (!full_frame && settings.glass_mode != 1) ||
        0.0001f >= settings.amount || 0.0001f >= settings.opacity) {
        return bounds;
    }

    double panel_width = 0.0;
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
        panel_width = matte->width;
        panel_height = matte->height;
    } else {
        const double cx = settings.center_x;
        const double cy = settings.center_y;
        panel_width = std::fabs(static_cast<double>(settings.glass_width));
        panel_height = std::fabs(static_cast<double>(settings.glass_height));
        const double half_w = std::fmax(panel_width * 0.5, 1.0);
        const double half_h = std::fmax(panel_height * 0.5, 1.0);
        if (!Small(cx) || !Small(cy) || !Small(half_w) || !Small(half_h) ||
            !std::isfinite(settings.corner_radius)) {
            bounds.bounded = false; // a NaN shape covers every pixel
            return bounds;
        }
        // Coverage needs a distance below 1 from the rounded box, which lies
        // inside the plain box.
        Span(cx - half_w - 1.0, cx + half_w + 1.0, bounds.shaded.left, bounds.shaded.right);
        Span(cy - half_h - 1.0, cy + half_h + 1.0, bounds.shaded.top, bounds.shaded.bottom);
    }

    // The refraction moves a read by at most half the panel times the strength
    // (lens and direction are at most 1), the colour split by the shift.
    const double strength =
        std::fabs(std::fmax(static_cast<double>(settings.distortion_scale), 0.0) * settings.amount);
    const double offset = std::fmax(panel_width, panel_height) * 0.5 * strength;
    const double split = std::fabs(static_cast<double>(settings.chromatic_shift) * settings.amount);
    const double reach = (offset + split) * 1.01 + kSlack + 1.0;
    bounds.read_reach = std::isfinite(reach) ? reach : INFINITY;
    return bounds;
}

} // namespace prismora
