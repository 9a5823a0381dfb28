// Which frames the GPU renderer can take: shared by smart pre-render (which
// offers the frame to the GPU) and the GPU render (which re-checks it).
#pragma once

#include "model/effect_settings.h"

namespace prismora {

// Renderer Auto or GPU, and a glass mode the GPU kernel draws (rounded rect or
// Full Frame). CPU, or any value outside the popup ranges, keeps the frame on the CPU.
inline bool GPUPathSupported(const EffectSettings &settings)
{
    const bool renderer_allows = settings.renderer == kRendererAuto || settings.renderer == kRendererGpu;
    const bool mode_supported =
        settings.glass_mode == kGlassRoundedRect || settings.glass_mode == kGlassFullFrame;
    return renderer_allows && mode_supported;
}

} // namespace prismora
