// The real device, through the CUDA runtime linked into the host. The runtime
// binds the device's primary context to the thread, which the plug-in's own
// runtime then finds current, so both work on the same memory.
#include <cuda_runtime_api.h>

#include "hostsim/gpu_device.h"

namespace prismora::hostsim {
namespace {

// A failed call leaves its code as the thread's last error; clear it so that
// the effect's own error checks do not see the host's failures.
bool Ok(cudaError_t err)
{
    if (err != cudaSuccess) {
        cudaGetLastError();
        return false;
    }
    return true;
}

class CudaDevice final : public GpuDevice {
public:
    explicit CudaDevice(int ordinal) : ordinal_(ordinal)
    {
        cudaDeviceProp prop{};
        if (Ok(cudaGetDeviceProperties(&prop, ordinal))) {
            name_ = prop.name;
        }
    }

    std::string Name() const override { return name_; }
    bool emulated() const override { return false; }
    void MakeCurrent() override { Ok(cudaSetDevice(ordinal_)); }

    void *Allocate(size_t bytes) override
    {
        void *memory = nullptr;
        if (bytes == 0 || !Ok(cudaMalloc(&memory, bytes))) {
            return nullptr;
        }
        return memory;
    }
    void Free(void *memory) override
    {
        if (memory) {
            Ok(cudaFree(memory));
        }
    }
    bool Fill(void *memory, int byte, size_t bytes) override
    {
        return bytes == 0 || Ok(cudaMemset(memory, byte, bytes));
    }
    bool Upload(void *dst, size_t dst_pitch, const void *src, size_t src_pitch, size_t row_bytes,
                size_t rows) override
    {
        return rows == 0 || row_bytes == 0 ||
               Ok(cudaMemcpy2D(dst, dst_pitch, src, src_pitch, row_bytes, rows, cudaMemcpyHostToDevice));
    }
    bool Download(void *dst, size_t dst_pitch, const void *src, size_t src_pitch, size_t row_bytes,
                  size_t rows) override
    {
        return rows == 0 || row_bytes == 0 ||
               Ok(cudaMemcpy2D(dst, dst_pitch, src, src_pitch, row_bytes, rows, cudaMemcpyDeviceToHost));
    }

private:
    int ordinal_;
    std::string name_ = "CUDA device";
};

} // namespace

int CudaDeviceCount()
{
    int count = 0;
    return Ok(cudaGetDeviceCount(&count)) ? count : 0;
}

std::unique_ptr<GpuDevice> OpenCudaDevice(int ordinal)
{
    if (ordinal < 0 || ordinal >= CudaDeviceCount()) {
        return nullptr;
    }
    return std::make_unique<CudaDevice>(ordinal);
}

} // namespace prismora::hostsim
