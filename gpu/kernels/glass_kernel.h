// One output pixel of the glass kernel: the glass model (model/glass_pixel.h)
// over the device policy, reading BGRA128 frames, the matte frame's alpha and
// the whole-frame matte distance plane.
#pragma once

#include "gpu/kernels/glass_sampling.h"
#include "gpu/kernels/kernel_support.h"
#include "gpu/prismora_params.h"
#include "model/float_pixel.h"
#include "model/glass_pixel.h"
#include "model/glass_policy.h"
#include "model/popup_values.h"

namespace prismora::kernels {

// The matte as the device reads it: coverage from the matte frame's alpha,
// distances from the plane of the same size, both at positions relative to the
// matte frame's origin.
struct DeviceMatte {
    FrameView frame;
    const float *distance; // null when the block has no matte
    float origin_x;
    float origin_y;
    float center_x;
    float center_y;
    float width;
    float height;

    PRISMORA_HD float Coverage(float x, float y) const
    {
        return SampleFrameChannel(frame, x - origin_x, y - origin_y, false, kAlpha);
    }
    PRISMORA_HD float Distance(float x, float y, float fallback) const
    {
        return SampleDistance(distance, frame.width, frame.height, x - origin_x, y - origin_y, fallback);
    }
};

// The device frame ShadeGlass reads (see model/glass_pixel.h).
struct DeviceGlassFrame {
    FrameView source;
    FrameView half_blur;
    FrameView full_blur;
    DeviceMatte matte;
    bool has_matte;
    bool clamp_edges;
    bool use_blur;
    float origin_x;
    float origin_y;
    int32_t glass_mode;
    float blur_max;
    FloatPixel glass;

    PRISMORA_HD FloatPixel Source(float sx, float sy) const
    {
        return {SampleFrameChannel(source, sx, sy, clamp_edges, kAlpha),
                SampleFrameChannel(source, sx, sy, clamp_edges, kRed),
                SampleFrameChannel(source, sx, sy, clamp_edges, kGreen),
                SampleFrameChannel(source, sx, sy, clamp_edges, kBlue)};
    }
    PRISMORA_HD bool HasMatte() const { return has_matte; }
    PRISMORA_HD const DeviceMatte &Matte() const { return matte; }
    // Each refracted read takes only the channel it contributes.
    PRISMORA_HD float Refracted(float sx, float sy, const GlassTerms &terms, ColorChannel channel) const
    {
        const int offset =
            channel == ColorChannel::kRed ? kRed : (channel == ColorChannel::kGreen ? kGreen : kBlue);
        return SampleBlurredChannel(source, half_blur, full_blur, use_blur && terms.blur_amount > 0.001f,
                                    terms.blur_amount, terms.blur_max, sx, sy, clamp_edges, offset);
    }
};

PRISMORA_HD inline DeviceGlassFrame MakeDeviceGlassFrame(const TPCudaPrismoraParams &p, const float *source,
                                                         const float *half_blur, const float *full_blur,
                                                         const float *matte, const float *distance)
{
    DeviceGlassFrame f{};
    f.source = {source, p.src_pitch, p.src_width, p.src_height};
    f.half_blur = {half_blur, p.half_blur_pitch, p.src_width, p.src_height};
    f.full_blur = {full_blur, p.full_blur_pitch, p.src_width, p.src_height};
    f.matte.frame = {matte, p.matte_pitch, p.matte_width, p.matte_height};
    f.matte.distance = p.has_matte != 0 ? distance : nullptr;
    f.matte.origin_x = p.matte_origin_x;
    f.matte.origin_y = p.matte_origin_y;
    f.matte.center_x = p.matte_center_x;
    f.matte.center_y = p.matte_center_y;
    f.matte.width = MaxF(p.matte_size_x, 1.0f);
    f.matte.height = MaxF(p.matte_size_y, 1.0f);
    f.has_matte = p.has_matte != 0 && matte != nullptr;
    f.clamp_edges = p.clamp_edges != 0;
    // Whether the blurred frames may be read at all; the blur amount is checked per read.
    f.use_blur =
        p.blur_enabled != 0 && p.blur_radius > 0.001f && half_blur != nullptr && full_blur != nullptr;
    f.origin_x = p.src_origin_x;
    f.origin_y = p.src_origin_y;
    f.glass_mode = p.matte_mode == 1 ? kGlassFullFrame : kGlassRoundedRect;
    f.blur_max = p.blur_radius;
    f.glass = {1.0f, p.glass_color_r, p.glass_color_g, p.glass_color_b};
    return f;
}

PRISMORA_HD inline void StoreBgra(float *out, const FloatPixel &p)
{
    out[kBlue] = p.blue;
    out[kGreen] = p.green;
    out[kRed] = p.red;
    out[kAlpha] = p.alpha;
}

// The per-thread body of PrismoraKernel for output pixel (column, row).
PRISMORA_HD inline void ShadePrismoraPixel(const float *source, const float *half_blur,
                                           const float *full_blur, const float *matte, const float *distance,
                                           float *destination, const TPCudaPrismoraParams &p, int column,
                                           int row)
{
    if (column >= p.out_width || row >= p.out_height) {
        return;
    }
    const float x = p.out_origin_x + static_cast<float>(column);
    const float y = p.out_origin_y + static_cast<float>(row);
    const DeviceGlassFrame frame = MakeDeviceGlassFrame(p, source, half_blur, full_blur, matte, distance);
    StoreBgra(destination + PixelIndex(column, row, p.dst_pitch), ShadeGlass<GpuGlassPolicy>(p, frame, x, y));
}

} // namespace prismora::kernels
