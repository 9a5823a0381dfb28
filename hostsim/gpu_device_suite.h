// "PF GPU Device Suite" version 1: the GPU worlds of a GPU frame. Internal to
// the host, which registers it with its other suites.
#pragma once

#include "AE_EffectGPUSuites.h"

namespace prismora::hostsim {

const PF_GPUDeviceSuite1 *GpuDeviceSuite();

} // namespace prismora::hostsim
