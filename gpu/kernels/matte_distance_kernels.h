// The matte distance plane over the whole matte frame: seed, chamfer transform
// and smoothing. Planes are width x height, row-major, pitch = width. The CPU
// builds the same values on a cut-out grid; only the grid differs.
#pragma once

#include "gpu/kernels/kernel_support.h"

namespace prismora::kernels {

constexpr float kUnreachedDistance = 100000000.0f;
constexpr float kOutsideDistance = -1.0f;
constexpr float kOrthogonalStep = 1.0f;
constexpr float kDiagonalStep = 1.4142135f;

// Inside (alpha >= 0.5; NaN is outside, as in the mask) and still unreached
// unless the cell lies on the frame border or next to an outside cell.
PRISMORA_HD inline void InitMatteDistanceCell(const float *matte, unsigned char *mask, float *dist,
                                              int matte_pitch, int width, int height, int x, int y)
{
    if (x >= width || y >= height) {
        return;
    }
    const int64_t i = static_cast<int64_t>(y) * width + x;
    const float a = matte[PixelIndex(x, y, matte_pitch) + kAlpha];
    const bool inside = a >= 0.5f;
    mask[i] = inside ? 1 : 0;
    if (!inside) {
        dist[i] = kOutsideDistance;
        return;
    }
    if (x == 0 || y == 0 || x == width - 1 || y == height - 1) {
        dist[i] = 0.0f;
        return;
    }
    const bool next_to_outside = !(matte[PixelIndex(x - 1, y, matte_pitch) + kAlpha] >= 0.5f) ||
                                 !(matte[PixelIndex(x + 1, y, matte_pitch) + kAlpha] >= 0.5f) ||
                                 !(matte[PixelIndex(x, y - 1, matte_pitch) + kAlpha] >= 0.5f) ||
                                 !(matte[PixelIndex(x, y + 1, matte_pitch) + kAlpha] >= 0.5f);
    dist[i] = next_to_outside ? 0.0f : kUnreachedDistance;
}

namespace detail {
// dist(cell) = min(dist(cell), dist(neighbour) + step) when the neighbour is inside.
PRISMORA_HD inline void RelaxFrom(const unsigned char *mask, float *dist, int64_t cell, int64_t neighbour,
                                  float step)
{
    if (mask[neighbour] != 0) {
        dist[cell] = MinF(dist[cell], dist[neighbour] + step);
    }
}
} // namespace detail

// Both chamfer passes, sequentially and in place; only the grid's first thread
// works, so any launch shape gives the one-thread result.
PRISMORA_HD inline void ChamferDistanceThread(const unsigned char *mask, float *dist, int width, int height,
                                              const ThreadIndex &t)
{
    if (t.block_x != 0 || t.block_y != 0 || t.thread_x != 0 || t.thread_y != 0) {
        return;
    }
    if (width < 1 || height < 1) {
        return;
    }
    const int64_t w = width;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int64_t i = y * w + x;
            if (mask[i] == 0) {
                continue;
            }
            if (x >= 1) {
                detail::RelaxFrom(mask, dist, i, i - 1, kOrthogonalStep);
            }
            if (y >= 1) {
                detail::RelaxFrom(mask, dist, i, i - w, kOrthogonalStep);
            }
            if (x >= 1 && y >= 1) {
                detail::RelaxFrom(mask, dist, i, i - w - 1, kDiagonalStep);
            }
            if (x + 1 < width && y >= 1) {
                detail::RelaxFrom(mask, dist, i, i - w + 1, kDiagonalStep);
            }
        }
    }
    for (int y = height - 1; y >= 0; --y) {
        for (int x = width - 1; x >= 0; --x) {
            const int64_t i = y * w + x;
            if (mask[i] == 0) {
                continue;
            }
            if (x + 1 < width) {
                detail::RelaxFrom(mask, dist, i, i + 1, kOrthogonalStep);
            }
            if (y + 1 < height) {
                detail::RelaxFrom(mask, dist, i, i + w, kOrthogonalStep);
            }
            if (x + 1 < width && y + 1 < height) {
                detail::RelaxFrom(mask, dist, i, i + w + 1, kDiagonalStep);
            }
            if (x >= 1 && y + 1 < height) {
                detail::RelaxFrom(mask, dist, i, i + w - 1, kDiagonalStep);
            }
        }
    }
}

// Weighted mean of the cell (weight 2) and its inside neighbours (weight 1).
PRISMORA_HD inline void SmoothDistanceCell(const unsigned char *mask, const float *dist, float *smoothed,
                                           int width, int height, int x, int y)
{
    if (x >= width || y >= height) {
        return;
    }
    const int64_t i = static_cast<int64_t>(y) * width + x;
    if (mask[i] == 0) {
        smoothed[i] = kOutsideDistance;
        return;
    }
    float sum = dist[i] + dist[i];
    float weight = 2.0f;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx;
            const int ny = y + dy;
            if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= width || ny >= height) {
                continue;
            }
            const int64_t n = static_cast<int64_t>(ny) * width + nx;
            if (mask[n] != 0) {
                sum += dist[n];
                weight += 1.0f;
            }
        }
    }
    smoothed[i] = sum / MaxF(1.0f, weight);
}

} // namespace prismora::kernels
