// The resolved parameters of one render: what every renderer reads instead of
// the host's parameter array.
#pragma once

#include <cstdint>

#include "AE_Effect.h"
#include "model/popup_values.h"

namespace prismora {

// Field order and types are shared by every renderer and by the GPU parameter
// block; the member initialisers are the values used when a parameter is absent.
struct EffectSettings {
    int32_t quality = kQualityMid;          // a Quality
    int32_t renderer = kRendererAuto;       // a Renderer
    int32_t glass_mode = kGlassRoundedRect; // a GlassMode
    int32_t debug_view = kDebugOff;         // a DebugView
    float amount = 1.0f;
    float opacity = 1.0f;
    float center_x = 0.0f;
    float center_y = 0.0f;
    float glass_width = 256.0f;
    float glass_height = 256.0f;
    float corner_radius = 48.0f;
    float distortion_scale = 30.0f / 100.0f;
    float edge_range = 0.5f;
    float blur_intensity = 30.0f;
    float chromatic_shift = 4.0f;
    float chromatic_range = 0.5f;
    float tint_multiplier = 1.0f;
    float color_amount = 0.0f;
    float glass_color[4] = {1.0f, 1.0f, 1.0f, 1.0f}; // alpha (always 1), red, green, blue
    float edge_visibility = 1.0f;
    bool clamp_edges = false;
};

// The strength of the full blur (half of it for the half blur) that Blur Intensity asks for.
inline float BlurStrength(const EffectSettings &settings)
{
    return settings.blur_intensity * 0.1f;
}

// Resolves the settings from a parameter pointer table indexed by parameter
// index (30 entries). The table and any entry may be null.
EffectSettings ReadEffectSettings(PF_ParamDef *const *params);

} // namespace prismora
