#include "model/matte_field.h"

#include <cmath>
#include <cstddef>

namespace prismora {

float MatteField::Sample(const std::vector<float> &plane, float x, float y, float default_value) const
{
    const A_long ix = static_cast<A_long>(floorf(x));
    const A_long iy = static_cast<A_long>(floorf(y));
    const float fx = x - static_cast<float>(ix);
    const float fy = y - static_cast<float>(iy);

    // A plane that does not cover the grid is treated like an empty one, so a
    // malformed field can never be read out of bounds.
    const bool readable = valid && grid_width > 0 && grid_height > 0 &&
                          plane.size() >= static_cast<size_t>(grid_width) * static_cast<size_t>(grid_height);
    // A sample straddling the grid's border mixes real values with the default.
    const auto tap = [&](A_long c, A_long r) {
        if (!readable || c < grid_x || c - grid_x >= grid_width || r < grid_y || r - grid_y >= grid_height) {
            return default_value;
        }
        return plane[static_cast<size_t>(r - grid_y) * static_cast<size_t>(grid_width) +
                     static_cast<size_t>(c - grid_x)];
    };
    const float s00 = tap(ix, iy);
    const float s10 = tap(ix + 1, iy);
    const float s01 = tap(ix, iy + 1);
    const float s11 = tap(ix + 1, iy + 1);
    const float top_mix = (s10 - s00) * fx + s00;
    const float bottom_mix = (s11 - s01) * fx + s01;
    return (bottom_mix - top_mix) * fy + top_mix;
}

} // namespace prismora
