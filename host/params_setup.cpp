#include "host/params_setup.h"

#include <cstring>
#include <iterator>

#include "AE_Macros.h"
#include "host/param_index.h"

namespace prismora {
namespace {

struct SliderTraits {
    float valid_min = 0.0f;
    float valid_max = 0.0f;
    float slider_min = 0.0f;
    float slider_max = 0.0f;
    float dephault = 0.0f;
    A_short precision = 0;
    PF_ValueDisplayFlags display_flags = PF_ValueDisplayFlag_NONE;
};

struct PopupChoices {
    A_short num_choices = 0;
    A_short dephault = 0;
    const char *choices = nullptr; // entries separated by '|', counted from 1
};

struct ParamDeclaration {
    ParamIndex index;
    PF_ParamType type;
    const char *name;
    SliderTraits slider = {};
    PopupChoices popup = {};
    PF_ParamFlags flags = 0;
};

constexpr PF_ValueDisplayFlags kPercent = PF_ValueDisplayFlag_PERCENT;
constexpr PF_ValueDisplayFlags kPlain = PF_ValueDisplayFlag_NONE;

// The effect's controls as the user sees them, in the host's order.
constexpr ParamDeclaration kDeclarations[] = {
    {kParamMainGroupStart, PF_Param_GROUP_START, "Prismora"},
    {kParamAmount, PF_Param_FLOAT_SLIDER, "Amount", {0.0f, 200.0f, 0.0f, 200.0f, 100.0f, 0, kPercent}},
    {kParamOpacity, PF_Param_FLOAT_SLIDER, "Opacity", {0.0f, 100.0f, 0.0f, 100.0f, 100.0f, 0, kPercent}},
    {kParamRenderer, PF_Param_POPUP, "Renderer", {}, {3, 1, "Auto|GPU|CPU"}},
    {kParamQuality, PF_Param_POPUP, "Quality", {}, {3, 2, "Low|Mid|High"}},
    {kParamMainGroupEnd, PF_Param_GROUP_END, ""},

    {kParamShapeGroupStart, PF_Param_GROUP_START, "Shape"},
    {kParamGlassMode, PF_Param_POPUP, "Glass Mode", {}, {2, 1, "Custom Rounded Rect|Full Frame"}},
    {kParamCenter, PF_Param_POINT, "Center"},
    {kParamGlassWidth,
     PF_Param_FLOAT_SLIDER,
     "Glass Width",
     {1.0f, 8192.0f, 1.0f, 2048.0f, 256.0f, 0, kPlain}},
    {kParamGlassHeight,
     PF_Param_FLOAT_SLIDER,
     "Glass Height",
     {1.0f, 8192.0f, 1.0f, 2048.0f, 256.0f, 0, kPlain}},
    {kParamCornerRadius,
     PF_Param_FLOAT_SLIDER,
     "Corner Radius",
     {0.0f, 2048.0f, 0.0f, 512.0f, 48.0f, 0, kPlain}},
    {kParamAlphaMatte, PF_Param_LAYER, "Alpha Matte Layer"},
    {kParamShapeGroupEnd, PF_Param_GROUP_END, ""},

    {kParamShaderGroupStart, PF_Param_GROUP_START, "Shader Port"},
    {kParamDistortionScale,
     PF_Param_FLOAT_SLIDER,
     "Distortion Scale",
     {0.0f, 300.0f, 0.0f, 200.0f, 30.0f, 0, kPercent}},
    {kParamEdgeRange, PF_Param_FLOAT_SLIDER, "Edge Range", {0.0f, 100.0f, 0.0f, 60.0f, 50.0f, 2, kPercent}},
    {kParamEdgeVisibility,
     PF_Param_FLOAT_SLIDER,
     "Edge Visibility",
     {0.0f, 200.0f, 0.0f, 150.0f, 100.0f, 0, kPercent}},
    {kParamBlurIntensity,
     PF_Param_FLOAT_SLIDER,
     "Blur Intensity",
     {0.0f, 300.0f, 0.0f, 200.0f, 30.0f, 0, kPlain}},
    {kParamChromaticShift,
     PF_Param_FLOAT_SLIDER,
     "Chromatic Shift",
     {0.0f, 100.0f, 0.0f, 50.0f, 4.0f, 0, kPlain}},
    {kParamChromaticRange,
     PF_Param_FLOAT_SLIDER,
     "Chromatic Range",
     {0.0f, 100.0f, 0.0f, 60.0f, 50.0f, 2, kPercent}},
    {kParamTintMultiplier,
     PF_Param_FLOAT_SLIDER,
     "Tint Multiplier",
     {0.0f, 200.0f, 0.0f, 150.0f, 100.0f, 0, kPercent}},
    {kParamColorAmount,
     PF_Param_FLOAT_SLIDER,
     "Color Amount",
     {0.0f, 100.0f, 0.0f, 100.0f, 0.0f, 0, kPercent}},
    {kParamGlassColor, PF_Param_COLOR, "Glass Color"},
    {kParamShaderGroupEnd, PF_Param_GROUP_END, ""},

    {kParamAdvancedGroupStart, PF_Param_GROUP_START, "Advanced", {}, {}, PF_ParamFlag_START_COLLAPSED},
    {kParamClampEdges, PF_Param_CHECKBOX, "Clamp Edges"},
    {kParamDebugView,
     PF_Param_POPUP,
     "Debug View",
     {},
     {5, 1, "Off|Glass Mask|Inversed SDF|Distortion|Sample Offset"}},
    {kParamAdvancedGroupEnd, PF_Param_GROUP_END, ""},
};

constexpr bool DeclaredInIndexOrder()
{
    for (size_t i = 0; i < std::size(kDeclarations); ++i) {
        if (kDeclarations[i].index != static_cast<ParamIndex>(i + 1)) {
            return false;
        }
    }
    return std::size(kDeclarations) + 1 == kParamCount;
}
static_assert(DeclaredInIndexOrder(), "parameters are declared as 1 to 29 in order");

// The host's centre default is in percent of the layer size; the current value
// given with it is the same number.
constexpr PF_Fixed kCenterPercent = INT2FIX(50);
constexpr PF_Pixel kWhite = {255, 255, 255, 255};

void CopyName(const char *name, A_char (&field)[PF_MAX_EFFECT_PARAM_NAME_LEN + 1])
{
    std::strncpy(field, name, PF_MAX_EFFECT_PARAM_NAME_LEN);
    field[PF_MAX_EFFECT_PARAM_NAME_LEN] = '\0';
}

void FillDeclaration(const ParamDeclaration &decl, PF_ParamDef &def)
{
    def.param_type = decl.type;
    def.uu.id = decl.index;
    def.flags = decl.flags;
    CopyName(decl.name, def.PF_DEF_NAME);

    switch (decl.type) {
    case PF_Param_FLOAT_SLIDER: {
        PF_FloatSliderDef &fs = def.u.fs_d;
        fs.value = decl.slider.dephault;
        fs.valid_min = decl.slider.valid_min;
        fs.valid_max = decl.slider.valid_max;
        fs.slider_min = decl.slider.slider_min;
        fs.slider_max = decl.slider.slider_max;
        fs.dephault = decl.slider.dephault;
        fs.precision = decl.slider.precision;
        fs.display_flags = decl.slider.display_flags;
        break;
    }
    case PF_Param_POPUP:
        def.u.pd.value = decl.popup.dephault;
        def.u.pd.num_choices = decl.popup.num_choices;
        def.u.pd.dephault = decl.popup.dephault;
        def.u.pd.u.namesptr = decl.popup.choices;
        break;
    case PF_Param_POINT:
        def.u.td.x_value = kCenterPercent;
        def.u.td.y_value = kCenterPercent;
        def.u.td.x_dephault = kCenterPercent;
        def.u.td.y_dephault = kCenterPercent;
        def.u.td.restrict_bounds = false;
        break;
    case PF_Param_LAYER:
        def.u.ld.dephault = PF_LayerDefault_NONE;
        break;
    case PF_Param_COLOR:
        def.u.cd.value = kWhite;
        def.u.cd.dephault = kWhite;
        break;
    case PF_Param_CHECKBOX:
        def.u.bd.value = 0;
        def.u.bd.dephault = false;
        def.u.bd.u.nameptr = "";
        break;
    default: // group start and end carry only their name and flags
        break;
    }
}

} // namespace

PF_Err ParamsSetup(PF_InData *in_data, PF_OutData *out_data)
{
    if (in_data == nullptr || out_data == nullptr || in_data->inter.add_param == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    for (const ParamDeclaration &decl : kDeclarations) {
        PF_ParamDef def;
        AEFX_CLR_STRUCT(def);
        FillDeclaration(decl, def);
        if (const PF_Err err = PF_ADD_PARAM(in_data, -1, &def); err != PF_Err_NONE) {
            return err;
        }
    }
    out_data->num_params = kParamCount;
    return PF_Err_NONE;
}

} // namespace prismora
