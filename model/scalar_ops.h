// Scalar helpers of the glass model. Written as plain comparisons (upper bound
// tested first in the clamp) so every caller rounds and breaks ties, signed
// zeros included, the same way.
#pragma once

namespace prismora {

inline float ClampF(float v, float lo, float hi)
{
    if (v > hi) {
        return hi;
    }
    if (lo > v) {
        return lo;
    }
    return v;
}

inline float MaxF(float a, float b)
{
    return a > b ? a : b;
}
inline float MinF(float a, float b)
{
    return a < b ? a : b;
}

} // namespace prismora
