// The glass kernel's parameter block: 188 bytes, passed by value as the last
// kernel argument. Its layout is part of the boundary between host and device
// code, so every offset is pinned at compile time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/popup_values.h"

namespace prismora {

struct TPCudaPrismoraParams {
    int32_t src_pitch; // pitches in pixels: world row bytes / 16
    int32_t dst_pitch;
    int32_t half_blur_pitch;
    int32_t full_blur_pitch;
    int32_t out_width;
    int32_t out_height;
    int32_t src_width;
    int32_t src_height;
    float out_origin_x;
    float out_origin_y;
    float src_origin_x;
    float src_origin_y;
    float center_x;
    float center_y;
    float glass_width;
    float glass_height;
    float corner_radius;
    float amount;
    float opacity;
    float distortion_scale;
    float edge_range;
    float edge_visibility;
    float blur_radius; // blur level of the full-blur image
    float chromatic_shift;
    float chromatic_range;
    float tint_multiplier;
    float color_amount;
    float glass_color_r;
    float glass_color_g;
    float glass_color_b;
    int32_t clamp_edges;
    int32_t blur_enabled;
    int32_t matte_mode; // 1: the matte shapes the glass
    int32_t debug_view;
    int32_t matte_pitch;
    int32_t matte_width;
    int32_t matte_height;
    float matte_origin_x;
    float matte_origin_y;
    float matte_center_x;
    float matte_center_y;
    float matte_size_x;
    float matte_size_y;
    int32_t has_matte;
    unsigned char reserved[12]; // carried, never read
};

// Every field at its declared default and the reserved bytes zero.
inline TPCudaPrismoraParams DefaultPrismoraParams()
{
    TPCudaPrismoraParams p{}; // value-initialised: every byte of every member zero
    p.amount = 1.0f;
    p.opacity = 1.0f;
    p.edge_visibility = 1.0f;
    p.tint_multiplier = 1.0f;
    p.glass_color_r = 1.0f;
    p.glass_color_g = 1.0f;
    p.glass_color_b = 1.0f;
    p.debug_view = kDebugOff;
    return p;
}

static_assert(sizeof(TPCudaPrismoraParams) == 188, "parameter block size");
static_assert(alignof(TPCudaPrismoraParams) == 4, "parameter block alignment");

#define PRISMORA_PARAM_AT(field, offset)                                                                     \
    static_assert(offsetof(TPCudaPrismoraParams, field) == (offset), "offset of " #field)
PRISMORA_PARAM_AT(src_pitch, 0);
PRISMORA_PARAM_AT(dst_pitch, 4);
PRISMORA_PARAM_AT(half_blur_pitch, 8);
PRISMORA_PARAM_AT(full_blur_pitch, 12);
PRISMORA_PARAM_AT(out_width, 16);
PRISMORA_PARAM_AT(out_height, 20);
PRISMORA_PARAM_AT(src_width, 24);
PRISMORA_PARAM_AT(src_height, 28);
PRISMORA_PARAM_AT(out_origin_x, 32);
PRISMORA_PARAM_AT(out_origin_y, 36);
PRISMORA_PARAM_AT(src_origin_x, 40);
PRISMORA_PARAM_AT(src_origin_y, 44);
PRISMORA_PARAM_AT(center_x, 48);
PRISMORA_PARAM_AT(center_y, 52);
PRISMORA_PARAM_AT(glass_width, 56);
PRISMORA_PARAM_AT(glass_height, 60);
PRISMORA_PARAM_AT(corner_radius, 64);
PRISMORA_PARAM_AT(amount, 68);
PRISMORA_PARAM_AT(opacity, 72);
PRISMORA_PARAM_AT(distortion_scale, 76);
PRISMORA_PARAM_AT(edge_range, 80);
PRISMORA_PARAM_AT(edge_visibility, 84);
PRISMORA_PARAM_AT(blur_radius, 88);
PRISMORA_PARAM_AT(chromatic_shift, 92);
PRISMORA_PARAM_AT(chromatic_range, 96);
PRISMORA_PARAM_AT(tint_multiplier, 100);
PRISMORA_PARAM_AT(color_amount, 104);
PRISMORA_PARAM_AT(glass_color_r, 108);
PRISMORA_PARAM_AT(glass_color_g, 112);
PRISMORA_PARAM_AT(glass_color_b, 116);
PRISMORA_PARAM_AT(clamp_edges, 120);
PRISMORA_PARAM_AT(blur_enabled, 124);
PRISMORA_PARAM_AT(matte_mode, 128);
PRISMORA_PARAM_AT(debug_view, 132);
PRISMORA_PARAM_AT(matte_pitch, 136);
PRISMORA_PARAM_AT(matte_width, 140);
PRISMORA_PARAM_AT(matte_height, 144);
PRISMORA_PARAM_AT(matte_origin_x, 148);
PRISMORA_PARAM_AT(matte_origin_y, 152);
PRISMORA_PARAM_AT(matte_center_x, 156);
PRISMORA_PARAM_AT(matte_center_y, 160);
PRISMORA_PARAM_AT(matte_size_x, 164);
PRISMORA_PARAM_AT(matte_size_y, 168);
PRISMORA_PARAM_AT(has_matte, 172);
PRISMORA_PARAM_AT(reserved, 176);
#undef PRISMORA_PARAM_AT

} // namespace prismora
