#include "cpu/cpu_render.h"

#include <cstdint>

#include "cpu/fast_frame.h"
#include "cpu/gaussian_blur.h"
#include "cpu/matte_field_builder.h"
#include "cpu/pixel_store.h"
#include "model/glass_shader.h"
#include "model/layer_checkouts.h"
#include "model/pixel_traits.h"
#include "model/pre_render_data.h"

namespace prismora {
namespace {

// Transparent black over the output's pixels (row padding is left alone).
template <typename Pixel> void ClearWorld(PF_EffectWorld &output)
{
    for (A_long r = 0; r < output.height; ++r) {
        for (A_long c = 0; c < output.width; ++c) {
            *WorldPixelAt<Pixel>(output, c, r) = Pixel{};
        }
    }
}

// False (and the output cleared when there is one) when there is nothing to shade.
template <typename Pixel> bool ReadyToShade(const PF_EffectWorld *input, PF_EffectWorld *output, PF_Err &err)
{
    err = PF_Err_NONE;
    if (output == nullptr || output->data == nullptr) {
        err = PF_Err_BAD_CALLBACK_PARAM;
        return false;
    }
    if (input == nullptr || input->data == nullptr || input->width < 1 || input->height < 1) {
        ClearWorld<Pixel>(*output);
        return false;
    }
    return true;
}

template <typename Pixel>
PF_Err RenderAtDepth(const PF_EffectWorld &input, PF_EffectWorld *output, const EffectSettings &settings,
                     const PF_EffectWorld *matte_world, const HostThreads &threads)
{
    MatteField field;
    const MatteField *matte = nullptr;
    if (matte_world != nullptr) {
        const PF_Err err = BuildMatteField<Pixel>(*matte_world, field, threads);
        if (err != PF_Err_NONE) {
            return err;
        }
    }
    if (field.valid) {
        matte = &field;
    }
    return LegacyRender<Pixel>(&input, output, settings, matte, &threads);
}

} // namespace

template <typename Pixel>
FrameBlurs MakeFrameBlurs(const PF_EffectWorld &input, const EffectSettings &settings,
                          const MatteField *matte)
{
    FrameBlurs blurs;
    const float s = BlurStrength(settings);
    if (!(s > 0.001f)) {
        return blurs;
    }
    // Full Frame without a matte returns the source untouched; nobody would read the blurs.
    if (settings.glass_mode == kGlassFullFrame && (matte == nullptr || !matte->valid)) {
        return blurs;
    }
    const FloatImage source = ToFloatImage<Pixel>(input);
    if (source.IsUsable()) {
        blurs.half = GaussianBlur(source, s * 0.5f, settings.quality, settings.clamp_edges);
        blurs.full = GaussianBlur(source, s, settings.quality, settings.clamp_edges);
    }
    return blurs;
}

template <typename Pixel>
void ShadeRows(const PF_EffectWorld &input, PF_EffectWorld &output, const EffectSettings &settings,
               const MatteField *matte, const FrameBlurs &blurs, A_long row_begin, A_long row_end)
{
    const FloatImage *half = blurs.half.IsUsable() ? &blurs.half : nullptr;
    const FloatImage *full = blurs.full.IsUsable() ? &blurs.full : nullptr;
    for (A_long r = row_begin; r < row_end; ++r) {
        for (A_long c = 0; c < output.width; ++c) {
            // Layer coordinates: the shader, the input's origin and the matte field share them.
            const float x = static_cast<float>(output.origin_x + c);
            const float y = static_cast<float>(output.origin_y + r);
            StorePixel(*WorldPixelAt<Pixel>(output, c, r),
                       ShadeGlassPixel<Pixel>(input, settings, matte, half, full, x, y));
        }
    }
}

template <typename Pixel>
PF_Err LegacyRender(const PF_EffectWorld *input, PF_EffectWorld *output, const EffectSettings &settings,
                    const MatteField *matte, const HostThreads *threads)
{
    PF_Err err = PF_Err_NONE;
    if (!ReadyToShade<Pixel>(input, output, err)) {
        return err;
    }
    const HostThreads serial;
    return RenderFrameFast<Pixel>(*input, *output, settings, matte, threads != nullptr ? *threads : serial);
}

template <typename Pixel>
PF_Err PlainRender(const PF_EffectWorld *input, PF_EffectWorld *output, const EffectSettings &settings,
                   const MatteField *matte)
{
    PF_Err err = PF_Err_NONE;
    if (!ReadyToShade<Pixel>(input, output, err)) {
        return err;
    }
    const FrameBlurs blurs = MakeFrameBlurs<Pixel>(*input, settings, matte);
    ShadeRows<Pixel>(*input, *output, settings, matte, blurs, 0, output->height);
    return PF_Err_NONE;
}

PF_Err SmartRenderCPU(PF_InData *in_data, PF_SmartRenderExtra *extra)
{
    if (in_data == nullptr || extra == nullptr || extra->input == nullptr || extra->cb == nullptr ||
        extra->cb->checkout_layer_pixels == nullptr || extra->cb->checkin_layer_pixels == nullptr ||
        extra->cb->checkout_output == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const auto *frame = static_cast<const PreRenderData *>(extra->input->pre_render_data);
    if (frame == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }

    LayerCheckouts layers(in_data->effect_ref, *extra->cb);
    PF_EffectWorld *input = nullptr;
    PF_EffectWorld *matte = nullptr;
    PF_EffectWorld *output = nullptr;
    PF_Err err = layers.CheckOut(kInputCheckoutId, &input);
    if (err == PF_Err_NONE && frame->alpha_matte_requested) {
        err = layers.CheckOut(kMatteCheckoutId, &matte);
    }
    if (err == PF_Err_NONE) {
        err = extra->cb->checkout_output(in_data->effect_ref, &output);
    }

    if (err == PF_Err_NONE) {
        const HostThreads threads(in_data);
        // A host that hands out no input world gets a transparent frame.
        PF_EffectWorld empty{};
        const PF_EffectWorld &source = input != nullptr ? *input : empty;
        switch (extra->input->bitdepth) {
        case 16:
            err = RenderAtDepth<PF_Pixel16>(source, output, frame->settings, matte, threads);
            break;
        case 32:
            err = RenderAtDepth<PF_PixelFloat>(source, output, frame->settings, matte, threads);
            break;
        default:
            err = RenderAtDepth<PF_Pixel8>(source, output, frame->settings, matte, threads);
            break;
        }
    }
    return layers.CheckInAll(err);
}

#define PRISMORA_INSTANTIATE_CPU_RENDER(Pixel)                                                               \
    template PF_Err LegacyRender<Pixel>(const PF_EffectWorld *, PF_EffectWorld *, const EffectSettings &,    \
                                        const MatteField *, const HostThreads *);                            \
    template PF_Err PlainRender<Pixel>(const PF_EffectWorld *, PF_EffectWorld *, const EffectSettings &,     \
                                       const MatteField *);                                                  \
    template FrameBlurs MakeFrameBlurs<Pixel>(const PF_EffectWorld &, const EffectSettings &,                \
                                              const MatteField *);                                           \
    template void ShadeRows<Pixel>(const PF_EffectWorld &, PF_EffectWorld &, const EffectSettings &,         \
                                   const MatteField *, const FrameBlurs &, A_long, A_long);

PRISMORA_INSTANTIATE_CPU_RENDER(PF_Pixel8)
PRISMORA_INSTANTIATE_CPU_RENDER(PF_Pixel16)
PRISMORA_INSTANTIATE_CPU_RENDER(PF_PixelFloat)

#undef PRISMORA_INSTANTIATE_CPU_RENDER

} // namespace prismora
