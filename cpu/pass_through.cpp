#include "cpu/pass_through.h"

#include <cstring>
#include <type_traits>

#include "cpu/pixel_store.h"
#include "cpu/pixel_traits.h"
#include "shading/image_sampling.h"

namespace prismora {
namespace {

// The bilinear read at a whole pixel position: every mix weight is 0.
FloatPixel ReadAtPixel(const FloatPixel &p00, const FloatPixel &p10, const FloatPixel &p01,
                       const FloatPixel &p11)
{
    return MixPixels(MixPixels(p00, p10, 0.0f), MixPixels(p01, p11, 0.0f), 0.0f);
}

// The source pixel the shader stores at a whole position (column x, rows
// y and y1 of the input), for 8 and 16 bits.
inline void CopyPixel(const PF_Pixel8 &src, PF_Pixel8 &dst)
{
    dst = src;
}

inline void CopyPixel(const PF_Pixel16 &src, PF_Pixel16 &dst)
{
    // Above white the store cuts to white; everything else survives the round trip.
    const auto cut = [](A_u_short v) {
        return v > PF_MAX_CHAN16 ? static_cast<A_u_short>(PF_MAX_CHAN16) : v;
    };
    dst = {cut(src.alpha), cut(src.red), cut(src.green), cut(src.blue)};
}

} // namespace

template <typename Pixel>
void PassThroughSpan(const PF_EffectWorld &input, PF_EffectWorld &output, bool clamp_edges, A_long r,
                     A_long begin, A_long end)
{
    if (begin >= end) {
        return;
    }
    Pixel *out = WorldPixelAt<Pixel>(output, 0, r);
    const A_long last_x = input.width - 1;
    const A_long last_y = input.height - 1;
    A_long sy = output.origin_y + r - input.origin_y;
    if (sy < 0 || sy > last_y) {
        if (!clamp_edges) {
            for (A_long c = begin; c < end; ++c) {
                out[c] = Pixel{}; // transparent black stores as zero bits at every depth
            }
            return;
        }
        sy = sy < 0 ? 0 : last_y;
    }
    const A_long sy1 = sy < last_y ? sy + 1 : last_y;
    const Pixel *row0 = WorldPixelAt<Pixel>(input, 0, sy);
    const Pixel *row1 = WorldPixelAt<Pixel>(input, 0, sy1);
    const A_long shift = output.origin_x - input.origin_x; // input column of output column 0

    for (A_long c = begin; c < end; ++c) {
        A_long sx = c + shift;
        if (sx < 0 || sx > last_x) {
            if (!clamp_edges) {
                out[c] = Pixel{};
                continue;
            }
            sx = sx < 0 ? 0 : last_x;
        }
        if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
            const A_long sx1 = sx < last_x ? sx + 1 : last_x;
            StorePixel(out[c], ReadAtPixel(ToFloatPixel(row0[sx]), ToFloatPixel(row0[sx1]),
                                           ToFloatPixel(row1[sx]), ToFloatPixel(row1[sx1])));
        } else {
            CopyPixel(row0[sx], out[c]);
        }
    }
}

template void PassThroughSpan<PF_Pixel8>(const PF_EffectWorld &, PF_EffectWorld &, bool, A_long, A_long,
                                         A_long);
template void PassThroughSpan<PF_Pixel16>(const PF_EffectWorld &, PF_EffectWorld &, bool, A_long, A_long,
                                          A_long);
template void PassThroughSpan<PF_PixelFloat>(const PF_EffectWorld &, PF_EffectWorld &, bool, A_long, A_long,
                                             A_long);

} // namespace prismora
