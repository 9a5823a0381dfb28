#include <gtest/gtest.h>

#include "hostsim/host_error.h"
#include "hostsim/world.h"

namespace prismora::hostsim {
namespace {

TEST(World, RecordsDescribeDepthPaddingAndEmptiness)
{
    EXPECT_TRUE(World(1, 1, PixelFormat::kArgb64).pf().world_flags & PF_WorldFlag_DEEP);
    EXPECT_FALSE(World(1, 1, PixelFormat::kArgb128).pf().world_flags & PF_WorldFlag_DEEP);
    const World none(0, 7, PixelFormat::kArgb64);
    EXPECT_EQ(none.pf().data, nullptr);
    EXPECT_THROW(none.Get(0, 0), HostError);
    EXPECT_THROW(World(2, 2, PixelFormat::kGpuBgra128), HostError);

    World w(3, 2, PixelFormat::kArgb32, {5, 0, 0});
    EXPECT_EQ(w.pf().rowbytes, 3 * 4 + 5);
    w.Fill({1.0f, 1.0f, 1.0f, 1.0f});
    for (A_long y = 0; y < 2; ++y) {
        const auto *pad = reinterpret_cast<const unsigned char *>(w.PixelBytes(2, y)) + 4;
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(pad[i], 0xCD);
        }
    }
}

TEST(World, CropKeepsLayerPositionsAndPasteCopiesOnlyTheOverlap)
{
    World layer(6, 5, PixelFormat::kArgb128);
    for (A_long y = 0; y < 5; ++y) {
        for (A_long x = 0; x < 6; ++x) {
            layer.Set(x, y, {1.0f, static_cast<float>(x), static_cast<float>(y), 0.0f});
        }
    }
    const World crop = layer.Crop({2, 1, 5, 4}, 8);
    EXPECT_EQ(crop.origin_x(), 2);
    EXPECT_EQ(crop.origin_y(), 1);
    EXPECT_EQ(crop.width(), 3);
    EXPECT_EQ(crop.height(), 3);
    EXPECT_EQ(crop.pf().rowbytes, 3 * 16 + 8);
    EXPECT_EQ(crop.Get(0, 0).red, 2.0f);
    EXPECT_EQ(crop.Get(2, 2).green, 3.0f);
    EXPECT_THROW(layer.Crop({-1, 0, 3, 3}), HostError);

    World target(4, 4, PixelFormat::kArgb128, {0, 3, 3});
    target.Paste(crop); // overlap is layer (3..5) x (3..4)
    EXPECT_EQ(target.Get(0, 0).red, 3.0f);
    EXPECT_EQ(target.Get(1, 0).red, 4.0f);
    EXPECT_EQ(target.Get(2, 0), FloatArgb{});
    EXPECT_EQ(target.Get(0, 1), FloatArgb{});
    EXPECT_THROW(target.Paste(World(1, 1, PixelFormat::kArgb32)), HostError);
}

} // namespace
} // namespace prismora::hostsim
