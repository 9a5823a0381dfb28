// The glass composite on the emulated device: the CPU shader's pixels within
// rounding where the two agree, and the device's own rules where they differ.
// Whole frames through the simulated host are compared in tests/hostsim.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bgra_frame.h"
#include "cpu/gaussian_blur.h"
#include "gpu/cuda_launchers.h"
#include "gpu/kernels/glass_kernel.h"
#include "shading/glass_shader.h"
#include "shading/shape_field.h"
#include "support/test_world.h"

namespace prismora {
namespace {

using test::BgraFrame;
using test::ParamsFor;
using test::PatternImage;

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr float kUntouched = -777.0f;

EffectSettings PanelSettings()
{
    EffectSettings s;
    s.center_x = 30.0f;
    s.center_y = 22.0f;
    s.glass_width = 40.0f;
    s.glass_height = 30.0f;
    s.corner_radius = 8.0f;
    return s;
}

// The composite of src (and optional blurred frames and matte) into a frame
// whose rows are two pixels wider than the output.
BgraFrame Composite(TPCudaPrismoraParams p, const BgraFrame &src, const BgraFrame *half = nullptr,
                    const BgraFrame *full = nullptr, const BgraFrame *matte = nullptr)
{
    BgraFrame dst(p.out_width, p.out_height, 2, kUntouched);
    p.dst_pitch = dst.pitch();
    p.src_pitch = src.pitch();
    p.half_blur_pitch = half != nullptr ? half->pitch() : p.src_pitch;
    p.full_blur_pitch = full != nullptr ? full->pitch() : p.src_pitch;
    if (matte != nullptr) {
        p.matte_pitch = matte->pitch();
    }
    EXPECT_EQ(LaunchGlassComposite(src.data(), half != nullptr ? half->data() : nullptr,
                                   full != nullptr ? full->data() : nullptr,
                                   matte != nullptr ? matte->data() : nullptr, dst.data(), &p),
              cudaSuccess);
    return dst;
}

// Settings the simulated host's frames leave at their defaults: a panel running
// off the left edge (refracted and split reads fall outside the frame), tint,
// partial amount and opacity, a stronger rim and tint multiplier.
TEST(EmulatedGlass, RectPanelMatchesTheCpuShader)
{
    const FloatImage image = PatternImage(kWidth, kHeight, 5);
    test::TestWorld<PF_PixelFloat> input(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            input.SetFloat(x, y, image.pixels[static_cast<size_t>(y) * kWidth + x]);
        }
    }
    test::TestWorld<PF_PixelFloat> output(kWidth, kHeight);
    EffectSettings s = PanelSettings();
    s.center_x = 6.0f;
    s.distortion_scale = 0.8f;
    s.chromatic_shift = 9.0f;
    s.color_amount = 0.6f;
    s.glass_color[1] = 0.9f;
    s.glass_color[2] = 0.2f;
    s.glass_color[3] = 0.5f;
    s.amount = 0.7f;
    s.opacity = 0.8f;
    s.edge_visibility = 1.6f;
    s.tint_multiplier = 1.2f;
    for (bool clamp : {false, true}) {
        s.clamp_edges = clamp;
        const float radius = s.blur_intensity * 0.1f;
        const FloatImage half = GaussianBlur(image, radius * 0.5f, s.quality, clamp);
        const FloatImage full = GaussianBlur(image, radius, s.quality, clamp);
        const BgraFrame half_frame = BgraFrame::FromImage(half, 1);
        const BgraFrame full_frame = BgraFrame::FromImage(full, 4);
        const BgraFrame gpu = Composite(ParamsFor(s, kWidth, kHeight, true), BgraFrame::FromImage(image, 3),
                                        &half_frame, &full_frame);
        int mismatches = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const FloatPixel c =
                    ShadeGlassPixel<PF_PixelFloat>(input.world(), output.world(), s, nullptr, &half, &full,
                                                   static_cast<float>(x), static_cast<float>(y));
                const FloatPixel g = gpu.Get(x, y);
                // Fused multiply-adds and folded weights move results by a few ulps only.
                const float d =
                    std::fmax(std::fmax(std::fabs(c.alpha - g.alpha), std::fabs(c.red - g.red)),
                              std::fmax(std::fabs(c.green - g.green), std::fabs(c.blue - g.blue)));
                if (!(d <= 2e-5f) && ++mismatches <= 5) {
                    ADD_FAILURE() << "clamp " << clamp << " pixel " << x << "," << y << " differs by " << d;
                }
            }
        }
        EXPECT_EQ(mismatches, 0) << "clamp " << clamp;
    }
}

