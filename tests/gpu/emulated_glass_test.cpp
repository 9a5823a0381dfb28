// The blur and glass launchers on the emulated device: the launch grid, the CPU
// shader's pixels within rounding where the two agree, and the device's own
// rules where they differ. Whole frames through the simulated host are compared
// with the CPU's in tests/hostsim.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "bgra_frame.h"
#include "cpu/gaussian_blur.h"
#include "gpu/cuda_launchers.h"
#include "gpu/emulation/emulated_grid.h"
#include "gpu/kernels/glass_kernel.h"
#include "model/glass_shader.h"
#include "model/shape_field.h"
#include "support/test_world.h"

namespace prismora {
namespace {

using test::BgraFrame;
using test::ParamsFor;
using test::PatternImage;

constexpr int kWidth = 64;
constexpr int kHeight = 48;
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

// Settings the simulated host's frames leave at their defaults: a panel running
// off the left edge (refracted and split reads fall outside the frame), tint,
// partial amount and opacity, a stronger rim and tint multiplier.
TEST(EmulatedGlass, NonDefaultSettingsMatchTheCpuShader)
{
    const FloatImage image = PatternImage(kWidth, kHeight, 5);
    test::TestWorld<PF_PixelFloat> input(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            input.SetFloat(x, y, image.pixels[static_cast<size_t>(y) * kWidth + x]);
        }
    }
    test::TestWorld<PF_PixelFloat> output(kWidth, kHeight);
    // clang-format off
    const EffectSettings s{.amount = 0.7f, .opacity = 0.8f, .center_x = 6.0f, .center_y = 22.0f,
                           .glass_width = 40.0f, .glass_height = 30.0f, .corner_radius = 8.0f,
                           .distortion_scale = 0.8f, .chromatic_shift = 9.0f, .tint_multiplier = 1.2f,
                           .color_amount = 0.6f, .glass_color = {1.0f, 0.9f, 0.2f, 0.5f}, .edge_visibility = 1.6f};
    // clang-format on
    const float radius = s.blur_intensity * 0.1f;
    const FloatImage half = GaussianBlur(image, radius * 0.5f, s.quality, false);
    const FloatImage full = GaussianBlur(image, radius, s.quality, false);
    const BgraFrame half_frame = BgraFrame::FromImage(half, 1);
    const BgraFrame full_frame = BgraFrame::FromImage(full, 4);
    const BgraFrame gpu = Composite(ParamsFor(s, kWidth, kHeight, true), BgraFrame::FromImage(image, 3),
                                    &half_frame, &full_frame);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const FloatPixel c =
                ShadeGlassPixel<PF_PixelFloat>(input.world(), output.world(), s, nullptr, &half, &full,
                                               static_cast<float>(x), static_cast<float>(y));
            const FloatPixel g = gpu.Get(x, y);
            // Fused multiply-adds and folded weights move results by a few ulps only.
            const float d = std::fmax(std::fmax(std::fabs(c.alpha - g.alpha), std::fabs(c.red - g.red)),
                                      std::fmax(std::fabs(c.green - g.green), std::fabs(c.blue - g.blue)));
            ASSERT_LE(d, 2e-5f) << "pixel " << x << "," << y;
        }
    }
}

// The single weight 1.0 copies every pixel through both passes; a 17 x 1 frame
// takes a 2 x 1 grid whose spare threads leave the row padding alone.
TEST(EmulatedBlur, SingleWeightCopiesASeventeenByOneFrame)
{
    const kernels::LaunchShape grid = kernels::PixelGridFor(17, 1);
    EXPECT_EQ(grid.x, 2u);
    EXPECT_EQ(grid.y, 1u);
    const std::vector<float> weights = GaussianKernel(0.001f, 2);
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

TEST(EmulatedGlass, SeventeenByOneOutputWritesOnlyItsPixels)
{
    EffectSettings s = kPanel;
    s.center_x = 8.0f;
    s.center_y = 0.0f;
    const BgraFrame dst = Composite(ParamsFor(s, 17, 1, false), BgraFrame::FromImage(PatternImage(17, 1, 4)));
    for (int x = 0; x < dst.pitch(); ++x) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(dst.At(x, 0)[c] == kUntouched, x >= 17) << x;
        }
    }
}

