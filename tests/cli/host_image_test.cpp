// Pixel values between files and host worlds.
#include <cmath>
#include <limits>
#include <utility>

#include <gtest/gtest.h>

#include "cli/host_image.h"

namespace prismora::cli {
namespace {

TEST(Host16, FileValuesRoundTripWithinOneStepAndHostValuesExactly)
{
    uint16_t previous = 0;
    for (uint32_t v = 0; v <= 65535; ++v) {
        const uint16_t a = FileToHost16(static_cast<uint16_t>(v));
        ASSERT_LE(a, kHostWhite16) << v;
        ASSERT_GE(a, previous) << v; // monotonic
        previous = a;
        const uint16_t back = HostToFile16(a);
        ASSERT_LE(std::abs(static_cast<int>(back) - static_cast<int>(v)), 1) << v;
    }
    for (uint32_t a = 0; a <= kHostWhite16; ++a) {
        ASSERT_EQ(FileToHost16(HostToFile16(static_cast<uint16_t>(a))), a) << a;
    }
    // a = (v x 32768 + 32767) / 65535 and v = (a x 65535 + 16384) / 32768, at the
    // values where each rounding term shows.
    const std::pair<int, int> file_to_host[] = {{1, 1}, {32767, 16384}, {65534, 32767}, {65535, 32768}};
    for (const auto &[v, a] : file_to_host) {
        EXPECT_EQ(FileToHost16(static_cast<uint16_t>(v)), a) << v;
    }
    const std::pair<int, int> host_to_file[] = {{1, 2}, {16384, 32768}, {32768, 65535}};
    for (const auto &[a, v] : host_to_file) {
        EXPECT_EQ(HostToFile16(static_cast<uint16_t>(a)), v) << a;
    }
    EXPECT_EQ(HostToFile16(kHostWhite16 + 100), 65535); // saturates, never wraps
}

TEST(ConvertDepth, RoundsHalfUpAndClampsIntoTheTarget)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float value;
        int at8;
        int at16;
    };
    const Case cases[] = {
        {0.5f / 255.0f, 1, 64}, {0.49f / 255.0f, 0, 63}, {0.5f, 128, 16384}, {1.0f, 255, 32768},
        {7.0f, 255, 32768},     {-0.2f, 0, 0},           {nan, 0, 0},        {128.0f / 255.0f, 128, 16448}};
    for (const Case &c : cases) {
        HostImage flt(1, 1, 32);
        flt.at<PF_PixelFloat>(0, 0) = {c.value, c.value, c.value, c.value};
        EXPECT_EQ(ConvertDepth(flt, 8).at<PF_Pixel8>(0, 0).red, c.at8) << c.value;
        EXPECT_EQ(ConvertDepth(flt, 16).at<PF_Pixel16>(0, 0).blue, c.at16) << c.value;
    }
    // Every 8-bit value survives 8 -> 16 -> 8 and 8 -> 32 -> 8.
    HostImage ramp(256, 1, 8);
    for (int v = 0; v <= 255; ++v) {
        ramp.at<PF_Pixel8>(v, 0) = {static_cast<A_u_char>(v), static_cast<A_u_char>(v), 0, 255};
    }
    EXPECT_EQ(ConvertDepth(ConvertDepth(ramp, 16), 8), ramp);
    EXPECT_EQ(ConvertDepth(ConvertDepth(ramp, 32), 8), ramp);
}

} // namespace
} // namespace prismora::cli
