// The device work of the CUDA unit done on the CPU: the same argument checks,
// launch geometry and error text as the real launchers, with "device" memory
// being host memory and the kernels' per-thread functions run over the grid.
// Under their own names so that a test can run them beside a real device.
#pragma once

#include <driver_types.h>

#include "gpu/prismora_params.h"

namespace prismora::emulated {

cudaError_t LaunchBlurHorizontal(const float *source, float *destination, int source_pitch,
                                 int destination_pitch, int width, int height, const float *weights,
                                 int tap_count, bool clamp_edges);

cudaError_t LaunchBlurVertical(const float *source, float *destination, int source_pitch,
                               int destination_pitch, int width, int height, const float *weights,
                               int tap_count, bool clamp_edges);

cudaError_t LaunchGlassComposite(const float *source, const float *half_blur, const float *full_blur,
                                 const float *matte, float *destination, const TPCudaPrismoraParams *params);

// The three matte distance passes of the composite over a whole matte frame,
// with the launchers' geometry, into caller-owned planes of width x height.
cudaError_t RunMatteDistancePasses(const float *matte, int matte_pitch, int width, int height,
                                   unsigned char *mask, float *distance, float *smoothed);

} // namespace prismora::emulated
