#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

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
    EXPECT_EQ((std::vector<int32_t>{s.quality, s.renderer, s.glass_mode, s.debug_view}),
              (std::vector<int32_t>{2, 1, 1, 1}));
    EXPECT_EQ((std::vector<float>{s.amount, s.opacity, s.center_x, s.center_y, s.glass_width, s.glass_height,
                                  s.corner_radius, s.distortion_scale, s.edge_range, s.blur_intensity,
                                  s.chromatic_shift, s.chromatic_range, s.tint_multiplier, s.color_amount,
                                  s.glass_color[0], s.glass_color[1], s.glass_color[2], s.glass_color[3],
                                  s.edge_visibility}),
              (std::vector<float>{1.0f, 1.0f, 0.0f, 0.0f, 256.0f, 256.0f, 48.0f, 0.3f, 0.5f, 30.0f, 4.0f, 0.5f,
                                  1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f}));
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

// Each slider alone, so a value landing in the wrong field shows too.
TEST(ReadEffectSettings, SlidersScaleAndClamp)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        ParamIndex index;
        double value;
        float EffectSettings::*field;
        float expected; // NaN: passes through unchanged
    };
    const Case cases[] = {
        {kParamAmount, 150.0, &EffectSettings::amount, 1.0f},
        {kParamAmount, nan, &EffectSettings::amount, NAN},
        {kParamOpacity, -20.0, &EffectSettings::opacity, 0.0f},
        {kParamOpacity, nan, &EffectSettings::opacity, NAN},
        {kParamEdgeVisibility, 250.0, &EffectSettings::edge_visibility, 2.0f},
        {kParamEdgeVisibility, 150.0, &EffectSettings::edge_visibility, 1.5f},
        {kParamEdgeVisibility, nan, &EffectSettings::edge_visibility, NAN},
        {kParamColorAmount, 100.0, &EffectSettings::color_amount, 1.0f},
        {kParamColorAmount, nan, &EffectSettings::color_amount, NAN},
        {kParamDistortionScale, 300.0, &EffectSettings::distortion_scale, 3.0f},
        {kParamDistortionScale, nan, &EffectSettings::distortion_scale, NAN},
        {kParamTintMultiplier, 200.0, &EffectSettings::tint_multiplier, 2.0f},
        {kParamEdgeRange, -5.0, &EffectSettings::edge_range, 0.0f},
        {kParamEdgeRange, nan, &EffectSettings::edge_range, 0.0f},
        {kParamChromaticRange, 60.0, &EffectSettings::chromatic_range, 0.6f},
        {kParamChromaticRange, nan, &EffectSettings::chromatic_range, 0.0f},
        {kParamGlassWidth, 0.5, &EffectSettings::glass_width, 1.0f},
        {kParamGlassWidth, nan, &EffectSettings::glass_width, 1.0f},
        {kParamGlassHeight, 300.25, &EffectSettings::glass_height, 300.25f},
        {kParamGlassHeight, nan, &EffectSettings::glass_height, 1.0f},
        {kParamCornerRadius, -3.0, &EffectSettings::corner_radius, 0.0f},
        {kParamCornerRadius, nan, &EffectSettings::corner_radius, 0.0f},
        {kParamBlurIntensity, -1.0, &EffectSettings::blur_intensity, 0.0f},
        {kParamBlurIntensity, nan, &EffectSettings::blur_intensity, 0.0f},
        {kParamChromaticShift, -4.5, &EffectSettings::chromatic_shift, -4.5f}, // no clamp
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "parameter " << c.index << " value " << c.value);
        ParamTable table;
        table.Slider(c.index, c.value);
        EffectSettings got = table.Read();
        const float value = got.*c.field;
        if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::isnan(value));
        } else {
            EXPECT_EQ(value, c.expected);
        }
        got.*c.field = EffectSettings{}.*c.field;
        ExpectAbsentValues(got); // no other field moved
    }
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
