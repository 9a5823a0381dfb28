// What the per-thread kernel functions share. They are plain functions so that
// the CUDA unit runs them on the device and the emulated device runs the very
// same code on the CPU.
#pragma once

#include <math.h>
#include <stdint.h>

#if defined(__CUDACC__)
#define PRISMORA_HD __host__ __device__
#else
#define PRISMORA_HD
#endif

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

// The glass model's clamp: above hi gives hi, else below lo gives lo, else v.
PRISMORA_HD inline float ClampF(float v, float lo, float hi)
{
    return v > hi ? hi : (lo > v ? lo : v);
}

PRISMORA_HD inline int ClampI(int v, int lo, int hi)
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

// floor to int; NaN gives 0 on both sides (the device's conversion of NaN), so
// the emulation never indexes with an undefined value.
PRISMORA_HD inline int FloorToInt(float v)
{
    return v != v ? 0 : static_cast<int>(floorf(v));
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
