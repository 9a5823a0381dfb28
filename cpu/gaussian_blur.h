// The separable Gaussian blur of the CPU renderer.
#pragma once

#include <cstdint>

#include "model/float_image.h"
#include "model/gaussian_kernel.h"

namespace prismora {

// Edge-rule read: clamped to the border, or transparent black outside.
FloatPixel FetchPixel(const FloatImage &image, A_long x, A_long y, bool clamp_edges);

// Horizontal then vertical pass; a copy of the source when it is unusable or
// the strength is 0.001 or less.
FloatImage GaussianBlur(const FloatImage &source, float strength, int32_t quality, bool clamp_edges);

} // namespace prismora
