// Parameter values as written on the command line, against declarations like
// the effect's own.
#include <cstring>

#include <gtest/gtest.h>

#include "cli/cli_error.h"
#include "cli/param_values.h"

namespace prismora::cli {
namespace {

PF_ParamDef Declared(PF_ParamType type, const char *name)
{
    PF_ParamDef def{};
    def.param_type = type;
    std::strncpy(def.PF_DEF_NAME, name, sizeof(def.PF_DEF_NAME) - 1);
    return def;
}

PF_ParamDef Slider(const char *name, float valid_min, float valid_max, float dephault)
{
    PF_ParamDef def = Declared(PF_Param_FLOAT_SLIDER, name);
    def.u.fs_d.valid_min = valid_min;
    def.u.fs_d.valid_max = valid_max;
    def.u.fs_d.slider_min = valid_min;
    def.u.fs_d.slider_max = valid_max / 2;
    def.u.fs_d.dephault = dephault;
    def.u.fs_d.value = dephault;
    return def;
}

PF_ParamDef Popup(const char *name, const char *choices, short count)
{
    PF_ParamDef def = Declared(PF_Param_POPUP, name);
    def.u.pd.u.namesptr = choices;
    def.u.pd.num_choices = count;
    def.u.pd.dephault = 1;
    def.u.pd.value = 1;
    return def;
}

ParamCatalog Catalog()
{
    PF_ParamDef center = Declared(PF_Param_POINT, "Center");
    center.u.td.x_dephault = center.u.td.y_dephault = 50 << 16;
    PF_ParamDef color = Declared(PF_Param_COLOR, "Glass Color");
    color.u.cd.value = color.u.cd.dephault = {255, 255, 255, 255};
    return ParamCatalog({MakeParamDecl(1, Declared(PF_Param_GROUP_START, "Prismora")),
                         MakeParamDecl(2, Slider("Amount", 0, 200, 100)),
                         MakeParamDecl(4, Popup("Renderer", "Auto|GPU|CPU", 3)),
                         MakeParamDecl(8, Popup("Glass Mode", "Custom Rounded Rect|Full Frame", 2)),
                         MakeParamDecl(9, center), MakeParamDecl(10, Slider("Glass Width", 1, 8192, 256)),
                         MakeParamDecl(13, Declared(PF_Param_LAYER, "Alpha Matte Layer")),
                         MakeParamDecl(24, color),
                         MakeParamDecl(27, Declared(PF_Param_CHECKBOX, "Clamp Edges"))});
}

PF_ParamDef Parse(const std::string &key, const std::string &text)
{
    const ParamCatalog catalog = Catalog();
    const ParamDecl *decl = catalog.find(key);
    EXPECT_NE(decl, nullptr) << key;
    return ParseParamValue(*decl, text);
}

TEST(ParamCatalog, KeysAreTheDeclaredNamesInLowerSnakeCase)
{
    EXPECT_EQ(SnakeCase("Glass Width"), "glass_width");
    EXPECT_EQ(SnakeCase("  Alpha  Matte-Layer "), "alpha_matte_layer");
    const ParamCatalog catalog = Catalog();
    EXPECT_EQ(catalog.keys(), "amount, renderer, glass_mode, center, glass_width, glass_color, clamp_edges");
    EXPECT_EQ(catalog.find("prismora"), nullptr);          // a group
    EXPECT_EQ(catalog.find("alpha_matte_layer"), nullptr); // set by --matte
    EXPECT_EQ(catalog.find("Amount"), nullptr);
    ASSERT_NE(catalog.find("glass_mode"), nullptr);
    EXPECT_EQ(catalog.find("glass_mode")->choices,
              (std::vector<std::string>{"Custom Rounded Rect", "Full Frame"}));
}

TEST(SliderValues, AreTakenAsDisplayedWithinTheValidRange)
{
    EXPECT_EQ(Parse("amount", "100").u.fs_d.value, 100.0);
    EXPECT_EQ(Parse("amount", "0").u.fs_d.value, 0.0);
    EXPECT_EQ(Parse("amount", "200").u.fs_d.value, 200.0);
    EXPECT_EQ(Parse("amount", "12.5").u.fs_d.value, 12.5);
    EXPECT_EQ(Parse("glass_width", "4096").u.fs_d.value, 4096.0); // above the slider, inside the valid range
    for (const char *bad : {"200.01", "-1", "1e9", "abc", "", "10%", "nan", "inf", "1,5"}) {
        EXPECT_THROW(Parse("amount", bad), UsageError) << bad;
    }
    EXPECT_THROW(Parse("glass_width", "0.5"), UsageError);
}

TEST(PopupValues, AcceptNumbersAndChoiceTextInAnyCase)
{
    EXPECT_EQ(Parse("renderer", "2").u.pd.value, 2);
    EXPECT_EQ(Parse("renderer", "gpu").u.pd.value, 2);
    EXPECT_EQ(Parse("renderer", "CPU").u.pd.value, 3);
    EXPECT_EQ(Parse("renderer", "Auto").u.pd.value, 1);
    EXPECT_EQ(Parse("glass_mode", "full frame").u.pd.value, 2);
    EXPECT_EQ(Parse("glass_mode", "FULL_FRAME").u.pd.value, 2);
    for (const char *bad : {"0", "4", "-1", "metal", "", "1.5"}) {
        EXPECT_THROW(Parse("renderer", bad), UsageError) << bad;
    }
    EXPECT_THROW(Parse("glass_mode", "3"), UsageError);
}

TEST(CenterValues, AreLayerPixelsRoundedToNearestSixteenthSixteenth)
{
    const PF_ParamDef c = Parse("center", "100,50.25");
    EXPECT_EQ(c.u.td.x_value, 100 * 65536);
    EXPECT_EQ(c.u.td.y_value, 50 * 65536 + 16384);
    EXPECT_EQ(Parse("center", "-3.5, 0").u.td.x_value, -3 * 65536 - 32768); // bounds are not restricted
    EXPECT_EQ(Parse("center", "0.000007,0").u.td.x_value, 0);               // 0.46 of a step
    EXPECT_EQ(Parse("center", "0.000008,0").u.td.x_value, 1);               // 0.52 of a step
    for (const char *bad : {"100", "1,2,3", "a,b", ",", "1e6,0", ""}) {
        EXPECT_THROW(Parse("center", bad), UsageError) << bad;
    }
}

TEST(CenterValues, DefaultToTheLayerCentre)
{
    const std::map<int, PF_ParamDef> values = ResolveParamValues(Catalog(), {}, 641, 360);
    ASSERT_EQ(values.count(9), 1u);
    EXPECT_EQ(values.at(9).u.td.x_value, 320 * 65536 + 32768);
    EXPECT_EQ(values.at(9).u.td.y_value, 180 * 65536);
    const auto given = ResolveParamValues(Catalog(), {{"center", "10,20"}}, 641, 360);
    EXPECT_EQ(given.at(9).u.td.x_value, 10 * 65536);
}

TEST(ColorValues, AcceptTripletsAndHex)
{
    const PF_Pixel rgb = Parse("glass_color", "255, 128,0").u.cd.value;
    EXPECT_EQ(rgb.red, 255);
    EXPECT_EQ(rgb.green, 128);
    EXPECT_EQ(rgb.blue, 0);
    EXPECT_EQ(rgb.alpha, 255);
    const PF_Pixel hex = Parse("glass_color", "#0A80fF").u.cd.value;
    EXPECT_EQ(hex.red, 10);
    EXPECT_EQ(hex.green, 128);
    EXPECT_EQ(hex.blue, 255);
    for (const char *bad : {"256,0,0", "-1,0,0", "1,2", "#fff", "#ggg000", "1.5,0,0", "red"}) {
        EXPECT_THROW(Parse("glass_color", bad), UsageError) << bad;
    }
}

TEST(CheckboxValues, AcceptTheUsualWords)
{
    for (const char *on : {"1", "on", "TRUE", "On"}) {
        EXPECT_EQ(Parse("clamp_edges", on).u.bd.value, 1) << on;
    }
    for (const char *off : {"0", "off", "false"}) {
        EXPECT_EQ(Parse("clamp_edges", off).u.bd.value, 0) << off;
    }
    EXPECT_THROW(Parse("clamp_edges", "2"), UsageError);
    EXPECT_THROW(Parse("clamp_edges", "yes please"), UsageError);
}

TEST(ResolveParamValues, RefusesUnknownNamesAndLetsTheLastAssignmentWin)
{
    EXPECT_THROW(ResolveParamValues(Catalog(), {{"amout", "5"}}, 10, 10), UsageError);
    EXPECT_THROW(ResolveParamValues(Catalog(), {{"alpha_matte_layer", "1"}}, 10, 10), UsageError);
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
