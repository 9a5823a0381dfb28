// The glass composite on the emulated device: the CPU shader's pixels within
// rounding where the two agree, and the device's documented differences.
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bgra_frame.h"
#include "cpu/gaussian_blur.h"
#include "cpu/matte_field.h"
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
using test::TestWorld;

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr float kUntouched = -777.0f;

TestWorld<PF_PixelFloat> *NewWorld(const FloatImage &image)
{
    auto *world = new TestWorld<PF_PixelFloat>(image.width, image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            world->SetFloat(x, y, image.pixels[static_cast<size_t>(y) * image.width + x]);
        }
    }
    return world;
}

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

// One frame rendered by the CPU shader and by the emulated device from the
// same source, blurred images and matte.
class GlassScene {
public:
    explicit GlassScene(const FloatImage &image, int src_padding = 3)
        : image_(image), input_(NewWorld(image)), output_(image.width, image.height),
          src_(BgraFrame::FromImage(image, src_padding))
    {
    }

    void SetMatte(const std::function<float(int, int)> &alpha)
    {
        matte_world_.reset(new TestWorld<PF_PixelFloat>(image_.width, image_.height));
        matte_frame_.reset(new BgraFrame(image_.width, image_.height, 1));
        for (int y = 0; y < image_.height; ++y) {
            for (int x = 0; x < image_.width; ++x) {
                const FloatPixel p{alpha(x, y), 0.2f, 0.3f, 0.4f};
                matte_world_->SetFloat(x, y, p);
                matte_frame_->Set(x, y, p);
            }
        }
        field_valid_ = BuildMatteField<PF_PixelFloat>(matte_world_->world(), field_);
    }

    FloatPixel Cpu(const EffectSettings &s, int x, int y)
    {
        MakeBlurs(s);
        const bool blurred = s.blur_intensity * 0.1f > 0.001f;
        return ShadeGlassPixel<PF_PixelFloat>(
            input_->world(), output_.world(), s, field_valid_ ? &field_ : nullptr, blurred ? &half_ : nullptr,
            blurred ? &full_ : nullptr, static_cast<float>(x), static_cast<float>(y));
    }

    TPCudaPrismoraParams Params(const EffectSettings &s)
    {
        MakeBlurs(s);
        TPCudaPrismoraParams p = ParamsFor(s, image_.width, image_.height, s.blur_intensity * 0.1f > 0.001f);
        p.src_pitch = src_.pitch();
        p.half_blur_pitch = half_frame_.pitch();
        p.full_blur_pitch = full_frame_.pitch();
        if (matte_frame_ && field_valid_) {
            p.matte_pitch = matte_frame_->pitch();
            p.matte_width = matte_frame_->width();
            p.matte_height = matte_frame_->height();
            p.matte_center_x = field_.center_x;
            p.matte_center_y = field_.center_y;
            p.matte_size_x = field_.width;
            p.matte_size_y = field_.height;
            p.has_matte = 1;
        }
        return p;
    }

    // The device's output frame (dst pitch = width + 2).
    BgraFrame Gpu(const TPCudaPrismoraParams &p)
    {
        BgraFrame dst(p.out_width > 0 ? p.out_width : 1, p.out_height > 0 ? p.out_height : 1, 2, kUntouched);
        TPCudaPrismoraParams q = p;
        q.dst_pitch = dst.pitch();
        EXPECT_EQ(LaunchGlassComposite(src_.data(), half_frame_.data(), full_frame_.data(),
                                       matte_frame_ ? matte_frame_->data() : nullptr, dst.data(), &q),
                  cudaSuccess);
        return dst;
    }

    void ExpectAgreement(const EffectSettings &s, float tolerance, const std::string &what)
    {
        const BgraFrame gpu = Gpu(Params(s));
        int mismatches = 0;
        for (int y = 0; y < image_.height; ++y) {
            for (int x = 0; x < image_.width; ++x) {
                const FloatPixel c = Cpu(s, x, y);
                const FloatPixel g = gpu.Get(x, y);
                const bool same =
                    std::fabs(c.alpha - g.alpha) <= tolerance && std::fabs(c.red - g.red) <= tolerance &&
                    std::fabs(c.green - g.green) <= tolerance && std::fabs(c.blue - g.blue) <= tolerance;
                if (!same && ++mismatches <= 5) {
                    ADD_FAILURE() << what << " pixel " << x << "," << y << ": cpu (" << c.alpha << ", "
                                  << c.red << ", " << c.green << ", " << c.blue << ") gpu (" << g.alpha
                                  << ", " << g.red << ", " << g.green << ", " << g.blue << ")";
                }
            }
        }
        EXPECT_EQ(mismatches, 0) << what;
    }

