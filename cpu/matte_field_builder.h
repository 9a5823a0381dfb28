// Builds the matte field the shading model reads from the alpha matte layer.
#pragma once

#include "AE_Effect.h"
#include "model/matte_field.h"

namespace prismora {

// Builds the field from a matte world of the given pixel type; false (and an
// invalid field) when the world has no visible pixel.
template <typename Pixel> bool BuildMatteField(const PF_EffectWorld &world, MatteField &field);

} // namespace prismora
