// The frame body as the host runs it: the same pixels as the plain reading
// (PlainRender), with the work cut to what the glass can change and spread
// over the host's threads. Blurs cover only the window the shader can read,
// pixels off the glass pass through without the shader.
#pragma once

#include "AE_Effect.h"
#include "cpu/host_threads.h"
#include "model/effect_settings.h"
#include "model/matte_field.h"

namespace prismora {

// The input has pixels; the output has data.
template <typename Pixel>
PF_Err RenderFrameFast(const PF_EffectWorld &input, PF_EffectWorld &output, const EffectSettings &settings,
                       const MatteField *matte, const HostThreads &threads);

} // namespace prismora
