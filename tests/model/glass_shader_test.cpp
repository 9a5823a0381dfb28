#include "model/glass_shader.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "support/test_world.h"

namespace prismora {
namespace {

using test::PanelSettings;
using test::SameBits;
using test::TestWorld;
using test::UniformImage;

// Values quoted to four decimals.
constexpr float kFourDecimals = 0.00006f;

GlassTerms TermsAt(const EffectSettings &settings, float x, float y)
{
    return ComputeGlassTerms<CpuGlassPolicy>(RectShape<CpuGlassPolicy>(settings, x, y), settings,
                                             BlurStrength(settings), y);
}

// The model's quantities at known pixels of the default panel, to four decimals
// (offset_x to three); NaN: not checked.
TEST(GlassTerms, QuantitiesAtKnownPixels)
{
    constexpr float n = std::numeric_limits<float>::quiet_NaN();
    constexpr float GlassTerms::*kColumns[] = {
        &GlassTerms::lens,    &GlassTerms::offset_x,  &GlassTerms::blur_amount, &GlassTerms::chroma,
        &GlassTerms::split_x, &GlassTerms::split_y,   &GlassTerms::light,       &GlassTerms::glow,
        &GlassTerms::shade,   &GlassTerms::highlight, &GlassTerms::top};
    EffectSettings flat = PanelSettings();
    flat.distortion_scale = -0.5f; // no refraction; blur and fringe still follow the lens
    EffectSettings no_fringe = PanelSettings();
    no_fringe.chromatic_range = 0.0f;
    const struct {
        EffectSettings settings;
        float x, y;
        float expected[11];
    } cases[] = {
        // clang-format off
        //                            lens     offset   blur     chroma   split_x split_y light glow  shade    highlight top
        {PanelSettings(), 618, 300, {0.7807f, 29.979f, 1.8289f, 0.9826f, 3.9306f, 0, 0.5405f, 0.0147f, 0.0097f, 0.0610f, n}},
        {PanelSettings(), 628, 300, {0,       0,       3,       1,       4,       0, 0.55f,   0.12f,   0.0099f, 0.1675f, n}},
        {PanelSettings(), 500, 172, {0,       0,       3,       1,       0,      -4, 0.55f,   0.12f,   0.0033f, 0.1802f, 0.9f}},
        {PanelSettings(), 500, 300, {0,       0,       3,       0,       0,       0, 0,       0,       0,       0,       n}},
        {flat,            618, 300, {n,       0,       1.8289f, n,       3.9306f, n, n,       n,       n,       n,       n}},
        {no_fringe,       628, 300, {n,       n,       n,       0,       0,       n, n,       n,       n,       n,       n}},
        // clang-format on
    };
    for (const auto &c : cases) {
        const GlassTerms t = TermsAt(c.settings, c.x, c.y);
        for (size_t k = 0; k < 11; ++k) {
            if (!std::isnan(c.expected[k])) {
                EXPECT_NEAR(t.*kColumns[k], c.expected[k], k == 1 ? 0.0006f : kFourDecimals)
                    << "(" << c.x << ", " << c.y << ") column " << k;
            }
        }
    }
}

// Each offset scales with the panel's size along its own axis.
TEST(GlassTerms, OffsetFollowsTheSideAlongIt)
{
    EffectSettings wide = PanelSettings();
    wide.glass_height = 200.0f;
    EffectSettings tall = PanelSettings();
    tall.glass_width = 200.0f;
    const GlassTerms right = TermsAt(wide, 618.0f, 300.0f);
    const GlassTerms bottom = TermsAt(tall, 500.0f, 418.0f);
    EXPECT_GT(right.offset_x, 0.0f);
    EXPECT_EQ(right.offset_x, bottom.offset_y);
    EXPECT_EQ(right.split_x, bottom.split_y);
}

// A 1000 x 600 layer at origin (0, 0) under the default panel centred on (500, 300).
template <typename Pixel> class Shader {
public:
    Shader() : world(1000, 600) {}

    FloatPixel At(float x, float y, const EffectSettings &settings) const
    {
        return ShadeGlassPixel<Pixel>(world.world(), settings, matte, half, full, x, y);
    }

    TestWorld<Pixel> world;
    const MatteField *matte = nullptr;
    const FloatImage *half = nullptr;
    const FloatImage *full = nullptr;
};

template <typename Pixel> class UniformGrey : public ::testing::Test {
};
TYPED_TEST_SUITE(UniformGrey, test::PixelTypes);

TYPED_TEST(UniformGrey, NothingToDrawPassesTheSourceThrough)
{
    Shader<TypeParam> shader;
    shader.world.Fill({1.0f, 0.5f, 0.5f, 0.5f});
    shader.world.SetFloat(618, 300, {0.7f, 0.2f, 0.4f, 0.9f});
    shader.world.SetFloat(700, 300, {0.7f, 0.2f, 0.4f, 0.9f});
    const FloatPixel src = shader.world.GetFloat(618, 300);
    EXPECT_TRUE(SameBits(shader.At(700.0f, 300.0f, PanelSettings()), src)); // off the panel

    for (const int32_t view : {kDebugOff, kDebugInversedSdf, kDebugSampleOffset}) {
        EffectSettings settings = PanelSettings();
        settings.debug_view = view;
        settings.amount = 0.0001f;
        EXPECT_TRUE(SameBits(shader.At(618.0f, 300.0f, settings), src));
        settings.amount = 1.0f;
        settings.opacity = 0.0001f;
        EXPECT_TRUE(SameBits(shader.At(618.0f, 300.0f, settings), src));
        // Full Frame without a usable matte leaves the layer alone.
        settings.opacity = 1.0f;
        settings.glass_mode = kGlassFullFrame;
        EXPECT_TRUE(SameBits(shader.At(618.0f, 300.0f, settings), src));
        MatteField invalid;
        shader.matte = &invalid;
        EXPECT_TRUE(SameBits(shader.At(618.0f, 300.0f, settings), src));
        shader.matte = nullptr;
        // A glass mode outside the popup has no shape either.
        settings.glass_mode = 3;
        EXPECT_TRUE(SameBits(shader.At(618.0f, 300.0f, settings), src));
    }
}

// Red, green and blue all equal (x + 24) / 1024, so each read's position shows in its channel.
TEST(RampShader, ReadsMoveTowardsTheCentreSplitAlongTheRadiusAndClampOnlyWhenAsked)
{
    Shader<PF_PixelFloat> shader;
    for (A_long y = 0; y < 600; ++y) {
        for (A_long x = 0; x < 1000; ++x) {
            const float v = static_cast<float>(x + 24) / 1024.0f;
            shader.world.SetFloat(x, y, {1.0f, v, v, v});
        }
    }
    EffectSettings settings = PanelSettings();
    const GlassTerms t = TermsAt(settings, 618.0f, 300.0f);
    const float lift = t.highlight - t.shade;
    const FloatPixel p = shader.At(618.0f, 300.0f, settings);
    EXPECT_NEAR(p.green, (618.0f + 24.0f - 29.979f) / 1024.0f + lift, 2e-6f);
    EXPECT_NEAR(p.red, (618.0f + 24.0f - 29.979f - 3.9306f) / 1024.0f + lift, 2e-6f);
    EXPECT_NEAR(p.blue, (618.0f + 24.0f - 29.979f + 3.9306f) / 1024.0f + lift, 2e-6f);
    settings.chromatic_shift = 0.0f; // all three reads coincide
    const FloatPixel same = shader.At(618.0f, 300.0f, settings);
    EXPECT_EQ(same.red, p.green);
    EXPECT_EQ(same.blue, p.green);

    // The panel's left rim on column 1: the fringe reads blue 4 pixels further
    // out, past the layer's edge. No light, so the reads show as they are.
    settings = PanelSettings();
    settings.center_x = 129.0f;
    settings.blur_intensity = 0.0f;
    settings.edge_visibility = 0.0f;
    EXPECT_TRUE(SameBits(shader.At(1.0f, 300.0f, settings), {1.0f, 29.0f / 1024.0f, 25.0f / 1024.0f, 0.0f}));
    settings.clamp_edges = true;
    EXPECT_EQ(shader.At(1.0f, 300.0f, settings).blue, 24.0f / 1024.0f);
}

TEST(ShaderBlurAndTint, CentreShowsTheFullBlurTintedAndClamped)
{
    Shader<PF_PixelFloat> shader;
    shader.world.Fill({1.0f, 0.5f, 0.5f, 0.5f});
    const FloatImage half = UniformImage(1000, 600, {1.0f, 0.1f, 0.1f, 0.1f});
    const FloatImage full = UniformImage(1000, 600, {1.0f, 0.8f, 1.4f, -0.2f});
    shader.half = &half;
    shader.full = &full;
    EffectSettings settings = PanelSettings();
    const FloatPixel blurred = shader.At(500.0f, 300.0f, settings);
    EXPECT_EQ(blurred.alpha, 1.0f);
    EXPECT_FLOAT_EQ(blurred.red, 0.8f);
    EXPECT_EQ(blurred.green, 1.0f);
    EXPECT_EQ(blurred.blue, 0.0f);
    settings.blur_intensity = 0.0f; // every read sharp
    EXPECT_EQ(shader.At(500.0f, 300.0f, settings).red, 0.5f);
    settings.tint_multiplier = 2.0f;
    EXPECT_EQ(shader.At(500.0f, 300.0f, settings).green, 1.0f);

    // Pure red glass pulls the middle by 0.62; on the rim by 0.9, lit in 0.75 red.
    settings.tint_multiplier = 1.0f;
    settings.color_amount = 1.0f;
    settings.glass_color[1] = 1.0f;
    settings.glass_color[2] = 0.0f;
    settings.glass_color[3] = 0.0f;
    const FloatPixel centre = shader.At(500.0f, 300.0f, settings);
    EXPECT_FLOAT_EQ(centre.green, 0.5f * 0.38f);
    EXPECT_FLOAT_EQ(centre.blue, 0.5f * 0.38f);
    EXPECT_FLOAT_EQ(centre.red, 0.81f);
    const GlassTerms t = TermsAt(settings, 628.0f, 300.0f);
    const FloatPixel rim = shader.At(628.0f, 300.0f, settings);
    EXPECT_EQ(rim.red, 1.0f); // 0.95 + 0.1675 - 0.0099, cut at 1
    EXPECT_NEAR(rim.green, 0.25f * t.highlight + 0.05f - t.shade, 1e-6f);
}

TEST(ShaderComposite, MixByCoverageOpacityAndAmountNeverLowersAlpha)
{
    Shader<PF_PixelFloat> shader;
    shader.world.Fill({0.0f, 0.2f, 0.2f, 0.2f});
    EffectSettings settings = PanelSettings();
    const GlassTerms t = TermsAt(settings, 628.5f, 300.0f);
    const float out = t.highlight + 0.2f - t.shade;
    const FloatPixel p = shader.At(628.5f, 300.0f, settings);
    EXPECT_EQ(p.alpha, 0.5f);
    EXPECT_EQ(p.red, (out - 0.2f) * 0.5f + 0.2f);
    settings.opacity = 0.5f;
    EXPECT_EQ(shader.At(628.5f, 300.0f, settings).alpha, 0.25f);
    shader.world.Fill({0.8f, 0.2f, 0.2f, 0.2f});
    EXPECT_EQ(shader.At(628.5f, 300.0f, settings).alpha, 0.8f);
}

TEST(ShaderDebugViews, DrawTheModelsQuantities)
{
    Shader<PF_PixelFloat> shader;
    shader.world.Fill({0.25f, 0.5f, 0.5f, 0.5f});
    EffectSettings settings = PanelSettings();
    const struct {
        int32_t view;
        float x;
        FloatPixel expected;
    } cases[] = {
        {kDebugGlassMask, 628.5f, {0.5f, 0.5f, 0.5f, 0.5f}}, // alpha is the coverage
        {kDebugInversedSdf, 618.0f, {1.0f, 0.0781f, 0.0781f, 0.0781f}},
        {kDebugInversedSdf, 500.0f, {1.0f, 1.0f, 1.0f, 1.0f}},
        {kDebugDistortion, 618.0f, {1.0f, 0.7807f, 0.7807f, 0.7807f}},
        {kDebugSampleOffset, 618.0f, {1.0f, 0.2342f, 0.1522f, 0.7658f}},
        {kDebugSampleOffset, 700.0f, {0.25f, 0.5f, 0.5f, 0.5f}}, // off the panel: the layer
    };
    for (const auto &c : cases) {
        settings.debug_view = c.view;
        const FloatPixel p = shader.At(c.x, 300.0f, settings);
        EXPECT_EQ(p.alpha, c.expected.alpha) << c.view << " at " << c.x;
        EXPECT_NEAR(p.red, c.expected.red, kFourDecimals) << c.view << " at " << c.x;
        EXPECT_NEAR(p.green, c.expected.green, kFourDecimals) << c.view << " at " << c.x;
        EXPECT_NEAR(p.blue, c.expected.blue, kFourDecimals) << c.view << " at " << c.x;
    }
}

TEST(ShaderMatte, FullFrameFollowsTheMatte)
{
    Shader<PF_PixelFloat> shader;
    shader.world.Fill({0.25f, 0.5f, 0.5f, 0.5f});
    // A 100 x 100 matte box on layer (200..299, 100..199), 20 pixels deep everywhere.
    const MatteField matte = test::BoxMatte(200, 100, 100, 100, 20.0f);
    shader.matte = &matte;

    EffectSettings settings = PanelSettings();
    settings.glass_mode = kGlassFullFrame;
    EXPECT_EQ(shader.At(500.0f, 300.0f, settings).alpha, 0.25f); // the rectangle's centre: off the matte
    const FloatPixel on = shader.At(250.0f, 150.0f, settings);
    EXPECT_EQ(on.alpha, 1.0f);
    EXPECT_NE(on.red, 0.5f);

    settings.debug_view = kDebugInversedSdf; // depth_norm 0.2 over edge_range 0.5; alpha stays the layer's
    const FloatPixel sdf = shader.At(250.0f, 150.0f, settings);
    EXPECT_EQ(sdf.alpha, 0.25f);
    EXPECT_FLOAT_EQ(sdf.red, 0.4f);
}

} // namespace
} // namespace prismora
