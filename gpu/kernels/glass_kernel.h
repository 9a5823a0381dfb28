// One output pixel of the glass kernel: the CPU's glass model on BGRA128 frames,
// with the device's own constants where they differ (0.5-pixel width floors, the
// 0.000001 thresholds, whole-frame matte planes, debug views before the amount
// and opacity exits).
#pragma once

#include "gpu/kernels/glass_sampling.h"
#include "gpu/kernels/kernel_support.h"
#include "gpu/prismora_params.h"

namespace prismora::kernels {

// Equal edges (within 0.000001) make a hard step at edge1.
PRISMORA_HD inline float GpuSmoothStep(float edge0, float edge1, float v)
{
    if (fabsf(edge1 - edge0) < 0.000001f) {
        return v >= edge1 ? 1.0f : 0.0f;
    }
    const float t = ClampF((v - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return (3.0f - (t + t)) * (t * t);
}

struct GpuVec2 {
    float x;
    float y;
};

PRISMORA_HD inline float Length2(float x, float y)
{
    return sqrtf(x * x + y * y);
}

PRISMORA_HD inline GpuVec2 GpuNormalize2(float x, float y)
{
    const float length = Length2(x, y);
    if (length <= 0.000001f) {
        return {0.0f, 0.0f};
    }
    return {x / length, y / length};
}

PRISMORA_HD inline float GpuRoundedBoxDistance(float px, float py, float half_w, float half_h, float radius)
{
    const float r = ClampF(radius, 0.0f, MinF(half_w, half_h));
    const float qx = fabsf(px) - half_w + r;
    const float qy = fabsf(py) - half_h + r;
    const float mx = MaxF(qx, 0.0f);
    const float my = MaxF(qy, 0.0f);
    return sqrtf(mx * mx + my * my) + MinF(MaxF(qx, qy), 0.0f) - r;
}

// Where the pixel lies relative to the panel (the CPU's ShapeSample).
struct GpuShape {
    bool inside;
    float coverage;
    float depth_norm;
    float edge_factor;
    float depth;
    float min_side;
    float dir_x;
    float dir_y;
    float normal_x;
    float normal_y;
    float local_x;
    float local_y;
    float panel_width;
    float panel_height;
    float panel_center_x;
    float panel_center_y;
};

PRISMORA_HD inline GpuShape InitialShape()
{
    GpuShape s{};
    s.min_side = 1.0f;
    return s;
}

// The common last step of both shapes; the rim width floor is 0.5 pixel.
PRISMORA_HD inline void FinishGpuShape(GpuShape &s, float edge_range)
{
    s.min_side = MaxF(MinF(s.panel_width, s.panel_height), 1.0f);
    s.depth = MaxF(s.depth, 0.0f);
    s.depth_norm = s.depth / s.min_side;
    const float rim_w = 0.0f >= edge_range ? 0.0f : MaxF(s.min_side * edge_range, 0.5f);
    s.edge_factor = 1.0f - GpuSmoothStep(0.0f, rim_w, s.depth);
    const GpuVec2 dir = GpuNormalize2(s.local_x, s.local_y);
    s.dir_x = dir.x;
    s.dir_y = dir.y;
    if (Length2(s.dir_x, s.dir_y) <= 0.00001f) {
        if (Length2(s.normal_x, s.normal_y) > 0.00001f) {
            s.dir_x = s.normal_x;
            s.dir_y = s.normal_y;
        } else {
            s.dir_x = 1.0f;
            s.dir_y = 0.0f;
        }
    }
    if (Length2(s.normal_x, s.normal_y) <= 0.00001f) {
        s.normal_x = s.dir_x;
        s.normal_y = s.dir_y;
    }
}

PRISMORA_HD inline GpuShape GpuRectShape(const TPCudaPrismoraParams &p, float x, float y)
{
    GpuShape s = InitialShape();
    s.panel_center_x = p.center_x;
    s.panel_center_y = p.center_y;
    s.panel_width = p.glass_width;
    s.panel_height = p.glass_height;
    s.local_x = x - p.center_x;
    s.local_y = y - p.center_y;
    const float half_w = MaxF(p.glass_width * 0.5f, 1.0f);
    const float half_h = MaxF(p.glass_height * 0.5f, 1.0f);
    const float r = p.corner_radius;
    const float lx = s.local_x;
    const float ly = s.local_y;
    const float d = GpuRoundedBoxDistance(lx, ly, half_w, half_h, r);
    s.coverage = 1.0f - GpuSmoothStep(0.0f, 1.0f, d);
    if (!(s.coverage > 0.003f)) {
        return s;
    }
    s.depth = MaxF(-d, 0.0f);
    s.inside = true;
    // Central differences at steps 1 and 2 with their 1/h weights folded in.
    float gx = (GpuRoundedBoxDistance(lx + 1.0f, ly, half_w, half_h, r) -
                GpuRoundedBoxDistance(lx - 1.0f, ly, half_w, half_h, r)) *
               0.5f;
    float gy = (GpuRoundedBoxDistance(lx, ly + 1.0f, half_w, half_h, r) -
                GpuRoundedBoxDistance(lx, ly - 1.0f, half_w, half_h, r)) *
               0.5f;
    gx = (GpuRoundedBoxDistance(lx + 2.0f, ly, half_w, half_h, r) -
          GpuRoundedBoxDistance(lx - 2.0f, ly, half_w, half_h, r)) *
             0.25f * 0.5f +
         gx;
    gy = (GpuRoundedBoxDistance(lx, ly + 2.0f, half_w, half_h, r) -
          GpuRoundedBoxDistance(lx, ly - 2.0f, half_w, half_h, r)) *
             0.25f * 0.5f +
         gy;
    const GpuVec2 n = GpuNormalize2(gx / 1.5f, gy / 1.5f);
    s.normal_x = n.x;
    s.normal_y = n.y;
    FinishGpuShape(s, p.edge_range);
    return s;
}

// The matte shape: coverage from the matte frame's alpha, depth and gradient
// from the whole-frame distance plane, both at matte-relative positions.
PRISMORA_HD inline GpuShape GpuMatteShape(const TPCudaPrismoraParams &p, const float *matte,
                                          const float *distance, float x, float y)
{
    GpuShape s = InitialShape();
    const FrameView matte_frame{matte, p.matte_pitch, p.matte_width, p.matte_height};
    const float mx = x - p.matte_origin_x;
    const float my = y - p.matte_origin_y;
    s.coverage = ClampF(SampleFrameChannel(matte_frame, mx, my, false, kAlpha), 0.0f, 1.0f);
    if (!(s.coverage > 0.003f)) {
        return s;
    }
    s.inside = true;
    s.panel_center_x = p.matte_center_x;
    s.panel_center_y = p.matte_center_y;
    s.panel_width = MaxF(p.matte_size_x, 1.0f);
    s.panel_height = MaxF(p.matte_size_y, 1.0f);
    s.local_x = x - p.matte_center_x;
    s.local_y = y - p.matte_center_y;

    const float *plane = p.has_matte != 0 ? distance : nullptr;
    const int w = p.matte_width;
    const int h = p.matte_height;
    s.depth = MaxF(SampleDistance(plane, w, h, mx, my, -1.0f), 0.0f);
    // F(u, v) = max(distance, 0) at layer (u, v).
    auto f = [&](float u, float v) {
        return MaxF(SampleDistance(plane, w, h, u - p.matte_origin_x, v - p.matte_origin_y, 0.0f), 0.0f);
    };
    // Steps 1.5, 3 and 5 with 1/(2h) x 1/h folded into each term; the weights sum to 1.2.
    float gx = (f(x + 1.5f, y) - f(x - 1.5f, y)) * (1.0f / 3.0f) * (2.0f / 3.0f);
    float gy = (f(x, y + 1.5f) - f(x, y - 1.5f)) * (1.0f / 3.0f) * (2.0f / 3.0f);
    gx = (f(x + 3.0f, y) - f(x - 3.0f, y)) * (1.0f / 6.0f) * (1.0f / 3.0f) + gx;
    gy = (f(x, y + 3.0f) - f(x, y - 3.0f)) * (1.0f / 6.0f) * (1.0f / 3.0f) + gy;
    gx = (f(x + 5.0f, y) - f(x - 5.0f, y)) * 0.1f * 0.2f + gx;
    gy = (f(x, y + 5.0f) - f(x, y - 5.0f)) * 0.1f * 0.2f + gy;
    GpuVec2 n = GpuNormalize2(gx / 1.2f, gy / 1.2f);
    if (Length2(n.x, n.y) <= 0.00001f) {
        n = GpuNormalize2(p.matte_center_x - x, p.matte_center_y - y); // flat spot: towards the centre
    }
    s.normal_x = n.x * -1.0f; // the distance grows inwards
    s.normal_y = n.y * -1.0f;
    FinishGpuShape(s, p.edge_range);
    return s;
}

PRISMORA_HD inline void StoreBgra(float *out, float blue, float green, float red, float alpha)
{
    out[kBlue] = blue;
    out[kGreen] = green;
    out[kRed] = red;
    out[kAlpha] = alpha;
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
    const float sx = x - p.src_origin_x;
    const float sy = y - p.src_origin_y;
    const bool clamp_edges = p.clamp_edges != 0;
    const FrameView src_frame{source, p.src_pitch, p.src_width, p.src_height};
    float *out = destination + PixelIndex(column, row, p.dst_pitch);

    float src[4];
    for (int c = 0; c < 4; ++c) {
        src[c] = SampleFrameChannel(src_frame, sx, sy, clamp_edges, c);
    }
    const bool matte_mode = p.matte_mode == 1;
    if (matte_mode && (p.has_matte == 0 || matte == nullptr)) {
        StoreBgra(out, src[kBlue], src[kGreen], src[kRed], src[kAlpha]);
        return;
    }
    const GpuShape s = matte_mode ? GpuMatteShape(p, matte, distance, x, y) : GpuRectShape(p, x, y);
    if (!s.inside) {
        StoreBgra(out, src[kBlue], src[kGreen], src[kRed], src[kAlpha]);
        return;
    }

    const float depth_px = MaxF(s.depth_norm * s.min_side, 0.0f);
    const float rim_w = 0.0f >= p.edge_range ? 0.0f : MaxF(p.edge_range * s.min_side, 0.5f);
    const float chroma_w = 0.0f >= p.chromatic_range ? 0.0f : MaxF(p.chromatic_range * s.min_side, 0.5f);

    const float s1 = GpuSmoothStep(0.0f, 0.42f, s.depth_norm);
    const float bulge = sqrtf(MaxF(1.0f - (1.0f - s1) * (1.0f - s1), 0.0f));
    const float s2 = GpuSmoothStep(0.0f, 1.5f, depth_px);
    const float lens = (1.0f - bulge) * s2;
    const float strength = MaxF(p.distortion_scale, 0.0f) * p.amount;
    const float offset_x = lens * s.panel_width * 0.5f * s.dir_x * strength;
    const float offset_y = lens * s.panel_height * 0.5f * s.dir_y * strength;
    const float blur_max = p.blur_radius;
    const float rx = sx - offset_x;
    const float ry = sy - offset_y;
    const float blur_amount = (1.0f - lens * 0.5f) * blur_max;
    const float rim_inner = 1.0f - GpuSmoothStep(0.0f, MaxF(rim_w * 0.1f, 2.0f), depth_px);
    float c1 = 0.0f;
    float c2 = 0.0f;
    if (chroma_w > 0.0f) {
        c1 = 1.0f - GpuSmoothStep(0.0f, chroma_w, depth_px);
        c2 = 1.0f - GpuSmoothStep(0.0f, MaxF(chroma_w * 0.1f, 2.0f), depth_px);
    }
    const float chroma = ClampF(MaxF(c2, c1), 0.0f, 1.0f);
    const float rim = MaxF(rim_inner, s.edge_factor);
    const float rim_c = ClampF(rim, 0.0f, 1.0f);
    const float vis = ClampF(p.edge_visibility, 0.0f, 2.0f);
    const float split_x = chroma * s.dir_x * p.chromatic_shift * p.amount;
    const float split_y = chroma * s.dir_y * p.chromatic_shift * p.amount;

    // Debug views come before the amount and opacity exits on the device.
    const float debug_alpha = p.matte_mode == 0 ? s.coverage : src[kAlpha];
    switch (p.debug_view) {
    case 2:
        StoreBgra(out, s.coverage, s.coverage, s.coverage, debug_alpha);
        return;
    case 3: {
        const float v = ClampF(s.depth_norm / MaxF(p.edge_range, 0.001f), 0.0f, 1.0f);
        StoreBgra(out, v, v, v, debug_alpha);
        return;
    }
    case 4:
        StoreBgra(out, lens, lens, lens, debug_alpha);
        return;
    case 5: {
        const float reach = MaxF(MaxF(s.panel_height, s.panel_width) * 0.5f, 1.0f);
        const float m = ClampF(sqrtf(offset_y * offset_y + offset_x * offset_x) / reach, 0.0f, 1.0f);
        StoreBgra(out, 1.0f - m, m * 0.65f, m, debug_alpha);
        return;
    }
    default:
        break;
    }
    if (0.0001f >= p.amount || 0.0001f >= p.opacity) {
        StoreBgra(out, src[kBlue], src[kGreen], src[kRed], src[kAlpha]);
        return;
    }

    // Three refracted reads, each of the one channel it contributes.
    const FrameView half_frame{half_blur, p.half_blur_pitch, p.src_width, p.src_height};
    const FrameView full_frame{full_blur, p.full_blur_pitch, p.src_width, p.src_height};
    const bool use_blur = p.blur_enabled != 0 && blur_amount > 0.001f && p.blur_radius > 0.001f &&
                          half_blur != nullptr && full_blur != nullptr;
    const float sample_r = SampleBlurredChannel(src_frame, half_frame, full_frame, use_blur, blur_amount,
                                                blur_max, rx - split_x, ry - split_y, clamp_edges, kRed);
    const float sample_g = SampleBlurredChannel(src_frame, half_frame, full_frame, use_blur, blur_amount,
                                                blur_max, rx, ry, clamp_edges, kGreen);
    const float sample_b = SampleBlurredChannel(src_frame, half_frame, full_frame, use_blur, blur_amount,
                                                blur_max, split_x + rx, split_y + ry, clamp_edges, kBlue);
    float color[3] = {p.tint_multiplier * sample_r, p.tint_multiplier * sample_g,
                      p.tint_multiplier * sample_b};
    const float glass[3] = {p.glass_color_r, p.glass_color_g, p.glass_color_b};

    if (p.color_amount > 0.0001f) {
        const float k = (rim_c * 0.28f + 0.62f) * ClampF(p.color_amount, 0.0f, 1.0f);
        for (int c = 0; c < 3; ++c) {
            color[c] = fmaf(glass[c] - color[c], k, color[c]);
        }
    }

    const float ny = (y - s.panel_center_y) / MaxF(s.panel_height * 0.5f, 1.0f);
    const float light = ClampF(rim * vis * 0.55f, 0.0f, 1.0f);
    const float glow = vis * 0.12f * rim_inner;
    const float shade = light * ClampF(ny * 0.3f + 0.45f, 0.0f, 1.0f) * 0.04f;
    const float top = ClampF(0.55f - ny * 0.35f, 0.0f, 1.0f);
    const float highlight = (light * top * 0.12f + 0.05f) * light + glow;
    const float ca = ClampF(p.color_amount * 0.75f, 0.0f, 1.0f);
    for (int c = 0; c < 3; ++c) {
        const float light_color = ca * glass[c] + (1.0f - ca);
        color[c] = ClampF(light_color * highlight + color[c] - shade, 0.0f, 1.0f);
    }

    const float mix = ClampF(s.coverage * p.opacity * p.amount, 0.0f, 1.0f);
    StoreBgra(out, fmaf(color[2] - src[kBlue], mix, src[kBlue]),
              fmaf(color[1] - src[kGreen], mix, src[kGreen]), fmaf(color[0] - src[kRed], mix, src[kRed]),
              MaxF(mix, src[kAlpha]));
}

} // namespace prismora::kernels
