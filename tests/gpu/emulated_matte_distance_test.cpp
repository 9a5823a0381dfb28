// The matte distance passes on the emulated device. Their distances against the
// CPU's matte field show in whole Full Frame frames (tests/hostsim); here the
// rule a real device needs, that one thread runs the chamfer transform.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "bgra_frame.h"
#include "gpu/emulation/emulated_device.h"
#include "gpu/emulation/emulated_grid.h"
#include "gpu/kernels/matte_distance_kernels.h"

namespace prismora {
namespace {

using test::BgraFrame;

struct Planes {
    std::vector<unsigned char> mask;
    std::vector<float> distance;
    std::vector<float> smoothed;
};

float Blob(int x, int y)
{
    // A disc joined to a bar, with a soft rim and a hole: non-convex, inside the frame.
    const float dx = static_cast<float>(x) - 14.0f;
    const float dy = static_cast<float>(y) - 12.0f;
    const float r = std::sqrt(dx * dx + dy * dy);
    const bool bar = x >= 14 && x <= 33 && y >= 9 && y <= 15;
    const bool hole = x >= 26 && x <= 28 && y >= 11 && y <= 12;
    if (hole) {
        return 0.0f;
    }
    if (bar || r <= 8.0f) {
        return 1.0f;
    }
    return r <= 9.0f ? 0.4f : 0.0f;
}

// Every thread but the grid's first returns at once, so a 16 x 16 grid gives
// the one-thread result.
TEST(EmulatedMatteDistance, OnlyTheFirstThreadRunsTheChamferTransform)
{
    BgraFrame blob(40, 28, 2);
    for (int y = 0; y < 28; ++y) {
        for (int x = 0; x < 40; ++x) {
            blob.Set(x, y, {Blob(x, y), 0.5f, 0.5f, 0.5f});
        }
    }
    const size_t n = 40 * 28;
    Planes planes{std::vector<unsigned char>(n), std::vector<float>(n), std::vector<float>(n)};
    ASSERT_EQ(emulated::RunMatteDistancePasses(blob.data(), blob.pitch(), 40, 28, planes.mask.data(),
                                               planes.distance.data(), planes.smoothed.data()),
              cudaSuccess);
    std::vector<unsigned char> mask(n);
    std::vector<float> seeds(n);
    const kernels::LaunchShape grid = kernels::PixelGridFor(40, 28);
    kernels::RunEmulatedGrid(grid, kernels::kPixelBlockShape, [&](const kernels::ThreadIndex &t) {
        kernels::InitMatteDistanceCell(blob.data(), mask.data(), seeds.data(), blob.pitch(), 40, 28,
                                       kernels::ThreadColumn(t), kernels::ThreadRow(t));
    });
    std::vector<float> plane = seeds;
    kernels::ChamferDistanceThread(mask.data(), plane.data(), 40, 28, {0, 0, 16, 16, 1, 0});
    kernels::ChamferDistanceThread(mask.data(), plane.data(), 40, 28, {1, 0, 16, 16, 0, 0});
    EXPECT_EQ(plane, seeds);
    kernels::RunEmulatedGrid(grid, kernels::kPixelBlockShape, [&](const kernels::ThreadIndex &t) {
        kernels::ChamferDistanceThread(mask.data(), plane.data(), 40, 28, t);
    });
    EXPECT_NE(plane, seeds);
    EXPECT_EQ(plane, planes.distance);
}

} // namespace
} // namespace prismora
