// The host's worlds: padded rows, crops in layer positions, frames of no pixels,
// and GPU frames as the effect wrote them. Checkout geometry shows in the tiled
// frames (tests/e2e/tiles_threads_test.cpp); the books, failure and null
// injection in the effect's failure tests (tests/e2e/every_failure_test.cpp).
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostsim/gpu_world.h"
#include "hostsim/host_error.h"
#include "hostsim/world.h"

namespace prismora::hostsim {
namespace {

TEST(Worlds, RowsArePaddedWithAMarkAndACropKeepsLayerPositions)
{
    World w(3, 2, PixelFormat::kArgb32, {5, 0, 0, true});
    w.Set(1, 1, {1.0f, 0.2f, 0.4f, 0.6f});
    EXPECT_EQ(w.pf().rowbytes, -(3 * 4 + 5));
    for (A_long y = 0; y < 2; ++y) {
        const auto *pad = reinterpret_cast<const unsigned char *>(w.PixelBytes(2, y)) + 4;
        EXPECT_EQ(std::string(pad, pad + 5), std::string(5, '\xCD'));
    }
    const World crop = w.Crop({1, 1, 3, 2}, {8});
    EXPECT_EQ(crop.origin_x(), 1);
    EXPECT_EQ(crop.pf().rowbytes, 2 * 4 + 8);
    EXPECT_EQ(crop.Get(0, 0), w.Get(1, 1));
    EXPECT_NE(crop.Get(1, 0), w.Get(1, 1));
    EXPECT_THROW(w.Crop({-1, 0, 2, 2}), HostError);
    // What PF_GetPixelFormat answers for the worlds of each depth.
    EXPECT_EQ(
        (std::vector<PF_PixelFormat>{SdkPixelFormat(FormatForDepth(8)), SdkPixelFormat(FormatForDepth(16)),
                                     SdkPixelFormat(FormatForDepth(32))}),
        (std::vector<PF_PixelFormat>{PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}));
}

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
