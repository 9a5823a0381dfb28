#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "effect/params_setup.h"
#include "support/fake_host.h"

namespace prismora {
namespace {

using test::FakeHost;

// One declaration as the host must receive it: the whole record (every field
// not named stays zero) and, for popups and the checkbox, its text.
struct Expected {
    PF_ParamDef def;
    std::string text = "<null>";
};

Expected Base(A_long id, PF_ParamType type, const char *name, PF_ParamFlags flags = 0)
{
    Expected e;
    std::memset(&e.def, 0, sizeof(e.def));
    e.def.uu.id = id;
    e.def.param_type = type;
    e.def.flags = flags;
    std::strcpy(e.def.PF_DEF_NAME, name);
    return e;
}

Expected Slider(A_long id, const char *name, float valid_min, float valid_max, float slider_min,
                float slider_max, float dephault, A_short precision, bool percent)
{
    Expected e = Base(id, PF_Param_FLOAT_SLIDER, name);
    PF_FloatSliderDef &fs = e.def.u.fs_d;
    fs.value = dephault;
    fs.valid_min = valid_min;
    fs.valid_max = valid_max;
    fs.slider_min = slider_min;
    fs.slider_max = slider_max;
    fs.dephault = dephault;
    fs.precision = precision;
    fs.display_flags = percent ? PF_ValueDisplayFlag_PERCENT : 0;
    return e;
}

Expected Popup(A_long id, const char *name, A_short num_choices, A_short dephault, const char *choices)
{
    Expected e = Base(id, PF_Param_POPUP, name);
    e.def.u.pd.value = dephault;
    e.def.u.pd.num_choices = num_choices;
    e.def.u.pd.dephault = dephault;
    e.text = choices;
    return e;
}

std::vector<Expected> ExpectedDeclarations()
{
    std::vector<Expected> all;
    all.push_back(Base(1, PF_Param_GROUP_START, "Prismora"));
    all.push_back(Slider(2, "Amount", 0, 200, 0, 200, 100, 0, true));
    all.push_back(Slider(3, "Opacity", 0, 100, 0, 100, 100, 0, true));
    all.push_back(Popup(4, "Renderer", 3, 1, "Auto|GPU|CPU"));
    all.push_back(Popup(5, "Quality", 3, 2, "Low|Mid|High"));
    all.push_back(Base(6, PF_Param_GROUP_END, ""));
    all.push_back(Base(7, PF_Param_GROUP_START, "Shape"));
    all.push_back(Popup(8, "Glass Mode", 2, 1, "Custom Rounded Rect|Full Frame"));
    Expected center = Base(9, PF_Param_POINT, "Center");
    center.def.u.td.x_value = center.def.u.td.y_value = 3276800;
    center.def.u.td.x_dephault = center.def.u.td.y_dephault = 3276800;
    all.push_back(center);
    all.push_back(Slider(10, "Glass Width", 1, 8192, 1, 2048, 256, 0, false));
    all.push_back(Slider(11, "Glass Height", 1, 8192, 1, 2048, 256, 0, false));
    all.push_back(Slider(12, "Corner Radius", 0, 2048, 0, 512, 48, 0, false));
    all.push_back(Base(13, PF_Param_LAYER, "Alpha Matte Layer")); // default: no layer (0)
    all.push_back(Base(14, PF_Param_GROUP_END, ""));
    all.push_back(Base(15, PF_Param_GROUP_START, "Shader Port"));
    all.push_back(Slider(16, "Distortion Scale", 0, 300, 0, 200, 30, 0, true));
    all.push_back(Slider(17, "Edge Range", 0, 100, 0, 60, 50, 2, true));
    all.push_back(Slider(18, "Edge Visibility", 0, 200, 0, 150, 100, 0, true));
    all.push_back(Slider(19, "Blur Intensity", 0, 300, 0, 200, 30, 0, false));
    all.push_back(Slider(20, "Chromatic Shift", 0, 100, 0, 50, 4, 0, false));
    all.push_back(Slider(21, "Chromatic Range", 0, 100, 0, 60, 50, 2, true));
    all.push_back(Slider(22, "Tint Multiplier", 0, 200, 0, 150, 100, 0, true));
    all.push_back(Slider(23, "Color Amount", 0, 100, 0, 100, 0, 0, true));
    Expected color = Base(24, PF_Param_COLOR, "Glass Color");
    color.def.u.cd.value = color.def.u.cd.dephault = PF_Pixel{255, 255, 255, 255};
    all.push_back(color);
    all.push_back(Base(25, PF_Param_GROUP_END, ""));
    all.push_back(Base(26, PF_Param_GROUP_START, "Advanced", 0x20));
    Expected clamp = Base(27, PF_Param_CHECKBOX, "Clamp Edges");
    clamp.text = "";
    all.push_back(clamp);
    all.push_back(Popup(28, "Debug View", 5, 1, "Off|Glass Mask|Inversed SDF|Distortion|Sample Offset"));
    all.push_back(Base(29, PF_Param_GROUP_END, ""));
    return all;
}

TEST(ParamsSetup, DeclaresTheTwentyNineParametersExactly)
{
    FakeHost host;
    ASSERT_EQ(ParamsSetup(host.in_data(), host.out_data()), PF_Err_NONE);
    EXPECT_EQ(host.out_data()->num_params, 30);

    const std::vector<Expected> expected = ExpectedDeclarations();
    ASSERT_EQ(host.added.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const PF_ParamDef &got = host.added[i];
        SCOPED_TRACE(got.PF_DEF_NAME);
        EXPECT_EQ(host.texts[i], expected[i].text);
        // The texts are compared above; their addresses are the effect's own.
        PF_ParamDef want = expected[i].def;
        if (want.param_type == PF_Param_POPUP) {
            want.u.pd.u.namesptr = got.u.pd.u.namesptr;
        } else if (want.param_type == PF_Param_CHECKBOX) {
            want.u.bd.u.nameptr = got.u.bd.u.nameptr;
        }
        EXPECT_STREQ(got.PF_DEF_NAME, want.PF_DEF_NAME);
        EXPECT_EQ(std::memcmp(&got, &want, sizeof(got)), 0);
    }
}

TEST(ParamsSetup, HostFailureStopsTheDeclarationAndLeavesTheCount)
{
    FakeHost host;
    host.out_data()->num_params = 1;
    host.fail_at = 9; // "Center"
    host.fail_err = PF_Err_OUT_OF_MEMORY;
    EXPECT_EQ(ParamsSetup(host.in_data(), host.out_data()), PF_Err_OUT_OF_MEMORY);
    ASSERT_EQ(host.added.size(), 8u);
    EXPECT_STREQ(host.added.back().PF_DEF_NAME, "Glass Mode");
    EXPECT_EQ(host.out_data()->num_params, 1);
}

} // namespace
} // namespace prismora
