#include "effect/params_setup.h"

#include <cstring>
#include <iterator>

#include "AE_Macros.h"
#include "model/param_index.h"
#include "model/popup_values.h"

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

constexpr ParamDeclaration Plain(ParamIndex index, PF_ParamType type, const char *name,
                                 PF_ParamFlags flags = 0)
{
    return {index, type, name, {}, {}, flags};
}

constexpr ParamDeclaration Slider(ParamIndex index, const char *name, float valid_min, float valid_max,
                                  float slider_min, float slider_max, float dephault, A_short precision,
                                  PF_ValueDisplayFlags display_flags)
{
    return {index,
            PF_Param_FLOAT_SLIDER,
            name,
            {valid_min, valid_max, slider_min, slider_max, dephault, precision, display_flags}};
}

constexpr ParamDeclaration Popup(ParamIndex index, const char *name, A_short num_choices, A_short dephault,
                                 const char *choices)
{
    return {index, PF_Param_POPUP, name, {}, {num_choices, dephault, choices}};
}

// The effect's controls as the user sees them, in the host's order.
constexpr ParamDeclaration kDeclarations[] = {
    Plain(kParamMainGroupStart, PF_Param_GROUP_START, "Prismora"),
    Slider(kParamAmount, "Amount", 0, 200, 0, 200, 100, 0, kPercent),
    Slider(kParamOpacity, "Opacity", 0, 100, 0, 100, 100, 0, kPercent),
    Popup(kParamRenderer, "Renderer", 3, kRendererAuto, "Auto|GPU|CPU"),
    Popup(kParamQuality, "Quality", 3, kQualityMid, "Low|Mid|High"),
    Plain(kParamMainGroupEnd, PF_Param_GROUP_END, ""),

    Plain(kParamShapeGroupStart, PF_Param_GROUP_START, "Shape"),
    Popup(kParamGlassMode, "Glass Mode", 2, kGlassRoundedRect, "Custom Rounded Rect|Full Frame"),
    Plain(kParamCenter, PF_Param_POINT, "Center"),
    Slider(kParamGlassWidth, "Glass Width", 1, 8192, 1, 2048, 256, 0, kPlain),
    Slider(kParamGlassHeight, "Glass Height", 1, 8192, 1, 2048, 256, 0, kPlain),
    Slider(kParamCornerRadius, "Corner Radius", 0, 2048, 0, 512, 48, 0, kPlain),
    Plain(kParamAlphaMatte, PF_Param_LAYER, "Alpha Matte Layer"),
    Plain(kParamShapeGroupEnd, PF_Param_GROUP_END, ""),

    Plain(kParamShaderGroupStart, PF_Param_GROUP_START, "Shader Port"),
    Slider(kParamDistortionScale, "Distortion Scale", 0, 300, 0, 200, 30, 0, kPercent),
    Slider(kParamEdgeRange, "Edge Range", 0, 100, 0, 60, 50, 2, kPercent),
    Slider(kParamEdgeVisibility, "Edge Visibility", 0, 200, 0, 150, 100, 0, kPercent),
    Slider(kParamBlurIntensity, "Blur Intensity", 0, 300, 0, 200, 30, 0, kPlain),
    Slider(kParamChromaticShift, "Chromatic Shift", 0, 100, 0, 50, 4, 0, kPlain),
    Slider(kParamChromaticRange, "Chromatic Range", 0, 100, 0, 60, 50, 2, kPercent),
    Slider(kParamTintMultiplier, "Tint Multiplier", 0, 200, 0, 150, 100, 0, kPercent),
    Slider(kParamColorAmount, "Color Amount", 0, 100, 0, 100, 0, 0, kPercent),
    Plain(kParamGlassColor, PF_Param_COLOR, "Glass Color"),
    Plain(kParamShaderGroupEnd, PF_Param_GROUP_END, ""),

    Plain(kParamAdvancedGroupStart, PF_Param_GROUP_START, "Advanced", PF_ParamFlag_START_COLLAPSED),
    Plain(kParamClampEdges, PF_Param_CHECKBOX, "Clamp Edges"),
    Popup(kParamDebugView, "Debug View", kDebugViewCount, kDebugOff,
          "Off|Glass Mask|Inversed SDF|Distortion|Sample Offset"),
    Plain(kParamAdvancedGroupEnd, PF_Param_GROUP_END, ""),
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

// Every popup names as many choices as it declares (a new debug view needs its name).
constexpr bool PopupsNameTheirChoices()
{
    for (const ParamDeclaration &decl : kDeclarations) {
        if (decl.type != PF_Param_POPUP) {
            continue;
        }
        A_short names = 1;
        for (const char *c = decl.popup.choices; *c != '\0'; ++c) {
            names += *c == '|' ? 1 : 0;
        }
        if (names != decl.popup.num_choices) {
            return false;
        }
    }
    return true;
}
static_assert(PopupsNameTheirChoices(), "each popup's choices match its count");

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
