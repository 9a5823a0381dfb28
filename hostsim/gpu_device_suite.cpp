// The GPU device suite. The world functions work during PF_Cmd_SMART_RENDER_GPU
// on the frame's device; they are booked and can be failed on demand like
// every other callback. Device memory and exclusive access outside worlds are
// not offered (this effect never asks for them).
#include "hostsim/gpu_device_suite.h"

#include <algorithm>
#include <string>

#include "hostsim/call_context.h"

namespace prismora::hostsim {
namespace {

// The frame's context when a GPU render is in progress, else nullptr with
// *err set to the answer.
CallContext *GpuContext(PF_ProgPtr effect_ref, const char *callback, PF_Err *err)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    if (!ctx) {
        *err = PF_Err_BAD_CALLBACK_PARAM;
        return nullptr;
    }
    if ((*err = ctx->Enter(callback)) != PF_Err_NONE) {
        return nullptr;
    }
    if (ctx->cmd != PF_Cmd_SMART_RENDER_GPU || !ctx->gpu_device) {
        *err = ctx->Refuse(std::string(callback) + " outside a GPU render");
        return nullptr;
    }
    return ctx;
}

PF_Err GetDeviceCount(PF_ProgPtr effect_ref, A_u_long *count)
{
    PF_Err err = PF_Err_NONE;
    CallContext *ctx = GpuContext(effect_ref, "GetDeviceCount", &err);
    if (!ctx) {
        return err;
    }
    if (!count) {
        return ctx->Refuse("GetDeviceCount without a place for the count");
    }
    *count = 1;
    return PF_Err_NONE;
}

PF_Err GetDeviceInfo(PF_ProgPtr effect_ref, A_u_long device_index, PF_GPUDeviceInfo *info)
{
    PF_Err err = PF_Err_NONE;
    CallContext *ctx = GpuContext(effect_ref, "GetDeviceInfo", &err);
    if (!ctx) {
        return err;
    }
    if (!info || device_index != ctx->gpu_device_index) {
        return ctx->Refuse("GetDeviceInfo of device " + std::to_string(device_index));
    }
    *info = {};
    info->device_framework = PF_GPU_Framework_CUDA;
    info->compatibleB = 1;
    return PF_Err_NONE;
}

PF_Err DeviceIndexOnly(PF_ProgPtr, A_u_long)
{
    return PF_Err_UNRECOGNIZED_PARAM_TYPE;
}
PF_Err MemoryAllocate(PF_ProgPtr, A_u_long, size_t, void **)
{
    return PF_Err_OUT_OF_MEMORY;
}
PF_Err MemoryFree(PF_ProgPtr, A_u_long, void *)
{
    return PF_Err_UNRECOGNIZED_PARAM_TYPE;
}
PF_Err MemoryPurge(PF_ProgPtr, A_u_long, size_t, size_t *)
{
    return PF_Err_UNRECOGNIZED_PARAM_TYPE;
}

PF_Err CreateGPUWorld(PF_ProgPtr effect_ref, A_u_long device_index, A_long width, A_long height,
                      PF_RationalScale, PF_Field, PF_PixelFormat pixel_format, PF_Boolean clear,
                      PF_EffectWorld **world)
{
    PF_Err err = PF_Err_NONE;
    CallContext *ctx = GpuContext(effect_ref, "CreateGPUWorld", &err);
    if (!ctx) {
        return err;
    }
    if (device_index != ctx->gpu_device_index) {
        return ctx->Refuse("CreateGPUWorld on device " + std::to_string(device_index) +
                           ", which is not the frame's");
    }
    if (pixel_format != PF_PixelFormat_GPU_BGRA128) {
        return ctx->Refuse("CreateGPUWorld in pixel format " + std::to_string(pixel_format));
    }
    if (!world || width < 0 || height < 0) {
        return ctx->Refuse("CreateGPUWorld without a place for the world or with a negative size");
    }
    auto created = GpuWorld::Create(*ctx->gpu_device, width, height, width + ctx->gpu_pitch_padding, 0, 0,
                                    clear ? GpuFill::kClear : GpuFill::kGarbage);
    if (!created) {
        return PF_Err_OUT_OF_MEMORY;
    }
    ctx->effect_gpu_worlds.push_back(std::move(created));
    *world = &ctx->effect_gpu_worlds.back()->pf();
    ctx->books.Update([](BookTotals &t) { ++t.gpu_worlds_created; });
    return PF_Err_NONE;
}

PF_Err DisposeGPUWorld(PF_ProgPtr effect_ref, PF_EffectWorld *world)
{
    PF_Err err = PF_Err_NONE;
    CallContext *ctx = GpuContext(effect_ref, "DisposeGPUWorld", &err);
    if (!ctx) {
        return err;
    }
    auto &worlds = ctx->effect_gpu_worlds;
    const auto it =
        std::find_if(worlds.begin(), worlds.end(), [&](const auto &w) { return &w->pf() == world; });
    if (!world || it == worlds.end()) {
        return ctx->Refuse("DisposeGPUWorld of a world the effect did not create");
    }
    worlds.erase(it);
    ctx->books.Update([](BookTotals &t) { ++t.gpu_worlds_disposed; });
    return PF_Err_NONE;
}

PF_Err GetGPUWorldData(PF_ProgPtr effect_ref, PF_EffectWorld *world, void **pixels)
{
    PF_Err err = PF_Err_NONE;
    CallContext *ctx = GpuContext(effect_ref, "GetGPUWorldData", &err);
    if (!ctx) {
        return err;
    }
    const GpuWorld *found = ctx->FindGpuWorld(world);
    if (!found || !pixels) {
        return ctx->Refuse("GetGPUWorldData of a world that is not one of the frame's GPU worlds");
    }
    *pixels = found->memory();
    return PF_Err_NONE;
}

PF_Err GetGPUWorldSize(PF_ProgPtr effect_ref, PF_EffectWorld *world, size_t *bytes)
{
    PF_Err err = PF_Err_NONE;
    CallContext *ctx = GpuContext(effect_ref, "GetGPUWorldSize", &err);
    if (!ctx) {
        return err;
    }
    const GpuWorld *found = ctx->FindGpuWorld(world);
    if (!found || !bytes) {
        return ctx->Refuse("GetGPUWorldSize of a world that is not one of the frame's GPU worlds");
    }
    *bytes = found->bytes();
    return PF_Err_NONE;
}

PF_Err GetGPUWorldDeviceIndex(PF_ProgPtr effect_ref, PF_EffectWorld *world, A_u_long *device_index)
{
    PF_Err err = PF_Err_NONE;
    CallContext *ctx = GpuContext(effect_ref, "GetGPUWorldDeviceIndex", &err);
    if (!ctx) {
        return err;
    }
    if (!ctx->FindGpuWorld(world) || !device_index) {
        return ctx->Refuse("GetGPUWorldDeviceIndex of a world that is not one of the frame's GPU worlds");
    }
    *device_index = ctx->gpu_device_index;
    return PF_Err_NONE;
}

} // namespace

const PF_GPUDeviceSuite1 *GpuDeviceSuite()
{
    static const PF_GPUDeviceSuite1 suite{
        GetDeviceCount, GetDeviceInfo,   DeviceIndexOnly, DeviceIndexOnly, MemoryAllocate,
        MemoryFree,     MemoryPurge,     MemoryAllocate,  MemoryFree,      MemoryPurge,
        CreateGPUWorld, DisposeGPUWorld, GetGPUWorldData, GetGPUWorldSize, GetGPUWorldDeviceIndex};
    return &suite;
}

} // namespace prismora::hostsim
