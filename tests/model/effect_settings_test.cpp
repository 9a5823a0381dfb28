#include <array>
#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "effect/params_setup.h"
#include "model/effect_settings.h"
#include "model/param_index.h"
#include "support/fake_host.h"

namespace prismora {
namespace {

// A parameter table as the host hands it over; entries start out absent.
class ParamTable {
public:
    PF_ParamDef &Set(ParamIndex index)
    {
        ptrs_[index] = &defs_[index];
        return defs_[index];
    }
    EffectSettings Read() const { return ReadEffectSettings(ptrs_.data()); }

private:
    std::array<PF_ParamDef, kParamCount> defs_{};
    std::array<PF_ParamDef *, kParamCount> ptrs_{};
};

// Every field of a record, so that two records compare whole.
auto Fields(const EffectSettings &s)
{
    return std::make_tuple(s.quality, s.renderer, s.glass_mode, s.debug_view, s.amount, s.opacity, s.center_x,
                           s.center_y, s.glass_width, s.glass_height, s.corner_radius, s.distortion_scale,
                           s.edge_range, s.blur_intensity, s.chromatic_shift, s.chromatic_range,
                           s.tint_multiplier, s.color_amount, s.glass_color[0], s.glass_color[1],
                           s.glass_color[2], s.glass_color[3], s.edge_visibility, s.clamp_edges);
}

// Absent parameters take the fallbacks, and the values the effect declares,
// read back as the host first hands them over, give the same (the centre in
// the host's percent).
TEST(ReadEffectSettings, AbsentAndDeclaredDefaultsGiveTheFallbacks)
{
    EXPECT_EQ(Fields(ParamTable().Read()), Fields(EffectSettings{}));

    test::FakeHost host;
    ASSERT_EQ(ParamsSetup(host.in_data(), host.out_data()), PF_Err_NONE);
    std::vector<PF_ParamDef> declared = host.added;
    std::array<PF_ParamDef *, kParamCount> table{};
    for (size_t i = 0; i < declared.size(); ++i) {
        table[i + 1] = &declared[i];
    }
    EffectSettings s = ReadEffectSettings(table.data());
    EXPECT_EQ(s.center_x, 50.0f);
    EXPECT_EQ(s.center_y, 50.0f);
    s.center_x = s.center_y = 0.0f;
    EXPECT_EQ(Fields(s), Fields(EffectSettings{}));
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
        {kParamEdgeVisibility, 250.0, &EffectSettings::edge_visibility, 2.0f},
        {kParamDistortionScale, 300.0, &EffectSettings::distortion_scale, 3.0f},
        {kParamDistortionScale, nan, &EffectSettings::distortion_scale, NAN},
        // Narrowed to float first, then divided in float: for 70.7 the other
        // orders give a different float.
        {kParamTintMultiplier, 70.7, &EffectSettings::tint_multiplier, static_cast<float>(70.7) / 100.0f},
        {kParamEdgeRange, -5.0, &EffectSettings::edge_range, 0.0f},
        {kParamEdgeRange, nan, &EffectSettings::edge_range, 0.0f},
        {kParamBlurIntensity, HUGE_VAL, &EffectSettings::blur_intensity, 300.0f},
        {kParamBlurIntensity, nan, &EffectSettings::blur_intensity, 0.0f},
        {kParamChromaticRange, 60.0, &EffectSettings::chromatic_range, 0.6f},
        {kParamGlassWidth, 0.5, &EffectSettings::glass_width, 1.0f},
        {kParamGlassHeight, nan, &EffectSettings::glass_height, 1.0f},
        {kParamCornerRadius, -3.0, &EffectSettings::corner_radius, 0.0f},
        {kParamChromaticShift, -4.5, &EffectSettings::chromatic_shift, -4.5f}, // no clamp
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "parameter " << c.index << " value " << c.value);
        ParamTable table;
        table.Set(c.index).u.fs_d.value = c.value;
        EffectSettings got = table.Read();
        const float value = got.*c.field;
        if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::isnan(value));
        } else {
            EXPECT_EQ(value, c.expected);
        }
        got.*c.field = EffectSettings{}.*c.field;
        EXPECT_EQ(Fields(got), Fields(EffectSettings{})); // no other field moved
    }
}

TEST(ReadEffectSettings, PopupsCheckboxCenterAndColor)
{
    ParamTable table;
    table.Set(kParamQuality).u.pd.value = 3;
    table.Set(kParamRenderer).u.pd.value = 2;
    table.Set(kParamGlassMode).u.pd.value = 2;
    table.Set(kParamDebugView).u.pd.value = 9; // not clamped to the choices
    table.Set(kParamClampEdges).u.bd.value = 7;
    table.Set(kParamCenter).u.td.x_value = -98304;                     // -1.5 in 16.16
    table.Set(kParamCenter).u.td.y_value = 1;                          // the smallest step
    table.Set(kParamGlassColor).u.cd.value = PF_Pixel{0, 255, 128, 0}; // alpha, red, green, blue
    const EffectSettings s = table.Read();
    EXPECT_EQ((std::vector<int32_t>{s.quality, s.renderer, s.glass_mode, s.debug_view}),
              (std::vector<int32_t>{3, 2, 2, 9}));
    EXPECT_TRUE(s.clamp_edges);
    EXPECT_EQ(s.center_x, -1.5f);
    EXPECT_EQ(s.center_y, 1.0f / 65536.0f);
    EXPECT_EQ((std::vector<float>{s.glass_color[0], s.glass_color[1], s.glass_color[2], s.glass_color[3]}),
              (std::vector<float>{1.0f, 1.0f, 128.0f / 255.0f, 0.0f})); // the colour's alpha is ignored
}

} // namespace
} // namespace prismora
