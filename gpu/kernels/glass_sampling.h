// Bilinear reads of BGRA128 frames and of the matte distance plane for the
// glass kernel: the glass model's read rules (model/bilinear.h) with the
// device's fused mixes, one channel per read.
#pragma once

#include "gpu/kernels/kernel_support.h"
#include "model/bilinear.h"
#include "model/glass_policy.h"

namespace prismora::kernels {

// One channel of an image of `channels` floats per pixel (4 for a frame, 1 for
// a plane) with a pitch of `stride` pixels; fallback outside it.
PRISMORA_HD inline float ReadBilinear(const float *image, int stride, int channels, int width, int height,
                                      float x, float y, bool clamp_edges, int channel, float fallback)
{
    const BilinearCell cell = LocateBilinear<GpuGlassPolicy>(width, height, x, y, clamp_edges);
    if (!cell.valid) {
        return fallback;
    }
    return MixTaps<GpuGlassPolicy>(cell, [&](int col, int row) {
        return image[(static_cast<int64_t>(row) * stride + col) * channels + channel];
    });
}

// A BGRA128 frame with its size and pitch; a null frame reads as transparent black.
struct FrameView {
    const float *data;
    int pitch;
    int width;
    int height;
};

PRISMORA_HD inline float SampleFrameChannel(const FrameView &frame, float x, float y, bool clamp_edges,
                                            int channel)
{
    if (frame.data == nullptr) {
        return 0.0f;
    }
    return ReadBilinear(frame.data, frame.pitch, 4, frame.width, frame.height, x, y, clamp_edges, channel,
                        0.0f);
}

// The blur level's mix of sharp, half-blur and full-blur reads for one channel.
// use_blur says whether the blurred frames may be read at all.
PRISMORA_HD inline float SampleBlurredChannel(const FrameView &sharp_frame, const FrameView &half_frame,
                                              const FrameView &full_frame, bool use_blur, float blur_amount,
                                              float blur_max, float x, float y, bool clamp_edges, int channel)
{
    const float sharp = SampleFrameChannel(sharp_frame, x, y, clamp_edges, channel);
    if (!use_blur) {
        return sharp;
    }
    return BlendBlurLevels<GpuGlassPolicy>(
        [&] { return sharp; }, true, blur_amount, blur_max,
        [&] { return SampleFrameChannel(half_frame, x, y, clamp_edges, channel); },
        [&] { return SampleFrameChannel(full_frame, x, y, clamp_edges, channel); });
}

// The matte distance plane at a matte-relative position, read the way a frame
// is read with clamp_edges off; a missing plane gives the default.
PRISMORA_HD inline float SampleDistance(const float *distance, int width, int height, float x, float y,
                                        float fallback)
{
    if (distance == nullptr) {
        return fallback;
    }
    return ReadBilinear(distance, width, 1, width, height, x, y, false, 0, fallback);
}

} // namespace prismora::kernels
