// The blur and glass launchers on the emulated device: the launch grid, the CPU
// shader's pixels within rounding over random settings, and the device's own
// order where the two differ. The primitives' differences are in
// tests/model/glass_policy_test.cpp; whole frames through the simulated host
// are compared with the CPU's in tests/hostsim.
#include <cmath>
#include <random>
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
// are two pixels wider than the output.
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
    return dst;
}

// Random panels (partly off the frame), views and controls; padded frames of
// different pitches, whose padding the kernel leaves alone. Where the two renderers' rules differ (band
// floors, the millionth thresholds) nothing visible changes, so every pixel stays within the rounding of
// fused mixes.
TEST(EmulatedGlass, RandomSettingsMatchTheCpuShader)
{
    std::mt19937 rng(8);
    const auto uniform = [&rng](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(rng);
    };
    const FloatImage image = PatternImage(kWidth, kHeight, 5);
    test::TestWorld<PF_PixelFloat> input(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            input.SetFloat(x, y, image.pixels[static_cast<size_t>(y) * kWidth + x]);
        }
    }
    for (int trial = 0; trial < 16; ++trial) {
        EffectSettings s;
        s.quality = 1 + trial % 3;
        s.debug_view = trial % 8 < 5 ? kDebugOff : kDebugOff + 1 + trial % 4;
        s.amount = uniform(0.05f, 2.0f);
        s.opacity = uniform(0.05f, 1.0f);
        s.center_x = uniform(-10.0f, 74.0f);
        s.center_y = uniform(-10.0f, 58.0f);
        s.glass_width = uniform(8.0f, 80.0f);
        s.glass_height = uniform(8.0f, 60.0f);
        s.corner_radius = uniform(0.0f, 40.0f);
        s.distortion_scale = uniform(0.0f, 1.5f);
        s.edge_range = uniform(0.0f, 1.0f);
        s.blur_intensity = uniform(0.0f, 60.0f);
        s.chromatic_shift = uniform(0.0f, 12.0f);
        s.chromatic_range = uniform(0.0f, 1.0f);
        s.tint_multiplier = uniform(0.0f, 2.0f);
        s.color_amount = uniform(0.0f, 1.0f);
        s.glass_color[1] = uniform(0.0f, 1.0f);
        s.glass_color[2] = uniform(0.0f, 1.0f);
        s.glass_color[3] = uniform(0.0f, 1.0f);
        s.edge_visibility = uniform(0.0f, 2.0f);
        s.clamp_edges = trial % 2 == 1;
        SCOPED_TRACE(testing::Message() << "trial " << trial);

        const float radius = BlurStrength(s);
        const FloatImage half = GaussianBlur(image, radius * 0.5f, s.quality, s.clamp_edges);
        const FloatImage full = GaussianBlur(image, radius, s.quality, s.clamp_edges);
        const BgraFrame half_frame = BgraFrame::FromImage(half, 1);
        const BgraFrame full_frame = BgraFrame::FromImage(full, 4);
        const BgraFrame gpu = Composite(ParamsFor(s, kWidth, kHeight, radius > 0.001f),
                                        BgraFrame::FromImage(image, 3), &half_frame, &full_frame);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const FloatPixel c = ShadeGlassPixel<PF_PixelFloat>(
                    input.world(), s, nullptr, &half, &full, static_cast<float>(x), static_cast<float>(y));
                const FloatPixel g = gpu.Get(x, y);
                const float d =
                    std::fmax(std::fmax(std::fabs(c.alpha - g.alpha), std::fabs(c.red - g.red)),
                              std::fmax(std::fabs(c.green - g.green), std::fabs(c.blue - g.blue)));
                ASSERT_LE(d, 2e-5f) << "pixel " << x << "," << y;
            }
            for (int x = kWidth; x < gpu.pitch(); ++x) {
                ASSERT_EQ(gpu.Get(x, y).red, kUntouched) << "row padding " << x << "," << y;
            }
        }
    }
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
