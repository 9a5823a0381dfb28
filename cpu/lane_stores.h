// Four shaded pixels stored side by side, with the stores' clamp, NaN and
// rounding rules (PackPixel8, ClampPixelFloat) worked in lanes.
#pragma once

#include "cpu/float_lanes.h"

#if defined(PRISMORA_FLOAT_LANES)
#include "AE_Effect.h"

namespace prismora {

// PackPixel8 of four pixels (channels in rows of four lanes), stored side by
// side: each channel clamped into 0..1 (NaN kept, then packed as 0), times 255
// plus a half, truncated.
inline void StorePixels8(PF_Pixel8 *out, const float (&channels)[4][kLanes])
{
    __m128i words = _mm_setzero_si128();
    for (int k = 0; k < 4; ++k) {
        const FloatLanes v = FloatLanes::Load(channels[k]);
        const FloatLanes clamped = Select(v > 1.0f, 1.0f, Select(v < 0.0f, 0.0f, v)); // ClampUnit
        const __m128i scaled = _mm_cvttps_epi32((clamped * 255.0f + 0.5f).v);
        const __m128i value = _mm_andnot_si128(_mm_castps_si128((!IsNumber(clamped)).m), scaled);
        words = _mm_or_si128(
            words, _mm_sll_epi32(_mm_and_si128(value, _mm_set1_epi32(0xff)), _mm_cvtsi32_si128(8 * k)));
    }
    static_assert(sizeof(PF_Pixel8) == 4, "four channel bytes, alpha first");
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), words);
}

// ClampPixelFloat of four pixels (channels in rows of four lanes), stored side
// by side: alpha into 0..1 with NaN kept, colour v > 0 ? v : 0.
inline void StorePixelsFloat(PF_PixelFloat *out, const float (&channels)[4][kLanes])
{
    const FloatLanes a = FloatLanes::Load(channels[0]);
    __m128 v[4] = {Select(a > 1.0f, 1.0f, Select(a < 0.0f, 0.0f, a)).v, // ClampUnit
                   MaxF(FloatLanes::Load(channels[1]), 0.0f).v, MaxF(FloatLanes::Load(channels[2]), 0.0f).v,
                   MaxF(FloatLanes::Load(channels[3]), 0.0f).v};
    _MM_TRANSPOSE4_PS(v[0], v[1], v[2], v[3]);
    for (int i = 0; i < kLanes; ++i) {
        _mm_storeu_ps(&out[i].alpha, v[i]);
    }
}

} // namespace prismora

#endif
