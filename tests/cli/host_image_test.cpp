// Pixel values between files and host worlds.
#include <gtest/gtest.h>

#include "cli/host_image.h"

namespace prismora::cli {
namespace {

TEST(Host16, EveryFileValueSurvivesTheRoundTripWithinOneStep)
{
    uint16_t previous = 0;
    for (uint32_t v = 0; v <= 65535; ++v) {
        const uint16_t a = FileToHost16(static_cast<uint16_t>(v));
        ASSERT_LE(a, kHostWhite16) << v;
        ASSERT_GE(a, previous) << v; // monotonic
        previous = a;
        const uint16_t back = HostToFile16(a);
        ASSERT_LE(std::abs(static_cast<int>(back) - static_cast<int>(v)), 1) << v;
        // What comes back is a fixed point: reading it again gives the same host value.
        ASSERT_EQ(FileToHost16(back), a) << v;
    }
    EXPECT_EQ(FileToHost16(0), 0);
    EXPECT_EQ(FileToHost16(65535), kHostWhite16);
    EXPECT_EQ(FileToHost16(1), 1); // rounds up: any light stays light
}

TEST(Host16, EveryHostValueIsExactThroughAFile)
{
    for (uint32_t a = 0; a <= kHostWhite16; ++a) {
        ASSERT_EQ(FileToHost16(HostToFile16(static_cast<uint16_t>(a))), a) << a;
    }
    EXPECT_EQ(HostToFile16(kHostWhite16), 65535);
    EXPECT_EQ(HostToFile16(kHostWhite16 + 100), 65535); // saturates, never wraps
}

TEST(DepthRounding, HalvesRoundUpAndOutOfRangeClamps)
{
    EXPECT_EQ(RoundTo8(0.5f / 255.0f), 1);
    EXPECT_EQ(RoundTo8(0.49f / 255.0f), 0);
    EXPECT_EQ(RoundTo8(1.0f), 255);
    EXPECT_EQ(RoundTo8(7.0f), 255);
    EXPECT_EQ(RoundTo8(-0.2f), 0);
    EXPECT_EQ(RoundTo8(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(RoundToHost16(0.5f), 16384);
    EXPECT_EQ(RoundToHost16(1.0f), kHostWhite16);
    EXPECT_EQ(RoundToHost16(2.0f), kHostWhite16);
    // Every 8-bit value survives 8 -> 16 -> 8.
    for (int v = 0; v <= 255; ++v) {
        ASSERT_EQ(RoundTo8(RoundToHost16(v / 255.0f) / 32768.0f), v) << v;
    }
}

TEST(ConvertDepth, KeepsTheLayoutAndScalesTheValues)
{
    HostImage image(3, 2, 8);
    image.at<PF_Pixel8>(2, 1) = {255, 128, 0, 64};
    const HostImage deep = ConvertDepth(image, 16);
    ASSERT_EQ(deep.depth(), 16);
    ASSERT_EQ(deep.row_bytes(), 3 * sizeof(PF_Pixel16));
    const PF_Pixel16 &p = deep.at<PF_Pixel16>(2, 1);
    EXPECT_EQ(p.alpha, 32768);
    EXPECT_EQ(p.red, 16448); // 128 / 255 * 32768 = 16448.25
    EXPECT_EQ(p.green, 0);
    EXPECT_EQ(p.blue, 8224); // 64 / 255 * 32768 = 8224.1
    const HostImage flt = ConvertDepth(image, 32);
    EXPECT_FLOAT_EQ(flt.at<PF_PixelFloat>(2, 1).red, 128.0f / 255.0f);
    EXPECT_EQ(ConvertDepth(flt, 8), image);
}

} // namespace
} // namespace prismora::cli
