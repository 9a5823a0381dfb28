#include "host/effect_settings.h"

#include "host/param_index.h"

namespace prismora {
namespace {

// NaN is neither above nor below a bound, so it passes through unchanged.
float ClampTo(float value, float upper)
{
    if (value > upper) {
        return upper;
    }
    if (0.0f > value) {
        return 0.0f;
    }
    return value;
}

// The larger of the two; a NaN value yields the bound.
float AtLeast(float value, float bound)
{
    return value > bound ? value : bound;
}

// A float slider's double value narrowed to float before any arithmetic.
float SliderValue(const PF_ParamDef &param)
{
    return static_cast<float>(param.u.fs_d.value);
}

float SliderPercent(const PF_ParamDef &param)
{
    return SliderValue(param) / 100.0f;
}

// 16.16 fixed point to layer pixels: scaled exactly in double, then narrowed.
float FixedToFloat(PF_Fixed value)
{
    return static_cast<float>(static_cast<double>(value) * (1.0 / 65536.0));
}

float ChannelToFloat(A_u_char channel)
{
    return static_cast<float>(channel) / 255.0f;
}

} // namespace

EffectSettings ReadEffectSettings(PF_ParamDef *const *params)
{
    EffectSettings s;
    if (params == nullptr) {
        return s;
    }
    // The parameter at an index, or null when the host did not supply it.
    const auto at = [params](ParamIndex index) -> const PF_ParamDef * { return params[index]; };

    if (const PF_ParamDef *p = at(kParamQuality)) {
        s.quality = p->u.pd.value;
    }
    if (const PF_ParamDef *p = at(kParamRenderer)) {
        s.renderer = p->u.pd.value;
    }
    if (const PF_ParamDef *p = at(kParamGlassMode)) {
        s.glass_mode = p->u.pd.value;
    }
    if (const PF_ParamDef *p = at(kParamDebugView)) {
        s.debug_view = p->u.pd.value;
    }
    if (const PF_ParamDef *p = at(kParamAmount)) {
        s.amount = ClampTo(SliderPercent(*p), 1.0f);
    }
    if (const PF_ParamDef *p = at(kParamOpacity)) {
        s.opacity = ClampTo(SliderPercent(*p), 1.0f);
    }
    if (const PF_ParamDef *p = at(kParamCenter)) {
        s.center_x = FixedToFloat(p->u.td.x_value);
        s.center_y = FixedToFloat(p->u.td.y_value);
    }
    if (const PF_ParamDef *p = at(kParamGlassWidth)) {
        s.glass_width = AtLeast(SliderValue(*p), 1.0f);
    }
    if (const PF_ParamDef *p = at(kParamGlassHeight)) {
        s.glass_height = AtLeast(SliderValue(*p), 1.0f);
    }
    if (const PF_ParamDef *p = at(kParamCornerRadius)) {
        s.corner_radius = AtLeast(SliderValue(*p), 0.0f);
    }
    if (const PF_ParamDef *p = at(kParamDistortionScale)) {
        s.distortion_scale = SliderPercent(*p);
    }
    if (const PF_ParamDef *p = at(kParamEdgeRange)) {
        s.edge_range = AtLeast(SliderPercent(*p), 0.0f);
    }
    if (const PF_ParamDef *p = at(kParamBlurIntensity)) {
        s.blur_intensity = AtLeast(SliderValue(*p), 0.0f);
    }
    if (const PF_ParamDef *p = at(kParamChromaticShift)) {
        s.chromatic_shift = SliderValue(*p);
    }
    if (const PF_ParamDef *p = at(kParamChromaticRange)) {
        s.chromatic_range = AtLeast(SliderPercent(*p), 0.0f);
    }
    if (const PF_ParamDef *p = at(kParamTintMultiplier)) {
        s.tint_multiplier = SliderPercent(*p);
    }
    if (const PF_ParamDef *p = at(kParamColorAmount)) {
        s.color_amount = ClampTo(SliderPercent(*p), 1.0f);
    }
    if (const PF_ParamDef *p = at(kParamGlassColor)) {
        // The colour's own alpha is not a user control of the glass.
        s.glass_color[0] = 1.0f;
        s.glass_color[1] = ChannelToFloat(p->u.cd.value.red);
        s.glass_color[2] = ChannelToFloat(p->u.cd.value.green);
        s.glass_color[3] = ChannelToFloat(p->u.cd.value.blue);
    }
    if (const PF_ParamDef *p = at(kParamEdgeVisibility)) {
        s.edge_visibility = ClampTo(SliderPercent(*p), 2.0f);
    }
    if (const PF_ParamDef *p = at(kParamClampEdges)) {
        s.clamp_edges = p->u.bd.value != 0;
    }
    return s;
}

} // namespace prismora
