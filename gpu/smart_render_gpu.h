// The GPU smart render: one frame through the CUDA launchers, or a decline
// (PF_Err_UNRECOGNIZED_PARAM_TYPE) that sends the frame to the CPU render.
#pragma once

#include "AE_Effect.h"
#include "gpu/prismora_params.h"
#include "model/pre_render_data.h"

namespace prismora {

// Answers PF_Cmd_SMART_RENDER_GPU. A host suite that cannot be acquired throws
// A_Err_MISSING_SUITE after telling the host why; the entry point catches it.
PF_Err SmartRenderGPU(PF_InData *in_data, PF_OutData *out_data, PF_SmartRenderExtra *extra);

// The worlds one GPU frame's parameter block describes. input and output are
// required; the others are null when the frame has none.
struct GpuFrameWorlds {
    const PF_EffectWorld *input = nullptr;
    const PF_EffectWorld *output = nullptr;
    const PF_EffectWorld *matte = nullptr;
    const void *matte_mem = nullptr; // the matte's device memory
    const PF_EffectWorld *half_blur = nullptr;
    const PF_EffectWorld *full_blur = nullptr;
};

// The glass kernel's block for a frame: the defaults, then every field the
// frame sets. The matte fields are filled only for a matte world with device
// memory and valid bounds.
TPCudaPrismoraParams FillPrismoraParams(const PreRenderData &frame, const GpuFrameWorlds &worlds,
                                        bool blur_enabled);

} // namespace prismora
