#include "shading/glass_shader.h"

#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "support/test_world.h"

namespace prismora {
namespace {

using test::TestWorld;

// Values quoted to four decimals.
constexpr float kFourDecimals = 0.00006f;

EffectSettings PanelSettings()
{
    EffectSettings settings;
    settings.center_x = 500.0f;
    settings.center_y = 300.0f;
    return settings;
}

GlassTerms TermsAt(const EffectSettings &settings, float x, float y)
{
    return ComputeGlassTerms(ComputeRectShape(settings, x, y), settings, y);
}

FloatImage UniformImage(A_long width, A_long height, const FloatPixel &p)
{
    FloatImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), p);
    return image;
}

bool SameBits(const FloatPixel &a, const FloatPixel &b)
{
    return std::memcmp(&a, &b, sizeof(FloatPixel)) == 0;
}

TEST(GlassTerms, TenPixelsInsideTheRightEdge)
{
    const EffectSettings settings = PanelSettings();
    const ShapeSample shape = ComputeRectShape(settings, 618.0f, 300.0f);
    const GlassTerms t = ComputeGlassTerms(shape, settings, 300.0f);
    EXPECT_NEAR(shape.depth_norm, 0.0391f, kFourDecimals);
    EXPECT_NEAR(t.lens, 0.7807f, kFourDecimals);
    EXPECT_NEAR(t.offset_x, 29.979f, 0.0006f);
    EXPECT_EQ(t.offset_y, 0.0f);
    EXPECT_EQ(t.blur_max, 30.0f * 0.1f);
    EXPECT_NEAR(t.blur_amount, 1.8289f, kFourDecimals);
    EXPECT_NEAR(t.chroma, 0.9826f, kFourDecimals);
    EXPECT_NEAR(t.split_x, 3.9306f, kFourDecimals);
    EXPECT_EQ(t.split_y, 0.0f);
    EXPECT_NEAR(t.light, 0.5405f, kFourDecimals);
    EXPECT_NEAR(t.glow, 0.0147f, kFourDecimals);
    EXPECT_NEAR(t.shade, 0.0097f, kFourDecimals);
    EXPECT_NEAR(t.highlight, 0.0610f, kFourDecimals);
}

TEST(GlassTerms, OnTheRim)
{
    const EffectSettings settings = PanelSettings();
    const GlassTerms right = TermsAt(settings, 628.0f, 300.0f);
    EXPECT_EQ(ComputeRectShape(settings, 628.0f, 300.0f).coverage, 1.0f);
    EXPECT_EQ(right.lens, 0.0f);
    EXPECT_EQ(right.chroma, 1.0f);
    EXPECT_EQ(right.split_x, 4.0f);
    EXPECT_FLOAT_EQ(right.light, 0.55f);
    EXPECT_FLOAT_EQ(right.glow, 0.12f);
    EXPECT_NEAR(right.highlight, 0.1675f, kFourDecimals);
    EXPECT_NEAR(right.shade, 0.0099f, kFourDecimals);

    // The top rim catches more light than the right one.
    const GlassTerms top = TermsAt(settings, 500.0f, 172.0f);
    EXPECT_EQ(top.ny, -1.0f);
    EXPECT_FLOAT_EQ(top.top, 0.9f);
    EXPECT_FLOAT_EQ(top.shade, top.light * 0.15f * 0.04f);
    EXPECT_NEAR(top.highlight, 0.1802f, kFourDecimals);
    EXPECT_FLOAT_EQ(top.split_y, -4.0f);
}

TEST(GlassTerms, CentreIsFlatAndFullyBlurred)
{
    const GlassTerms t = TermsAt(PanelSettings(), 500.0f, 300.0f);
    EXPECT_EQ(t.lens, 0.0f);
    EXPECT_EQ(t.offset_x, 0.0f);
    EXPECT_EQ(t.chroma, 0.0f);
    EXPECT_EQ(t.rim, 0.0f);
    EXPECT_EQ(t.light, 0.0f);
    EXPECT_EQ(t.blur_amount, t.blur_max);
}

