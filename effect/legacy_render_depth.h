// Pixel depth of a plain (non-smart) render, taken from the output world.
#pragma once

#include "AE_Effect.h"

namespace prismora {

// 32 when the world holds at least 16 bytes per pixel (four floats), else 16
// when it is marked deep, else 8. The float test comes first: a float world may
// carry the deep flag too.
int LegacyRenderDepth(const PF_LayerDef &output);

// The output world's depth as the host states it through the world suite's
// pixel format. The layout rule above is only the fallback (no suite, a failed
// query, an unknown format): padded rows of a world one to three pixels wide
// reach 16 bytes a pixel at 8 bits too, and would be read as floats.
int LegacyRenderDepth(const PF_InData &in_data, const PF_LayerDef &output);

} // namespace prismora
