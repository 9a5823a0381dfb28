// The host's machinery, driven by the plug-in itself: worlds and checkout
// geometry. The books, failure and null injection are run by the effect's
// failure tests (tests/e2e/every_failure_test.cpp).
#include <algorithm>
#include <array>
#include <memory>
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

std::array<A_long, 4> Edges(const PF_LRect &r)
{
    return {r.left, r.top, r.right, r.bottom};
}

// With amount 0 the effect passes its input through, so the output is the
// layer's pixels at the request, wherever the checkout put them.
TEST(Host, TheCheckoutIsTheExpandedRequestClippedToTheLayerAtEveryDepth)
{
    Host host(HOSTSIM_PRISMORA_EFFECT, {.row_padding_bytes = 12, .gpu_device = GpuDeviceChoice::kNone});
    host.Start();
    for (const int depth : {8, 16, 32}) {
        SCOPED_TRACE(depth);
        const World input = Pattern(33, 25, FormatForDepth(depth));
        FrameJob job = host.NewFrame(input, depth);
        job.params.SetFloat(host.params().Find("Amount").value(), 0.0);
        job.request = PF_LRect{5, 1, 17, 9};
        const FrameResult frame = host.Render(job);
        ASSERT_EQ(frame.err, PF_Err_NONE);
        EXPECT_EQ(frame.output.origin_x(), 5);
        EXPECT_EQ(frame.output.origin_y(), 1);
        EXPECT_TRUE(frame.output.SamePixels(input.Crop({5, 1, 17, 9})));
        ASSERT_EQ(frame.tiles.size(), 1u);
        const LayerRequest &in = frame.tiles[0].checkouts.at(0);
        const A_long m = 5 - in.requested.left;
        EXPECT_GT(m, 5);
        EXPECT_EQ(Edges(in.requested), (std::array<A_long, 4>{5 - m, 1 - m, 17 + m, 9 + m}));
        EXPECT_EQ(Edges(in.delivered), (std::array<A_long, 4>{0, 0, 33, 25}));
        EXPECT_EQ(Edges(frame.tiles[0].result_rect), (std::array<A_long, 4>{5, 1, 17, 9}));
        EXPECT_TRUE(host.books().Imbalances().empty());
    }
}

TEST(World, RowsArePaddedWithAMarkAndACropKeepsLayerPositions)
{
    World w = Pattern(3, 2, PixelFormat::kArgb32).Clone({5, 0, 0, true});
    EXPECT_EQ(w.pf().rowbytes, -(3 * 4 + 5));
    for (A_long y = 0; y < 2; ++y) {
        const auto *pad = reinterpret_cast<const unsigned char *>(w.PixelBytes(2, y)) + 4;
        EXPECT_EQ(std::string(pad, pad + 5), std::string(5, '\xCD'));
    }
    const World crop = w.Crop({1, 1, 3, 2}, {8});
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
