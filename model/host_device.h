// PRISMORA_HD marks the functions both renderers run: plain host code for the
// CPU renderer and the emulated device, host and device code in the CUDA unit.
// Such functions use no exceptions and no standard containers.
#pragma once

#if defined(__CUDACC__)
#define PRISMORA_HD __host__ __device__
#else
#define PRISMORA_HD
#endif
