#include "gpu/smart_render_gpu.h"

#include <cstdint>
#include <string>
#include <vector>

#include "AEFX_SuiteHandlerTemplate.h"
#include "AE_EffectGPUSuites.h"
#include "AE_EffectSuites.h"
#include "diag/log.h"
#include "gpu/cuda_launchers.h"
#include "model/gaussian_kernel.h"
#include "model/gpu_path.h"
#include "model/layer_checkouts.h"

namespace prismora {
namespace {

// Every GPU frame pixel is four floats: pitches in pixels are row bytes / 16.
constexpr A_long kGpuPixelBytes = 16;

using WorldSuite = AEFX_SuiteScoper<PF_WorldSuite2>;
using GpuDeviceSuite = AEFX_SuiteScoper<PF_GPUDeviceSuite1>;

int32_t PitchOf(const PF_EffectWorld *world)
{
    return world != nullptr ? world->rowbytes / kGpuPixelBytes : 0;
}

int64_t AddressOf(const void *memory)
{
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(memory));
}

// A world the host handed out as null has no device memory to ask for.
PF_Err GpuWorldData(const PF_GPUDeviceSuite1 &suite, PF_ProgPtr effect_ref, PF_EffectWorld *world,
                    void **memory)
{
    if (world == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return suite.GetGPUWorldData(effect_ref, world, memory);
}

// The three scratch worlds of the blur, created through the host and disposed
// in creation order, keeping the first error; the destructor covers an exception.
class ScratchGpuWorlds {
public:
    enum Slot { kIntermediate, kHalf, kFull, kSlotCount };

    ScratchGpuWorlds(const PF_GPUDeviceSuite1 &suite, PF_ProgPtr effect_ref)
        : suite_(suite), effect_ref_(effect_ref)
    {
    }
    ScratchGpuWorlds(const ScratchGpuWorlds &) = delete;
    ScratchGpuWorlds &operator=(const ScratchGpuWorlds &) = delete;
    ~ScratchGpuWorlds() { DisposeAll(PF_Err_NONE); }

    // All three worlds first, then their memory; stops at the first failure.
    PF_Err Create(A_u_long device_index, const PF_EffectWorld &like, PF_Field field, PF_PixelFormat format)
    {
        for (PF_EffectWorld *&world : worlds_) {
            PF_EffectWorld *created = nullptr;
            const PF_Err err = suite_.CreateGPUWorld(effect_ref_, device_index, like.width, like.height,
                                                     like.pix_aspect_ratio, field, format, false, &created);
            if (err != PF_Err_NONE) {
                return err;
            }
            world = created;
        }
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const PF_Err err = GpuWorldData(suite_, effect_ref_, worlds_[slot], &memory_[slot]);
            if (err != PF_Err_NONE) {
                return err;
            }
        }
        return PF_Err_NONE;
    }

    PF_Err DisposeAll(PF_Err err)
    {
        for (PF_EffectWorld *&world : worlds_) {
            if (world != nullptr) {
                const PF_Err dispose_err = suite_.DisposeGPUWorld(effect_ref_, world);
                world = nullptr;
                if (err == PF_Err_NONE) {
                    err = dispose_err;
                }
            }
        }
        return err;
    }

    const PF_EffectWorld *world(Slot slot) const { return worlds_[slot]; }
    float *memory(Slot slot) const { return static_cast<float *>(memory_[slot]); }

private:
    const PF_GPUDeviceSuite1 &suite_;
    PF_ProgPtr effect_ref_;
    PF_EffectWorld *worlds_[kSlotCount] = {nullptr, nullptr, nullptr};
    void *memory_[kSlotCount] = {nullptr, nullptr, nullptr};
};

struct DeviceMemory {
    void *src = nullptr;
    void *matte = nullptr;
    void *dst = nullptr;
};

PF_Err CudaResultToErr(cudaError_t result)
{
    return result == cudaSuccess ? PF_Err_NONE : PF_Err_INTERNAL_STRUCT_DAMAGED;
}

// The output's format, then the matte's; a frame not in the GPU format is
// declined so that the CPU renders it.
PF_Err CheckPixelFormats(const PF_WorldSuite2 &suite, const PF_EffectWorld *output,
                         const PF_EffectWorld *matte, PF_PixelFormat &output_format,
                         PF_PixelFormat &matte_format)
{
    // A null output keeps the invalid format and is declined below.
    PF_Err err = output != nullptr ? suite.PF_GetPixelFormat(output, &output_format) : PF_Err_NONE;
    LogValue("SmartRenderGPU(CUDA): pixel_format", output_format);
    LogValue("SmartRenderGPU(CUDA): expected PF_PixelFormat_GPU_BGRA128", PF_PixelFormat_GPU_BGRA128);
    if (output_format != PF_PixelFormat_GPU_BGRA128) {
        LogLine("SmartRenderGPU(CUDA): pixel format is not GPU_BGRA128, CPU fallback");
        return PF_Err_UNRECOGNIZED_PARAM_TYPE;
    }
    if (err != PF_Err_NONE || matte == nullptr) {
        return err;
    }
    err = suite.PF_GetPixelFormat(matte, &matte_format);
    LogValue("SmartRenderGPU(CUDA): matte_pixel_format", matte_format);
    if (err == PF_Err_NONE && matte_format != PF_PixelFormat_GPU_BGRA128) {
        LogLine("SmartRenderGPU(CUDA): matte pixel format is not GPU_BGRA128, CPU fallback");
        err = PF_Err_UNRECOGNIZED_PARAM_TYPE;
    }
    return err;
}

PF_Err GetDeviceMemory(const PF_GPUDeviceSuite1 &suite, PF_ProgPtr effect_ref, PF_EffectWorld *input,
                       PF_EffectWorld *matte, PF_EffectWorld *output, DeviceMemory &memory)
{
    PF_Err err = GpuWorldData(suite, effect_ref, input, &memory.src);
    if (err == PF_Err_NONE && matte != nullptr) {
        err = GpuWorldData(suite, effect_ref, matte, &memory.matte);
    }
    if (err == PF_Err_NONE) {
        err = GpuWorldData(suite, effect_ref, output, &memory.dst);
    }
    // Logged on failure too, with 0 for what was not obtained.
    LogValue("SmartRenderGPU(CUDA): src_mem", AddressOf(memory.src));
    LogValue("SmartRenderGPU(CUDA): matte_mem", AddressOf(memory.matte));
    LogValue("SmartRenderGPU(CUDA): dst_mem", AddressOf(memory.dst));
    return err;
}

// One blur radius: a horizontal pass into the intermediate world, then a
// vertical pass into the destination; the second is skipped if the first fails.
PF_Err BlurAtRadius(const EffectSettings &settings, float radius, const float *source, int32_t source_pitch,
                    const PF_EffectWorld &input, const ScratchGpuWorlds &scratch,
                    ScratchGpuWorlds::Slot destination, const char *horizontal_label,
                    const char *vertical_label)
{
    const std::vector<float> weights = GaussianKernel(radius, settings.quality);
    const int taps = static_cast<int>(weights.size());
    float *intermediate = scratch.memory(ScratchGpuWorlds::kIntermediate);
    const int32_t intermediate_pitch = PitchOf(scratch.world(ScratchGpuWorlds::kIntermediate));

    cudaError_t result =
        LaunchBlurHorizontal(source, intermediate, source_pitch, intermediate_pitch, input.width,
                             input.height, weights.data(), taps, settings.clamp_edges);
    LogCudaResult(horizontal_label, result);
    if (result != cudaSuccess) {
        return CudaResultToErr(result);
    }
    result = LaunchBlurVertical(intermediate, scratch.memory(destination), intermediate_pitch,
                                PitchOf(scratch.world(destination)), input.width, input.height,
                                weights.data(), taps, settings.clamp_edges);
    LogCudaResult(vertical_label, result);
    return CudaResultToErr(result);
}

PF_Err BlurSource(const EffectSettings &settings, float radius, const void *src_mem,
                  const PF_EffectWorld &input, const ScratchGpuWorlds &scratch)
{
    const auto *source = static_cast<const float *>(src_mem);
    const int32_t source_pitch = PitchOf(&input);
    const PF_Err err =
        BlurAtRadius(settings, radius * 0.5f, source, source_pitch, input, scratch, ScratchGpuWorlds::kHalf,
                     "SmartRenderGPU(CUDA): half horizontal", "SmartRenderGPU(CUDA): half vertical");
    if (err != PF_Err_NONE) {
        return err;
    }
    return BlurAtRadius(settings, radius, source, source_pitch, input, scratch, ScratchGpuWorlds::kFull,
                        "SmartRenderGPU(CUDA): full horizontal", "SmartRenderGPU(CUDA): full vertical");
}

// Everything after the declines. The suites are released as this returns:
// the GPU device suite first, being the later scoper.
PF_Err RenderFrame(PF_InData *in_data, PF_OutData *out_data, const PF_SmartRenderExtra &extra,
                   const PreRenderData &frame)
{
    const PF_ProgPtr effect_ref = in_data->effect_ref;
    const EffectSettings &settings = frame.settings;

    const WorldSuite world_suite(in_data, kPFWorldSuite, kPFWorldSuiteVersion2, out_data);
    PF_PixelFormat output_format = PF_PixelFormat_INVALID;
    PF_PixelFormat matte_format = PF_PixelFormat_INVALID;

    LayerCheckouts layers(effect_ref, *extra.cb);
    PF_EffectWorld *input = nullptr;
    PF_EffectWorld *matte = nullptr;
    PF_EffectWorld *output = nullptr;
    PF_Err err = layers.CheckOut(kInputCheckoutId, &input);
    if (err == PF_Err_NONE && input == nullptr) {
        // The CPU render makes the transparent frame a host without an input gets.
        LogLine("SmartRenderGPU(CUDA): no input world, CPU fallback");
        err = PF_Err_UNRECOGNIZED_PARAM_TYPE;
    }
    if (err == PF_Err_NONE && frame.alpha_matte_requested) {
        err = layers.CheckOut(kMatteCheckoutId, &matte);
    }
    if (err == PF_Err_NONE) {
        err = extra.cb->checkout_output(effect_ref, &output);
    }
    if (err == PF_Err_NONE) {
        err = CheckPixelFormats(*world_suite.get(), output, matte, output_format, matte_format);
    }

    // Acquired whatever err is, so that its release order is the same on every path.
    const GpuDeviceSuite gpu_suite(in_data, kPFGPUDeviceSuite, kPFGPUDeviceSuiteVersion1, out_data);

    DeviceMemory memory;
    if (err == PF_Err_NONE) {
        err = GetDeviceMemory(*gpu_suite.get(), effect_ref, input, matte, output, memory);
    }

    const float radius = BlurStrength(settings);
    // Full Frame without a matte shows the source, so nothing would read the blurs.
    // A NaN radius fails the comparison and turns the blur off.
    const bool blur_enabled =
        radius > 0.001f && !(settings.glass_mode == kGlassFullFrame && matte == nullptr);

    ScratchGpuWorlds scratch(*gpu_suite.get(), effect_ref);
    if (err == PF_Err_NONE && blur_enabled) {
        err = scratch.Create(extra.input->device_index, *input, in_data->field, output_format);
        if (err == PF_Err_NONE) {
            err = BlurSource(settings, radius, memory.src, *input, scratch);
        }
    }

    if (err == PF_Err_NONE) {
        GpuFrameWorlds worlds;
        worlds.input = input;
        worlds.output = output;
        worlds.matte = matte;
        worlds.matte_mem = memory.matte;
        worlds.half_blur = scratch.world(ScratchGpuWorlds::kHalf);
        worlds.full_blur = scratch.world(ScratchGpuWorlds::kFull);
        const TPCudaPrismoraParams params = FillPrismoraParams(frame, worlds, blur_enabled);

        const auto *source = static_cast<const float *>(memory.src);
        const cudaError_t result = LaunchGlassComposite(
            source, blur_enabled ? scratch.memory(ScratchGpuWorlds::kHalf) : source,
            blur_enabled ? scratch.memory(ScratchGpuWorlds::kFull) : source,
            static_cast<const float *>(memory.matte), static_cast<float *>(memory.dst), &params);
        LogCudaResult("SmartRenderGPU(CUDA): composite", result);
        err = CudaResultToErr(result);
    }

    // The output world is the host's to check in.
    err = layers.CheckInAll(err);
    err = scratch.DisposeAll(err);
    LogValue("SmartRenderGPU(CUDA): return err", err);
    return err;
}

std::string RendererLine(const PreRenderData &frame, bool supported)
{
    const EffectSettings &s = frame.settings;
    return "SmartRenderGPU(CUDA): renderer=" + std::to_string(s.renderer) +
           " glass_mode=" + std::to_string(s.glass_mode) + " debug_view=" + std::to_string(s.debug_view) +
           " alpha_matte_requested=" + (frame.alpha_matte_requested ? "1" : "0") +
           " GPUPathSupported=" + (supported ? "1" : "0");
}

} // namespace

