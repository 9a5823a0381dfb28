// The part of a blurred frame the shader can read: the frame's size (the edge
// rules depend on it) and the colour of one rectangle of it. The glass reads
// no blurred alpha, so the window holds none.
#pragma once

#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "AE_Effect.h"
#include "cpu/scratch_vector.h"
#include "model/bilinear.h"
#include "model/float_image.h"
#include "model/glass_policy.h"

namespace prismora {

struct BlurWindow {
    A_long width = 0; // of the whole frame
    A_long height = 0;
    PF_LRect rect{}; // the pixels held, in the frame's indices
    // Red, green and blue of each pixel held, row by row.
    static constexpr std::size_t kChannels = 3;
    ScratchVector<float> colour; // written whole by the blur before any read

    A_long columns() const { return rect.right - rect.left; }
    A_long rows() const { return rect.bottom - rect.top; }
    bool IsUsable() const
    {
        return width >= 1 && height >= 1 && columns() >= 1 && rows() >= 1 &&
               colour.size() ==
                   static_cast<std::size_t>(columns()) * static_cast<std::size_t>(rows()) * kChannels;
    }
};

// Where a channel lies among a window's three.
inline std::size_t ChannelIndex(ColorChannel channel)
{
    return static_cast<std::size_t>(channel) - static_cast<std::size_t>(ColorChannel::kRed);
}

// Where a read at (x, y) lands in the blurred frame (not valid: the read gives
// 0). Windows of one frame share the frame's size, so they share their cells.
inline BilinearCell WindowCell(const BlurWindow &image, float x, float y, bool clamp_edges)
{
    if (!image.IsUsable()) {
        return {};
    }
    return LocateBilinear<CpuGlassPolicy>(image.width, image.height, x, y, clamp_edges);
}

// One channel of the read SampleFloatImageBilinear would make of the whole
// blurred frame at that cell. A read outside the window (a window chosen too
// small) gives NaN, never memory beyond the window, so the equality tests see it.
inline float WindowChannelAt(const BlurWindow &image, const BilinearCell &cell, ColorChannel channel)
{
    if (!cell.valid) {
        return 0.0f;
    }
    const float *plane = image.colour.data() + ChannelIndex(channel);
    const auto columns = static_cast<std::size_t>(image.columns());
    const auto rows = static_cast<std::size_t>(image.rows());
    return MixTaps<CpuGlassPolicy>(cell, [&](A_long col, A_long row) {
        // One unsigned comparison per axis: below the window wraps to a large value.
        const auto i = static_cast<std::size_t>(col - image.rect.left);
        const auto j = static_cast<std::size_t>(row - image.rect.top);
        if (i >= columns || j >= rows) {
            return std::numeric_limits<float>::quiet_NaN();
        }
        return plane[(j * columns + i) * BlurWindow::kChannels];
    });
}

} // namespace prismora
