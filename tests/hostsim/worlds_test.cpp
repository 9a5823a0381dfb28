// The host's worlds: frames of no pixels copy as frames of no pixels, and GPU
// frames come back to the host as the effect wrote them.
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "hostsim/gpu_world.h"
#include "hostsim/world.h"

namespace prismora::hostsim {
namespace {

TEST(Worlds, EmptyWorldsCloneAndCropToEmptyWorlds)
{
    for (const auto &[width, height] : {std::pair{0, 7}, std::pair{5, 0}, std::pair{0, 0}}) {
        for (PixelFormat format : {PixelFormat::kArgb32, PixelFormat::kArgb64, PixelFormat::kArgb128}) {
            const World world(width, height, format);
            const World copy = world.Clone({3, 2, 1});
            EXPECT_EQ(copy.width(), width);
            EXPECT_EQ(copy.height(), height);
            EXPECT_TRUE(copy.empty());
            EXPECT_EQ(copy.origin_x(), 2);
        }
    }
}

TEST(Worlds, GpuFloatFramesComeBackAsTheEffectWroteThem)
{
    const std::unique_ptr<GpuDevice> device = MakeEmulatedGpuDevice();
    const float inf = std::numeric_limits<float>::infinity();
    // Blue, green, red, alpha per pixel, as the device holds them.
    const std::vector<float> written = {-0.25f, 1.75f, 40.0f, 1.5f,   // over-bright, alpha above 1
                                        0.5f,   -inf,  inf,   -0.5f,  // infinities, alpha below 0
                                        1e-40f, -0.0f, 0.25f, 0.75f}; // a denormal, a signed zero
    const auto world = GpuWorld::Create(*device, 3, 1, 4, 0, 0, GpuFill::kGarbage);
    ASSERT_TRUE(world);
    ASSERT_TRUE(device->Upload(world->memory(), 64, written.data(), 48, 48, 1));

    const World back = world->Download(PixelFormat::kArgb128);
    for (A_long x = 0; x < 3; ++x) {
        const PF_PixelFloat &p = back.At<PF_PixelFloat>(x, 0);
        const float expected[] = {written[x * 4 + 3], written[x * 4 + 2], written[x * 4 + 1], written[x * 4]};
        EXPECT_EQ(std::memcmp(&p, expected, sizeof(expected)), 0) << "pixel " << x;
    }
    // Integer depths hold only 0..1: there the copy clamps.
    const World back8 = world->Download(PixelFormat::kArgb32);
    EXPECT_EQ(back8.At<PF_Pixel8>(0, 0).alpha, 255);
    EXPECT_EQ(back8.At<PF_Pixel8>(0, 0).blue, 0);
}

} // namespace
} // namespace prismora::hostsim
