// The matte distance passes on the emulated device: the same distances as the
// CPU's matte field wherever its grid reaches, over the whole frame.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bgra_frame.h"
#include "cpu/matte_field_builder.h"
#include "gpu/emulation/emulated_device.h"
#include "gpu/emulation/emulated_grid.h"
#include "gpu/kernels/matte_distance_kernels.h"
#include "support/test_world.h"

namespace prismora {
namespace {

using test::BgraFrame;
using test::TestWorld;

struct Planes {
    std::vector<unsigned char> mask;
    std::vector<float> distance;
    std::vector<float> smoothed;
};

// A matte given by its alpha, both as a host float world and as a GPU frame.
struct Matte {
    Matte(int width, int height, const std::function<float(int, int)> &alpha)
        : world(width, height, {0, 5, -3}), frame(width, height, 2)
    {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const float a = alpha(x, y);
                world.SetFloat(x, y, {a, 0.5f, 0.5f, 0.5f});
                frame.Set(x, y, {a, 0.5f, 0.5f, 0.5f});
            }
        }
    }

    Planes Run() const
    {
        const size_t n = static_cast<size_t>(frame.width()) * static_cast<size_t>(frame.height());
        Planes p{std::vector<unsigned char>(n), std::vector<float>(n), std::vector<float>(n)};
        EXPECT_EQ(emulated::RunMatteDistancePasses(frame.data(), frame.pitch(), frame.width(), frame.height(),
                                                   p.mask.data(), p.distance.data(), p.smoothed.data()),
                  cudaSuccess);
        return p;
    }

    TestWorld<PF_PixelFloat> world;
    BgraFrame frame;
};

// Every cell of the CPU's grid holds the value of the same matte pixel on the device.
void ExpectSameAsCpuField(const Matte &matte, const Planes &planes)
{
    MatteField field;
    ASSERT_TRUE(BuildMatteField<PF_PixelFloat>(matte.world.world(), field));
    const int width = matte.frame.width();
    for (int j = 0; j < field.grid_height; ++j) {
        for (int i = 0; i < field.grid_width; ++i) {
            const int x = field.grid_x - matte.world.world().origin_x + i;
            const int y = field.grid_y - matte.world.world().origin_y + j;
            EXPECT_FLOAT_EQ(planes.smoothed[static_cast<size_t>(y) * width + x],
                            field.distance[static_cast<size_t>(j) * field.grid_width + i])
                << "pixel " << x << "," << y;
        }
    }
}

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

// Shapes inside the frame, cut by its left and top edges (those edge cells are
// seeds on both), an opaque frame (distances grow inward from its border) and a
// frame one pixel wide (all border).
TEST(EmulatedMatteDistance, MatchesTheCpuFieldInsideItsGrid)
{
    const std::vector<float> column = {1.0f, 1.0f, 0.2f, 1.0f, 1.0f, 1.0f, 0.0f};
    const Matte mattes[] = {
        {40, 28, Blob},
        {40, 28, [](int x, int y) { return Blob(x + 8, y + 6); }},
        {11, 8, [](int, int) { return 1.0f; }},
        {1, 7, [&](int, int y) { return column[y]; }},
    };
    for (const Matte &matte : mattes) {
        SCOPED_TRACE(std::to_string(matte.frame.width()) + " x " + std::to_string(matte.frame.height()));
        ExpectSameAsCpuField(matte, matte.Run());
    }
}

// Every thread but the grid's first returns at once, so a 16 x 16 grid gives
// the one-thread result.
TEST(EmulatedMatteDistance, OnlyTheFirstThreadRunsTheChamferTransform)
{
    const Matte blob(40, 28, Blob);
    const Planes planes = blob.Run();
    std::vector<unsigned char> mask(planes.mask.size());
    std::vector<float> seeds(planes.distance.size());
    const kernels::LaunchShape grid = kernels::PixelGridFor(40, 28);
    kernels::RunEmulatedGrid(grid, kernels::kPixelBlockShape, [&](const kernels::ThreadIndex &t) {
        kernels::InitMatteDistanceCell(blob.frame.data(), mask.data(), seeds.data(), blob.frame.pitch(), 40,
                                       28, kernels::ThreadColumn(t), kernels::ThreadRow(t));
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