TEST(EmulatedGlass, SeventeenByOneOutputWritesOnlyItsPixels)
{
    EffectSettings s = PanelSettings();
    s.center_x = 8.0f;
    s.center_y = 0.0f;
    const BgraFrame dst = Composite(ParamsFor(s, 17, 1, false), BgraFrame::FromImage(PatternImage(17, 1, 4)));
    for (int x = 0; x < dst.pitch(); ++x) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(dst.At(x, 0)[c] == kUntouched, x >= 17) << x;
        }
    }
}

float SoftDisc(int x, int y)
{
    const float r = std::hypot(static_cast<float>(x) - 28.0f, static_cast<float>(y) - 23.0f);
    return r <= 13.0f ? 1.0f : (r <= 15.0f ? (15.0f - r) * 0.5f : 0.0f);
}

// Full Frame draws nothing without a bound matte, nor over a matte whose alpha
// never exceeds 0.003.
TEST(EmulatedGlass, MatteModeWithoutCoverageLeavesTheSource)
{
    const BgraFrame src = BgraFrame::FromImage(PatternImage(kWidth, kHeight, 6), 3);
    EffectSettings s = PanelSettings();
    s.glass_mode = 2;
    TPCudaPrismoraParams p = ParamsFor(s, kWidth, kHeight, false);
    p.matte_width = kWidth;
    p.matte_height = kHeight;
    p.matte_center_x = 28.0f;
    p.matte_center_y = 23.0f;
    p.matte_size_x = p.matte_size_y = 30.0f;
    for (float scale : {1.0f, 0.003f}) {
        BgraFrame matte(kWidth, kHeight, 1);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                matte.Set(x, y, {SoftDisc(x, y) * scale, 1.0f, 1.0f, 1.0f});
            }
        }
        p.has_matte = scale == 1.0f ? 0 : 1;
        const BgraFrame out = Composite(p, src, nullptr, nullptr, &matte);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                for (int c = 0; c < 4; ++c) {
                    ASSERT_EQ(out.At(x, y)[c], src.At(x, y)[c]) << scale << " " << x << "," << y;
                }
            }
        }
    }
}

TEST(EmulatedGlass, DebugViewIgnoresZeroAmountOnTheDevice)
{
    const BgraFrame src = BgraFrame::FromImage(PatternImage(kWidth, kHeight, 12));
    EffectSettings s = PanelSettings();
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
    EffectSettings s;
    s.center_x = 50.0f;
    s.center_y = 50.0f;
    s.glass_width = 100.0f;
    s.glass_height = 100.0f;
    s.corner_radius = 0.0f;
    s.edge_range = 0.001f;
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
    const float sharp_px[4] = {0.2f, 0.2f, 0.2f, 0.2f};
    const float half_px[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    const float full_px[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const kernels::FrameView sharp{sharp_px, 1, 1, 1};
    const kernels::FrameView half{half_px, 1, 1, 1};
    const kernels::FrameView full{full_px, 1, 1, 1};
    struct Case {
        bool use_blur;
        float amount;
        float max;
        float expected;
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
    const EffectSettings s = PanelSettings();
    for (bool enabled : {false, true}) {
        const TPCudaPrismoraParams p = ParamsFor(s, kWidth, kHeight, enabled);
        const BgraFrame with_images = Composite(p, src, &bright, &bright);
        const BgraFrame without_images = Composite(p, src);
        EXPECT_EQ(with_images.floats() == without_images.floats(), !enabled) << enabled;
    }
}

} // namespace
} // namespace prismora
