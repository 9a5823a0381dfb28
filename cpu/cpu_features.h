// What the processor running the plug-in offers beyond the build's baseline,
// asked once; the fast loops pick their widest form from it.
#pragma once

namespace prismora {

// Whether AVX loops may run: true only where the compiler builds them (GCC and
// Clang on x86-64) and the processor has AVX.
bool HasAvx();

} // namespace prismora