    const BgraFrame &source() const { return src_; }

private:
    void MakeBlurs(const EffectSettings &s)
    {
        const float strength = s.blur_intensity * 0.1f;
        if (blurred_for_ == strength && blur_quality_ == s.quality && blur_clamp_ == s.clamp_edges) {
            return;
        }
        half_ = GaussianBlur(image_, strength * 0.5f, s.quality, s.clamp_edges);
        full_ = GaussianBlur(image_, strength, s.quality, s.clamp_edges);
        half_frame_ = BgraFrame::FromImage(half_, 1);
        full_frame_ = BgraFrame::FromImage(full_, 4);
        blurred_for_ = strength;
        blur_quality_ = s.quality;
        blur_clamp_ = s.clamp_edges;
    }

    FloatImage image_;
    std::unique_ptr<TestWorld<PF_PixelFloat>> input_;
    TestWorld<PF_PixelFloat> output_;
    BgraFrame src_;
    FloatImage half_;
    FloatImage full_;
    BgraFrame half_frame_{1, 1};
    BgraFrame full_frame_{1, 1};
    float blurred_for_ = -1.0f;
    int32_t blur_quality_ = 0;
    bool blur_clamp_ = false;
    std::unique_ptr<TestWorld<PF_PixelFloat>> matte_world_;
    std::unique_ptr<BgraFrame> matte_frame_;
    MatteField field_;
    bool field_valid_ = false;
};

// Device arithmetic (fused multiply-adds, folded weights) moves results by a few ulps only.
constexpr float kTolerance = 2e-5f;

TEST(EmulatedGlass, RoundedRectMatchesTheCpuShader)
{
    GlassScene scene(PatternImage(kWidth, kHeight, 11));
    EffectSettings s = PanelSettings();
    scene.ExpectAgreement(s, kTolerance, "default panel");

    s.color_amount = 0.6f;
    s.glass_color[1] = 0.9f;
    s.glass_color[2] = 0.2f;
    s.glass_color[3] = 0.5f;
    s.amount = 0.7f;
    s.opacity = 0.8f;
    s.edge_visibility = 1.6f;
    s.tint_multiplier = 1.2f;
    scene.ExpectAgreement(s, kTolerance, "tinted, partial amount");
}

TEST(EmulatedGlass, EdgeRulesMatchTheCpuShader)
{
    // The panel runs off the left edge, so refracted and split reads fall outside the frame.
    GlassScene scene(PatternImage(kWidth, kHeight, 5));
    EffectSettings s = PanelSettings();
    s.center_x = 6.0f;
    s.distortion_scale = 0.8f;
    s.chromatic_shift = 9.0f;
    for (bool clamp : {false, true}) {
        s.clamp_edges = clamp;
        scene.ExpectAgreement(s, kTolerance, clamp ? "clamp_edges on" : "clamp_edges off");
    }
}

TEST(EmulatedGlass, DebugViewsMatchTheCpuShader)
{
    GlassScene scene(PatternImage(kWidth, kHeight, 2));
    EffectSettings s = PanelSettings();
    for (int32_t view = 2; view <= 5; ++view) {
        s.debug_view = view;
        scene.ExpectAgreement(s, kTolerance, "debug view " + std::to_string(view));
    }
}

float SoftDisc(int x, int y)
{
    const float dx = static_cast<float>(x) - 28.0f;
    const float dy = static_cast<float>(y) - 23.0f;
    const float r = std::sqrt(dx * dx + dy * dy);
    return r <= 13.0f ? 1.0f : (r <= 15.0f ? (15.0f - r) * 0.5f : 0.0f);
}

TEST(EmulatedGlass, MatteShapeMatchesTheCpuShader)
{
    GlassScene scene(PatternImage(kWidth, kHeight, 9));
    scene.SetMatte(SoftDisc);
    EffectSettings s = PanelSettings();
    s.glass_mode = 2;
    scene.ExpectAgreement(s, kTolerance, "matte");
    s.debug_view = 3;
    scene.ExpectAgreement(s, kTolerance, "matte depth view");
}

TEST(EmulatedGlass, SeventeenByOneOutputWritesOnlyItsPixels)
{
    GlassScene scene(PatternImage(17, 1, 4));
    EffectSettings s = PanelSettings();
    s.center_x = 8.0f;
    s.center_y = 0.0f;
    TPCudaPrismoraParams p = scene.Params(s);
    const BgraFrame dst = scene.Gpu(p);
    for (int x = 0; x < dst.pitch(); ++x) {
        for (int c = 0; c < 4; ++c) {
            if (x < 17) {
                EXPECT_NE(dst.At(x, 0)[c], kUntouched) << x;
            } else {
                EXPECT_EQ(dst.At(x, 0)[c], kUntouched) << x;
            }
        }
    }
}