TEST(GlassTerms, SettingsThatSwitchPartsOff)
{
    EffectSettings settings = PanelSettings();
    settings.distortion_scale = -0.5f;
    const GlassTerms flat = TermsAt(settings, 618.0f, 300.0f);
    EXPECT_EQ(flat.offset_x, 0.0f);
    EXPECT_NEAR(flat.blur_amount, 1.8289f, kFourDecimals); // still follows the lens
    EXPECT_NEAR(flat.split_x, 3.9306f, kFourDecimals);

    settings = PanelSettings();
    settings.chromatic_range = 0.0f;
    const GlassTerms no_fringe = TermsAt(settings, 628.0f, 300.0f);
    EXPECT_EQ(no_fringe.chroma, 0.0f);
    EXPECT_EQ(no_fringe.split_x, 0.0f);
}

// A 1000 x 600 layer at origin (0, 0) under the default panel centred on (500, 300).
template <typename Pixel> class Shader {
public:
    Shader() : world(1000, 600) {}

    FloatPixel At(float x, float y, const EffectSettings &settings) const
    {
        return ShadeGlassPixel<Pixel>(world.world(), world.world(), settings, matte, half, full, x, y);
    }

    TestWorld<Pixel> world;
    const MatteField *matte = nullptr;
    const FloatImage *half = nullptr;
    const FloatImage *full = nullptr;
};

template <typename Pixel> class UniformGrey : public ::testing::Test {
};
TYPED_TEST_SUITE(UniformGrey, test::PixelTypes);

TYPED_TEST(UniformGrey, RimLightOnAnOpaqueGreyLayer)
{
    Shader<TypeParam> shader;
    shader.world.Fill({1.0f, 0.5f, 0.5f, 0.5f});
    const float g = shader.world.GetFloat(0, 0).red; // 0.5 as this depth stores it
    const FloatImage blurred = UniformImage(1000, 600, {1.0f, g, g, g});
    shader.half = &blurred;
    shader.full = &blurred;
    const EffectSettings settings = PanelSettings();

    const FloatPixel near = shader.At(618.0f, 300.0f, settings);
    EXPECT_EQ(near.alpha, 1.0f);
    EXPECT_NEAR(near.red, g + 0.0513f, kFourDecimals);
    EXPECT_EQ(near.green, near.red);
    EXPECT_EQ(near.blue, near.red);
    EXPECT_NEAR(shader.At(628.0f, 300.0f, settings).green, g + 0.1576f, kFourDecimals);
    EXPECT_FLOAT_EQ(shader.At(500.0f, 300.0f, settings).blue, g);
    if constexpr (sizeof(TypeParam) != 4) {
        EXPECT_NEAR(near.red, 0.5513f, kFourDecimals);
    }
}

TYPED_TEST(UniformGrey, NothingToDrawPassesTheSourceThrough)
{
    Shader<TypeParam> shader;
    shader.world.Fill({1.0f, 0.5f, 0.5f, 0.5f});
    shader.world.SetFloat(618, 300, {0.7f, 0.2f, 0.4f, 0.9f});
    const FloatPixel src = shader.world.GetFloat(618, 300);

    for (const int32_t view : {1, 3, 5}) {
        EffectSettings settings = PanelSettings();
        settings.debug_view = view;
        settings.amount = 0.0001f;
        EXPECT_TRUE(SameBits(shader.At(618.0f, 300.0f, settings), src));
        settings.amount = 1.0f;
        settings.opacity = 0.00005f;
        EXPECT_TRUE(SameBits(shader.At(618.0f, 300.0f, settings), src));
        // Full Frame without a usable matte leaves the layer alone.
        settings.opacity = 1.0f;
        settings.glass_mode = 2;
        EXPECT_TRUE(SameBits(shader.At(618.0f, 300.0f, settings), src));
        MatteField invalid;
        shader.matte = &invalid;
        EXPECT_TRUE(SameBits(shader.At(618.0f, 300.0f, settings), src));
        shader.matte = nullptr;
    }
    shader.world.SetFloat(700, 300, {0.7f, 0.2f, 0.4f, 0.9f});
    EXPECT_TRUE(SameBits(shader.At(700.0f, 300.0f, PanelSettings()), src));
}

// Red, green and blue all equal (x + 24) / 1024, so each read's position shows in its channel.
class RampShader : public ::testing::Test {
protected:
    RampShader()
    {
        for (A_long y = 0; y < 600; ++y) {
            for (A_long x = 0; x < 1000; ++x) {
                const float v = static_cast<float>(x + 24) / 1024.0f;
                shader.world.SetFloat(x, y, {1.0f, v, v, v});
            }
        }
    }

