#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "host/effect_settings.h"
#include "host/param_index.h"
#include "host/params_setup.h"
#include "support/fake_host.h"

namespace prismora {
namespace {

// A parameter table as the host hands it over; entries start out absent.
class ParamTable {
public:
    ParamTable()
    {
        std::memset(defs_.data(), 0, sizeof(defs_));
        ptrs_.fill(nullptr);
    }
    PF_ParamDef &Set(ParamIndex index)
    {
        ptrs_[index] = &defs_[index];
        return defs_[index];
    }
    void Slider(ParamIndex index, double value) { Set(index).u.fs_d.value = value; }
    EffectSettings Read() const { return ReadEffectSettings(ptrs_.data()); }

private:
    std::array<PF_ParamDef, kParamCount> defs_;
    std::array<PF_ParamDef *, kParamCount> ptrs_;
};

void ExpectAbsentValues(const EffectSettings &s)
{
    EXPECT_EQ(s.quality, 2);
    EXPECT_EQ(s.renderer, 1);
    EXPECT_EQ(s.glass_mode, 1);
    EXPECT_EQ(s.debug_view, 1);
    EXPECT_EQ(s.amount, 1.0f);
    EXPECT_EQ(s.opacity, 1.0f);
    EXPECT_EQ(s.center_x, 0.0f);
    EXPECT_EQ(s.center_y, 0.0f);
    EXPECT_EQ(s.glass_width, 256.0f);
    EXPECT_EQ(s.glass_height, 256.0f);
    EXPECT_EQ(s.corner_radius, 48.0f);
    EXPECT_EQ(s.distortion_scale, 0.3f);
    EXPECT_EQ(s.edge_range, 0.5f);
    EXPECT_EQ(s.blur_intensity, 30.0f);
    EXPECT_EQ(s.chromatic_shift, 4.0f);
    EXPECT_EQ(s.chromatic_range, 0.5f);
    EXPECT_EQ(s.tint_multiplier, 1.0f);
    EXPECT_EQ(s.color_amount, 0.0f);
    for (float channel : s.glass_color) {
        EXPECT_EQ(channel, 1.0f);
    }
    EXPECT_EQ(s.edge_visibility, 1.0f);
    EXPECT_FALSE(s.clamp_edges);
}

TEST(ReadEffectSettings, AbsentParametersTakeTheirFallbacks)
{
    {
        SCOPED_TRACE("null table");
        ExpectAbsentValues(ReadEffectSettings(nullptr));
    }
    {
        SCOPED_TRACE("table of null entries");
        ExpectAbsentValues(ParamTable().Read());
    }
    {
        SCOPED_TRACE("only the input layer and a group start present");
        ParamTable table;
        table.Set(kParamInput);
        table.Set(kParamMainGroupStart);
        ExpectAbsentValues(table.Read());
    }
}

// The values the effect declares, read back as the host would first hand them
// over, give the documented defaults (the centre still in the host's percent).
TEST(ReadEffectSettings, DeclaredDefaultsResolveToTheFallbacks)
{
    test::FakeHost host;
    ASSERT_EQ(ParamsSetup(host.in_data(), host.out_data()), PF_Err_NONE);
    std::vector<PF_ParamDef> declared = host.added();
    std::array<PF_ParamDef *, kParamCount> table{};
    for (size_t i = 0; i < declared.size(); ++i) {
        table[i + 1] = &declared[i];
    }
    EffectSettings s = ReadEffectSettings(table.data());
    EXPECT_EQ(s.center_x, 50.0f);
    EXPECT_EQ(s.center_y, 50.0f);
    s.center_x = 0.0f;
    s.center_y = 0.0f;
    ExpectAbsentValues(s);
}

TEST(ReadEffectSettings, PopupsAndCheckboxAreTakenAsTheyAre)
{
    ParamTable table;
    table.Set(kParamQuality).u.pd.value = 3;
    table.Set(kParamRenderer).u.pd.value = 2;
    table.Set(kParamGlassMode).u.pd.value = 2;
    table.Set(kParamDebugView).u.pd.value = 9; // not clamped to the choices
    table.Set(kParamClampEdges).u.bd.value = 7;
    const EffectSettings s = table.Read();
    EXPECT_EQ(s.quality, 3);
    EXPECT_EQ(s.renderer, 2);
    EXPECT_EQ(s.glass_mode, 2);
    EXPECT_EQ(s.debug_view, 9);
    EXPECT_TRUE(s.clamp_edges);

    table.Set(kParamClampEdges).u.bd.value = 0;
    EXPECT_FALSE(table.Read().clamp_edges);
}

TEST(ReadEffectSettings, PercentSlidersAndTheirClamps)
{
    ParamTable table;
    table.Slider(kParamAmount, 150.0);
    table.Slider(kParamOpacity, -20.0);
    table.Slider(kParamEdgeVisibility, 250.0);
    table.Slider(kParamColorAmount, 100.0);
    table.Slider(kParamDistortionScale, 300.0);
    table.Slider(kParamTintMultiplier, 200.0);
    table.Slider(kParamEdgeRange, -5.0);
    table.Slider(kParamChromaticRange, 60.0);
    const EffectSettings s = table.Read();
    EXPECT_EQ(s.amount, 1.0f);
    EXPECT_EQ(s.opacity, 0.0f);
    EXPECT_EQ(s.edge_visibility, 2.0f);
    EXPECT_EQ(s.color_amount, 1.0f);
    EXPECT_EQ(s.distortion_scale, 3.0f);
    EXPECT_EQ(s.tint_multiplier, 2.0f);
    EXPECT_EQ(s.edge_range, 0.0f);
    EXPECT_EQ(s.chromatic_range, 0.6f);
}

TEST(ReadEffectSettings, PixelSlidersAndTheirLowerBounds)
{
    ParamTable table;
    table.Slider(kParamGlassWidth, 0.5);
    table.Slider(kParamGlassHeight, 300.25);
    table.Slider(kParamCornerRadius, -3.0);
    table.Slider(kParamBlurIntensity, -1.0);
    table.Slider(kParamChromaticShift, -4.5); // no clamp
    const EffectSettings s = table.Read();
    EXPECT_EQ(s.glass_width, 1.0f);
    EXPECT_EQ(s.glass_height, 300.25f);
    EXPECT_EQ(s.corner_radius, 0.0f);
    EXPECT_EQ(s.blur_intensity, 0.0f);
    EXPECT_EQ(s.chromatic_shift, -4.5f);
}

TEST(ReadEffectSettings, NaNPassesUpperClampsButNotLowerBounds)
{
    ParamTable table;
    for (ParamIndex index : {kParamAmount, kParamOpacity, kParamColorAmount, kParamEdgeVisibility,
                             kParamDistortionScale, kParamGlassWidth, kParamGlassHeight, kParamCornerRadius,
                             kParamEdgeRange, kParamBlurIntensity, kParamChromaticRange}) {
        table.Slider(index, std::numeric_limits<double>::quiet_NaN());
    }
    const EffectSettings s = table.Read();
    EXPECT_TRUE(std::isnan(s.amount));
    EXPECT_TRUE(std::isnan(s.opacity));
    EXPECT_TRUE(std::isnan(s.color_amount));
    EXPECT_TRUE(std::isnan(s.edge_visibility));
    EXPECT_TRUE(std::isnan(s.distortion_scale));
    EXPECT_EQ(s.glass_width, 1.0f);
    EXPECT_EQ(s.glass_height, 1.0f);
    EXPECT_EQ(s.corner_radius, 0.0f);
    EXPECT_EQ(s.edge_range, 0.0f);
    EXPECT_EQ(s.blur_intensity, 0.0f);
    EXPECT_EQ(s.chromatic_range, 0.0f);
}

// The double value is narrowed first and divided in float; for this value the
// other orders of work give a different float.
TEST(ReadEffectSettings, SliderValueIsNarrowedBeforeTheDivision)
{
    double value = 0.0;
    for (double candidate = 1.0 / 3.0; candidate < 200.0; candidate += 0.7071) {
        const float narrowed_first = static_cast<float>(candidate) / 100.0f;
        if (narrowed_first != static_cast<float>(candidate / 100.0)) {
            value = candidate;
            break;
        }
    }
    ASSERT_NE(value, 0.0) << "no value tells the two orders apart";
    ParamTable table;
    table.Slider(kParamTintMultiplier, value);
    EXPECT_EQ(table.Read().tint_multiplier, static_cast<float>(value) / 100.0f);
}

TEST(ReadEffectSettings, CenterIsFixedPointInLayerPixels)
{
    ParamTable table;
    PF_PointDef &center = table.Set(kParamCenter).u.td;
    center.x_value = 100 * 65536;
    center.y_value = 50 * 65536;
    EXPECT_EQ(table.Read().center_x, 100.0f);
    EXPECT_EQ(table.Read().center_y, 50.0f);

    center.x_value = -98304; // -1.5
    center.y_value = 1;      // the smallest step
    EXPECT_EQ(table.Read().center_x, -1.5f);
    EXPECT_EQ(table.Read().center_y, 1.0f / 65536.0f);
}

TEST(ReadEffectSettings, GlassColorIgnoresItsAlpha)
{
    ParamTable table;
    table.Set(kParamGlassColor).u.cd.value = PF_Pixel{0, 255, 128, 0}; // alpha, red, green, blue
    const EffectSettings s = table.Read();
    EXPECT_EQ(s.glass_color[0], 1.0f);
    EXPECT_EQ(s.glass_color[1], 1.0f);
    EXPECT_EQ(s.glass_color[2], 128.0f / 255.0f);
    EXPECT_EQ(s.glass_color[3], 0.0f);
}

} // namespace
} // namespace prismora
