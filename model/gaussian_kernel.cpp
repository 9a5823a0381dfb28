#include "model/gaussian_kernel.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "model/popup_values.h"

namespace prismora {

bool IsNegligibleBlur(float strength)
{
    return !(strength > 0.001f);
}

float BlurReachForQuality(int32_t quality)
{
    if (quality == kQualityLow) {
        return 2.5f;
    }
    if (quality == kQualityHigh) {
        return 3.5f;
    }
    return 3.0f;
}

std::vector<float> GaussianKernel(float strength, int32_t quality)
{
    if (IsNegligibleBlur(strength)) {
        return {1.0f};
    }
    const float scaled = BlurSigma(strength);
    const float sigma = scaled > 0.35f ? scaled : 0.35f;
    const float reach = ceilf(BlurReach(sigma, quality));
    // A reach beyond 32 bits cannot be converted, let alone allocated.
    if (!(reach < 2147483648.0f)) {
        throw std::length_error("vector too long");
    }
    const int64_t radius = reach > 1.0f ? static_cast<int64_t>(reach) : 1;

    std::vector<float> weights(static_cast<std::size_t>(2 * radius + 1));
    const double s = static_cast<double>(sigma);
    const double c = 1.0 / ((s + s) * s);
    double sum = 0.0;
    for (int64_t i = -radius; i <= radius; ++i) {
        const double e = std::exp(-(static_cast<double>(i) * static_cast<double>(i)) * c);
        weights[static_cast<std::size_t>(i + radius)] = static_cast<float>(e);
        sum += e;
    }
    if (sum > 0.0) {
        for (float &w : weights) {
            w = static_cast<float>(static_cast<double>(w) / sum);
        }
    }
    return weights;
}

} // namespace prismora
