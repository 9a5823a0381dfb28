// The effect's device code: kernels and their host-side launchers.
#include <cuda_runtime.h>