    Shader<PF_PixelFloat> shader;
};

TEST_F(RampShader, ReadsMoveTowardsTheCentreAndSplitAlongTheRadius)
{
    const EffectSettings settings = PanelSettings();
    const GlassTerms t = TermsAt(settings, 618.0f, 300.0f);
    const float lift = t.highlight - t.shade;
    const FloatPixel p = shader.At(618.0f, 300.0f, settings);
    EXPECT_NEAR(p.green, (618.0f + 24.0f - 29.979f) / 1024.0f + lift, 2e-6f);
    EXPECT_NEAR(p.red, (618.0f + 24.0f - 29.979f - 3.9306f) / 1024.0f + lift, 2e-6f);
    EXPECT_NEAR(p.blue, (618.0f + 24.0f - 29.979f + 3.9306f) / 1024.0f + lift, 2e-6f);

    // Without a colour band all three reads coincide.
    EffectSettings no_fringe = settings;
    no_fringe.chromatic_range = 0.0f;
    const FloatPixel q = shader.At(618.0f, 300.0f, no_fringe);
    EXPECT_EQ(q.red, q.green);
    EXPECT_EQ(q.blue, q.green);
    EXPECT_EQ(q.green, p.green);
}

TEST_F(RampShader, ReadsOffTheLayerAreClampedOnlyWhenAsked)
{
    // The panel's left rim on column 1: the fringe reads blue 4 pixels further
    // out, past the layer's edge. No light, so the reads show as they are.
    EffectSettings settings = PanelSettings();
    settings.center_x = 129.0f;
    settings.blur_intensity = 0.0f;
    settings.edge_visibility = 0.0f;
    const FloatPixel open = shader.At(1.0f, 300.0f, settings);
    EXPECT_EQ(open.red, 29.0f / 1024.0f);
    EXPECT_EQ(open.green, 25.0f / 1024.0f);
    EXPECT_EQ(open.blue, 0.0f);
    settings.clamp_edges = true;
    EXPECT_EQ(shader.At(1.0f, 300.0f, settings).blue, 24.0f / 1024.0f);
}

TEST(ShaderBlur, CentreShowsTheFullBlurClamped)
{
    Shader<PF_PixelFloat> shader;
    shader.world.Fill({1.0f, 0.5f, 0.5f, 0.5f});
    const FloatImage half = UniformImage(1000, 600, {1.0f, 0.1f, 0.1f, 0.1f});
    const FloatImage full = UniformImage(1000, 600, {1.0f, 0.8f, 1.4f, -0.2f});
    shader.half = &half;
    shader.full = &full;
    const FloatPixel p = shader.At(500.0f, 300.0f, PanelSettings());
    EXPECT_EQ(p.alpha, 1.0f);
    EXPECT_FLOAT_EQ(p.red, 0.8f);
    EXPECT_EQ(p.green, 1.0f);
    EXPECT_EQ(p.blue, 0.0f);

    // Without a blur strength every read is sharp.
    EffectSettings sharp = PanelSettings();
    sharp.blur_intensity = 0.0f;
    EXPECT_EQ(shader.At(500.0f, 300.0f, sharp).red, 0.5f);
}

TEST(ShaderTint, GlassColourPullsTheMiddleByPoint62)
{
    Shader<PF_PixelFloat> shader;
    shader.world.Fill({1.0f, 0.5f, 0.5f, 0.5f});
    EffectSettings settings = PanelSettings();
    settings.color_amount = 1.0f;
    settings.glass_color[1] = 1.0f;
    settings.glass_color[2] = 0.0f;
    settings.glass_color[3] = 0.0f;
    const FloatPixel p = shader.At(500.0f, 300.0f, settings);
    EXPECT_FLOAT_EQ(p.green, 0.5f * 0.38f);
    EXPECT_FLOAT_EQ(p.blue, 0.5f * 0.38f);
    EXPECT_FLOAT_EQ(p.red, 0.81f);

    settings.tint_multiplier = 2.0f;
    settings.color_amount = 0.0f;
    EXPECT_EQ(shader.At(500.0f, 300.0f, settings).green, 1.0f);
}

