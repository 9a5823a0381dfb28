// Where the glass can change a frame, bounded conservatively from the settings
// alone: the layer pixels the shader may shade (every other pixel is the
// source passed through) and where its blurred reads may land.
#pragma once

#include "AE_Effect.h"
#include "model/effect_settings.h"
#include "model/matte_field.h"

namespace prismora {

struct GlassBounds {
    bool bounded = false; // false: no safe bound, every pixel may be shaded
    PF_LRect shaded{};    // layer coordinates; empty when no pixel can be on the glass
    // The layer positions the blurred reads of shaded pixels may land on
    // (refraction and colour split included), as a closed box; infinite
    // bounds when the settings do not bound them.
    double read_left = 0.0;
    double read_top = 0.0;
    double read_right = 0.0;
    double read_bottom = 0.0;
};

// matte may be null; one whose valid flag is clear counts as absent.
GlassBounds FindGlassBounds(const EffectSettings &settings, const MatteField *matte);

// True when every coordinate of the rectangle converts to float exactly with
// room to spare, so that the shader's float positions are the integer ones.
bool HasExactFloatCoordinates(const PF_LRect &rect);

} // namespace prismora
