// The distance steps of the matte field on its cell grid, kept apart from the
// world sampling so that they can be checked on a mask directly.
#pragma once

#include <cstdint>
#include <vector>

#include "AE_Effect.h"

namespace prismora {

// Chamfer distance (orthogonal step 1, diagonal 1.4142135) from each inside cell
// (mask 1) to the shape's boundary, whose cells are 0; -1 at outside cells.
// mask holds width * height cells, row-major.
std::vector<float> ChamferDistance(const std::vector<uint8_t> &mask, A_long width, A_long height);

// Each inside cell becomes the weighted mean of itself (weight 2) and its inside
// neighbours among the eight (weight 1); outside cells keep their value.
std::vector<float> SmoothDistance(const std::vector<uint8_t> &mask, const std::vector<float> &distance,
                                  A_long width, A_long height);

} // namespace prismora
