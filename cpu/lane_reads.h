// Bilinear reads for four pixels at once, with the CPU's rules
// (LocateBilinear<CpuGlassPolicy> and MixTaps): where each read lands, its taps
// from the blurred windows or a matte plane, and their mixes. Every value is
// the scalar read's, bit for bit.
#pragma once

#include "cpu/float_lanes.h"

#if defined(PRISMORA_FLOAT_LANES)
#include <cstddef>
#include <limits>
#include <vector>

#include "AE_Effect.h"
#include "cpu/blur_window.h"
#include "model/float_pixel.h"
#include "model/matte_field.h"

namespace prismora {

// (b - a) * t + a, as Policy::Mix rounds it.
inline FloatLanes Mix(FloatLanes a, FloatLanes b, FloatLanes t)
{
    return (b - a) * t + a;
}

// Four bilinear cells, as LocateBilinear<CpuGlassPolicy> places them; the tap
// indices both in vector lanes and one lane at a time.
struct CellLanes {
    LaneMask valid;
    __m128i x0v, y0v, x1v, y1v;
    IntLanes x0, y0, x1, y1;
    FloatLanes fx = 0.0f;
    FloatLanes fy = 0.0f;
};

// a < b ? a : b in each lane.
inline __m128i MinInt(__m128i a, A_long b)
{
    const __m128i bv = _mm_set1_epi32(b);
    const __m128i less = _mm_cmplt_epi32(a, bv);
    return _mm_or_si128(_mm_and_si128(less, a), _mm_andnot_si128(less, bv));
}

inline CellLanes LocateLanes(A_long width, A_long height, FloatLanes x, FloatLanes y, bool clamp_edges)
{
    CellLanes cell;
    if (width < 1 || height < 1) {
        cell.valid = AllLanes(false);
        return cell;
    }
    const float last_x = static_cast<float>(width - 1);
    const float last_y = static_cast<float>(height - 1);
    if (clamp_edges) {
        x = ClampF(x, 0.0f, last_x);
        y = ClampF(y, 0.0f, last_y);
        cell.valid = AllLanes(true);
    } else {
        cell.valid = !((x < 0.0f) | (y < 0.0f) | (x > last_x) | (y > last_y));
    }
    cell.valid = cell.valid & IsNumber(x) & IsNumber(y);
    // Valid lanes lie in [0, last]: floor is truncation there.
    cell.x0v = _mm_cvttps_epi32(x.v);
    cell.y0v = _mm_cvttps_epi32(y.v);
    const __m128i one = _mm_set1_epi32(1);
    cell.x1v = MinInt(_mm_add_epi32(cell.x0v, one), width - 1);
    cell.y1v = MinInt(_mm_add_epi32(cell.y0v, one), height - 1);
    _mm_store_si128(reinterpret_cast<__m128i *>(cell.x0.i), cell.x0v);
    _mm_store_si128(reinterpret_cast<__m128i *>(cell.y0.i), cell.y0v);
    _mm_store_si128(reinterpret_cast<__m128i *>(cell.x1.i), cell.x1v);
    _mm_store_si128(reinterpret_cast<__m128i *>(cell.y1.i), cell.y1v);
    cell.fx = x - FloatLanes(_mm_cvtepi32_ps(cell.x0v));
    cell.fy = y - FloatLanes(_mm_cvtepi32_ps(cell.y0v));
    return cell;
}

// The four taps of each lane's cell, p00, p10, p01, p11; 0 in lanes not read.
struct TapLanes {
    alignas(16) float tap[4][kLanes] = {};
};

// MixTaps of each lane; a lane whose cell is not valid reads 0, as the scalar
// read does.
inline FloatLanes MixCell(const CellLanes &cell, const TapLanes &taps)
{
    const FloatLanes top = Mix(FloatLanes::Gather(taps.tap[0]), FloatLanes::Gather(taps.tap[1]), cell.fx);
    const FloatLanes bottom = Mix(FloatLanes::Gather(taps.tap[2]), FloatLanes::Gather(taps.tap[3]), cell.fx);
    return Select(cell.valid, Mix(top, bottom, cell.fy), 0.0f);
}

// Where each lane's cell lies in the blurred windows: the offsets of its taps'
// red channel. Every window of a frame holds the same rectangle, so one
// placement serves them all. A cell reaching outside the window (one chosen
// too small) reads NaN, as WindowChannelAt does: any NaN tap makes the read NaN.
struct WindowTaps {
    std::size_t offset[4][kLanes] = {}; // p00, p10, p01, p11 of each lane
    int placed = 0;                     // lanes whose cell lies in the window
};

// row * columns + column, times the window's channels, for non-negative
// lanes: products in 64 bits (a window may hold more than 2^31 floats), the
// even and the odd lanes apart, then back in lane order.
inline void WindowOffsets(__m128i row, std::size_t columns, __m128i column, std::size_t (&out)[kLanes])
{
    static_assert(BlurWindow::kChannels == 3, "offsets are tripled");
    const __m128i cols = _mm_set1_epi64x(static_cast<long long>(columns));
    const __m128i low = _mm_set1_epi64x(0xffffffffLL);
    const auto scaled = [&](__m128i r, __m128i c) { // 64-bit lanes: (r * columns + c) * 3
        const __m128i index = _mm_add_epi64(_mm_mul_epu32(r, cols), c);
        return _mm_add_epi64(index, _mm_add_epi64(index, index));
    };
    const __m128i even = scaled(row, _mm_and_si128(column, low));
    const __m128i odd = scaled(_mm_srli_epi64(row, 32), _mm_srli_epi64(column, 32));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi64(even, odd));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2), _mm_unpackhi_epi64(even, odd));
}

