// How the launchers turn a CUDA result into the last GPU error text. Shared by
// the real launchers and the emulated device so both follow one copy rule.
#pragma once

#include <driver_types.h>

namespace prismora {

// Copies text into LastCudaErrorText(): at most 255 bytes, then a zero. A null
// text is stored as "unknown CUDA error".
void CopyCudaErrorText(const char *text);

// Empties the text for cudaSuccess, else stores the runtime's text for code.
// Returns code.
cudaError_t RecordCudaError(cudaError_t code);

} // namespace prismora