TEST(EmulatedGlass, DebugViewIgnoresZeroAmountOnTheDevice)
{
    const BgraFrame src = BgraFrame::FromImage(PatternImage(kWidth, kHeight, 12));
    EffectSettings s = kPanel;
    s.amount = 0.0f;
    s.debug_view = 2;
    const BgraFrame gpu = Composite(ParamsFor(s, kWidth, kHeight, false), src);
    const FloatPixel centre = gpu.Get(30, 22);
    EXPECT_EQ(centre.red, 1.0f); // the mask, full coverage
    EXPECT_EQ(centre.alpha, 1.0f);
    EXPECT_EQ(gpu.Get(60, 2).red, src.Get(60, 2).red); // off the panel
}

TEST(EmulatedGlass, NarrowRimHasTheDeviceFloor)
{
    // A 100-pixel panel with edge_range 0.001: rim width 0.5 on the device, 0.75 on the CPU.
    const EffectSettings s{.center_x = 50.0f,
                           .center_y = 50.0f,
                           .glass_width = 100.0f,
                           .glass_height = 100.0f,
                           .corner_radius = 0.0f,
                           .edge_range = 0.001f};
    const float x = 99.75f; // depth 0.25
    const kernels::GpuShape gpu = kernels::GpuRectShape(ParamsFor(s, 128, 128, false), x, 50.0f);
    ASSERT_TRUE(gpu.inside);
    EXPECT_NEAR(gpu.depth, 0.25f, 1e-6f);
    EXPECT_NEAR(gpu.edge_factor, 0.5f, 1e-6f); // SmoothStep(0, 0.5, 0.25)
    // SmoothStep(0, 0.75, 0.25) on the CPU.
    EXPECT_NEAR(ComputeRectShape(s, x, 50.0f).edge_factor, 1.0f - 7.0f / 27.0f, 1e-6f);
}

TEST(EmulatedGlass, DeviceThresholdsAreAMillionth)
{
    EXPECT_EQ(kernels::GpuSmoothStep(0.0f, 5e-7f, 4e-7f), 0.0f); // equal edges: a hard step at edge1
    EXPECT_EQ(kernels::GpuSmoothStep(0.0f, 5e-7f, 5e-7f), 1.0f);
    EXPECT_NEAR(kernels::GpuSmoothStep(0.0f, 2e-6f, 1e-6f), 0.5f, 1e-6f);
    EXPECT_EQ(kernels::GpuNormalize2(5e-7f, 0.0f).x, 0.0f);
    EXPECT_NEAR(kernels::GpuNormalize2(3e-6f, 4e-6f).y, 0.8f, 1e-6f); // the CPU gives (0, 0) here
}

// One pixel of sharp 0.2, half-blur 0.5 and full-blur 1.0, read at each blur level.
TEST(EmulatedGlass, BlurredReadsMixTheBoundImages)
{
    const BgraFrame sharp_px(1, 1, 0, 0.2f);
    const BgraFrame half_px(1, 1, 0, 0.5f);
    const BgraFrame full_px(1, 1, 0, 1.0f);
    const kernels::FrameView sharp{sharp_px.data(), 1, 1, 1};
    const kernels::FrameView half{half_px.data(), 1, 1, 1};
    const kernels::FrameView full{full_px.data(), 1, 1, 1};
    struct Case {
        bool use_blur;
        float amount, max, expected;
    };
    const Case cases[] = {
        {false, 3.0f, 3.0f, 0.2f},     // blurred images not to be read
        {true, 0.75f, 3.0f, 0.35f},    // half way to the half level
        {true, 2.25f, 3.0f, 0.75f},    // half way from the half level to the full one
        {true, 0.0015f, 0.002f, 0.8f}, // half level 0.001: sharp to full, no half read
    };
    for (const Case &c : cases) {
        EXPECT_NEAR(kernels::SampleBlurredChannel(sharp, half, full, c.use_blur, c.amount, c.max, 0.0f, 0.0f,
                                                  false, kernels::kGreen),
                    c.expected, 1e-6f)
            << c.amount << " of " << c.max;
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
