// The blur and glass launchers on the emulated device: the launch grid, the row
// padding, and the device's own order where it differs from the CPU. The
// primitives' differences are in tests/model/glass_policy_test.cpp; whole frames
// through the simulated host are compared with the CPU's in tests/hostsim.
#include <vector>

#include <gtest/gtest.h>

#include "bgra_frame.h"
#include "cpu/gaussian_blur.h"
#include "gpu/cuda_launchers.h"
#include "gpu/emulation/emulated_grid.h"
#include "model/glass_shader.h"
#include "support/test_world.h"

namespace prismora {
namespace {

using test::BgraFrame;
using test::ParamsFor;
using test::PatternImage;

// Not whole blocks of 16, so the last blocks have spare threads.
constexpr int kWidth = 62;
constexpr int kHeight = 45;
constexpr float kUntouched = -777.0f;

const EffectSettings kPanel{
    .center_x = 30.0f, .center_y = 22.0f, .glass_width = 40.0f, .glass_height = 30.0f, .corner_radius = 8.0f};

// The composite of src (and optional blurred frames) into a frame whose rows
// are two pixels wider than the output; the kernel must leave that padding alone.
BgraFrame Composite(TPCudaPrismoraParams p, const BgraFrame &src, const BgraFrame *half = nullptr,
                    const BgraFrame *full = nullptr)
{
    BgraFrame dst(p.out_width, p.out_height, 2, kUntouched);
    p.dst_pitch = dst.pitch();
    p.src_pitch = src.pitch();
    p.half_blur_pitch = half != nullptr ? half->pitch() : p.src_pitch;
    p.full_blur_pitch = full != nullptr ? full->pitch() : p.src_pitch;
    EXPECT_EQ(LaunchGlassComposite(src.data(), half != nullptr ? half->data() : nullptr,
                                   full != nullptr ? full->data() : nullptr, nullptr, dst.data(), &p),
              cudaSuccess);
    for (int y = 0; y < p.out_height; ++y) {
        for (int x = p.out_width; x < dst.pitch(); ++x) {
            EXPECT_EQ(dst.Get(x, y).red, kUntouched) << "row padding " << x << "," << y;
        }
    }
    return dst;
}

// The device draws a debug view before it looks at amount and opacity; the
// CPU shows the layer where the glass is invisible.
TEST(EmulatedGlass, DebugViewsComeBeforeTheAmountAndOpacityExits)
{
    const FloatImage image = PatternImage(kWidth, kHeight, 12);
    const BgraFrame src = BgraFrame::FromImage(image);
    test::TestWorld<PF_PixelFloat> input(kWidth, kHeight);
    input.SetFloat(30, 22, image.pixels[22 * kWidth + 30]);
    for (const bool zero_amount : {true, false}) {
        EffectSettings s = kPanel;
        (zero_amount ? s.amount : s.opacity) = 0.0f;
        s.debug_view = kDebugGlassMask;
        const BgraFrame gpu = Composite(ParamsFor(s, kWidth, kHeight, false), src);
        EXPECT_TRUE(test::SameBits(gpu.Get(30, 22), {1.0f, 1.0f, 1.0f, 1.0f})); // the mask, full coverage
        EXPECT_TRUE(test::SameBits(gpu.Get(60, 2), src.Get(60, 2)));            // off the panel
        const FloatPixel cpu =
            ShadeGlassPixel<PF_PixelFloat>(input.world(), s, nullptr, nullptr, nullptr, 30.0f, 22.0f);
        EXPECT_TRUE(test::SameBits(cpu, input.GetFloat(30, 22)));
    }
}

// The single weight 1.0 copies every pixel through both passes; a 17 x 1 frame
// takes a 2 x 1 grid whose spare threads leave the row padding alone.
TEST(EmulatedBlur, SingleWeightCopiesASeventeenByOneFrame)
{
    const kernels::LaunchShape grid = kernels::PixelGridFor(17, 1);
    EXPECT_EQ(grid.x, 2u);
    EXPECT_EQ(grid.y, 1u);
    const std::vector<float> weights = GaussianKernel(0.001f, kQualityMid);
    ASSERT_EQ(weights, std::vector<float>{1.0f});
    for (bool clamp : {false, true}) {
        const BgraFrame src = BgraFrame::FromImage(PatternImage(17, 1), 15);
        BgraFrame mid(17, 1, 15, kUntouched);
        BgraFrame dst(17, 1, 15, kUntouched);
        ASSERT_EQ(LaunchBlurHorizontal(src.data(), mid.data(), src.pitch(), mid.pitch(), 17, 1,
                                       weights.data(), 1, clamp),
                  cudaSuccess);
        ASSERT_EQ(LaunchBlurVertical(mid.data(), dst.data(), mid.pitch(), dst.pitch(), 17, 1, weights.data(),
                                     1, clamp),
                  cudaSuccess);
        for (int x = 0; x < dst.pitch(); ++x) {
            for (int c = 0; c < 4; ++c) {
                EXPECT_EQ(dst.At(x, 0)[c], x < 17 ? src.At(x, 0)[c] : kUntouched) << x;
            }
        }
    }
}

TEST(EmulatedGlass, BlurDisabledReadsSharpEvenWithBlurredImagesBound)
{
    const BgraFrame src = BgraFrame::FromImage(PatternImage(kWidth, kHeight, 13));
    const BgraFrame bright(kWidth, kHeight, 0, 5.0f);
    for (bool enabled : {false, true}) {
        const TPCudaPrismoraParams p = ParamsFor(kPanel, kWidth, kHeight, enabled);
        const BgraFrame with_images = Composite(p, src, &bright, &bright);
        const BgraFrame without_images = Composite(p, src);
        EXPECT_EQ(with_images.floats() == without_images.floats(), !enabled) << enabled;
    }
}

} // namespace
} // namespace prismora
