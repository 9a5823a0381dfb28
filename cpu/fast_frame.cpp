#include "cpu/fast_frame.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "cpu/blur_window.h"
#include "cpu/fast_glass_frame.h"
#include "cpu/gaussian_blur.h"
#include "cpu/glass_bounds.h"
#include "cpu/pass_through.h"
#include "cpu/pixel_store.h"
#include "cpu/shade_lanes.h"
#include "cpu/window_blur.h"
#include "model/pixel_traits.h"

namespace prismora {
namespace {

PF_LRect LayerRect(const PF_EffectWorld &world)
{
    return {world.origin_x, world.origin_y, world.origin_x + world.width, world.origin_y + world.height};
}

PF_LRect Intersect(const PF_LRect &a, const PF_LRect &b)
{
    PF_LRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
    if (r.right <= r.left || r.bottom <= r.top) {
        r = {a.left, a.top, a.left, a.top};
    }
    return r;
}

bool IsEmpty(const PF_LRect &r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

A_long ClampIndex(double v, A_long size)
{
    if (!(v > 0.0)) {
        return 0; // NaN too
    }
    return v > size - 1 ? size - 1 : static_cast<A_long>(v);
}

// The input pixels the blurred reads can touch, as input indices: the read
// box moved into the input, with the bilinear neighbour. Clamped into the
// input (a clamped read lands on its edge), so never empty.
PF_LRect BlurWindowRect(const PF_EffectWorld &input, const GlassBounds &bounds)
{
    const auto index = [](double position, A_long origin, A_long size, double extra) {
        return ClampIndex(position - origin + extra, size);
    };
    return {index(std::floor(bounds.read_left), input.origin_x, input.width, 0.0),
            index(std::floor(bounds.read_top), input.origin_y, input.height, 0.0),
            index(std::ceil(bounds.read_right), input.origin_x, input.width, 1.0) + 1,
            index(std::ceil(bounds.read_bottom), input.origin_y, input.height, 1.0) + 1};
}

// Shaded pixels [begin, end) of output row r. Flattened where the compiler
// can: with the reads inlined, each read's channel is a constant and the three
// reads of a pixel share their blur-level mix.
#if defined(__GNUC__)
#define PRISMORA_FLATTEN __attribute__((flatten))
#else
#define PRISMORA_FLATTEN
#endif

template <typename Pixel>
PRISMORA_FLATTEN void ShadeSpan(const EffectSettings &settings, const CpuFastGlassFrame<Pixel> &frame,
                                PF_EffectWorld &output, A_long r, A_long begin, A_long end)
{
    const float y = static_cast<float>(output.origin_y + r);
    Pixel *out = WorldPixelAt<Pixel>(output, 0, r);
    for (A_long c = begin; c < end; ++c) {
        const float x = static_cast<float>(output.origin_x + c);
        StorePixel(out[c], ShadeGlassFast(settings, frame, x, y));
    }
}

} // namespace

template <typename Pixel>
PF_Err RenderFrameFast(const PF_EffectWorld &input, PF_EffectWorld &output, const EffectSettings &settings,
                       const MatteField *matte, const HostThreads &threads)
{
    const PF_LRect out_rect = LayerRect(output);
    GlassBounds bounds = FindGlassBounds(settings, matte);
    const bool exact = HasExactFloatCoordinates(out_rect) && HasExactFloatCoordinates(LayerRect(input));
    if (!bounds.bounded || !exact) {
        bounds.shaded = out_rect; // every pixel through the shader, every blur whole
        bounds.read_left = bounds.read_top = -INFINITY;
        bounds.read_right = bounds.read_bottom = INFINITY;
    }
    const PF_LRect shaded = Intersect(bounds.shaded, out_rect);

    // The blurs exist exactly when the plain frame makes them, and are read
    // only from shaded pixels; a half strength of 0.001 or less is never read.
    std::vector<BlurWindow> windows;
    const float strength = BlurStrength(settings);
    const bool full_frame_without_matte =
        settings.glass_mode == kGlassFullFrame && (matte == nullptr || !matte->valid);
    PF_Err err = PF_Err_NONE;
    if (strength > 0.001f && !full_frame_without_matte) {
        // Made even when nothing is shaded: a kernel too long to allocate fails
        // this frame as it fails the plain one.
        std::vector<std::vector<float>> kernels;
        kernels.push_back(GaussianKernel(strength, settings.quality));
        if (strength * 0.5f > 0.001f) {
            kernels.push_back(GaussianKernel(strength * 0.5f, settings.quality));
        }
        if (!IsEmpty(shaded)) {
            err = BlurWorldWindow<Pixel>(input, BlurWindowRect(input, bounds), settings.clamp_edges, kernels,
                                         threads, windows);
        }
    }
    if (err != PF_Err_NONE) {
        return err;
    }
    const BlurWindow *full = windows.empty() ? nullptr : &windows[0];
    const BlurWindow *half = windows.size() > 1 ? &windows[1] : nullptr;

    const A_long shaded_begin = shaded.left - output.origin_x;
    const A_long shaded_end = shaded.right - output.origin_x;
    const CpuFastGlassFrame<Pixel> frame{MakeCpuGlassFrame<Pixel>(input, settings, matte, half, full)};
    const bool in_lanes = CanShadeInLanes(settings, frame, output);
    return threads.ForEachBand(output.height, [&](A_long begin, A_long end) {
        for (A_long r = begin; r < end; ++r) {
            const A_long y = output.origin_y + r;
            if (y < shaded.top || y >= shaded.bottom) {
                PassThroughSpan<Pixel>(input, output, settings.clamp_edges, r, 0, output.width);
                continue;
            }
            PassThroughSpan<Pixel>(input, output, settings.clamp_edges, r, 0, shaded_begin);
            if (in_lanes) {
                ShadeSpanInLanes(settings, frame, output, r, shaded_begin, shaded_end);
            } else {
                ShadeSpan(settings, frame, output, r, shaded_begin, shaded_end);
            }
            PassThroughSpan<Pixel>(input, output, settings.clamp_edges, r, shaded_end, output.width);
        }
    });
}

template PF_Err RenderFrameFast<PF_Pixel8>(const PF_EffectWorld &, PF_EffectWorld &, const EffectSettings &,
                                           const MatteField *, const HostThreads &);
template PF_Err RenderFrameFast<PF_Pixel16>(const PF_EffectWorld &, PF_EffectWorld &, const EffectSettings &,
                                            const MatteField *, const HostThreads &);
template PF_Err RenderFrameFast<PF_PixelFloat>(const PF_EffectWorld &, PF_EffectWorld &,
                                               const EffectSettings &, const MatteField *,
                                               const HostThreads &);

} // namespace prismora
