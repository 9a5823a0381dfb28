// One output pixel of a Gaussian blur pass over BGRA128 frames. The four
// channels are blurred alike, so their order does not matter here.
#pragma once

#include "gpu/kernels/kernel_support.h"

namespace prismora::kernels {

// Horizontal when horizontal is true, else vertical. Sums run in double with a
// fused multiply-add per tap; outside pixels are transparent black unless
// clamp_edges is non-zero, which replicates the border.
PRISMORA_HD inline void BlurPassPixel(bool horizontal, const float *src, float *dst, int src_pitch,
                                      int dst_pitch, int width, int height, const float *weights,
                                      int weight_count, int clamp_edges, int x, int y)
{
    if (x >= width || y >= height) {
        return;
    }
    float *out = dst + PixelIndex(x, y, dst_pitch);
    const int radius = weight_count / 2;
    if (radius < 0) {
        out[0] = out[1] = out[2] = out[3] = 0.0f;
        return;
    }
    double sum[4] = {0.0, 0.0, 0.0, 0.0};
    for (int k = -radius; k <= radius; ++k) {
        // An even count has no weight for its last offset: never read past the table.
        if (k + radius >= weight_count) {
            break;
        }
        int column = horizontal ? x + k : x;
        int row = horizontal ? y : y + k;
        bool present = true;
        if (clamp_edges != 0) {
            column = ClampI(column, 0, width - 1);
            row = ClampI(row, 0, height - 1);
        } else if (horizontal) {
            present = !(column < 0 || y < 0 || column >= width);
        } else {
            present = !(row < 0 || x < 0 || row >= height);
        }
        const double w = static_cast<double>(weights[k + radius]);
        const float *p = present ? src + PixelIndex(column, row, src_pitch) : nullptr;
        for (int c = 0; c < 4; ++c) {
            const double v = p != nullptr ? static_cast<double>(p[c]) : 0.0;
            sum[c] = fma(w, v, sum[c]);
        }
    }
    for (int c = 0; c < 4; ++c) {
        out[c] = static_cast<float>(sum[c]);
    }
}

} // namespace prismora::kernels