inline WindowTaps PlaceInWindow(const BlurWindow &window, const CellLanes &cell, int lanes)
{
    static_assert(sizeof(std::size_t) == 8, "offsets are 64-bit lanes");
    const __m128i columns = _mm_set1_epi32(window.columns());
    const __m128i rows = _mm_set1_epi32(window.rows());
    const __m128i below = _mm_set1_epi32(-1);
    const auto within = [&](__m128i v, __m128i size) {
        return _mm_and_si128(_mm_cmpgt_epi32(v, below), _mm_cmplt_epi32(v, size));
    };
    const __m128i left = _mm_set1_epi32(window.rect.left);
    const __m128i top = _mm_set1_epi32(window.rect.top);
    const __m128i i0 = _mm_sub_epi32(cell.x0v, left);
    const __m128i i1 = _mm_sub_epi32(cell.x1v, left);
    const __m128i j0 = _mm_sub_epi32(cell.y0v, top);
    const __m128i j1 = _mm_sub_epi32(cell.y1v, top);
    const __m128i placed = _mm_and_si128(_mm_and_si128(within(i0, columns), within(i1, columns)),
                                         _mm_and_si128(within(j0, rows), within(j1, rows)));
    WindowTaps at;
    at.placed = _mm_movemask_ps(_mm_castsi128_ps(placed)) & lanes;
    if (at.placed != 0) {
        const auto width = static_cast<std::size_t>(window.columns());
        WindowOffsets(j0, width, i0, at.offset[0]);
        WindowOffsets(j0, width, i1, at.offset[1]);
        WindowOffsets(j1, width, i0, at.offset[2]);
        WindowOffsets(j1, width, i1, at.offset[3]);
    }
    return at;
}

inline FloatLanes ReadWindow(const BlurWindow &window, ColorChannel channel, const CellLanes &cell,
                             const WindowTaps &at, LaneMask wanted)
{
    const float *plane = window.colour.data() + ChannelIndex(channel);
    const int bits = (wanted & cell.valid).Bits();
    constexpr int kAll = (1 << kLanes) - 1;
    if (bits == kAll && at.placed == kAll) { // the usual case: every tap of every lane
        const auto tap = [&](int k) {
            return FloatLanes(_mm_setr_ps(plane[at.offset[k][0]], plane[at.offset[k][1]],
                                          plane[at.offset[k][2]], plane[at.offset[k][3]]));
        };
        const FloatLanes top = Mix(tap(0), tap(1), cell.fx);
        const FloatLanes bottom = Mix(tap(2), tap(3), cell.fx);
        return Select(cell.valid, Mix(top, bottom, cell.fy), 0.0f);
    }
    TapLanes taps;
    for (int i = 0; i < kLanes; ++i) {
        if (((bits >> i) & 1) == 0) {
            continue;
        }
        const bool placed = ((at.placed >> i) & 1) != 0;
        for (int k = 0; k < 4; ++k) {
            taps.tap[k][i] = placed ? plane[at.offset[k][i]] : std::numeric_limits<float>::quiet_NaN();
        }
    }
    return MixCell(cell, taps);
}

// One plane of the matte at layer pixels x[0..3] = first..first + 3 of row y,
// as MatteField::Sample reads it at whole positions: every mix weight 0. Where
// those cells and their right and lower neighbours lie on the grid, the taps
// come from two rows of the plane; elsewhere (a tap off the grid gives the
// default) from Sample itself.
inline FloatLanes MatteRow(const MatteField &matte, const std::vector<float> &plane, A_long first, A_long y,
                           const float (&x)[kLanes], float default_value)
{
    const A_long i = first - matte.grid_x;
    const A_long j = y - matte.grid_y;
    const bool readable = matte.valid && matte.grid_width > 0 && matte.grid_height > 0 &&
                          plane.size() >= static_cast<std::size_t>(matte.grid_width) *
                                              static_cast<std::size_t>(matte.grid_height);
    if (readable && i >= 0 && i < matte.grid_width - kLanes && j >= 0 && j < matte.grid_height - 1) {
        const float *row0 = plane.data() +
                            static_cast<std::size_t>(j) * static_cast<std::size_t>(matte.grid_width) +
                            static_cast<std::size_t>(i);
        const float *row1 = row0 + matte.grid_width;
        const FloatLanes top = Mix(FloatLanes::Load(row0), FloatLanes::Load(row0 + 1), 0.0f);
        const FloatLanes bottom = Mix(FloatLanes::Load(row1), FloatLanes::Load(row1 + 1), 0.0f);
        return Mix(top, bottom, 0.0f);
    }
    alignas(16) float value[kLanes];
    for (int k = 0; k < kLanes; ++k) {
        value[k] = matte.Sample(plane, x[k], static_cast<float>(y), default_value);
    }
    return FloatLanes::Gather(value);
}

} // namespace prismora

#endif
