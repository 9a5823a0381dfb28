// The host's entry point: answers the informational commands itself and routes
// every other supported command to its handler.

#include "effect/effect_main.h"

#include <cstring>

#include "cpu/cpu_render.h"
#include "effect/legacy_render_depth.h"
#include "effect/params_setup.h"
#include "effect/plugin_version.h"
#include "effect/pre_render.h"
#include "gpu/gpu_device_setup.h"
#include "gpu/smart_render_gpu.h"
#include "model/effect_settings.h"

extern "C" {
DllExport A_u_long NvOptimusEnablementCuda = 1;
}

namespace prismora {
namespace {

PF_Err About(PF_OutData *out_data)
{
    if (out_data == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    std::memcpy(out_data->return_msg, kAboutText, sizeof(kAboutText));
    return PF_Err_NONE;
}

// The plain render command: settings from the host's parameter array, the depth
// from the output world, never a matte.
PF_Err Render(PF_InData *in_data, PF_ParamDef *params[], PF_LayerDef *output)
{
    if (in_data == nullptr || params == nullptr || output == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const EffectSettings settings = ReadEffectSettings(params);
    const PF_EffectWorld *input = params[0] != nullptr ? &params[0]->u.ld : nullptr;
    const HostThreads threads(in_data);
    switch (LegacyRenderDepth(*in_data, *output)) {
    case 32:
        return LegacyRender<PF_PixelFloat>(input, output, settings, nullptr, &threads);
    case 16:
        return LegacyRender<PF_Pixel16>(input, output, settings, nullptr, &threads);
    default:
        return LegacyRender<PF_Pixel8>(input, output, settings, nullptr, &threads);
    }
}

PF_Err GlobalSetup(PF_OutData *out_data)
{
    if (out_data == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    out_data->my_version = kEffectVersion;
    out_data->out_flags = kGlobalOutFlags;
    out_data->out_flags2 = kGlobalOutFlags2;
    return PF_Err_NONE;
}

// Commands that reach a handler. Every handler checks its own arguments; the
// ones not listed have nothing to do (the effect keeps no global, sequence or
// frame data).
PF_Err Dispatch(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                PF_LayerDef *output, void *extra)
{
    switch (cmd) {
    case PF_Cmd_PARAMS_SETUP:
        return ParamsSetup(in_data, out_data);
    case PF_Cmd_RENDER:
        return Render(in_data, params, output);
    case PF_Cmd_SMART_PRE_RENDER:
        return PreRender(in_data, static_cast<PF_PreRenderExtra *>(extra));
    case PF_Cmd_SMART_RENDER:
        return SmartRenderCPU(in_data, static_cast<PF_SmartRenderExtra *>(extra));
    case PF_Cmd_SMART_RENDER_GPU:
        return SmartRenderGPU(in_data, out_data, static_cast<PF_SmartRenderExtra *>(extra));
    case PF_Cmd_GPU_DEVICE_SETUP:
        return GPUDeviceSetup(in_data, out_data, static_cast<PF_GPUDeviceSetupExtra *>(extra));
    case PF_Cmd_GPU_DEVICE_SETDOWN:
        return GPUDeviceSetdown(static_cast<PF_GPUDeviceSetdownExtra *>(extra));
    default:
        return PF_Err_NONE;
    }
}

} // namespace
} // namespace prismora

extern "C" DllExport PF_Err EffectMain(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data,
                                       PF_ParamDef *params[], PF_LayerDef *output, void *extra)
{
    using namespace prismora;
    // Unsigned, so negative command numbers fall outside the range as well.
    if (static_cast<A_u_long>(cmd) >= static_cast<A_u_long>(PF_Cmd_NUM_CMDS)) {
        return PF_Err_NONE;
    }
    if (cmd == PF_Cmd_ABOUT) {
        return About(out_data);
    }
    if (cmd == PF_Cmd_GLOBAL_SETUP) {
        return GlobalSetup(out_data);
    }
    // No exception may reach the host: allocation failures and unavailable
    // suites surface here as one generic error.
    try {
        return Dispatch(cmd, in_data, out_data, params, output, extra);
    } catch (...) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}
