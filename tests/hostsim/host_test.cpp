// The host's worlds. Checkout geometry shows in the tiled frames
// (tests/e2e/tiles_threads_test.cpp); the books, failure and null injection
// are run by the effect's failure tests (tests/e2e/every_failure_test.cpp).
#include <string>

#include <gtest/gtest.h>

#include "hostsim/host.h"
#include "hostsim/host_error.h"

namespace prismora::hostsim::test {
namespace {

// Every pixel different, so a shifted or misplaced copy shows; all in 0..1.
World Pattern(A_long width, A_long height, PixelFormat format)
{
    World w(width, height, format);
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            w.Set(x, y, {1.0f - 0.02f * static_cast<float>(y), 0.03f * static_cast<float>(x), 0.5f, 0.25f});
        }
    }
    return w;
}

TEST(World, RowsArePaddedWithAMarkAndACropKeepsLayerPositions)
{
    World w = Pattern(3, 2, PixelFormat::kArgb32).Clone({5, 0, 0});
    EXPECT_EQ(w.pf().rowbytes, 3 * 4 + 5);
    for (A_long y = 0; y < 2; ++y) {
        const auto *pad = reinterpret_cast<const unsigned char *>(w.PixelBytes(2, y)) + 4;
        EXPECT_EQ(std::string(pad, pad + 5), std::string(5, '\xCD'));
    }
    const World crop = w.Crop({1, 1, 3, 2}, 8);
    EXPECT_EQ(crop.origin_x(), 1);
    EXPECT_EQ(crop.pf().rowbytes, 2 * 4 + 8);
    EXPECT_EQ(crop.Get(0, 0), w.Get(1, 1));
    EXPECT_THROW(w.Crop({-1, 0, 2, 2}), HostError);
    // What PF_GetPixelFormat answers for the worlds of each depth.
    EXPECT_EQ(
        (std::vector<PF_PixelFormat>{SdkPixelFormat(FormatForDepth(8)), SdkPixelFormat(FormatForDepth(16)),
                                     SdkPixelFormat(FormatForDepth(32))}),
        (std::vector<PF_PixelFormat>{PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}));
}

} // namespace
} // namespace prismora::hostsim::test