TEST(ShaderComposite, TransparentSourceTakesCoverageAsAlpha)
{
    Shader<PF_PixelFloat> shader;
    shader.world.Fill({0.0f, 0.2f, 0.2f, 0.2f});
    const EffectSettings settings = PanelSettings();
    const GlassTerms t = TermsAt(settings, 628.5f, 300.0f);
    const float out = 1.0f * t.highlight + 0.2f - t.shade;
    const FloatPixel p = shader.At(628.5f, 300.0f, settings);
    EXPECT_EQ(p.alpha, 0.5f);
    EXPECT_EQ(p.red, (out - 0.2f) * 0.5f + 0.2f);

    // Half opacity halves the mix again.
    EffectSettings faint = settings;
    faint.opacity = 0.5f;
    EXPECT_EQ(shader.At(628.5f, 300.0f, faint).alpha, 0.25f);

    // The glass never makes the layer more transparent.
    shader.world.Fill({0.8f, 0.2f, 0.2f, 0.2f});
    EXPECT_EQ(shader.At(628.5f, 300.0f, settings).alpha, 0.8f);
}

TEST(ShaderDebugViews, DrawTheModelsQuantities)
{
    Shader<PF_PixelFloat> shader;
    shader.world.Fill({0.25f, 0.5f, 0.5f, 0.5f});
    EffectSettings settings = PanelSettings();

    settings.debug_view = 2;
    const FloatPixel mask = shader.At(628.5f, 300.0f, settings);
    EXPECT_EQ(mask.alpha, 0.5f);
    EXPECT_EQ(mask.red, 0.5f);
    EXPECT_EQ(mask.blue, 0.5f);

    settings.debug_view = 3;
    const FloatPixel sdf = shader.At(618.0f, 300.0f, settings);
    EXPECT_EQ(sdf.alpha, 1.0f);
    EXPECT_NEAR(sdf.red, 0.0781f, kFourDecimals);
    EXPECT_EQ(shader.At(500.0f, 300.0f, settings).green, 1.0f);

    settings.debug_view = 4;
    EXPECT_NEAR(shader.At(618.0f, 300.0f, settings).green, 0.7807f, kFourDecimals);

    settings.debug_view = 5;
    const FloatPixel offset = shader.At(618.0f, 300.0f, settings);
    EXPECT_EQ(offset.alpha, 1.0f);
    EXPECT_NEAR(offset.red, 0.2342f, kFourDecimals);
    EXPECT_NEAR(offset.green, 0.1522f, kFourDecimals);
    EXPECT_NEAR(offset.blue, 0.7658f, kFourDecimals);

    // Off the panel every view shows the layer.
    EXPECT_EQ(shader.At(700.0f, 300.0f, settings).alpha, 0.25f);
}

TEST(ShaderMatte, FullFrameFollowsTheMatte)
{
    Shader<PF_PixelFloat> shader;
    shader.world.Fill({0.25f, 0.5f, 0.5f, 0.5f});
    // A 100 x 100 matte box on layer (200..299, 100..199), 20 pixels deep everywhere.
    MatteField matte;
    matte.valid = true;
    matte.center_x = 250.0f;
    matte.center_y = 150.0f;
    matte.width = 100.0f;
    matte.height = 100.0f;
    matte.grid_x = 200;
    matte.grid_y = 100;
    matte.grid_width = 100;
    matte.grid_height = 100;
    matte.distance.assign(10000, 20.0f);
    matte.alpha.assign(10000, 1.0f);
    shader.matte = &matte;

    EffectSettings settings = PanelSettings();
    settings.glass_mode = 2;
    // The rectangle's centre is off the matte: untouched.
    EXPECT_EQ(shader.At(500.0f, 300.0f, settings).alpha, 0.25f);

    const FloatPixel on = shader.At(250.0f, 150.0f, settings);
    EXPECT_EQ(on.alpha, 1.0f);
    EXPECT_NE(on.red, 0.5f);

    settings.debug_view = 3; // depth_norm 0.2 over edge_range 0.5; alpha stays the layer's
    const FloatPixel sdf = shader.At(250.0f, 150.0f, settings);
    EXPECT_EQ(sdf.alpha, 0.25f);
    EXPECT_FLOAT_EQ(sdf.red, 0.4f);
}

} // namespace
} // namespace prismora
