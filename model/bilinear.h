// The bilinear read both renderers use: where a read lands with the edge rule,
// the mix of its four taps, and the fade through the blur levels. The policy
// supplies the mix; the renderer supplies the taps.
#pragma once

#include "model/float_pixel.h"
#include "model/host_device.h"
#include "model/scalar_ops.h"

namespace prismora {

// The four taps of a read, (x0, y0) to (x1, y1), and the fractions between
// them; not valid when the read gives the default.
struct BilinearCell {
    bool valid = false;
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    float fx = 0.0f;
    float fy = 0.0f;
};

// A read of a width x height image at (x, y) in its own pixel indices. Outside
// [0, width - 1] x [0, height - 1] it gives the default unless clamp_edges pulls
// the position in; on the last column or row the neighbour is the pixel itself.
template <typename Policy>
PRISMORA_HD inline BilinearCell LocateBilinear(int width, int height, float x, float y, bool clamp_edges)
{
    BilinearCell cell;
    if (width < 1 || height < 1) {
        return cell;
    }
    const float last_x = static_cast<float>(width - 1);
    const float last_y = static_cast<float>(height - 1);
    if (clamp_edges) {
        x = ClampF(x, 0.0f, last_x);
        y = ClampF(y, 0.0f, last_y);
    } else if (x < 0.0f || y < 0.0f || x > last_x || y > last_y) {
        return cell;
    }
    // A NaN position slips through both tests above.
    if (Policy::kNanReadsOutside && (x != x || y != y)) {
        return cell;
    }
    cell.valid = true;
    cell.x0 = FloorToInt(x);
    cell.y0 = FloorToInt(y);
    cell.x1 = cell.x0 + 1 < width - 1 ? cell.x0 + 1 : width - 1;
    cell.y1 = cell.y0 + 1 < height - 1 ? cell.y0 + 1 : height - 1;
    cell.fx = x - static_cast<float>(cell.x0);
    cell.fy = y - static_cast<float>(cell.y0);
    return cell;
}

template <typename Policy> PRISMORA_HD inline float MixValues(float a, float b, float t)
{
    return Policy::Mix(a, b, t);
}

template <typename Policy>
PRISMORA_HD inline FloatPixel MixValues(const FloatPixel &a, const FloatPixel &b, float t)
{
    return {Policy::Mix(a.alpha, b.alpha, t), Policy::Mix(a.red, b.red, t), Policy::Mix(a.green, b.green, t),
            Policy::Mix(a.blue, b.blue, t)};
}

// The top row, the bottom row, then between them. fetch(column, row) returns a
// float or a FloatPixel.
template <typename Policy, typename Fetch>
PRISMORA_HD inline auto MixTaps(const BilinearCell &cell, const Fetch &fetch)
{
    const auto p00 = fetch(cell.x0, cell.y0);
    const auto p10 = fetch(cell.x1, cell.y0);
    const auto p01 = fetch(cell.x0, cell.y1);
    const auto p11 = fetch(cell.x1, cell.y1);
    const auto top = MixValues<Policy>(p00, p10, cell.fx);
    const auto bottom = MixValues<Policy>(p01, p11, cell.fx);
    return MixValues<Policy>(top, bottom, cell.fy);
}

// A blurred read at strength blur_amount: from the sharp read towards the
// half-strength image (blur_max / 2), then on to the full-strength one. Without
// a half image, or a half level of 0.001 or less, straight from sharp to full.
// Each read is called only when its value is needed (the reads are pure, so a
// caller may also hand over a value it has already read).
template <typename Policy, typename ReadSharp, typename ReadHalf, typename ReadFull>
PRISMORA_HD inline auto BlendBlurLevels(const ReadSharp &read_sharp, bool half_readable, float blur_amount,
                                        float blur_max, const ReadHalf &read_half, const ReadFull &read_full)
{
    const float half_level = blur_max * 0.5f;
    if (half_readable && half_level > 0.001f) {
        const auto half = read_half();
        if (half_level >= blur_amount) {
            return MixValues<Policy>(read_sharp(), half, ClampF(blur_amount / half_level, 0.0f, 1.0f));
        }
        const auto full = read_full();
        const float t = ClampF((blur_amount - half_level) / MaxF(blur_max - half_level, 0.001f), 0.0f, 1.0f);
        return MixValues<Policy>(half, full, t);
    }
    const auto full = read_full();
    return MixValues<Policy>(read_sharp(), full, ClampF(blur_amount / blur_max, 0.0f, 1.0f));
}

} // namespace prismora
