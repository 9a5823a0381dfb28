#include "gpu/cuda_error_text.h"

#include <cuda_runtime_api.h>

#include "diag/log.h"

namespace prismora {

namespace {
constexpr int kMaxTextBytes = 255; // the buffer is 256 bytes with its terminator
}

void CopyCudaErrorText(const char *text)
{
    if (text == nullptr) {
        text = "unknown CUDA error";
    }
    char *buffer = LastCudaErrorText();
    int n = 0;
    while (n < kMaxTextBytes && text[n] != '\0') {
        buffer[n] = text[n];
        ++n;
    }
    buffer[n] = '\0';
}

cudaError_t RecordCudaError(cudaError_t code)
{
    if (code == cudaSuccess) {
        LastCudaErrorText()[0] = '\0';
        return code;
    }
    CopyCudaErrorText(cudaGetErrorString(code));
    return code;
}

} // namespace prismora
