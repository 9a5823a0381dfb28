// The separable Gaussian blur of the CPU renderer and the kernel both renderers use.
#pragma once

#include <cstdint>
#include <vector>

#include "cpu/float_image.h"

namespace prismora {

// Kernel reach in standard deviations: 2.5 for quality 1, 3.5 for 3, else 3.
float BlurReachForQuality(int32_t quality);

// Normalised weights, odd length 2R + 1; the single weight 1.0 for strength <= 0.001.
std::vector<float> GaussianKernel(float strength, int32_t quality);

// Edge-rule read: clamped to the border, or transparent black outside.
FloatPixel FetchPixel(const FloatImage &image, A_long x, A_long y, bool clamp_edges);

// Horizontal then vertical pass; a copy of the source when it is unusable or
// the strength is 0.001 or less.
FloatImage GaussianBlur(const FloatImage &source, float strength, int32_t quality, bool clamp_edges);

} // namespace prismora
