#include "model/effect_settings.h"

#include "model/param_index.h"

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

// 0 to upper, a NaN giving 0.
float ZeroTo(float value, float upper)
{
    return value > upper ? upper : AtLeast(value, 0.0f);
}

// A float slider's double value narrowed to float before any arithmetic.
float SliderValue(const PF_ParamDef &param)
{
    return static_cast<float>(param.u.fs_d.value);
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

// Popups are taken as they are, without a range check.
struct PopupField {
    ParamIndex index;
    int32_t EffectSettings::*field;
};

constexpr PopupField kPopupFields[] = {
    {kParamQuality, &EffectSettings::quality},
    {kParamRenderer, &EffectSettings::renderer},
    {kParamGlassMode, &EffectSettings::glass_mode},
    {kParamDebugView, &EffectSettings::debug_view},
};

enum class Scale { kValue, kPercent }; // value as is, or value / 100
// 0 to limit (NaN kept), at least limit (NaN gives it), or 0 to limit (NaN gives 0).
enum class Bound { kNone, kUpTo, kAtLeast, kZeroTo };

// How one float slider becomes its settings field.
struct SliderField {
    ParamIndex index;
    float EffectSettings::*field;
    Scale scale;
    Bound bound;
    float limit;
};

constexpr SliderField kSliderFields[] = {
    {kParamAmount, &EffectSettings::amount, Scale::kPercent, Bound::kUpTo, 1.0f},
    {kParamOpacity, &EffectSettings::opacity, Scale::kPercent, Bound::kUpTo, 1.0f},
    {kParamGlassWidth, &EffectSettings::glass_width, Scale::kValue, Bound::kAtLeast, 1.0f},
    {kParamGlassHeight, &EffectSettings::glass_height, Scale::kValue, Bound::kAtLeast, 1.0f},
    {kParamCornerRadius, &EffectSettings::corner_radius, Scale::kValue, Bound::kAtLeast, 0.0f},
    {kParamDistortionScale, &EffectSettings::distortion_scale, Scale::kPercent, Bound::kNone, 0.0f},
    {kParamEdgeRange, &EffectSettings::edge_range, Scale::kPercent, Bound::kAtLeast, 0.0f},
    // Capped at the slider's top: After Effects never sends more, and the blur's
    // work grows with it (a million would take hours a frame).
    {kParamBlurIntensity, &EffectSettings::blur_intensity, Scale::kValue, Bound::kZeroTo, 300.0f},
    {kParamChromaticShift, &EffectSettings::chromatic_shift, Scale::kValue, Bound::kNone, 0.0f},
    {kParamChromaticRange, &EffectSettings::chromatic_range, Scale::kPercent, Bound::kAtLeast, 0.0f},
    {kParamTintMultiplier, &EffectSettings::tint_multiplier, Scale::kPercent, Bound::kNone, 0.0f},
    {kParamColorAmount, &EffectSettings::color_amount, Scale::kPercent, Bound::kUpTo, 1.0f},
    {kParamEdgeVisibility, &EffectSettings::edge_visibility, Scale::kPercent, Bound::kUpTo, 2.0f},
};

float ConvertSlider(const SliderField &slider, const PF_ParamDef &param)
{
    const float value = slider.scale == Scale::kPercent ? SliderValue(param) / 100.0f : SliderValue(param);
    switch (slider.bound) {
    case Bound::kUpTo:
        return ClampTo(value, slider.limit);
    case Bound::kAtLeast:
        return AtLeast(value, slider.limit);
    case Bound::kZeroTo:
        return ZeroTo(value, slider.limit);
    default:
        return value;
    }
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

    for (const PopupField &popup : kPopupFields) {
        if (const PF_ParamDef *p = at(popup.index)) {
            s.*popup.field = p->u.pd.value;
        }
    }
    for (const SliderField &slider : kSliderFields) {
        if (const PF_ParamDef *p = at(slider.index)) {
            s.*slider.field = ConvertSlider(slider, *p);
        }
    }
    if (const PF_ParamDef *p = at(kParamCenter)) {
        s.center_x = FixedToFloat(p->u.td.x_value);
        s.center_y = FixedToFloat(p->u.td.y_value);
    }
    if (const PF_ParamDef *p = at(kParamGlassColor)) {
        // The colour's own alpha is not a user control of the glass.
        s.glass_color[0] = 1.0f;
        s.glass_color[1] = ChannelToFloat(p->u.cd.value.red);
        s.glass_color[2] = ChannelToFloat(p->u.cd.value.green);
        s.glass_color[3] = ChannelToFloat(p->u.cd.value.blue);
    }
    if (const PF_ParamDef *p = at(kParamClampEdges)) {
        s.clamp_edges = p->u.bd.value != 0;
    }
    return s;
}

} // namespace prismora
