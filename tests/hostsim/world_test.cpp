#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "hostsim/host_error.h"
#include "hostsim/world.h"

namespace prismora::hostsim {
namespace {

TEST(World, FloatAccessScalesRoundsAndClampsPerDepth)
{
    World w8(2, 1, PixelFormat::kArgb32);
    w8.Set(0, 0, {0.5f, 1.5f, -1.0f, std::numeric_limits<float>::quiet_NaN()});
    const PF_Pixel8 p8 = w8.At<PF_Pixel8>(0, 0);
    EXPECT_EQ(p8.alpha, 128); // 127.5 rounds half up
    EXPECT_EQ(p8.red, 255);
    EXPECT_EQ(p8.green, 0);
    EXPECT_EQ(p8.blue, 0);
    EXPECT_EQ(w8.Get(0, 0).alpha, 128.0f / 255.0f);

    World w16(1, 1, PixelFormat::kArgb64);
    w16.Set(0, 0, {1.0f, 0.5f, 0.0f, 2.0f});
    EXPECT_EQ(w16.At<PF_Pixel16>(0, 0).alpha, 32768);
    EXPECT_EQ(w16.At<PF_Pixel16>(0, 0).red, 16384);
    EXPECT_EQ(w16.At<PF_Pixel16>(0, 0).blue, 32768);
    EXPECT_TRUE(w16.pf().world_flags & PF_WorldFlag_DEEP);

    World w32(1, 1, PixelFormat::kArgb128);
    w32.Set(0, 0, {1.5f, -0.25f, 0.125f, 1.0f});
    EXPECT_EQ(w32.Get(0, 0), (FloatArgb{1.5f, -0.25f, 0.125f, 1.0f}));
    EXPECT_EQ(w32.pf().rowbytes, 16);
}

TEST(World, PaddedRowsKeepTheirPatternAndRowbytesCountThem)
{
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

TEST(World, ConvertsBetweenDepthsThroughFloats)
{
    World w8(1, 1, PixelFormat::kArgb32);
    w8.At<PF_Pixel8>(0, 0) = {255, 0, 128, 1};
    const World w16 = w8.ConvertedTo(PixelFormat::kArgb64);
    EXPECT_EQ(w16.At<PF_Pixel16>(0, 0).alpha, 32768);
    EXPECT_EQ(w16.At<PF_Pixel16>(0, 0).green, 16448); // 128 / 255 * 32768 = 16448.25
    EXPECT_EQ(w16.At<PF_Pixel16>(0, 0).blue, 129);
    EXPECT_TRUE(w16.ConvertedTo(PixelFormat::kArgb32).SamePixels(w8));
}

TEST(World, EmptyWorldsHaveNoData)
{
    const World none(0, 7, PixelFormat::kArgb64);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none.pf().data, nullptr);
    EXPECT_THROW(none.Get(0, 0), HostError);
    EXPECT_THROW(World(2, 2, PixelFormat::kGpuBgra128), HostError);
}

} // namespace
} // namespace prismora::hostsim
