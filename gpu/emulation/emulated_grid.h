// Runs a per-thread kernel function over a launch grid on the CPU, one thread
// after another, with the device's limits on the launch shape.
#pragma once

#include <driver_types.h>

#include "gpu/kernels/kernel_support.h"

namespace prismora::kernels {

// cudaErrorInvalidConfiguration for a shape the device would refuse (an empty
// grid, a grid dimension over its limit, more than 1024 threads per block),
// like a real launch; otherwise body(ThreadIndex) for every thread.
template <typename Body> cudaError_t RunEmulatedGrid(LaunchShape grid, LaunchShape block, Body &&body)
{
    constexpr unsigned kMaxGridX = 2147483647u;
    constexpr unsigned kMaxGridY = 65535u;
    constexpr unsigned kMaxBlockThreads = 1024u;
    if (grid.x == 0 || grid.y == 0 || grid.x > kMaxGridX || grid.y > kMaxGridY || block.x == 0 ||
        block.y == 0 || block.x > kMaxBlockThreads || block.y > kMaxBlockThreads / block.x) {
        return cudaErrorInvalidConfiguration;
    }
    for (unsigned by = 0; by < grid.y; ++by) {
        for (unsigned bx = 0; bx < grid.x; ++bx) {
            for (unsigned ty = 0; ty < block.y; ++ty) {
                for (unsigned tx = 0; tx < block.x; ++tx) {
                    body(ThreadIndex{bx, by, block.x, block.y, tx, ty});
                }
            }
        }
    }
    return cudaSuccess;
}

} // namespace prismora::kernels
