// Scalar helpers of the glass model, for both renderers. Written as plain
// comparisons (upper bound tested first in the clamp) so every caller rounds
// and breaks ties, signed zeros and NaN included, the same way.
#pragma once

#include <math.h>

#include "model/host_device.h"

namespace prismora {

PRISMORA_HD inline float ClampF(float v, float lo, float hi)
{
    return v > hi ? hi : (lo > v ? lo : v);
}

PRISMORA_HD inline float MaxF(float a, float b)
{
    return a > b ? a : b;
}

PRISMORA_HD inline float MinF(float a, float b)
{
    return a < b ? a : b;
}

PRISMORA_HD inline float Length2(float x, float y)
{
    return sqrtf(x * x + y * y);
}

// floor to int; NaN gives 0 (the device's conversion of NaN), so no caller
// ever indexes with an undefined value.
PRISMORA_HD inline int FloorToInt(float v)
{
    return v != v ? 0 : static_cast<int>(floorf(v));
}

} // namespace prismora
