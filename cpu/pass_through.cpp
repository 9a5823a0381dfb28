#include "cpu/pass_through.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "cpu/cpu_features.h"
#include "cpu/float_lanes.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif
#if defined(PRISMORA_AVX_LOOPS)
#include <immintrin.h>
#endif

#include "cpu/pixel_store.h"
#include "model/bilinear.h"
#include "model/glass_policy.h"
#include "model/pixel_traits.h"

namespace prismora {
namespace {

// The bilinear read at a whole pixel position: every mix weight is 0.
FloatPixel ReadAtPixel(const FloatPixel &p00, const FloatPixel &p10, const FloatPixel &p01,
                       const FloatPixel &p11)
{
    return MixValues<CpuGlassPolicy>(MixValues<CpuGlassPolicy>(p00, p10, 0.0f),
                                     MixValues<CpuGlassPolicy>(p01, p11, 0.0f), 0.0f);
}

// What the store makes of an 8- or 16-bit source pixel read at its own
// position (the read gives the pixel's floats unchanged).
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

// The float read and store at whole positions for the pixels whose right
// neighbour is the next pixel: the same operations as ReadAtPixel and
// StorePixel, over vector registers where there is SSE (every x86-64
// processor; two pixels to a register with AVX), over plain floats elsewhere.
#if defined(__SSE2__) || defined(_M_X64)
// Pixels [begin, end), one to a register.
void PassThroughFloatSse2(const PF_PixelFloat *row0, const PF_PixelFloat *row1, PF_PixelFloat *out,
                          A_long begin, A_long end)
{
    const __m128 zero = _mm_setzero_ps();
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 alpha_lane = _mm_castsi128_ps(_mm_set_epi32(0, 0, 0, -1)); // alpha comes first
    for (A_long i = begin; i < end; ++i) {
        const float *a = &row0[i].alpha;
        const float *b = &row1[i].alpha;
        const __m128 a0 = _mm_loadu_ps(a);
        const __m128 b0 = _mm_loadu_ps(b);
        const __m128 v = ReadAtWholePixel(a0, _mm_loadu_ps(a + 4), b0, _mm_loadu_ps(b + 4));
        // maxps(x, y) and minps(x, y) give y unless x > y (x < y): colour
        // v > 0 ? v : 0 (NaN to 0); alpha 1 < w ? 1 : w over w = 0 > v ? 0 : v
        // (NaN and -0 kept), which is ClampPixelFloat.
        const __m128 colour = _mm_max_ps(v, zero);
        const __m128 alpha = _mm_min_ps(one, _mm_max_ps(zero, v));
        _mm_storeu_ps(&out[i].alpha,
                      _mm_or_ps(_mm_and_ps(alpha_lane, alpha), _mm_andnot_ps(alpha_lane, colour)));
    }
}

#if defined(PRISMORA_AVX_LOOPS)
// The same two pixels at a time from `begin` on; returns where it stopped.
// Aligned output goes straight to memory: the frame is far larger than the
// caches, and nothing here reads it back.
PRISMORA_AVX_TARGET A_long PassThroughFloatAvx(const PF_PixelFloat *row0, const PF_PixelFloat *row1,
                                               PF_PixelFloat *out, A_long begin, A_long end)
{
    const __m256 zero = _mm256_setzero_ps();
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 alpha_lanes = _mm256_castsi256_ps(_mm256_set_epi32(0, 0, 0, -1, 0, 0, 0, -1));
    const bool stream = reinterpret_cast<std::uintptr_t>(&out[begin]) % 32 == 0;
    A_long i = begin;
    for (; i + 2 <= end; i += 2) {
        const float *a = &row0[i].alpha;
        const float *b = &row1[i].alpha;
        const __m256 a0 = _mm256_loadu_ps(a);
        const __m256 b0 = _mm256_loadu_ps(b);
        const __m256 top = _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(_mm256_loadu_ps(a + 4), a0), zero), a0);
        const __m256 bottom =
            _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(_mm256_loadu_ps(b + 4), b0), zero), b0);
        const __m256 v = _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(bottom, top), zero), top);
        const __m256 colour = _mm256_max_ps(v, zero);
        const __m256 alpha = _mm256_min_ps(one, _mm256_max_ps(zero, v));
        const __m256 pixels = _mm256_blendv_ps(colour, alpha, alpha_lanes);
        if (stream) {
            _mm256_stream_ps(&out[i].alpha, pixels);
        } else {
            _mm256_storeu_ps(&out[i].alpha, pixels);
        }
    }
    if (stream) {
        _mm_sfence(); // the streamed pixels are in memory before the band reports done
    }
    return i;
}
#endif

void PassThroughFloatRun(const PF_PixelFloat *row0, const PF_PixelFloat *row1, PF_PixelFloat *out,
                         A_long count)
{
    A_long done = 0;
#if defined(PRISMORA_AVX_LOOPS)
    if (HasAvx()) {
        // One pixel first where that brings the output to a 32-byte boundary.
        done = count > 0 && reinterpret_cast<std::uintptr_t>(out) % 32 == 16 ? 1 : 0;
        PassThroughFloatSse2(row0, row1, out, 0, done);
        done = PassThroughFloatAvx(row0, row1, out, done, count);
    }
#endif
    PassThroughFloatSse2(row0, row1, out, done, count);
}
#else
void PassThroughFloatRun(const PF_PixelFloat *row0, const PF_PixelFloat *row1, PF_PixelFloat *out,
                         A_long count)
{
    for (A_long i = 0; i < count; ++i) {
        const float *a0 = &row0[i].alpha;
        const float *a1 = &row0[i + 1].alpha;
        const float *b0 = &row1[i].alpha;
        const float *b1 = &row1[i + 1].alpha;
        float v[4];
        for (int c = 0; c < 4; ++c) {
            const float top = (a1[c] - a0[c]) * 0.0f + a0[c];
            const float bottom = (b1[c] - b0[c]) * 0.0f + b0[c];
            v[c] = (bottom - top) * 0.0f + top;
        }
        // ClampPixelFloat: alpha into 0..1 (NaN kept), colour not below 0 (NaN to 0).
        out[i].alpha = v[0] > 1.0f ? 1.0f : (v[0] < 0.0f ? 0.0f : v[0]);
        out[i].red = v[1] > 0.0f ? v[1] : 0.0f;
        out[i].green = v[2] > 0.0f ? v[2] : 0.0f;
        out[i].blue = v[3] > 0.0f ? v[3] : 0.0f;
    }
}
#endif

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

    // Columns whose source pixel and its right neighbour lie inside the input
    // take the straight run; the rest (edges, outside) the general path below.
    const A_long run_begin = std::clamp(-shift, begin, end);
    const A_long run_end = std::clamp(last_x - shift, run_begin, end);
    if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
        PassThroughFloatRun(row0 + run_begin + shift, row1 + run_begin + shift, out + run_begin,
                            run_end - run_begin);
    } else if constexpr (std::is_same_v<Pixel, PF_Pixel8>) {
        if (run_end > run_begin) { // CopyPixel over the run: the bytes as they are
            std::memcpy(out + run_begin, row0 + run_begin + shift,
                        static_cast<std::size_t>(run_end - run_begin) * sizeof(Pixel));
        }
    } else {
        for (A_long c = run_begin; c < run_end; ++c) {
            CopyPixel(row0[c + shift], out[c]);
        }
    }
    for (A_long c = begin; c < end; ++c) {
        if (c == run_begin) {
            c = run_end;
            if (c >= end) {
                break;
            }
        }
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
