// The host-side interface of the device code. Every launcher waits for its
// kernels, frees what it allocated and leaves LastCudaErrorText() empty on
// success or holding the text of the code it returns.
#pragma once

#include <driver_types.h>

#include "gpu/prismora_params.h"

namespace prismora {

// One horizontal Gaussian pass over BGRA128 frames (pitches in pixels).
// weights are in host memory and uploaded for this pass.
cudaError_t LaunchBlurHorizontal(const float *source, float *destination, int source_pitch,
                                 int destination_pitch, int width, int height, const float *weights,
                                 int tap_count, bool clamp_edges);

// One vertical pass; the same arguments.
cudaError_t LaunchBlurVertical(const float *source, float *destination, int source_pitch,
                               int destination_pitch, int width, int height, const float *weights,
                               int tap_count, bool clamp_edges);

// The matte distance passes when the block asks for them, then the glass kernel.
// params points at a filled block in host memory; matte may be null.
cudaError_t LaunchGlassComposite(const float *source, const float *half_blur, const float *full_blur,
                                 const float *matte, float *destination, const TPCudaPrismoraParams *params);

} // namespace prismora