void ExpectSourceFrame(const BgraFrame &out, const BgraFrame &src)
{
    for (int y = 0; y < src.height(); ++y) {
        for (int x = 0; x < src.width(); ++x) {
            for (int c = 0; c < 4; ++c) {
                ASSERT_EQ(out.At(x, y)[c], src.At(x, y)[c]) << x << "," << y;
            }
        }
    }
}

TEST(EmulatedGlass, MatteModeWithoutAMatteLeavesTheSource)
{
    GlassScene scene(PatternImage(kWidth, kHeight, 6));
    scene.SetMatte(SoftDisc);
    EffectSettings s = PanelSettings();
    s.glass_mode = 2;
    TPCudaPrismoraParams p = scene.Params(s);
    ASSERT_EQ(p.has_matte, 1);
    p.has_matte = 0;
    ExpectSourceFrame(scene.Gpu(p), scene.source());
}

TEST(EmulatedGlass, FaintMatteLeavesTheSource)
{
    GlassScene scene(PatternImage(kWidth, kHeight, 8));
    scene.SetMatte(SoftDisc);
    EffectSettings s = PanelSettings();
    s.glass_mode = 2;
    TPCudaPrismoraParams p = scene.Params(s);

    // The same block over a matte whose alpha never exceeds 0.003.
    BgraFrame faint(kWidth, kHeight, 1);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            faint.Set(x, y, {SoftDisc(x, y) * 0.003f, 1.0f, 1.0f, 1.0f});
        }
    }
    BgraFrame dst(kWidth, kHeight, 2);
    p.dst_pitch = dst.pitch();
    p.matte_pitch = faint.pitch();
    p.blur_enabled = 0;
    ASSERT_EQ(LaunchGlassComposite(scene.source().data(), nullptr, nullptr, faint.data(), dst.data(), &p),
              cudaSuccess);
    ExpectSourceFrame(dst, scene.source());
}

TEST(EmulatedGlass, DebugViewIgnoresZeroAmountOnTheDevice)
{
    GlassScene scene(PatternImage(kWidth, kHeight, 12));
    EffectSettings s = PanelSettings();
    s.amount = 0.0f;
    s.debug_view = 2;
    const BgraFrame gpu = scene.Gpu(scene.Params(s));
    const FloatPixel centre = gpu.Get(30, 22);
    EXPECT_EQ(centre.red, 1.0f); // the mask, full coverage
    EXPECT_EQ(centre.alpha, 1.0f);
    const FloatPixel off_panel = gpu.Get(60, 2);
    const FloatPixel source = scene.source().Get(60, 2);
    EXPECT_EQ(off_panel.red, source.red);
    // The CPU shows the untouched source there.
    const FloatPixel cpu = scene.Cpu(s, 30, 22);
    EXPECT_EQ(cpu.red, scene.source().Get(30, 22).red);
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
    const TPCudaPrismoraParams p = ParamsFor(s, 128, 128, false);
    const float x = 99.75f; // depth 0.25
    const kernels::GpuShape gpu = kernels::GpuRectShape(p, x, 50.0f);
    ASSERT_TRUE(gpu.inside);
    EXPECT_NEAR(gpu.depth, 0.25f, 1e-6f);
    EXPECT_NEAR(gpu.edge_factor, 0.5f, 1e-6f); // SmoothStep(0, 0.5, 0.25)
    const ShapeSample cpu = ComputeRectShape(s, x, 50.0f);
    EXPECT_NEAR(cpu.edge_factor, 1.0f - 7.0f / 27.0f, 1e-6f); // SmoothStep(0, 0.75, 0.25)
}

TEST(EmulatedGlass, BlurDisabledReadsSharpEvenWithBlurredImagesBound)
{
    GlassScene scene(PatternImage(kWidth, kHeight, 13));
    EffectSettings s = PanelSettings();
    TPCudaPrismoraParams p = scene.Params(s);
    BgraFrame bright(kWidth, kHeight, 0, 5.0f);
    BgraFrame with_images(kWidth, kHeight, 2);
    BgraFrame without_images(kWidth, kHeight, 2);
    p.dst_pitch = with_images.pitch();
    p.half_blur_pitch = p.full_blur_pitch = bright.pitch();
    for (int enabled : {0, 1}) {
        p.blur_enabled = enabled;
        ASSERT_EQ(LaunchGlassComposite(scene.source().data(), bright.data(), bright.data(), nullptr,
                                       with_images.data(), &p),
                  cudaSuccess);
        ASSERT_EQ(
            LaunchGlassComposite(scene.source().data(), nullptr, nullptr, nullptr, without_images.data(), &p),
            cudaSuccess);
        if (enabled == 0) {
            EXPECT_EQ(with_images.floats(), without_images.floats());
        } else {
            EXPECT_NE(with_images.floats(),
                      without_images.floats()); // the bright images do show when enabled
        }
    }
}

} // namespace
} // namespace prismora
