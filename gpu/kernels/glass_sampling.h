// Bilinear reads of BGRA128 frames and of the matte distance plane for the
// glass kernel. Interpolation uses fused multiply-adds, as the device does.
#pragma once

#include "gpu/kernels/kernel_support.h"

namespace prismora::kernels {

// Where a bilinear read lands: the four element indices (channel 0) and the
// fractions, or nothing when the read gives the default.
struct BilinearTaps {
    bool valid;
    int64_t i00;
    int64_t i10;
    int64_t i01;
    int64_t i11;
    float fx;
    float fy;
};

// stride is the pixel pitch of the frame and channels its floats per pixel (4,
// or 1 for a plane). Outside [0, width - 1] x [0, height - 1] the read is
// invalid unless clamp_edges pulls the position in.
PRISMORA_HD inline BilinearTaps LocateBilinear(int stride, int channels, int width, int height, float x,
                                               float y, bool clamp_edges)
{
    BilinearTaps t{};
    if (width < 1 || height < 1) {
        return t;
    }
    const float last_x = static_cast<float>(width - 1);
    const float last_y = static_cast<float>(height - 1);
    if (clamp_edges) {
        x = ClampF(x, 0.0f, last_x);
        y = ClampF(y, 0.0f, last_y);
    } else if (x < 0.0f || y < 0.0f || x > last_x || y > last_y) {
        return t;
    }
    const int ix = FloorToInt(x);
    const int iy = FloorToInt(y);
    const int ix1 = ix + 1 < width - 1 ? ix + 1 : width - 1;
    const int iy1 = iy + 1 < height - 1 ? iy + 1 : height - 1;
    t.valid = true;
    t.fx = x - static_cast<float>(ix);
    t.fy = y - static_cast<float>(iy);
    t.i00 = (static_cast<int64_t>(iy) * stride + ix) * channels;
    t.i10 = (static_cast<int64_t>(iy) * stride + ix1) * channels;
    t.i01 = (static_cast<int64_t>(iy1) * stride + ix) * channels;
    t.i11 = (static_cast<int64_t>(iy1) * stride + ix1) * channels;
    return t;
}

// One channel through located taps; fallback when the taps are invalid.
PRISMORA_HD inline float ReadBilinear(const float *image, const BilinearTaps &t, int channel, float fallback)
{
    if (!t.valid) {
        return fallback;
    }
    const float p00 = image[t.i00 + channel];
    const float p10 = image[t.i10 + channel];
    const float p01 = image[t.i01 + channel];
    const float p11 = image[t.i11 + channel];
    const float top = fmaf(p10 - p00, t.fx, p00);
    const float bottom = fmaf(p11 - p01, t.fx, p01);
    return fmaf(bottom - top, t.fy, top);
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
    const BilinearTaps t = LocateBilinear(frame.pitch, 4, frame.width, frame.height, x, y, clamp_edges);
    return ReadBilinear(frame.data, t, channel, 0.0f);
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
    const float half_level = blur_max * 0.5f;
    if (half_level > 0.001f) {
        const float half = SampleFrameChannel(half_frame, x, y, clamp_edges, channel);
        if (half_level >= blur_amount) {
            const float t = ClampF(blur_amount / half_level, 0.0f, 1.0f);
            return fmaf(half - sharp, t, sharp);
        }
        const float full = SampleFrameChannel(full_frame, x, y, clamp_edges, channel);
        const float t = ClampF((blur_amount - half_level) / MaxF(blur_max - half_level, 0.001f), 0.0f, 1.0f);
        return fmaf(full - half, t, half);
    }
    const float full = SampleFrameChannel(full_frame, x, y, clamp_edges, channel);
    const float t = ClampF(blur_amount / blur_max, 0.0f, 1.0f);
    return fmaf(full - sharp, t, sharp);
}

// The matte distance plane at a matte-relative position, read the way a frame
// is read with clamp_edges off; a missing plane gives the default.
PRISMORA_HD inline float SampleDistance(const float *distance, int width, int height, float x, float y,
                                        float fallback)
{
    if (distance == nullptr) {
        return fallback;
    }
    const BilinearTaps t = LocateBilinear(width, 1, width, height, x, y, false);
    return ReadBilinear(distance, t, 0, fallback);
}

} // namespace prismora::kernels
