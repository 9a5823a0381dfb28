// The GPU smart render of a build without CUDA. Its device set-up declines
// every device, so a host never sends a GPU frame; one that does anyway gets
// the decline that sends the frame to the CPU render.
#include "diag/log.h"
#include "gpu/smart_render_gpu.h"

namespace prismora {

PF_Err SmartRenderGPU(PF_InData *, PF_OutData *, PF_SmartRenderExtra *)
{
    LogLine("SmartRenderGPU(CUDA): built without CUDA, CPU fallback");
    return PF_Err_UNRECOGNIZED_PARAM_TYPE;
}

} // namespace prismora
