// The host's offer of a GPU device: the effect renders through CUDA only and
// keeps no per-device state.
#pragma once

#include "AE_Effect.h"

namespace prismora {

// Accepts the device when it is offered under CUDA (declares 32-bit float GPU
// rendering, no device data); declines any other framework with success, so the
// host can try another one or render on the CPU.
PF_Err GPUDeviceSetup(PF_InData *in_data, PF_OutData *out_data, PF_GPUDeviceSetupExtra *extra);

// Nothing was set up per device, so this only logs; always 0.
PF_Err GPUDeviceSetdown(PF_GPUDeviceSetdownExtra *extra);

} // namespace prismora
