// The Gaussian blur kernel both renderers use: its reach and its weights.
#pragma once

#include <cstdint>
#include <vector>

namespace prismora {

// Every strength that is not above 0.001 (a NaN included) means no blur.
bool IsNegligibleBlur(float strength);

// Kernel reach in standard deviations: 2.5 for Low, 3.5 for High, else 3.
float BlurReachForQuality(int32_t quality);

// The standard deviation, in pixels, of the blur of a strength (BlurStrength).
inline float BlurSigma(float strength)
{
    return strength * 0.42f;
}

// How far, in pixels, a blur of this standard deviation reads at a quality.
inline float BlurReach(float sigma, int32_t quality)
{
    return sigma * BlurReachForQuality(quality);
}

// Normalised weights, odd length 2R + 1; the single weight 1.0 for strength <= 0.001.
std::vector<float> GaussianKernel(float strength, int32_t quality);

} // namespace prismora
