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

// Four bilinear cells, as LocateBilinear<CpuGlassPolicy> places them.
struct CellLanes {
    LaneMask valid;
    IntLanes x0, y0, x1, y1;
    FloatLanes fx = 0.0f;
    FloatLanes fy = 0.0f;
};

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
    FloatLanes fx0 = 0.0f;
    FloatLanes fy0 = 0.0f;
    cell.x0 = TruncateNonNegative(x, &fx0);
    cell.y0 = TruncateNonNegative(y, &fy0);
    for (int i = 0; i < kLanes; ++i) {
        cell.x1.i[i] = cell.x0.i[i] + 1 < width - 1 ? cell.x0.i[i] + 1 : width - 1;
        cell.y1.i[i] = cell.y0.i[i] + 1 < height - 1 ? cell.y0.i[i] + 1 : height - 1;
    }
    cell.fx = x - fx0;
    cell.fy = y - fy0;
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
    std::size_t offset[kLanes][4] = {};
    int placed = 0; // lanes whose cell lies in the window
};

inline WindowTaps PlaceInWindow(const BlurWindow &window, const CellLanes &cell, int lanes)
{
    WindowTaps at;
    const auto columns = static_cast<std::size_t>(window.columns());
    const auto rows = static_cast<std::size_t>(window.rows());
    for (int i = 0; i < kLanes; ++i) {
        if (((lanes >> i) & 1) == 0) {
            continue;
        }
        // Below the window wraps to a large value: one comparison per index.
        const auto i0 = static_cast<std::size_t>(cell.x0.i[i] - window.rect.left);
        const auto i1 = static_cast<std::size_t>(cell.x1.i[i] - window.rect.left);
        const auto j0 = static_cast<std::size_t>(cell.y0.i[i] - window.rect.top);
        const auto j1 = static_cast<std::size_t>(cell.y1.i[i] - window.rect.top);
        if (i0 >= columns || i1 >= columns || j0 >= rows || j1 >= rows) {
            continue;
        }
        constexpr std::size_t kStep = BlurWindow::kChannels;
        at.offset[i][0] = (j0 * columns + i0) * kStep;
        at.offset[i][1] = (j0 * columns + i1) * kStep;
        at.offset[i][2] = (j1 * columns + i0) * kStep;
        at.offset[i][3] = (j1 * columns + i1) * kStep;
        at.placed |= 1 << i;
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
            return FloatLanes(_mm_setr_ps(plane[at.offset[0][k]], plane[at.offset[1][k]],
                                          plane[at.offset[2][k]], plane[at.offset[3][k]]));
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
            taps.tap[k][i] = placed ? plane[at.offset[i][k]] : std::numeric_limits<float>::quiet_NaN();
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
