#include "cpu/shade_lanes.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <type_traits>

#include "cpu/float_lanes.h"
#include "cpu/glass_bounds.h"
#include "cpu/lane_reads.h"
#include "cpu/lane_stores.h"
#include "cpu/pixel_store.h"
#include "model/pixel_traits.h"
#include "model/shape_field.h"

namespace prismora {

#if defined(PRISMORA_FLOAT_LANES)
namespace {

using Policy = CpuFastGlassPolicy;

// The whole span in one body, reads and all, where the compiler allows.
#if defined(__GNUC__)
#define PRISMORA_FLATTEN __attribute__((flatten))
#else
#define PRISMORA_FLATTEN
#endif

// SmoothStep over edges that are the same for every lane.
FloatLanes SmoothStep(float edge0, float edge1, FloatLanes v)
{
    if (Policy::EdgesMeet(edge0, edge1)) {
        return Select(FloatLanes(edge0) > v, 0.0f, 1.0f); // Policy::HardStep
    }
    const FloatLanes t = ClampF((v - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return (FloatLanes(3.0f) - (t + t)) * (t * t);
}

// Where a glass pixel lies, before FinishShape.
struct ShapeLanes {
    LaneMask inside;
    FloatLanes coverage = 0.0f;
    FloatLanes depth = 0.0f;
    FloatLanes local_x = 0.0f;
    FloatLanes local_y = 0.0f;
};

// RectShape up to FinishShape.
ShapeLanes RectLanes(const EffectSettings &s, FloatLanes x, float y)
{
    ShapeLanes shape;
    shape.local_x = x - s.center_x;
    shape.local_y = y - s.center_y;
    const float half_w = prismora::MaxF(s.glass_width * 0.5f, 1.0f);
    const float half_h = prismora::MaxF(s.glass_height * 0.5f, 1.0f);
    const float r = prismora::ClampF(s.corner_radius, 0.0f, prismora::MinF(half_w, half_h));
    const FloatLanes qx = AbsF(shape.local_x) - half_w + r;
    const FloatLanes qy = AbsF(shape.local_y) - half_h + r;
    const FloatLanes ox = MaxF(qx, 0.0f);
    const FloatLanes oy = MaxF(qy, 0.0f);
    const FloatLanes d = SqrtF(ox * ox + oy * oy) + MinF(MaxF(qx, qy), 0.0f) - r;
    shape.coverage = FloatLanes(1.0f) - SmoothStep(0.0f, 1.0f, d);
    shape.inside = !(shape.coverage <= 0.003f); // Policy::Covers
    shape.depth = MaxF(-d, 0.0f);
    return shape;
}

// MatteShape up to FinishShape, at layer pixels x[0..3] = first..first + 3 of row y.
ShapeLanes MatteLanes(const MatteField &matte, A_long first, A_long y, const float (&x)[kLanes])
{
    ShapeLanes shape;
    shape.coverage = ClampF(MatteRow(matte, matte.alpha, first, y, x, 0.0f), 0.0f, 1.0f);
    shape.inside = !(shape.coverage <= 0.003f);
    shape.depth = MaxF(MatteRow(matte, matte.distance, first, y, x, -1.0f), 0.0f);
    shape.local_x = FloatLanes::Gather(x) - matte.center_x;
    shape.local_y = static_cast<float>(y) - matte.center_y;
    return shape;
}

// The panel a frame's glass spans: the rectangle's or the matte's.
struct Panel {
    float center_y;
    float width;
    float height;
};

template <typename Pixel> class LaneShader {
public:
    LaneShader(const EffectSettings &s, const CpuFastGlassFrame<Pixel> &frame) : s_(s), frame_(frame)
    {
        const bool matte = frame.glass_mode == kGlassFullFrame;
        panel_ = matte ? Panel{frame.matte->center_y, frame.matte->width, frame.matte->height}
                       : Panel{s.center_y, s.glass_width, s.glass_height};
        min_side_ = prismora::MaxF(prismora::MinF(panel_.width, panel_.height), 1.0f);
        rim_w_ = BandWidth<Policy>(s.edge_range, min_side_);
        chroma_w_ = BandWidth<Policy>(s.chromatic_range, min_side_);
        strength_ = prismora::MaxF(s.distortion_scale, 0.0f) * s.amount;
        vis_ = prismora::ClampF(s.edge_visibility, 0.0f, 2.0f);
        const float ca = prismora::ClampF(s.color_amount * 0.75f, 0.0f, 1.0f);
        for (int c = 0; c < 3; ++c) {
            light_color_[c] = ca * s.glass_color[c + 1] + (1.0f - ca);
        }
        const BlurWindow *full = frame.full_blur;
        blurred_ = full != nullptr && full->IsUsable() && frame.blur_max > 0.001f;
        half_level_ = frame.blur_max * 0.5f;
        through_half_ = frame.half_blur != nullptr && frame.half_blur->IsUsable() && half_level_ > 0.001f;
    }

    // Whether the frame is one the lanes shade: the model's pixel there is a
    // plain run of arithmetic and its reads share one cell per position.
    static bool Handles(const EffectSettings &s, const CpuFastGlassFrame<Pixel> &frame)
    {
        const bool shape = frame.glass_mode == kGlassRoundedRect ||
                           (frame.glass_mode == kGlassFullFrame && frame.HasMatte());
        const float controls[] = {s.amount,          s.opacity,         s.center_x,        s.center_y,
                                  s.glass_width,     s.glass_height,    s.corner_radius,   s.distortion_scale,
                                  s.edge_range,      s.chromatic_shift, s.chromatic_range, s.tint_multiplier,
                                  s.color_amount,    s.glass_color[1],  s.glass_color[2],  s.glass_color[3],
                                  s.edge_visibility, frame.blur_max};
        for (const float v : controls) {
            if (!std::isfinite(v)) {
                return false;
            }
        }
        const auto same_grid = [&](const BlurWindow *w) {
            return w == nullptr || !w->IsUsable() ||
                   (w->width == frame.input.width && w->height == frame.input.height);
        };
        const BlurWindow *half = frame.half_blur;
        const BlurWindow *full = frame.full_blur;
        const bool one_rect =
            half == nullptr || !half->IsUsable() || full == nullptr || !full->IsUsable() ||
            (half->rect.left == full->rect.left && half->rect.top == full->rect.top &&
             half->rect.right == full->rect.right && half->rect.bottom == full->rect.bottom);
        const bool faint = 0.0001f >= s.amount || 0.0001f >= s.opacity;
        return shape && !faint && !IsDebugView(s.debug_view) && frame.input.data != nullptr &&
               same_grid(half) && same_grid(full) && one_rect;
    }

    PRISMORA_FLATTEN void ShadeSpan(PF_EffectWorld &output, A_long r, A_long begin, A_long end) const
    {
        const float y = static_cast<float>(output.origin_y + r);
        Pixel *out = WorldPixelAt<Pixel>(output, 0, r);
        A_long c = begin;
        for (; c + kLanes <= end; c += kLanes) {
            ShadeFour(out, output.origin_x, c, output.origin_y + r, y);
        }
        for (; c < end; ++c) {
            ShadeOne(out[c], static_cast<float>(output.origin_x + c), y);
        }
    }

private:
    void ShadeOne(Pixel &out, float x, float y) const { StorePixel(out, ShadeGlassFast(s_, frame_, x, y)); }

    // Output pixels c..c + 3 of layer row `row` (y as a float).
    void ShadeFour(Pixel *out, A_long origin_x, A_long c, A_long row, float y) const
    {
        alignas(16) float x[kLanes];
        for (int i = 0; i < kLanes; ++i) {
            x[i] = static_cast<float>(origin_x + c + i);
        }
        const ShapeLanes shape = frame_.glass_mode == kGlassFullFrame
                                     ? MatteLanes(*frame_.matte, origin_x + c, row, x)
                                     : RectLanes(s_, FloatLanes::Gather(x), y);
        // The source pixels, read straight where all four lie on the input.
        const A_long first_col = origin_x + c - frame_.input.origin_x;
        const A_long src_row = row - frame_.input.origin_y;
        const bool on_input = first_col >= 0 && first_col + kLanes <= frame_.input.width && src_row >= 0 &&
                              src_row < frame_.input.height;
        const float sy = y - frame_.origin_y;
        const auto source = [&](int i) {
            return on_input ? SourceAtPixel(first_col + i, src_row)
                            : frame_.Source(x[i] - frame_.origin_x, sy);
        };
        // Off the glass a pixel is its source.
        const int inside = shape.inside.Bits();
        if (inside == 0) {
            for (int i = 0; i < kLanes; ++i) {
                StorePixel(out[c + i], source(i));
            }
            return;
        }
        LaneMask lanes = shape.inside;

        // FinishShape; the normal is the fast policy's: only where the direction
        // borrows it, which those lanes leave to the scalar pixel.
        const FloatLanes depth = MaxF(shape.depth, 0.0f);
        const FloatLanes depth_norm = depth / min_side_;
        const FloatLanes edge_factor = FloatLanes(1.0f) - SmoothStep(0.0f, rim_w_, depth);
        const FloatLanes length = Length2(shape.local_x, shape.local_y);
        const LaneMask flat = length <= Policy::kNormalizeFloor;
        const FloatLanes dir_x = Select(flat, 0.0f, shape.local_x / length);
        const FloatLanes dir_y = Select(flat, 0.0f, shape.local_y / length);
        lanes = lanes & !(Length2(dir_x, dir_y) <= 0.00001f);

        // ComputeGlassTerms.
        const FloatLanes depth_px = MaxF(depth_norm * min_side_, 0.0f);
        const FloatLanes s1 = SmoothStep(0.0f, 0.42f, depth_norm);
        const FloatLanes bulge =
            SqrtF(MaxF(FloatLanes(1.0f) - (FloatLanes(1.0f) - s1) * (FloatLanes(1.0f) - s1), 0.0f));
        const FloatLanes s2 = SmoothStep(0.0f, 1.5f, depth_px);
        const FloatLanes lens = (FloatLanes(1.0f) - bulge) * s2;
        const FloatLanes offset_x = lens * panel_.width * 0.5f * dir_x * strength_;
        const FloatLanes offset_y = lens * panel_.height * 0.5f * dir_y * strength_;
        const FloatLanes blur_amount = (FloatLanes(1.0f) - lens * 0.5f) * frame_.blur_max;
        const FloatLanes rim_inner =
            FloatLanes(1.0f) - SmoothStep(0.0f, prismora::MaxF(rim_w_ * 0.1f, 2.0f), depth_px);
        FloatLanes c1 = 0.0f;
        FloatLanes c2 = 0.0f;
        if (chroma_w_ > 0.0f) {
            c1 = FloatLanes(1.0f) - SmoothStep(0.0f, chroma_w_, depth_px);
            c2 = FloatLanes(1.0f) - SmoothStep(0.0f, prismora::MaxF(chroma_w_ * 0.1f, 2.0f), depth_px);
        }
        const FloatLanes chroma = ClampF(MaxF(c2, c1), 0.0f, 1.0f);
        const FloatLanes rim = MaxF(rim_inner, edge_factor);
        const FloatLanes rim_c = ClampF(rim, 0.0f, 1.0f);
        const FloatLanes split_x = chroma * dir_x * s_.chromatic_shift * s_.amount;
        const FloatLanes split_y = chroma * dir_y * s_.chromatic_shift * s_.amount;
        const float ny = (y - panel_.center_y) / prismora::MaxF(panel_.height * 0.5f, 1.0f);
        const FloatLanes light = ClampF(rim * vis_ * 0.55f, 0.0f, 1.0f);
        const FloatLanes glow = FloatLanes(vis_ * 0.12f) * rim_inner;
        const FloatLanes shade = light * prismora::ClampF(ny * 0.3f + 0.45f, 0.0f, 1.0f) * 0.04f;
        const float top = prismora::ClampF(0.55f - ny * 0.35f, 0.0f, 1.0f);
        const FloatLanes highlight = (light * top * 0.12f + 0.05f) * light + glow;

        // The refracted reads, red and blue pushed apart along the radius.
        const FloatLanes sx = FloatLanes::Gather(x) - frame_.origin_x;
        const FloatLanes rx = sx - offset_x;
        const FloatLanes ry = FloatLanes(sy) - offset_y;
        const float tint = s_.tint_multiplier;
        FloatLanes red =
            FloatLanes(tint) * Refracted(rx - split_x, ry - split_y, blur_amount, lanes, ColorChannel::kRed);
        FloatLanes green = FloatLanes(tint) * Refracted(rx, ry, blur_amount, lanes, ColorChannel::kGreen);
        FloatLanes blue =
            FloatLanes(tint) * Refracted(split_x + rx, split_y + ry, blur_amount, lanes, ColorChannel::kBlue);

        // CompositeGlass.
        if (s_.color_amount > 0.0001f) {
            const FloatLanes k = (rim_c * 0.28f + 0.62f) * prismora::ClampF(s_.color_amount, 0.0f, 1.0f);
            red = Mix(red, s_.glass_color[1], k);
            green = Mix(green, s_.glass_color[2], k);
            blue = Mix(blue, s_.glass_color[3], k);
        }
        const auto lit = [&](FloatLanes value, float light_color) {
            return ClampF(FloatLanes(light_color) * highlight + value - shade, 0.0f, 1.0f);
        };
        alignas(16) float src[4][kLanes];
        const int bits = lanes.Bits();
        for (int i = 0; i < kLanes; ++i) {
            // Every lane but one at the panel centre (left to the scalar pixel).
            const bool needed = ((bits >> i) & 1) != 0 || ((inside >> i) & 1) == 0;
            const FloatPixel p = needed ? source(i) : FloatPixel{};
            src[0][i] = p.alpha;
            src[1][i] = p.red;
            src[2][i] = p.green;
            src[3][i] = p.blue;
        }
        const FloatLanes mix = ClampF(shape.coverage * s_.opacity * s_.amount, 0.0f, 1.0f);
        alignas(16) float result[4][kLanes];
        MaxF(mix, FloatLanes::Gather(src[0])).Store(result[0]);
        Mix(FloatLanes::Gather(src[1]), lit(red, light_color_[0]), mix).Store(result[1]);
        Mix(FloatLanes::Gather(src[2]), lit(green, light_color_[1]), mix).Store(result[2]);
        Mix(FloatLanes::Gather(src[3]), lit(blue, light_color_[2]), mix).Store(result[3]);

        if (bits == (1 << kLanes) - 1) {
            if constexpr (std::is_same_v<Pixel, PF_Pixel8>) {
                StorePixels8(out + c, result);
                return;
            } else if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
                StorePixelsFloat(out + c, result);
                return;
            }
        }
        for (int i = 0; i < kLanes; ++i) {
            if (((bits >> i) & 1) != 0) {
                StorePixel(out[c + i], FloatPixel{result[0][i], result[1][i], result[2][i], result[3][i]});
            } else if (((inside >> i) & 1) == 0) {
                StorePixel(out[c + i], FloatPixel{src[0][i], src[1][i], src[2][i], src[3][i]});
            } else {
                ShadeOne(out[c + i], x[i], y);
            }
        }
    }

    // What Source reads at input pixel (col, row), a whole position inside the
    // input: every mix weight 0, without locating the cell.
    FloatPixel SourceAtPixel(A_long col, A_long row) const
    {
        const PF_EffectWorld &world = frame_.input;
        if constexpr (!std::is_same_v<Pixel, PF_PixelFloat>) {
            return ToFloatPixel(*WorldPixelAt<Pixel>(world, col, row));
        } else {
            BilinearCell cell;
            cell.valid = true;
            cell.x0 = col;
            cell.y0 = row;
            cell.x1 = col + 1 < world.width - 1 ? col + 1 : world.width - 1;
            cell.y1 = row + 1 < world.height - 1 ? row + 1 : world.height - 1;
            // A float pixel's four channels fill the lanes. -0 and infinities
            // give the same bits that way; where two NaNs meet, which one
            // survives is the compiled scalar read's choice, so a cell with a
            // NaN tap takes that read.
            static_assert(sizeof(PF_PixelFloat) == 4 * sizeof(float), "alpha, red, green, blue");
            const auto load = [&](A_long x, A_long y) {
                return _mm_loadu_ps(reinterpret_cast<const float *>(WorldPixelAt<Pixel>(world, x, y)));
            };
            const __m128 p00 = load(cell.x0, cell.y0);
            const __m128 p10 = load(cell.x1, cell.y0);
            const __m128 p01 = load(cell.x0, cell.y1);
            const __m128 p11 = load(cell.x1, cell.y1);
            const __m128 nan = _mm_or_ps(_mm_or_ps(_mm_cmpunord_ps(p00, p00), _mm_cmpunord_ps(p10, p10)),
                                         _mm_or_ps(_mm_cmpunord_ps(p01, p01), _mm_cmpunord_ps(p11, p11)));
            if (_mm_movemask_ps(nan) == 0) {
                alignas(16) float p[4];
                _mm_store_ps(p, ReadAtWholePixel(p00, p10, p01, p11));
                return {p[0], p[1], p[2], p[3]};
            }
            return MixTaps<CpuGlassPolicy>(
                cell, [&](A_long x, A_long y) { return ToFloatPixel(*WorldPixelAt<Pixel>(world, x, y)); });
        }
    }

    // BlurredRead of one channel: the sharp world's read faded through the
    // blurred windows' reads at the same cell.
    FloatLanes Refracted(FloatLanes x, FloatLanes y, FloatLanes blur_amount, LaneMask lanes,
                         ColorChannel channel) const
    {
        const PF_EffectWorld &world = frame_.input;
        const CellLanes cell = LocateLanes(world.width, world.height, x, y, frame_.clamp_edges);
        const auto sharp = [&](LaneMask wanted) {
            TapLanes taps;
            const int bits = (wanted & cell.valid).Bits();
            for (int i = 0; i < kLanes; ++i) {
                if (((bits >> i) & 1) == 0) {
                    continue;
                }
                const auto read = [&](A_long col, A_long row) {
                    return PixelTraits<Pixel>::ToFloat(
                        ChannelOf(*WorldPixelAt<Pixel>(world, col, row), channel));
                };
                taps.tap[0][i] = read(cell.x0.i[i], cell.y0.i[i]);
                taps.tap[1][i] = read(cell.x1.i[i], cell.y0.i[i]);
                taps.tap[2][i] = read(cell.x0.i[i], cell.y1.i[i]);
                taps.tap[3][i] = read(cell.x1.i[i], cell.y1.i[i]);
            }
            return MixCell(cell, taps);
        };
        if (!blurred_) {
            return sharp(lanes);
        }
        const LaneMask unblurred = blur_amount <= 0.001f;
        const float blur_max = frame_.blur_max;
        const WindowTaps at =
            PlaceInWindow(*frame_.full_blur, cell, (lanes & !unblurred & cell.valid).Bits());
        const auto blurred = [&](const BlurWindow &window, LaneMask wanted) {
            return ReadWindow(window, channel, cell, at, wanted);
        };
        if (through_half_) {
            const LaneMask below_half = FloatLanes(half_level_) >= blur_amount;
            const FloatLanes sharp_value = sharp(lanes & (unblurred | below_half));
            const FloatLanes half = blurred(*frame_.half_blur, lanes & !unblurred);
            const FloatLanes full = blurred(*frame_.full_blur, lanes & !unblurred & !below_half);
            const FloatLanes to_half = Mix(sharp_value, half, ClampF(blur_amount / half_level_, 0.0f, 1.0f));
            const FloatLanes t = ClampF(
                (blur_amount - half_level_) / prismora::MaxF(blur_max - half_level_, 0.001f), 0.0f, 1.0f);
            return Select(unblurred, sharp_value, Select(below_half, to_half, Mix(half, full, t)));
        }
        const FloatLanes sharp_value = sharp(lanes);
        const FloatLanes full = blurred(*frame_.full_blur, lanes & !unblurred);
        return Select(unblurred, sharp_value,
                      Mix(sharp_value, full, ClampF(blur_amount / blur_max, 0.0f, 1.0f)));
    }

    const EffectSettings &s_;
    const CpuFastGlassFrame<Pixel> &frame_;
    Panel panel_{};
    float min_side_ = 1.0f;
    float rim_w_ = 0.0f;
    float chroma_w_ = 0.0f;
    float strength_ = 0.0f;
    float vis_ = 0.0f;
    float light_color_[3] = {};
    bool blurred_ = false;
    float half_level_ = 0.0f;
    bool through_half_ = false;
};

} // namespace

template <typename Pixel>
bool CanShadeInLanes(const EffectSettings &settings, const CpuFastGlassFrame<Pixel> &frame,
                     const PF_EffectWorld &output)
{
    const auto exact = [](const PF_EffectWorld &world) {
        return HasExactFloatCoordinates(
            {world.origin_x, world.origin_y, world.origin_x + world.width, world.origin_y + world.height});
    };
    return exact(frame.input) && exact(output) && LaneShader<Pixel>::Handles(settings, frame);
}

template <typename Pixel>
void ShadeSpanInLanes(const EffectSettings &settings, const CpuFastGlassFrame<Pixel> &frame,
                      PF_EffectWorld &output, A_long r, A_long begin, A_long end)
{
    LaneShader<Pixel>(settings, frame).ShadeSpan(output, r, begin, end);
}

#else // no vector lanes: every pixel goes through ShadeGlassFast

template <typename Pixel>
bool CanShadeInLanes(const EffectSettings &, const CpuFastGlassFrame<Pixel> &, const PF_EffectWorld &)
{
    return false;
}

template <typename Pixel>
void ShadeSpanInLanes(const EffectSettings &settings, const CpuFastGlassFrame<Pixel> &frame,
                      PF_EffectWorld &output, A_long r, A_long begin, A_long end)
{
    const float y = static_cast<float>(output.origin_y + r);
    Pixel *out = WorldPixelAt<Pixel>(output, 0, r);
    for (A_long c = begin; c < end; ++c) {
        StorePixel(out[c], ShadeGlassFast(settings, frame, static_cast<float>(output.origin_x + c), y));
    }
}

#endif

#define PRISMORA_SHADE_LANES(Pixel)                                                                          \
    template bool CanShadeInLanes<Pixel>(const EffectSettings &, const CpuFastGlassFrame<Pixel> &,           \
                                         const PF_EffectWorld &);                                            \
    template void ShadeSpanInLanes<Pixel>(const EffectSettings &, const CpuFastGlassFrame<Pixel> &,          \
                                          PF_EffectWorld &, A_long, A_long, A_long);
PRISMORA_SHADE_LANES(PF_Pixel8)
PRISMORA_SHADE_LANES(PF_Pixel16)
PRISMORA_SHADE_LANES(PF_PixelFloat)
#undef PRISMORA_SHADE_LANES

} // namespace prismora
