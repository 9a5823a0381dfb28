#include "gpu/gpu_device_setup.h"

#include "diag/log.h"

namespace prismora {

PF_Err GPUDeviceSetup(PF_InData *in_data, PF_OutData *out_data, PF_GPUDeviceSetupExtra *extra)
{
    LogLine("GPUDeviceSetup(CUDA): enter");
    if (in_data == nullptr || out_data == nullptr || extra == nullptr || extra->input == nullptr ||
        extra->output == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const PF_GPUDeviceSetupInput &input = *extra->input;
    LogGpuFramework("GPUDeviceSetup(CUDA)", input.what_gpu);
    LogValue("GPUDeviceSetup(CUDA): device_index", static_cast<int64_t>(input.device_index));

    if (input.what_gpu != PF_GPU_Framework_CUDA) {
        LogLine("GPUDeviceSetup(CUDA): not CUDA, ignore so AE can try another framework or CPU fallback");
        return PF_Err_NONE;
    }
#ifdef PRISMORA_NO_CUDA
    // Accepting would promise GPU frames that this build cannot render.
    LogLine("GPUDeviceSetup(CUDA): built without CUDA, declined so AE renders on the CPU");
    return PF_Err_NONE;
#endif
    out_data->out_flags2 |= PF_OutFlag2_SUPPORTS_GPU_RENDER_F32;
    // Every GPU frame gets what it needs from the host per call.
    extra->output->gpu_data = nullptr;
    LogLine("GPUDeviceSetup(CUDA): CUDA accepted");
    return PF_Err_NONE;
}

PF_Err GPUDeviceSetdown(PF_GPUDeviceSetdownExtra *extra)
{
    if (extra != nullptr && extra->input != nullptr) {
        LogGpuFramework("GPUDeviceSetdown(CUDA)", extra->input->what_gpu);
    } else {
        LogLine("GPUDeviceSetdown(CUDA): enter");
    }
    return PF_Err_NONE;
}

} // namespace prismora
