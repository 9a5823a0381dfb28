// The effect's entry point, called by the host for every command.
#pragma once

#include "AE_Effect.h"
#include "entry.h"

extern "C" {

DllExport PF_Err EffectMain(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                            PF_LayerDef *output, void *extra);

// Read by the NVIDIA driver on hybrid-graphics machines: 1 runs CUDA work on the
// discrete GPU. Exported and writable, as the driver expects.
DllExport extern A_u_long NvOptimusEnablementCuda;
}
