// Parameter values as written on the command line, against the effect's own
// declarations.
#include <array>
#include <tuple>

#include <gtest/gtest.h>

#include "cli/cli_error.h"
#include "cli/effect_session.h"
#include "cli/param_values.h"

namespace prismora::cli {
namespace {

// The effect's own declarations, read once through the simulated host.
const ParamCatalog &Catalog()
{
    static const EffectSession *session = new EffectSession(PRISMORA_TEST_PLUGIN);
    return session->catalog();
}

PF_ParamDef Parse(const std::string &key, const std::string &text)
{
    const ParamDecl *decl = Catalog().find(key);
    EXPECT_NE(decl, nullptr) << key;
    return ParseParamValue(*decl, text);
}

TEST(ParamCatalog, KeysAreTheDeclaredNamesInLowerSnakeCase)
{
    EXPECT_EQ(SnakeCase("Glass Width"), "glass_width");
    EXPECT_EQ(SnakeCase("  Alpha  Matte-Layer "), "alpha_matte_layer");
    const ParamCatalog &catalog = Catalog();
    EXPECT_EQ(catalog.keys(),
              "amount, opacity, renderer, quality, glass_mode, center, glass_width, glass_height, "
              "corner_radius, distortion_scale, edge_range, edge_visibility, blur_intensity, "
              "chromatic_shift, chromatic_range, tint_multiplier, color_amount, glass_color, "
              "clamp_edges, debug_view");
    EXPECT_EQ(catalog.find("prismora"), nullptr);          // a group
    EXPECT_EQ(catalog.find("alpha_matte_layer"), nullptr); // set by --matte
    EXPECT_EQ(catalog.find("Amount"), nullptr);
    ASSERT_NE(catalog.find("glass_mode"), nullptr);
    EXPECT_EQ(catalog.find("glass_mode")->choices,
              (std::vector<std::string>{"Custom Rounded Rect", "Full Frame"}));
}

TEST(ParamValues, AreTakenAsTheUserSeesThem)
{
    // Sliders as displayed, to the valid range's ends (above the slider's); popups as
    // 1-based numbers or the choice text in any case, spaces or underscores.
    using Case = std::tuple<const char *, const char *, double>;
    // clang-format off
    const Case cases[] = {{"amount", "0", 0}, {"amount", "200", 200}, {"amount", "12.5", 12.5},
         {"glass_width", "8192", 8192}, {"renderer", "2", 2}, {"renderer", "gpu", 2}, {"renderer", "CPU", 3},
         {"glass_mode", "FULL_FRAME", 2}, {"glass_mode", "full frame", 2}, {"clamp_edges", "1", 1},
         {"clamp_edges", "On", 1}, {"clamp_edges", "TRUE", 1}, {"clamp_edges", "0", 0}, {"clamp_edges", "off", 0},
         {"clamp_edges", "false", 0}};
    // clang-format on
    for (const auto &[key, text, value] : cases) {
        const PF_ParamDef def = Parse(key, text);
        const double got = def.param_type == PF_Param_FLOAT_SLIDER ? def.u.fs_d.value
                           : def.param_type == PF_Param_POPUP      ? def.u.pd.value
                                                                   : def.u.bd.value;
        EXPECT_EQ(got, value) << key << "=" << text;
    }
    const PF_Pixel rgb = Parse("glass_color", "255, 128,0").u.cd.value;
    EXPECT_EQ((std::array<int, 4>{rgb.alpha, rgb.red, rgb.green, rgb.blue}),
              (std::array<int, 4>{255, 255, 128, 0}));
    const PF_Pixel hex = Parse("glass_color", "#0A80fF").u.cd.value;
    EXPECT_EQ((std::array<int, 3>{hex.red, hex.green, hex.blue}), (std::array<int, 3>{10, 128, 255}));
}

TEST(ParamValues, OutOfRangeAndMalformedValuesAreRefused)
{
    const std::vector<std::pair<const char *, std::vector<const char *>>> cases = {
        {"amount", {"200.01", "-1", "1e9", "abc", "", "10%", "nan", "inf", "1,5"}},
        {"glass_width", {"0.5"}},
        {"renderer", {"0", "4", "-1", "metal", "", "1.5"}},
        {"glass_mode", {"3"}},
        {"center", {"100", "1,2,3", "a,b", ",", "1e6,0", ""}},
        {"glass_color", {"256,0,0", "-1,0,0", "1,2", "#fff", "#ggg000", "1.5,0,0", "red"}},
        {"clamp_edges", {"2", "yes please"}},
    };
    for (const auto &[key, values] : cases) {
        for (const char *bad : values) {
            EXPECT_THROW(Parse(key, bad), UsageError) << key << "=" << bad;
        }
    }
}

// Layer pixels as 16.16 fixed point rounded to nearest; the default is the layer centre.
TEST(CenterValues, AreRoundedToSixteenSixteenAndDefaultToTheLayerCentre)
{
    const PF_ParamDef c = Parse("center", "100,50.25");
    EXPECT_EQ(c.u.td.x_value, 100 * 65536);
    EXPECT_EQ(c.u.td.y_value, 50 * 65536 + 16384);
    EXPECT_EQ(Parse("center", "-3.5, 0").u.td.x_value, -3 * 65536 - 32768); // bounds are not restricted
    EXPECT_EQ(Parse("center", "0.000007,0").u.td.x_value, 0);               // 0.46 of a step
    EXPECT_EQ(Parse("center", "0.000008,0").u.td.x_value, 1);               // 0.52 of a step
    const std::map<int, PF_ParamDef> values = ResolveParamValues(Catalog(), {}, 641, 360);
    ASSERT_EQ(values.count(9), 1u);
    EXPECT_EQ(values.at(9).u.td.x_value, 320 * 65536 + 32768);
    EXPECT_EQ(values.at(9).u.td.y_value, 180 * 65536);
    const auto given = ResolveParamValues(Catalog(), {{"center", "10,20"}}, 641, 360);
    EXPECT_EQ(given.at(9).u.td.x_value, 10 * 65536);
}

TEST(ResolveParamValues, TheLastAssignmentWinsAndRefusalsNameTheRange)
{
    const auto values = ResolveParamValues(Catalog(), {{"amount", "5"}, {"amount", "7"}}, 10, 10);
    EXPECT_EQ(values.at(2).u.fs_d.value, 7.0);
    try {
        ResolveParamValues(Catalog(), {{"amount", "500"}}, 10, 10);
        FAIL();
    } catch (const UsageError &e) {
        EXPECT_EQ(std::string(e.what()), "--set amount: 500 is outside 0 to 200");
    }
}

} // namespace
} // namespace prismora::cli
