// The alpha matte layer prepared for shading: its visible bounds and a smoothed
// chamfer distance inside the shape on a grid around them. Built by the CPU
// renderer (cpu/matte_field_builder.h), read by the glass model's MatteShape.
#pragma once

#include <vector>

#include "AE_Effect.h"

namespace prismora {

struct MatteField {
    bool valid = false;
    float center_x = 0.0f;
    float center_y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
    float left = 0.0f;
    float top = 0.0f;
    float right = 0.0f;
    float bottom = 0.0f;
    A_long grid_x = 0; // layer position of cell (0, 0)
    A_long grid_y = 0;
    A_long grid_width = 0;
    A_long grid_height = 0;
    std::vector<float> distance; // row-major on the grid, -1 outside the shape
    std::vector<float> alpha;    // row-major on the grid, 0 to 1

    // Bilinear reads at layer position (x, y), each tap tested on its own: a
    // tap off the grid, or on a plane that does not cover it, gives the default
    // (0 for the coverage).
    float Coverage(float x, float y) const { return Sample(alpha, x, y, 0.0f); }
    float Distance(float x, float y, float default_value) const
    {
        return Sample(distance, x, y, default_value);
    }
    float Sample(const std::vector<float> &plane, float x, float y, float default_value) const;
};

} // namespace prismora
