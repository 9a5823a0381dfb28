// Four floats worked on at once, with the scalar glass model's rounding and
// comparison rules: IEEE addition, multiplication, division and square root
// give the same bits in a lane as in scalar code (nothing is fused), and the
// comparisons are ordered like C's, so a NaN compares false. MaxF, MinF and
// ClampF keep their tie, signed-zero and NaN rules (model/scalar_ops.h).
// SSE2, which every x86-64 processor has.
#pragma once

#if defined(__SSE2__) || defined(_M_X64)
#define PRISMORA_FLOAT_LANES 1
#include <emmintrin.h>
#include <xmmintrin.h>

namespace prismora {

// How many pixels a FloatLanes holds.
constexpr int kLanes = 4;

struct FloatLanes {
    __m128 v;

    FloatLanes(__m128 lanes) : v(lanes) {}
    FloatLanes(float value) : v(_mm_set1_ps(value)) {}
    static FloatLanes Load(const float *p) { return _mm_loadu_ps(p); }
    // Lanes written one float at a time: read back the same way, so the
    // processor forwards each store instead of stalling on one wide load.
    static FloatLanes Gather(const float *p) { return _mm_setr_ps(p[0], p[1], p[2], p[3]); }
    void Store(float *p) const { _mm_storeu_ps(p, v); }
};

inline FloatLanes operator+(FloatLanes a, FloatLanes b)
{
    return _mm_add_ps(a.v, b.v);
}
inline FloatLanes operator-(FloatLanes a, FloatLanes b)
{
    return _mm_sub_ps(a.v, b.v);
}
inline FloatLanes operator*(FloatLanes a, FloatLanes b)
{
    return _mm_mul_ps(a.v, b.v);
}
inline FloatLanes operator/(FloatLanes a, FloatLanes b)
{
    return _mm_div_ps(a.v, b.v);
}
// Negation flips the sign bit, as -x does (not 0 - x, which turns -0 into +0).
inline FloatLanes operator-(FloatLanes a)
{
    return _mm_xor_ps(a.v, _mm_set1_ps(-0.0f));
}

// A lane mask: all bits set where the comparison holds.
struct LaneMask {
    __m128 m;
    int Bits() const { return _mm_movemask_ps(m); }
    bool Any() const { return Bits() != 0; }
    bool Lane(int i) const { return ((Bits() >> i) & 1) != 0; }
};

inline LaneMask operator>(FloatLanes a, FloatLanes b)
{
    return {_mm_cmpgt_ps(a.v, b.v)};
}
inline LaneMask operator<(FloatLanes a, FloatLanes b)
{
    return {_mm_cmplt_ps(a.v, b.v)};
}
inline LaneMask operator<=(FloatLanes a, FloatLanes b)
{
    return {_mm_cmple_ps(a.v, b.v)};
}
inline LaneMask operator>=(FloatLanes a, FloatLanes b)
{
    return {_mm_cmpge_ps(a.v, b.v)};
}
inline LaneMask operator|(LaneMask a, LaneMask b)
{
    return {_mm_or_ps(a.m, b.m)};
}
inline LaneMask operator&(LaneMask a, LaneMask b)
{
    return {_mm_and_ps(a.m, b.m)};
}
inline LaneMask operator!(LaneMask a)
{
    return {_mm_xor_ps(a.m, _mm_castsi128_ps(_mm_set1_epi32(-1)))};
}
inline LaneMask IsNumber(FloatLanes a)
{
    return {_mm_cmpord_ps(a.v, a.v)};
}
inline LaneMask AllLanes(bool on)
{
    return {_mm_castsi128_ps(_mm_set1_epi32(on ? -1 : 0))};
}

// mask ? a : b, lane by lane.
inline FloatLanes Select(LaneMask mask, FloatLanes a, FloatLanes b)
{
    return _mm_or_ps(_mm_and_ps(mask.m, a.v), _mm_andnot_ps(mask.m, b.v));
}

// The bilinear read of a float pixel at its own position, every mix weight 0,
// with the pixel's four channels in one register: the cell's three mixes
// ((b - a) * 0 + a), each channel rounding as the scalar mix does.
inline __m128 ReadAtWholePixel(__m128 p00, __m128 p10, __m128 p01, __m128 p11)
{
    const __m128 zero = _mm_setzero_ps();
    const auto mix = [zero](__m128 a, __m128 b) { return _mm_add_ps(_mm_mul_ps(_mm_sub_ps(b, a), zero), a); };
    return mix(mix(p00, p10), mix(p01, p11));
}

// a > b ? a : b (maxps returns its second operand unless the first is greater).
inline FloatLanes MaxF(FloatLanes a, FloatLanes b)
{
    return _mm_max_ps(a.v, b.v);
}
// a < b ? a : b
inline FloatLanes MinF(FloatLanes a, FloatLanes b)
{
    return _mm_min_ps(a.v, b.v);
}
// v > hi ? hi : (lo > v ? lo : v)
inline FloatLanes ClampF(FloatLanes v, FloatLanes lo, FloatLanes hi)
{
    return Select(v > hi, hi, MaxF(lo, v));
}
inline FloatLanes SqrtF(FloatLanes a)
{
    return _mm_sqrt_ps(a.v);
}
inline FloatLanes AbsF(FloatLanes a)
{
    return _mm_and_ps(a.v, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff)));
}
inline FloatLanes Length2(FloatLanes x, FloatLanes y)
{
    return SqrtF(x * x + y * y);
}

// Whole parts of lanes in [0, 2^31): there floor is truncation.
struct IntLanes {
    alignas(16) int i[4];
};
inline IntLanes TruncateNonNegative(FloatLanes a, FloatLanes *as_float)
{
    const __m128i t = _mm_cvttps_epi32(a.v);
    *as_float = _mm_cvtepi32_ps(t);
    IntLanes out;
    _mm_store_si128(reinterpret_cast<__m128i *>(out.i), t);
    return out;
}

} // namespace prismora

#endif
