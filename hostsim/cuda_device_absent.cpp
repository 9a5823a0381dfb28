// A host built without the CUDA runtime sees no CUDA device.
#include "hostsim/gpu_device.h"

namespace prismora::hostsim {

int CudaDeviceCount()
{
    return 0;
}

std::unique_ptr<GpuDevice> OpenCudaDevice(int)
{
    return nullptr;
}

} // namespace prismora::hostsim
