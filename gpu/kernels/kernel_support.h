// What the per-thread kernel functions share. They are plain functions so that
// the CUDA unit runs them on the device and the emulated device runs the very
// same code on the CPU.
#pragma once

#include <stdint.h>

#include "model/host_device.h"
#include "model/scalar_ops.h"

namespace prismora::kernels {

// The launch indices of one thread, as the device gives them.
struct ThreadIndex {
    unsigned block_x;
    unsigned block_y;
    unsigned block_dim_x;
    unsigned block_dim_y;
    unsigned thread_x;
    unsigned thread_y;
};

PRISMORA_HD inline int ThreadColumn(const ThreadIndex &t)
{
    return static_cast<int>(t.block_x * t.block_dim_x + t.thread_x);
}

PRISMORA_HD inline int ThreadRow(const ThreadIndex &t)
{
    return static_cast<int>(t.block_y * t.block_dim_y + t.thread_y);
}

// Blocks of 16 threads covering n pixels. A size of 0 or below gives an empty
// grid, which the device refuses as a launch error; a negative size must not
// wrap round into a huge grid.
inline unsigned GridBlocksFor(int n)
{
    return n <= 0 ? 0u : (static_cast<unsigned>(n) + 15u) >> 4;
}

// A launch's grid or block in x and y (z is always 1).
struct LaunchShape {
    unsigned x = 1;
    unsigned y = 1;
};

// The launchers' geometry: 16 x 16 blocks over a width x height frame.
inline LaunchShape PixelGridFor(int width, int height)
{
    return {GridBlocksFor(width), GridBlocksFor(height)};
}

constexpr LaunchShape kPixelBlockShape{16, 16};

// The chamfer transform's launch: one block of one thread walks the plane.
constexpr LaunchShape kSingleThreadShape{1, 1};

PRISMORA_HD inline int ClampI(int v, int lo, int hi)
{
    return v > hi ? hi : (lo > v ? lo : v);
}

// Element index of channel 0 of pixel (x, y) in a four-float frame.
PRISMORA_HD inline int64_t PixelIndex(int x, int y, int pitch)
{
    return (static_cast<int64_t>(y) * pitch + x) * 4;
}

// Float offsets of the channels in the host's BGRA128 GPU frames.
constexpr int kBlue = 0;
constexpr int kGreen = 1;
constexpr int kRed = 2;
constexpr int kAlpha = 3;

} // namespace prismora::kernels
