#include "cpu/tap_sums.h"

#include "cpu/cpu_features.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#define PRISMORA_SSE2_SUMS 1 // every x86-64 processor has SSE2
#endif

namespace prismora {
namespace {

// Each variant sums lanes from `begin` on in blocks of its width and returns
// where it stopped; the next, narrower one carries on from there.

std::size_t SumTapsScalar(const float *const *rows, const double *w, std::size_t taps, float *out,
                          std::size_t begin, std::size_t n)
{
    for (std::size_t i = begin; i < n; ++i) {
        double acc = 0.0;
        for (std::size_t t = 0; t < taps; ++t) {
            acc = acc + static_cast<double>(rows[t][i]) * w[t];
        }
        out[i] = static_cast<float>(acc);
    }
    return n;
}

#if defined(PRISMORA_SSE2_SUMS)
// Eight lanes at a time in four registers of two doubles.
std::size_t SumTapsSse2(const float *const *rows, const double *w, std::size_t taps, float *out,
                        std::size_t begin, std::size_t n)
{
    std::size_t i = begin;
    for (; i + 8 <= n; i += 8) {
        __m128d a0 = _mm_setzero_pd();
        __m128d a1 = _mm_setzero_pd();
        __m128d a2 = _mm_setzero_pd();
        __m128d a3 = _mm_setzero_pd();
        for (std::size_t t = 0; t < taps; ++t) {
            const __m128d wt = _mm_set1_pd(w[t]);
            const __m128 lo = _mm_loadu_ps(rows[t] + i);
            const __m128 hi = _mm_loadu_ps(rows[t] + i + 4);
            a0 = _mm_add_pd(a0, _mm_mul_pd(_mm_cvtps_pd(lo), wt));
            a1 = _mm_add_pd(a1, _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(lo, lo)), wt));
            a2 = _mm_add_pd(a2, _mm_mul_pd(_mm_cvtps_pd(hi), wt));
            a3 = _mm_add_pd(a3, _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(hi, hi)), wt));
        }
        _mm_storeu_ps(out + i, _mm_movelh_ps(_mm_cvtpd_ps(a0), _mm_cvtpd_ps(a1)));
        _mm_storeu_ps(out + i + 4, _mm_movelh_ps(_mm_cvtpd_ps(a2), _mm_cvtpd_ps(a3)));
    }
    return i;
}
#endif

#if defined(PRISMORA_AVX_LOOPS)
// Sixteen lanes at a time in four registers of four doubles.
PRISMORA_AVX_TARGET std::size_t SumTapsAvx(const float *const *rows, const double *w, std::size_t taps,
                                           float *out, std::size_t begin, std::size_t n)
{
    std::size_t i = begin;
    for (; i + 16 <= n; i += 16) {
        __m256d a0 = _mm256_setzero_pd();
        __m256d a1 = _mm256_setzero_pd();
        __m256d a2 = _mm256_setzero_pd();
        __m256d a3 = _mm256_setzero_pd();
        for (std::size_t t = 0; t < taps; ++t) {
            const __m256d wt = _mm256_set1_pd(w[t]);
            const float *r = rows[t] + i;
            a0 = _mm256_add_pd(a0, _mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(r)), wt));
            a1 = _mm256_add_pd(a1, _mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(r + 4)), wt));
            a2 = _mm256_add_pd(a2, _mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(r + 8)), wt));
            a3 = _mm256_add_pd(a3, _mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(r + 12)), wt));
        }
        _mm_storeu_ps(out + i, _mm256_cvtpd_ps(a0));
        _mm_storeu_ps(out + i + 4, _mm256_cvtpd_ps(a1));
        _mm_storeu_ps(out + i + 8, _mm256_cvtpd_ps(a2));
        _mm_storeu_ps(out + i + 12, _mm256_cvtpd_ps(a3));
    }
    return i;
}
#endif

} // namespace

void SumTaps(const float *const *rows, const double *weights, std::size_t taps, float *out, std::size_t n)
{
    std::size_t done = 0;
#if defined(PRISMORA_AVX_LOOPS)
    if (HasAvx()) {
        done = SumTapsAvx(rows, weights, taps, out, done, n);
    }
#endif
#if defined(PRISMORA_SSE2_SUMS)
    done = SumTapsSse2(rows, weights, taps, out, done, n);
#endif
    SumTapsScalar(rows, weights, taps, out, done, n);
}

} // namespace prismora
