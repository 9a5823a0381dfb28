// What the processor running the plug-in offers beyond the build's baseline
// (SSE2 on x86-64), asked once; the fast loops pick their widest form from it.
#pragma once

// PRISMORA_AVX_LOOPS: this compiler builds AVX loops beside the baseline ones
// (GCC and Clang through a target attribute, MSVC without one), each marked
// PRISMORA_AVX_TARGET and called only when HasAvx().
#if defined(__x86_64__) || defined(_M_X64)
#if defined(__GNUC__)
#define PRISMORA_AVX_LOOPS 1
#define PRISMORA_AVX_TARGET __attribute__((target("avx")))
#elif defined(_MSC_VER)
#define PRISMORA_AVX_LOOPS 1
#define PRISMORA_AVX_TARGET
#endif
#endif

namespace prismora {

// Whether the processor and the operating system run AVX code.
bool HasAvx();

} // namespace prismora
