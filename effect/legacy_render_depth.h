// Pixel depth of a plain (non-smart) render, taken from the output world.
#pragma once

#include "AE_Effect.h"

namespace prismora {

// 32 when the world holds at least 16 bytes per pixel (four floats), else 16
// when it is marked deep, else 8. The float test comes first: a float world may
// carry the deep flag too.
int LegacyRenderDepth(const PF_LayerDef &output);

} // namespace prismora
