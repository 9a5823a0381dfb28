// What smart pre-render hands to smart render for one frame.
#pragma once

#include "model/effect_settings.h"

namespace prismora {

// Bounding box of the matte's visible pixels, in the matte layer's coordinates.
struct MatteBounds {
    bool valid = false;
    bool has_partial_alpha = false;
    float left = 0.0f;
    float top = 0.0f;
    float right = 0.0f;  // exclusive
    float bottom = 0.0f; // exclusive
    float mid_x = 0.0f;
    float mid_y = 0.0f;
    float half_width = 0.0f;
    float half_height = 0.0f;
};

struct PreRenderData {
    EffectSettings settings;
    bool alpha_matte_requested = false;
    MatteBounds matte_bounds;
};

} // namespace prismora
