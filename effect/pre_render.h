// Smart pre-render: reads the parameters of one frame, decides on the matte,
// asks the host for the input around the requested output and leaves a
// PreRenderData for smart render.
#pragma once

#include "AE_Effect.h"
#include "model/effect_settings.h"
#include "model/pre_render_data.h"

namespace prismora {

PF_Err PreRender(PF_InData *in_data, PF_PreRenderExtra *extra);

// The host frees the frame's PreRenderData through this after smart render.
void DeletePreRenderData(void *pre_render_data);

// Bounds of the pixels with alpha above 0.003, in layer coordinates. A matte
// with no such pixel gives the whole world. The matte is in the render's bit
// depth (8, 16 or 32), as every layer of a smart render is; for any other
// value, the depth its layout suggests.
MatteBounds MeasureMatteBounds(const PF_EffectWorld &matte, int bit_depth);

// Pixels of input needed on every side of the requested rectangle for the blur,
// the refraction and the colour fringe.
A_long RequestExpansion(const EffectSettings &settings, const PF_LRect &request);

} // namespace prismora