TPCudaPrismoraParams FillPrismoraParams(const PreRenderData &frame, const GpuFrameWorlds &worlds,
                                        bool blur_enabled)
{
    const EffectSettings &s = frame.settings;
    const PF_EffectWorld &input = *worlds.input;
    const PF_EffectWorld &output = *worlds.output;
    TPCudaPrismoraParams p = DefaultPrismoraParams();

    p.src_pitch = PitchOf(&input);
    p.dst_pitch = PitchOf(&output);
    p.half_blur_pitch = blur_enabled && worlds.half_blur != nullptr ? PitchOf(worlds.half_blur) : p.src_pitch;
    p.full_blur_pitch = blur_enabled && worlds.full_blur != nullptr ? PitchOf(worlds.full_blur) : p.src_pitch;
    p.out_width = output.width;
    p.out_height = output.height;
    p.src_width = input.width;
    p.src_height = input.height;
    p.out_origin_x = static_cast<float>(output.origin_x);
    p.out_origin_y = static_cast<float>(output.origin_y);
    p.src_origin_x = static_cast<float>(input.origin_x);
    p.src_origin_y = static_cast<float>(input.origin_y);

    p.center_x = s.center_x;
    p.center_y = s.center_y;
    p.glass_width = s.glass_width;
    p.glass_height = s.glass_height;
    p.corner_radius = s.corner_radius;
    p.amount = s.amount;
    p.opacity = s.opacity;
    p.distortion_scale = s.distortion_scale;
    p.edge_range = s.edge_range;
    p.edge_visibility = s.edge_visibility;
    p.blur_radius = BlurStrength(s);
    p.chromatic_shift = s.chromatic_shift;
    p.chromatic_range = s.chromatic_range;
    p.tint_multiplier = s.tint_multiplier;
    p.color_amount = s.color_amount;
    p.glass_color_r = s.glass_color[1]; // glass_color is alpha, red, green, blue
    p.glass_color_g = s.glass_color[2];
    p.glass_color_b = s.glass_color[3];
    p.clamp_edges = s.clamp_edges ? 1 : 0;
    p.blur_enabled = blur_enabled ? 1 : 0;
    p.matte_mode = s.glass_mode == kGlassFullFrame ? 1 : 0;
    p.debug_view = s.debug_view;

    const MatteBounds &bounds = frame.matte_bounds;
    if (worlds.matte != nullptr && worlds.matte_mem != nullptr && bounds.valid) {
        const PF_EffectWorld &matte = *worlds.matte;
        p.matte_pitch = PitchOf(&matte);
        p.matte_width = matte.width;
        p.matte_height = matte.height;
        p.matte_origin_x = static_cast<float>(matte.origin_x);
        p.matte_origin_y = static_cast<float>(matte.origin_y);
        p.matte_center_x = bounds.mid_x;
        p.matte_center_y = bounds.mid_y;
        // Written so that a NaN size falls back to 1.
        const float size_x = bounds.half_width + bounds.half_width;
        const float size_y = bounds.half_height + bounds.half_height;
        p.matte_size_x = size_x > 1.0f ? size_x : 1.0f;
        p.matte_size_y = size_y > 1.0f ? size_y : 1.0f;
        p.has_matte = 1;
    }
    return p;
}

