// Output pixels off the glass: what the shader gives there (the source read at
// the same layer position and stored at the output's depth), without the shader.
#pragma once

#include "AE_Effect.h"

namespace prismora {

// Output columns [begin, end) of output row r. The input has pixels, and the
// layer coordinates involved convert to float exactly. 8-bit pixels are copied
// and 16-bit ones copied with the store's cut at white; float pixels go through
// the same bilinear arithmetic and clamp as the shader, which turns -0 alpha,
// infinities and NaN next to them into other bits.
template <typename Pixel>
void PassThroughSpan(const PF_EffectWorld &input, PF_EffectWorld &output, bool clamp_edges, A_long r,
                     A_long begin, A_long end);

} // namespace prismora
