// The blur's inner loop: weighted sums of rows, in double, each lane adding
// its taps in order from +0 exactly as the plain blur does, on as wide a
// vector unit as the processor offers. Vector lanes round like scalar code
// (nothing is fused), so the width never changes a bit.
#pragma once

#include <cstddef>

namespace prismora {

// out[i] = float(((0 + rows[0][i] * w[0]) + rows[1][i] * w[1]) + ...) for
// i in [0, n).
void SumTaps(const float *const *rows, const double *weights, std::size_t taps, float *out, std::size_t n);

} // namespace prismora