PF_Err SmartRenderGPU(PF_InData *in_data, PF_OutData *out_data, PF_SmartRenderExtra *extra)
{
    LogLine("SmartRenderGPU(CUDA): enter");
    if (in_data == nullptr || out_data == nullptr || extra == nullptr || extra->input == nullptr ||
        extra->cb == nullptr || extra->cb->checkout_layer_pixels == nullptr ||
        extra->cb->checkin_layer_pixels == nullptr || extra->cb->checkout_output == nullptr ||
        in_data->pica_basicP == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    LogGpuFramework("SmartRenderGPU(CUDA)", extra->input->what_gpu);
    if (extra->input->what_gpu != PF_GPU_Framework_CUDA) {
        LogLine("SmartRenderGPU(CUDA): not CUDA, CPU fallback");
        return PF_Err_UNRECOGNIZED_PARAM_TYPE;
    }
    const auto *frame = static_cast<const PreRenderData *>(extra->input->pre_render_data);
    if (frame == nullptr) {
        LogLine("SmartRenderGPU(CUDA): no pre_render_data, CPU fallback");
        return PF_Err_UNRECOGNIZED_PARAM_TYPE;
    }
    const bool supported = GPUPathSupported(frame->settings);
    LogLine(RendererLine(*frame, supported));
    if (!supported) {
        LogLine("SmartRenderGPU(CUDA): unsupported mode, CPU fallback");
        return PF_Err_UNRECOGNIZED_PARAM_TYPE;
    }
    return RenderFrame(in_data, out_data, *extra, *frame);
}

} // namespace prismora
